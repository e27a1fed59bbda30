#include "decoder.h"

#include <QStringList>

#include "frames.h"
#include "registers.h"
#include "settings.h"

namespace {

const std::uint8_t *bytesOf(const QByteArray &frame)
{
    return reinterpret_cast<const std::uint8_t *>(frame.constData());
}

QString hex16(std::uint16_t value)
{
    return QString::asprintf("0x%04X", value);
}

QString milliamperes(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 1) + QStringLiteral(" mA");
}

bool isModbus(const QByteArray &frame, std::uint8_t function)
{
    return frame.size() >= 8 && static_cast<std::uint8_t>(frame.at(1)) == function;
}

bool isLoop(const QByteArray &frame)
{
    return frame.size() >= 4 && static_cast<std::uint8_t>(frame.at(0)) == kLoopDelimiter
           && static_cast<std::uint8_t>(frame.at(1)) == frame.size();
}

bool isCloud(const QByteArray &frame)
{
    return frame.size() >= 2 && static_cast<std::uint8_t>(frame.at(0)) == kCloudHeader;
}

// The setting that a request of `count` registers from `first` reads or writes whole.
const Setting *wholeSetting(std::uint16_t first, int count)
{
    const Setting *setting = settingOfRegister(first);
    return setting && setting->reg == first && registerCount(*setting) == count ? setting : nullptr;
}

QString cloudParameterName(int number)
{
    switch (number) {
    case CloudParameter::Region: return QStringLiteral("region");
    case CloudParameter::DeviceProperty: return QStringLiteral("device property");
    case CloudParameter::DeviceSecret: return QStringLiteral("device secret");
    case CloudParameter::DeviceName: return QStringLiteral("device name");
    case CloudParameter::PublishTopic: return QStringLiteral("publish topic");
    case CloudParameter::SubscribeTopic: return QStringLiteral("subscribe topic");
    default: return QString();
    }
}

QString describeRead(const std::uint8_t *b)
{
    const std::uint16_t first = registerValue(b + 2);
    const int count = registerValue(b + 4);
    if (first == GatewayRegister::MeterBlock)
        return count >= 2 ? QStringLiteral("read meters 1..%1").arg(count / 2) : QStringLiteral("read no meters");
    QString text = QStringLiteral("read ") + hex16(first);
    if (const Setting *setting = settingOfRegister(first))
        text += QLatin1Char(' ') + QLatin1String(setting->words);
    if (!wholeSetting(first, count))
        text += QStringLiteral(", %1 registers").arg(count);
    return text;
}

QString describeWrite(const QByteArray &frame)
{
    const std::uint8_t *b = bytesOf(frame);
    const std::uint16_t first = registerValue(b + 2);
    const int count = registerValue(b + 4);
    if (frame.size() < 9 + 2 * count)
        return QStringLiteral("write ") + hex16(first) + QStringLiteral(", cut short");
    QVector<std::uint32_t> values;
    for (int i = 0; i < count; ++i)
        values << registerValue(b + 7 + 2 * i);
    if (first == GatewayRegister::Calibration && count == 1 && values.at(0) == GatewayRegister::CalibrationKey)
        return QStringLiteral("write calibration enable");
    if (const Setting *setting = wholeSetting(first, count))
        return QStringLiteral("write %1 = %2").arg(QLatin1String(setting->words), valueText(*setting, values));
    QStringList words;
    for (std::uint32_t value : values)
        words << hex16(static_cast<std::uint16_t>(value));
    return QStringLiteral("write %1 = %2").arg(hex16(first), words.join(QStringLiteral(", ")));
}

QString describeLoop(const QByteArray &frame)
{
    const std::uint8_t *b = bytesOf(frame);
    const int n = frame.size();
    switch (b[2]) {
    case LoopCommand::OutputCurrent:
        if (n == 5)
            return b[3] == LoopCommand::LeaveTest ? QStringLiteral("current-loop leave test")
                                                  : QStringLiteral("current-loop test ") + milliamperes(b[3]);
        break;
    case LoopCommand::ReadChannel:
        return QStringLiteral("current-loop read channel");
    case LoopCommand::ReadRange:
        return QStringLiteral("current-loop read range");
    case LoopCommand::WriteRange:
        if (n == kLoopRangeFrameLength)
            return QStringLiteral("current-loop write range = ") + floatText(loopRangeLower(b)) + QLatin1Char(',')
                   + floatText(loopRangeUpper(b));
        break;
    case LoopCommand::Calibrate:
        if (n == 7)
            return QStringLiteral("current-loop calibrate %1 at %2 mA")
                .arg(milliamperes(b[3]), QString::number((b[4] | (b[5] << 8)) / 1000.0, 'f', 3));
        break;
    default:
        break;
    }
    return QStringLiteral("current-loop command 0x%1").arg(b[2], 2, 16, QLatin1Char('0')).toUpper();
}

QString describeCloud(const QByteArray &frame)
{
    const std::uint8_t *b = bytesOf(frame);
    const int n = frame.size();
    if (b[1] == kCloudConnect && n == 2)
        return QStringLiteral("cloud: connect");
    if (b[1] == kCloudDebugging && n == 3)
        return b[2] ? QStringLiteral("cloud: platform debugging on") : QStringLiteral("cloud: platform debugging off");
    if (b[1] == kCloudWriteParameter && n >= 3) {
        if (b[2] == CloudParameter::Mode)
            return QStringLiteral("cloud: confirm mode");
        const QString name = cloudParameterName(b[2]);
        if (carriesSecret(frame))
            return QStringLiteral("cloud: device secret (hidden)");
        if (!name.isEmpty())
            return QStringLiteral("cloud: %1 = \"%2\"").arg(name, QString::fromUtf8(frame.mid(3)));
    }
    return QStringLiteral("cloud: unknown frame");
}

QString describeReadReply(const QByteArray &request, const QByteArray &reply)
{
    const std::uint8_t *q = bytesOf(request);
    const std::uint8_t *r = bytesOf(reply);
    const std::uint16_t first = registerValue(q + 2);
    const int count = registerValue(q + 4);
    if (reply.size() != 5 + 2 * count)
        return QStringLiteral("%1 bytes, not the reply to this read").arg(reply.size());
    if (first == GatewayRegister::MeterBlock) {
        QStringList meters;
        for (int m = 0; m < count / 2; ++m) {
            const std::uint8_t *value = r + 3 + 4 * m;
            meters << (isSilentMeter(value) ? QStringLiteral("timeout")
                                            : QString::number(floatFromBigEndian(value), 'f', 2));
        }
        return QStringLiteral("meters: ") + meters.join(QStringLiteral(", "));
    }
    QVector<std::uint32_t> values;
    for (int i = 0; i < count; ++i)
        values << registerValue(r + 3 + 2 * i);
    if (const Setting *setting = wholeSetting(first, count))
        return QStringLiteral("%1 = %2").arg(QLatin1String(setting->words), valueText(*setting, values));
    QStringList words;
    for (std::uint32_t value : values)
        words << hex16(static_cast<std::uint16_t>(value));
    return QStringLiteral("%1 = %2").arg(hex16(first), words.join(QStringLiteral(", ")));
}

QString describeLoopReply(const QByteArray &request, const QByteArray &reply)
{
    const std::uint8_t *r = bytesOf(reply);
    const std::uint8_t command = static_cast<std::uint8_t>(request.at(2));
    if (command == LoopCommand::ReadChannel && reply.size() == kLoopChannelReplyLength)
        return QStringLiteral("current-loop channel = ") + shownValue(GatewayRegister::Channel, r[3]);
    if (command == LoopCommand::ReadRange && reply.size() == kLoopRangeReplyLength)
        return QStringLiteral("current-loop range = ") + floatText(loopRangeLower(r)) + QLatin1Char(',')
               + floatText(loopRangeUpper(r));
    return QStringLiteral("current-loop reply, %1 bytes").arg(reply.size());
}

} // namespace

QString describeRequest(const QByteArray &frame)
{
    const QString broadcast = !frame.isEmpty() && frame.at(0) == 0 ? QStringLiteral("broadcast ") : QString();
    if (isModbus(frame, kModbusRead))
        return broadcast + describeRead(bytesOf(frame));
    if (isModbus(frame, kModbusWrite) && frame.size() >= 11)
        return broadcast + describeWrite(frame);
    if (isLoop(frame))
        return describeLoop(frame);
    if (isCloud(frame))
        return describeCloud(frame);
    return QStringLiteral("unknown frame");
}

QString describeReply(const QByteArray &request, const QByteArray &reply)
{
    const std::uint8_t *r = bytesOf(reply);
    if (isExceptionReply(r, reply.size()))
        return QStringLiteral("exception %1 %2").arg(r[2], 2, 16, QLatin1Char('0')).arg(QLatin1String(exceptionName(r[2])));
    if (isModbus(request, kModbusRead))
        return describeReadReply(request, reply);
    if (isModbus(request, kModbusWrite) && request.size() >= 11) {
        const Setting *setting = wholeSetting(registerValue(bytesOf(request) + 2), registerValue(bytesOf(request) + 4));
        return setting ? QLatin1String(setting->words) + QStringLiteral(" written") : QStringLiteral("written");
    }
    if (isLoop(request))
        return describeLoopReply(request, reply);
    if (isCloud(request)) {
        const QString text = QString::fromUtf8(reply).trimmed();
        return QStringLiteral("cloud: \"%1\"").arg(text);
    }
    return QStringLiteral("%1 bytes").arg(reply.size());
}

bool carriesSecret(const QByteArray &frame)
{
    return frame.size() > 3 && static_cast<std::uint8_t>(frame.at(0)) == kCloudHeader
           && static_cast<std::uint8_t>(frame.at(1)) == kCloudWriteParameter
           && static_cast<std::uint8_t>(frame.at(2)) == CloudParameter::DeviceSecret;
}

QString maskedHex(const QByteArray &frame)
{
    const bool secret = carriesSecret(frame);
    QStringList bytes;
    for (int i = 0; i < frame.size(); ++i)
        bytes << (secret && i >= 3 ? QStringLiteral("**")
                                   : QStringLiteral("%1").arg(static_cast<std::uint8_t>(frame.at(i)), 2, 16,
                                                              QLatin1Char('0')).toUpper());
    return bytes.join(QLatin1Char(' '));
}
