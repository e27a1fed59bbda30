// The acquisition over time: every poll into the trend store and, while
// recording, into a CSV file.
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include <algorithm>
#include <cmath>

#include "frames.h"
#include "meterrecording.h"
#include "qwa.h"
#include "registers.h"
#include "trend_view.h"

void Qwa::setClock(std::function<QDateTime()> now)
{
    clock = std::move(now);
}

void Qwa::showRecordingState()
{
    ui.recordButton->setText(recording ? tr("停止记录") : tr("记录"));
}

void Qwa::on_recordButton_clicked()
{
    if (recording) {
        stopRecording();
        return;
    }
    const QString suggested = QStringLiteral("nvb8140t-meters-%1.csv").arg(clock().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QFileDialog::getSaveFileName(this, tr("记录"), suggested, tr("CSV 文件 (*.csv)"));
    if (!path.isEmpty())
        startRecording(path);
}

bool Qwa::startRecording(const QString &path)
{
    if (!acquireTimer->isActive() || recording)
        return false;
    auto file = std::make_unique<MeterRecording>();
    // The count was checked at the acquisition's start and is locked since.
    const int meters = ui.lineshuliang->text().toInt(nullptr, 10);
    const QString line = MeterCsv::lineOf(portNameText, serialLink.port());
    QString error;
    if (!file->open(path, &error)
        || !file->write(MeterCsv::comments(QStringLiteral("nvb8140t-tool"), line, targetAddress())
                            + MeterCsv::header(meters),
                        &error)) {
        QMessageBox::information(this, tr("提示"), tr("无法写入 %1：%2").arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    recording = std::move(file);
    recordingMeters = meters;
    recordedAddress = targetAddress();
    showRecordingState();
    return true;
}

void Qwa::stopRecording()
{
    recording.reset();
    showRecordingState();
}

void Qwa::openTrend()
{
    if (!trendView)
        trendView = new TrendWindow(trendStore, this);
    trendView->show();
    trendView->raise();
    trendView->activateWindow();
}

void Qwa::on_trendButton_clicked()
{
    openTrend();
}

// Each poll that went out, answered or not, is a point of the trend and a
// line of the recording. A reply that comes late, after its poll was taken
// as unanswered, is one more: its values are real.
void Qwa::noteAcquisitionOutcome(const LinkResult &result)
{
    MeterCsv::Outcome outcome;
    switch (result.outcome) {
    case LinkResult::Accepted: outcome = MeterCsv::Outcome::Answered; break;
    case LinkResult::Exception: outcome = MeterCsv::Outcome::Exception; break;
    case LinkResult::CheckFailed:
    case LinkResult::NoReply:
    case LinkResult::NotSent:
    case LinkResult::LineLost: outcome = MeterCsv::Outcome::NoReply; break;
    default: return;
    }
    const QDateTime now = clock();
    const auto *reply = bytesOf(result.reply);
    float values[kMaxMeters];
    int meters = 0;
    if (outcome == MeterCsv::Outcome::Answered) {
        meters = std::clamp((int(result.reply.size()) - readReplyLength(0)) / kMeterValueBytes, 0, kMaxMeters);
        for (int m = 0; m < meters; ++m)
            values[m] = meterReading(reply, m).value_or(NAN);
    }
    trendStore.append(now.toMSecsSinceEpoch(), values, meters);
    if (trendView)
        trendView->dataAdded();
    if (!recording)
        return;

    QString lines;
    // comdizhi stays free during the acquisition: a change of gateway is written down.
    const auto address = result.request.isEmpty() ? recordedAddress : std::uint8_t(result.request.at(Field::Address));
    if (address != recordedAddress) {
        recordedAddress = address;
        lines = MeterCsv::addressComment(address);
    }
    lines += MeterCsv::line(now, recordingMeters, outcome, result.reply);
    QString error;
    if (!recording->write(lines, &error)) {
        const QString path = QDir::toNativeSeparators(recording->fileName());
        stopRecording();
        QMessageBox::information(this, tr("提示"),
                                 tr("记录已停止：无法写入 %1：%2。已写入的记录仍在文件中。").arg(path, error));
    }
}
