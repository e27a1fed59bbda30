#include "decoder.h"

#include <QStringList>

#include "frames.h"
#include "registers.h"
#include "settings.h"

namespace {

QString hex16(std::uint16_t value)
{
    return QString::asprintf("0x%04X", value);
}

QString hex8(std::uint8_t value)
{
    return QString::asprintf("0x%02X", value);
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

QString registers(int count)
{
    return count == 1 ? QStringLiteral("1 register") : QStringLiteral("%1 registers").arg(count);
}

// The setting that a request of `count` registers from `first` reads or writes whole.
const Setting *wholeSetting(std::uint16_t first, int count)
{
    const Setting *setting = settingOfRegister(first);
    return setting && setting->reg == first && registerCount(*setting) == count ? setting : nullptr;
}

// "parity = none, address = 1": whole settings by name, a register outside them by number.
QString registerList(std::uint16_t first, const QVector<std::uint32_t> &values)
{
    // A read of no registers has an answer too, and it must not show as none.
    if (values.isEmpty())
        return QStringLiteral("no registers");
    QStringList parts;
    for (int i = 0; i < values.size();) {
        const auto reg = static_cast<std::uint16_t>(first + i);
        const Setting *setting = settingOfRegister(reg);
        const int count = setting ? registerCount(*setting) : 0;
        if (setting && setting->reg == reg && i + count <= values.size()) {
            parts << QLatin1String(setting->words) + QStringLiteral(" = ") + valueText(*setting, values.mid(i, count));
            i += count;
            continue;
        }
        const auto value = static_cast<std::uint16_t>(values.at(i));
        parts << hex16(reg) + QStringLiteral(" = ") + (setting ? registerText(*setting, value) : hex16(value));
        ++i;
    }
    return parts.join(QStringLiteral(", "));
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
    // Two registers a meter; anything else is not a whole number of meters.
    if (first == GatewayRegister::MeterBlock)
        return count > 0 && count % 2 == 0 ? QStringLiteral("read meters 1..%1").arg(count / 2)
                                           : QStringLiteral("read meters, ") + registers(count);
    QString text = QStringLiteral("read ") + hex16(first);
    const Setting *setting = settingOfRegister(first);
    if (setting)
        text += QLatin1Char(' ') + QLatin1String(setting->words);
    if (setting ? !wholeSetting(first, count) : count != 1)
        text += QStringLiteral(", ") + registers(count);
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
    if (first == GatewayRegister::Calibration && count == 1)
        return values.at(0) == GatewayRegister::CalibrationKey
                   ? QStringLiteral("write calibration enable")
                   : QStringLiteral("write calibration = ") + hex16(static_cast<std::uint16_t>(values.at(0)));
    return QStringLiteral("write ") + registerList(first, values);
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
        if (n == 4)
            return QStringLiteral("current-loop read channel");
        break;
    case LoopCommand::ReadRange:
        if (n == 4)
            return QStringLiteral("current-loop read range");
        break;
    case LoopCommand::WriteRange:
        if (n == kLoopRangeFrameLength)
            return QStringLiteral("current-loop write range = ") + floatText(loopRangeLower(b)) + QLatin1Char(',')
                   + floatText(loopRangeUpper(b));
        break;
    case LoopCommand::Calibrate:
        if (n == kCalibrateFrameLength)
            return QStringLiteral("current-loop calibrate %1, measured %2 mA")
                .arg(milliamperes(calibrationPointOf(b)), QString::number(calibrationMicroamperesOf(b) / 1000.0, 'f', 3));
        break;
    default:
        break;
    }
    return QStringLiteral("current-loop command ") + hex8(b[2]);
}

QString describeCloud(const QByteArray &frame)
{
    const std::uint8_t *b = bytesOf(frame);
    const int n = frame.size();
    if (b[1] == kCloudConnect && n == 2)
        return QStringLiteral("cloud: connect");
    if (b[1] == kCloudDebugging && n == 3 && b[2] <= 1)
        return b[2] ? QStringLiteral("cloud: platform debugging on") : QStringLiteral("cloud: platform debugging off");
    if (b[1] == kCloudWriteParameter && n >= 3) {
        if (b[2] == CloudParameter::Mode)
            return QStringLiteral("cloud: confirm mode");
        if (carriesSecret(frame))
            return QStringLiteral("cloud: device secret (hidden)");
        const QString name = cloudParameterName(b[2]);
        if (name.isEmpty())
            return QStringLiteral("cloud: unknown parameter ") + hex8(b[2]);
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
        for (int m = 0; m < count / 2; ++m)
            meters << meterText(r, m, QStringLiteral("timeout"));
        return QStringLiteral("meters: ") + meters.join(QStringLiteral(", "));
    }
    QVector<std::uint32_t> values;
    for (int i = 0; i < count; ++i)
        values << registerValue(r + 3 + 2 * i);
    return registerList(first, values);
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
    if (reply.isEmpty())
        return QString();
    if (isExceptionReply(r, reply.size()))
        return QString::asprintf("exception %02X %s", r[2], exceptionName(r[2]));
    if (isModbus(request, kModbusRead))
        return describeReadReply(request, reply);
    if (isModbus(request, kModbusWrite) && request.size() >= 11) {
        // The acknowledgement echoes address, function, register and quantity.
        if (reply.size() != 8 || reply.left(6) != request.left(6))
            return QStringLiteral("%1 bytes, not the reply to this write").arg(reply.size());
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
    return frame.size() >= 3 && static_cast<std::uint8_t>(frame.at(0)) == kCloudHeader
           && static_cast<std::uint8_t>(frame.at(1)) == kCloudWriteParameter
           && static_cast<std::uint8_t>(frame.at(2)) == CloudParameter::DeviceSecret;
}

QString maskedHex(const QByteArray &frame)
{
    // One mark for the whole secret, whatever its length: a mark per byte
    // would tell how long it is.
    const bool secret = carriesSecret(frame);
    QStringList bytes;
    for (int i = 0; i < (secret ? 3 : frame.size()); ++i)
        bytes << QStringLiteral("%1").arg(static_cast<std::uint8_t>(frame.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    if (secret)
        bytes << QLatin1String(kSecretMark);
    return bytes.join(QLatin1Char(' '));
}
