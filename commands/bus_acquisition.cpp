// Periodic meter poll into the table.
#include <QString>
#include <QTableWidgetItem>

#include <algorithm>
#include <cstdint>

#include "frames.h"
#include "registers.h"
#include "qwa.h"
#include "requestcodes.h"
#include "transmit.h"

namespace {

constexpr int kPollIntervalMs = 1000;
constexpr int kRowsPerPair = 7;

} // namespace

// The timer is the acquisition's state; the button shows it.
void Qwa::showAcquisitionState()
{
    ui.Btocaiji->setText(acquireTimer->isActive() ? tr("停止采集") : tr("开始采集"));
}

void Qwa::on_Btocaiji_clicked()
{
    if (!acquireTimer->isActive()) {
        // The reply buffer and the table hold 21 meters; a bigger count would
        // poll for values that are never shown, and none would read no registers.
        if (!acceptedValue(Rule::Meters, ui.lineshuliang))
            return;
        pendingCommand = Code::Acquisition;
        clearTxFrame();
        acquireTimer->start(kPollIntervalMs);
        showAcquisitionState();
        for (QWidget *widget : acquisitionLockedWidgets())
            widget->setEnabled(false);
        ui.tableWidget->clearContents();
    } else {
        acquireTimer->stop();
        showAcquisitionState();
        for (QWidget *widget : acquisitionLockedWidgets())
            widget->setEnabled(true);
        clearTxFrame();
    }
}

// Two registers a meter; the count goes out in one byte. A request sent in
// between goes out between two polls and is handled under its own code.
void Qwa::caijihanshu()
{
    awaitReply(Code::Acquisition);
    // The count was checked at the start and its field is locked since.
    const unsigned meters = static_cast<unsigned>(ui.lineshuliang->text().toInt(nullptr, 10));
    const auto registers = static_cast<std::uint8_t>(2 * meters);
    sendFrameKeep(buildReadRequest(txFrame, targetAddress(), GatewayRegister::MeterBlock, registers));
    pulseProgressBar();
}

// The link has checked the reply against the poll: four bytes a meter.
void Qwa::handleAcquisitionReply(const std::uint8_t *reply, int n)
{
    const int meters = std::clamp((n - readReplyLength(0)) / kMeterValueBytes, 0, kMaxMeters);
    ui.tableWidget->clearContents();
    for (int index = 0; index < meters; ++index) {
        const QString text = meterText(reply, index, tr("超时"));
        const int row = index % kRowsPerPair;
        const int column = 2 * (index / kRowsPerPair);
        ui.tableWidget->setItem(row, column, new QTableWidgetItem(QString::number(index + 1)));
        ui.tableWidget->setItem(row, column + 1, new QTableWidgetItem(text));
    }
}

QList<QWidget *> Qwa::acquisitionLockedWidgets() const
{
    return {ui.lineshuliang, ui.BtoBSduqu,  ui.BtoBSxiugai, ui.Btoceshi,   ui.Btodakai,   ui.BtoDL,
            ui.BtoDLjiaozhun, ui.BtoduquB,  ui.BtoduquHZ,   ui.BtoduquJ,   ui.BtoduquSF,  ui.Btoguangbo,
            ui.Btosousuo,    ui.BtoTDduqu,  ui.BtoTDxiugai, ui.Btotuichu,  ui.BtoxieruHZ, ui.BtoxieruSF,
            ui.Btoxiugai,    ui.BtoxiugaiB, ui.BtoxiugaiJ,  ui.BtoZDceshi, ui.comDL};
}
