#include "cloudfields.h"

#include "frames.h"
#include "registers.h"

const QVector<CloudField> &cloudFields()
{
    static const QVector<CloudField> fields = {
        {"region", "the region", CloudParameter::Region, ""},
        {"property", "the device property", CloudParameter::DeviceProperty, ""},
        {"secret", "the device secret", CloudParameter::DeviceSecret, ""},
        {"name", "the device name", CloudParameter::DeviceName, ""},
        {"publish", "the publish topic", CloudParameter::PublishTopic, CloudTopicOptions::Publish},
        {"subscribe", "the subscribe topic", CloudParameter::SubscribeTopic, CloudTopicOptions::Subscribe},
    };
    return fields;
}

const CloudField *findCloudField(const QString &name)
{
    for (const CloudField &field : cloudFields()) {
        if (name == QLatin1String(field.name))
            return &field;
    }
    return nullptr;
}

const CloudField &secretField()
{
    return *findCloudField(QStringLiteral("secret"));
}

namespace {

int roomFor(const CloudField &field)
{
    return kMaxCloudText - static_cast<int>(qstrlen(field.suffix));
}

} // namespace

std::optional<QByteArray> cloudWireText(const CloudField &field, const QString &text, QString *reason)
{
    // Text decoded from bytes that were not UTF-8 holds U+FFFD; sent on, the
    // gateway would take the replacement for the name or topic meant.
    if (text.contains(QChar::ReplacementCharacter)) {
        *reason = QStringLiteral("expected valid UTF-8 text");
        return std::nullopt;
    }
    const QByteArray wire = text.toUtf8() + field.suffix;
    if (text.isEmpty() || wire.size() > kMaxCloudText) {
        *reason = QStringLiteral("expected 1 to %1 bytes of UTF-8").arg(roomFor(field));
        if (*field.suffix)
            *reason += QStringLiteral(" (%1 with '%2' appended)").arg(kMaxCloudText).arg(QLatin1String(field.suffix));
        return std::nullopt;
    }
    return wire;
}

QString cloudHelp(const CloudField &field)
{
    QString text = QStringLiteral("cloud: %1, 1 to %2 bytes").arg(QLatin1String(field.what)).arg(roomFor(field));
    if (*field.suffix)
        text += QStringLiteral("; '%1' is appended").arg(QLatin1String(field.suffix));
    return text + QLatin1Char('.');
}

namespace {

QByteArray cloudFrame(std::uint8_t command, const QByteArray &payload)
{
    std::uint8_t frame[kTxFrameSize];
    return frameOf(frame, buildCloudFrame(frame, command, bytesOf(payload), payload.size()));
}

} // namespace

QByteArray cloudParameterFrame(std::uint8_t parameter, const QByteArray &text)
{
    return cloudFrame(kCloudWriteParameter, QByteArray(1, static_cast<char>(parameter)) + text);
}

QByteArray cloudModeFrame()
{
    return cloudParameterFrame(CloudParameter::Mode, QByteArray(1, '\x01'));
}

QByteArray cloudConnectFrame()
{
    return cloudFrame(kCloudConnect, QByteArray());
}
