// Address search, broadcast read and address change.
#include <QMessageBox>

#include "frames.h"
#include "registers.h"
#include "qwa.h"
#include "requestcodes.h"
#include "transmit.h"

namespace {

constexpr std::uint8_t kBroadcastAddress = 0;
constexpr int kSearchIntervalMs = 100;
// A poll is over by the next tick: a little before it, so that the next poll
// never waits behind it and the search keeps its pace. A reply after it is
// still listed, under the address it names.
constexpr int kSearchPollTimeoutMs = kSearchIntervalMs * 9 / 10;
// Addresses 1..247 are polled; reaching 248 by either count ends the search.
constexpr int kSearchEnd = 248;

void notify(QWidget *parent, const QString &text)
{
    QMessageBox::information(parent, Qwa::tr("提示"), text);
}

QString searchButtonText(bool running)
{
    return running ? Qwa::tr("停止搜索") : Qwa::tr("搜索地址");
}

} // namespace

void Qwa::showSearchState()
{
    ui.Btosousuo->setText(searchButtonText(searchTimer->isActive()));
}

void Qwa::on_Btosousuo_clicked()
{
    if (searchTimer->isActive()) {
        searchTimer->stop();
        showSearchState();
        notify(this, tr("已停止搜索"));
        ui.progressBar->setValue(1);
        searchAddress = 1;
        clearTxFrame();
        // A poll still queued is not sent; pendingCommand stays, so answers to
        // the last polls are still listed.
        serialLink.cancelQueued(Code::Search);
        return;
    }

    awaitReply(Code::Search);
    ui.comdizhi->clear();
    const int n = buildReadRequest(txFrame, 1, GatewayRegister::Address, 1);
    ui.progressBar->setValue(1);
    notify(this, tr("正在搜索，请稍后"));
    ui.Btosousuo->setText(searchButtonText(true));
    nextTimeoutMs = kSearchPollTimeoutMs;
    sendFrameKeep(n);
    searchTimer->start(kSearchIntervalMs);
}

// Each poll is built from the count, whatever another request left in the
// transmit buffer. A poll waits its tick for a reply; a reply names its sender
// in byte 0, so a late one is still listed under its own address.
void Qwa::sousuodizhi()
{
    const int address = searchAddress + 1;
    if (address >= kSearchEnd) {
        searchTimer->stop();
        ui.progressBar->setValue(247);
        notify(this, tr("搜索完成"));
        showSearchState();
        clearTxFrame();
        searchAddress = 1;
        return;
    }
    awaitReply(Code::Search);
    nextTimeoutMs = kSearchPollTimeoutMs;
    sendFrameKeep(buildReadRequest(txFrame, static_cast<std::uint8_t>(address), GatewayRegister::Address, 1));
    searchAddress = address;
    ui.progressBar->setValue(searchAddress);
}

void Qwa::on_Btoguangbo_clicked()
{
    awaitReply(Code::Broadcast);
    sendFrame(buildReadRequest(txFrame, kBroadcastAddress, GatewayRegister::Address, 1));
}

void Qwa::on_Btoxiugai_clicked()
{
    writeTypedValue(Code::AddressChange, GatewayRegister::Address, Rule::Address, ui.linegaidizhi);
}

void Qwa::handleSearchReply(const std::uint8_t *reply, int)
{
    ui.comdizhi->addItem(QString::number(reply[Field::Address]));
}

void Qwa::handleBroadcastReply(const std::uint8_t *reply, int)
{
    const std::uint8_t address = reply[Field::Address];
    const QString text = QString::number(address);
    // A gateway heard from a broadcast before becomes the only entry.
    if (reportedAddresses.contains(address)) {
        ui.comdizhi->clear();
        ui.linedizhi->setText(text);
        ui.comdizhi->addItem(text);
        return;
    }
    ui.linedizhi->setText(text);
    ui.comdizhi->addItem(text);
    reportedAddresses.insert(address);
}

void Qwa::handleAddressChangeReply(const std::uint8_t *, int)
{
    // The gateway now answers elsewhere; it has to be found again.
    ui.comdizhi->clear();
}
