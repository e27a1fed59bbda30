// Cloud platform (MQTT) settings.
#include <QByteArray>
#include <QMessageBox>
#include <QString>

#include <cstdint>

#include "frames.h"
#include "qwa.h"
#include "registers.h"
#include "requestcodes.h"
#include "transmit.h"

namespace {

// 0x64, the command, then the payload as it stands.
int buildCloudFrame(std::uint8_t *frame, std::uint8_t command, const QByteArray &payload)
{
    return ::buildCloudFrame(frame, command, reinterpret_cast<const std::uint8_t *>(payload.constData()),
                             payload.size());
}

QByteArray parameterPayload(std::uint8_t parameter, const QByteArray &text)
{
    return QByteArray(1, static_cast<char>(parameter)) + text;
}

} // namespace

// A text that does not fit is refused whole: a cut topic or secret would be
// accepted by the gateway and fail later, far from its cause.
void Qwa::sendCloudParameter(std::uint8_t parameter, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() > kMaxCloudText) {
        QMessageBox::information(this, tr("提示"), tr("内容过长，最多%1字节").arg(kMaxCloudText));
        return;
    }
    awaitReply(Code::Cloud);
    sendRaw(buildCloudFrame(txFrame, kCloudWriteParameter, parameterPayload(parameter, utf8)));
}

void Qwa::on_pushButton_AT1_clicked()
{
    sendCloudParameter(CloudParameter::Region, ui.lineEdit_AT1->text());
}

void Qwa::on_pushButton_AT2_clicked()
{
    sendCloudParameter(CloudParameter::DeviceProperty, ui.lineEdit_AT2->text());
}

void Qwa::on_pushButton_AT3_clicked()
{
    sendCloudParameter(CloudParameter::DeviceSecret, ui.lineEdit_AT3->text());
}

void Qwa::on_pushButton_AT4_clicked()
{
    sendCloudParameter(CloudParameter::DeviceName, ui.lineEdit_AT4->text());
}

// The gateway takes the topics with their MQTT options appended, even when
// the user typed options of their own.
void Qwa::on_pushButton_AT5_clicked()
{
    sendCloudParameter(CloudParameter::PublishTopic, ui.lineEdit_AT5->text() + QLatin1String(CloudTopicOptions::Publish));
}

void Qwa::on_pushButton_AT6_clicked()
{
    sendCloudParameter(CloudParameter::SubscribeTopic, ui.lineEdit_AT6->text() + QLatin1String(CloudTopicOptions::Subscribe));
}

// The chosen mode is not part of the frame; the gateway is only told to confirm.
void Qwa::on_pushButton_Yes_clicked()
{
    awaitReply(Code::Cloud);
    sendRaw(buildCloudFrame(txFrame, kCloudWriteParameter, parameterPayload(CloudParameter::Mode, QByteArray(1, '\x01'))));
}

void Qwa::on_pushButton_connect_clicked()
{
    sendRaw(buildCloudFrame(txFrame, kCloudConnect, QByteArray()));
}

// Any answer ends what is awaited; only "OK" counts as done, which the link tells.
void Qwa::handleCloudReply(const std::uint8_t *, int)
{
    pendingCommand = Code::None;
}

void Qwa::showDebuggingState()
{
    ui.pushButton_OPaLI->setText(platformDebugging ? tr("关闭平台调试") : tr("打开平台调试"));
}

// The tool cannot ask the gateway, so the state is what it last sent; the
// label flips before the frame goes out.
void Qwa::on_pushButton_OPaLI_clicked()
{
    platformDebugging = !platformDebugging;
    showDebuggingState();
    sendRaw(buildCloudFrame(txFrame, kCloudDebugging, QByteArray(1, platformDebugging ? '\x01' : '\x00')));
}
