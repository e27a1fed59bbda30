// Periodic meter poll into the table.
#include <QBrush>
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
// A value older than two polls is marked: the polls since brought none.
constexpr qint64 kStaleMs = 2 * kPollIntervalMs;
// Where a value cell keeps the time its value came, in milliseconds since the epoch.
constexpr int kValueTimeRole = Qt::UserRole + 1;

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
        ui.recordButton->setEnabled(true);
    } else {
        acquireTimer->stop();
        showAcquisitionState();
        for (QWidget *widget : acquisitionLockedWidgets())
            widget->setEnabled(true);
        clearTxFrame();
        // A recording has the columns of this acquisition; it ends with it.
        stopRecording();
        ui.recordButton->setEnabled(false);
        trendStore.appendGap(clock().toMSecsSinceEpoch());
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
    markStaleValues();
}

// The link has checked the reply against the poll: four bytes a meter.
void Qwa::handleAcquisitionReply(const std::uint8_t *reply, int n)
{
    const int meters = std::clamp((n - readReplyLength(0)) / kMeterValueBytes, 0, kMaxMeters);
    const QDateTime now = clock();
    const QString tip = tr("读数时间 %1").arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
    ui.tableWidget->clearContents();
    for (int index = 0; index < meters; ++index) {
        const QString text = meterText(reply, index, tr("超时"));
        const int row = index % kRowsPerPair;
        const int column = 2 * (index / kRowsPerPair);
        ui.tableWidget->setItem(row, column, new QTableWidgetItem(QString::number(index + 1)));
        auto *value = new QTableWidgetItem(text);
        value->setData(kValueTimeRole, now.toMSecsSinceEpoch());
        value->setToolTip(tip);
        ui.tableWidget->setItem(row, column + 1, value);
    }
    // Marked the moment they turn stale, not only at the next poll.
    staleTimer->start(int(kStaleMs) + 1);
}

// Light grey under dark grey text: plainly older, still readable.
void Qwa::markStaleValues()
{
    const qint64 now = clock().toMSecsSinceEpoch();
    for (int row = 0; row < ui.tableWidget->rowCount(); ++row) {
        for (int column = 1; column < ui.tableWidget->columnCount(); column += 2) {
            QTableWidgetItem *item = ui.tableWidget->item(row, column);
            if (!item || !item->data(kValueTimeRole).isValid())
                continue;
            const bool stale = now - item->data(kValueTimeRole).toLongLong() > kStaleMs;
            if (stale == item->data(Qt::BackgroundRole).isValid())
                continue;
            item->setData(Qt::BackgroundRole, stale ? QVariant(QBrush(QColor(0xDD, 0xDD, 0xDD))) : QVariant());
            item->setData(Qt::ForegroundRole, stale ? QVariant(QBrush(QColor(0x60, 0x60, 0x60))) : QVariant());
        }
    }
}

QList<QWidget *> Qwa::acquisitionLockedWidgets() const
{
    return {ui.lineshuliang, ui.BtoBSduqu,  ui.BtoBSxiugai, ui.Btoceshi,   ui.Btodakai,   ui.BtoDL,
            ui.BtoDLjiaozhun, ui.BtoduquB,  ui.BtoduquHZ,   ui.BtoduquJ,   ui.BtoduquSF,  ui.Btoguangbo,
            ui.Btosousuo,    ui.BtoTDduqu,  ui.BtoTDxiugai, ui.Btotuichu,  ui.BtoxieruHZ, ui.BtoxieruSF,
            ui.Btoxiugai,    ui.BtoxiugaiB, ui.BtoxiugaiJ,  ui.BtoZDceshi, ui.comDL};
}
