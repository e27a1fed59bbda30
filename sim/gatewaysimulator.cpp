#include "gatewaysimulator.h"

#include "crc.h"
#include "decoder.h"
#include "frames.h"

#include <algorithm>
#include <utility>

#include "settings.h"

namespace {

QByteArray exceptionReply(std::uint8_t address, std::uint8_t function, std::uint8_t code)
{
    QByteArray reply;
    reply.append(static_cast<char>(address));
    reply.append(static_cast<char>(function | kExceptionFlag));
    reply.append(static_cast<char>(code));
    return withCrc(reply);
}

// "read 0x0002 baud rate -> baud rate = 9600" and the gateway's note after it.
QString meaningOf(const QByteArray &request, const QByteArray &reply, const QString &note)
{
    QString text = describeRequest(request);
    if (!reply.isEmpty())
        text += QStringLiteral(" -> ") + describeReply(request, reply);
    return text + note;
}

QString functionText(std::uint8_t function)
{
    return QString::asprintf("function 0x%02X", function);
}

// The calibration points, in tenths of a milliampere.

const QByteArray kCloudOk("OK\r\n");
const QByteArray kCloudError("ERROR\r\n");

} // namespace

GatewaySimulator::GatewaySimulator(const SimulatorSettings &settings)
    : m_settings(settings)
    , m_faultRandom(settings.seed)
    , m_driftRandom(settings.seed ^ 0x5EEDu)
{
    std::uniform_int_distribution<int> tenths(180, 260);
    for (std::uint8_t address : m_settings.addresses) {
        GatewayState state;
        state.address = address;
        const int baudCode = findSetting(QStringLiteral("baud"))->choices.indexOf(QString::number(m_settings.baud));
        if (baudCode >= 0)
            state.baudCode = std::uint16_t(baudCode);
        for (int m = 1; m <= m_settings.meters; ++m) {
            Meter meter;
            meter.base = tenths(m_driftRandom) / 10.0f;
            meter.temperature = meter.base;
            meter.silent = m_settings.silentMeters.contains(m);
            state.meters.append(meter);
        }
        m_gateways.append(state);
        m_arrivesAt.append(m_settings.arriveMs < 0 || m_gateways.size() == 1 ? 0 : -1);
        m_leavesAt.append(-1);
    }
}

bool GatewaySimulator::present(int index) const
{
    const qint64 arrives = m_arrivesAt.value(index, 0);
    const qint64 leaves = m_leavesAt.value(index, -1);
    return arrives >= 0 && m_now >= arrives && (leaves < 0 || m_now < leaves);
}

GatewayState *GatewaySimulator::gatewayAt(std::uint8_t address)
{
    for (GatewayState &state : m_gateways) {
        if (state.address == address && hears(state))
            return &state;
    }
    return nullptr;
}

void GatewaySimulator::hearAt(int baud, int stopBits)
{
    m_heardBaud = baud;
    m_heardStopBits = stopBits;
}

bool GatewaySimulator::hears(const GatewayState &gateway) const
{
    if (!present(int(&gateway - m_gateways.constData())))
        return false;
    return m_heardBaud == 0 || (gateway.baud() == m_heardBaud && m_heardStopBits == m_settings.stopBits);
}

QList<Exchange> GatewaySimulator::feed(const QByteArray &bytes)
{
    return handleFrames(m_parser.feed(bytes));
}

QList<Exchange> GatewaySimulator::lineIdle()
{
    return handleFrames(m_parser.lineIdle());
}

QByteArray GatewaySimulator::replyBytes(const QList<Exchange> &exchanges)
{
    QByteArray all;
    for (const Exchange &exchange : exchanges) {
        for (const ReplyPiece &piece : exchange.reply)
            all.append(piece.bytes);
    }
    return all;
}

QList<Exchange> GatewaySimulator::handleFrames(const QList<LineFrame> &frames)
{
    QList<Exchange> exchanges;
    for (const LineFrame &frame : frames)
        exchanges.append(handleFrame(frame));
    return exchanges;
}

bool GatewaySimulator::chance(double rate)
{
    // Always draw, so that a seed gives the same sequence whatever the rates.
    const double draw = std::uniform_real_distribution<double>(0.0, 1.0)(m_faultRandom);
    return draw < rate;
}

Exchange GatewaySimulator::handleFrame(const LineFrame &frame)
{
    Exchange exchange;
    exchange.request = frame.bytes;
    if (frame.kind == LineFrame::Garbage) {
        exchange.meaning = QStringLiteral("ignored %1 byte(s): %2").arg(frame.bytes.size()).arg(frame.note);
        return exchange;
    }
    exchange.recognised = true;
    if (!m_gateways.isEmpty() && std::none_of(m_gateways.begin(), m_gateways.end(), [this](const GatewayState &g) { return hears(g); })) {
        exchange.meaning = describeRequest(frame.bytes)
                           + QStringLiteral(": not heard, sent at %1 baud with %2 stop bit(s)")
                                 .arg(m_heardBaud)
                                 .arg(m_heardStopBits);
        return exchange;
    }

    if (chance(m_settings.dropRate)) {
        exchange.meaning = (frame.kind == LineFrame::ModbusOther ? functionText(bytesOf(frame.bytes)[1])
                                                                 : describeRequest(frame.bytes))
                           + QStringLiteral(": not heard");
        exchange.faults << QStringLiteral("dropped");
        return exchange;
    }

    QByteArray reply;
    switch (frame.kind) {
    case LineFrame::ModbusRead:
    case LineFrame::ModbusWrite:
    case LineFrame::ModbusOther:
        reply = handleModbus(frame, exchange);
        break;
    case LineFrame::Loop:
    case LineFrame::Cloud: {
        // These frames carry no address: every gateway on the bus acts on them and,
        // so that the answers do not collide, the first one answers.
        QString note;
        bool first = true;
        for (GatewayState &gateway : m_gateways) {
            if (!hears(gateway))
                continue;
            QString ownNote;
            const QByteArray answer = frame.kind == LineFrame::Loop ? handleLoop(gateway, frame.bytes, &ownNote)
                                                                    : handleCloud(gateway, frame.bytes, &ownNote);
            if (std::exchange(first, false)) {
                reply = answer;
                note = ownNote;
            }
        }
        exchange.meaning = meaningOf(frame.bytes, reply, note);
        break;
    }
    case LineFrame::Garbage:
        break;
    }
    transmit(exchange, reply);
    return exchange;
}

QByteArray GatewaySimulator::handleModbus(const LineFrame &frame, Exchange &exchange)
{
    const std::uint8_t *b = bytesOf(frame.bytes);
    const std::uint8_t address = b[Field::Address];
    const std::uint8_t function = b[Field::Function];

    if (frame.kind == LineFrame::ModbusOther) {
        if (function & kExceptionFlag) {
            exchange.meaning = QStringLiteral("exception reply of another device, ignored");
            return QByteArray();
        }
        GatewayState *target = address == 0 ? nullptr : gatewayAt(address);
        if (!target) {
            exchange.meaning = functionText(function) + QStringLiteral(" for address %1: not ours").arg(address);
            return QByteArray();
        }
        const QByteArray reply = exceptionReply(address, function, ModbusException::IllegalFunction);
        exchange.meaning = functionText(function) + QStringLiteral(" -> ") + describeReply(frame.bytes, reply);
        return reply;
    }

    const std::uint16_t first = registerValue(b + Field::FirstRegister);
    const int count = registerValue(b + Field::Count);
    QString note;

    if (address == 0) {
        QByteArray reply;
        const auto hearing = std::find_if(m_gateways.begin(), m_gateways.end(),
                                          [this](const GatewayState &g) { return hears(g); });
        if (function == kModbusRead && first == GatewayRegister::Address && count == 1 && hearing != m_gateways.end()) {
            // Whoever is on the bus tells its address; on a shared bus only the first.
            reply = readRegisters(*hearing, first, count, &note);
        } else if (function == kModbusWrite) {
            // A broadcast write is carried out by every gateway and answered by none.
            QByteArray answer;
            for (auto g = hearing; g != m_gateways.end(); ++g) {
                if (!hears(*g))
                    continue;
                QString ownNote;
                const QByteArray own = writeRegisters(*g, frame.bytes, &ownNote);
                if (g == hearing) {
                    answer = own;
                    note = ownNote;
                }
            }
            if (isExceptionReply(bytesOf(answer), answer.size()))
                note = QStringLiteral(", refused: ") + describeReply(frame.bytes, answer);
            note += QStringLiteral(", not answered");
        } else {
            note = QStringLiteral(", not answered");
        }
        exchange.meaning = meaningOf(frame.bytes, reply, note);
        return reply;
    }

    GatewayState *gateway = gatewayAt(address);
    if (!gateway) {
        exchange.meaning = meaningOf(frame.bytes, QByteArray(),
                                     QStringLiteral(" for address %1: not ours").arg(address));
        return QByteArray();
    }

    QByteArray reply;
    if (chance(m_settings.exceptionRate)) {
        exchange.faults << QStringLiteral("exception");
        reply = exceptionReply(address, function, ModbusException::DeviceFailure);
    } else if (function == kModbusRead) {
        reply = readRegisters(*gateway, first, count, &note);
    } else {
        reply = writeRegisters(*gateway, frame.bytes, &note);
    }
    exchange.meaning = meaningOf(frame.bytes, reply, note);
    return reply;
}

QByteArray GatewaySimulator::readRegisters(GatewayState &gateway, std::uint16_t first, int count, QString *note)
{
    const std::uint8_t address = gateway.address;
    if (count == 0 || count > 125)
        return exceptionReply(address, kModbusRead, ModbusException::IllegalValue);

    QByteArray reply;
    reply.append(static_cast<char>(address));
    reply.append(static_cast<char>(kModbusRead));
    reply.append(static_cast<char>(2 * count));

    if (first == GatewayRegister::MeterBlock) {
        const int meters = count / 2;
        if (meters > gateway.meters.size())
            *note = QStringLiteral(", there are %1 meters").arg(gateway.meters.size());
        if (count % 2 != 0 || meters > gateway.meters.size())
            return exceptionReply(address, kModbusRead, ModbusException::IllegalAddress);
        for (int i = 0; i < meters; ++i) {
            std::uint8_t value[4];
            if (gateway.meters[i].silent)
                std::fill(value, value + 4, 0xFF);
            else
                putFloatBigEndian(value, gateway.meters[i].temperature);
            reply.append(reinterpret_cast<const char *>(value), 4);
        }
        driftMeters(gateway);
        return withCrc(reply);
    }

    for (int i = 0; i < count; ++i) {
        std::uint16_t value = 0;
        if (!gateway.readRegister(static_cast<std::uint16_t>(first + i), &value))
            return exceptionReply(address, kModbusRead, ModbusException::IllegalAddress);
        reply.append(static_cast<char>(value >> 8));
        reply.append(static_cast<char>(value & 0xFF));
    }
    return withCrc(reply);
}

QByteArray GatewaySimulator::writeRegisters(GatewayState &gateway, const QByteArray &frame, QString *note)
{
    const std::uint8_t *b = bytesOf(frame);
    const std::uint8_t address = b[Field::Address];
    const std::uint16_t first = registerValue(b + Field::FirstRegister);
    const int count = registerValue(b + Field::Count);

    // All or nothing: check every value before taking any.
    for (int i = 0; i < count; ++i) {
        const auto number = static_cast<std::uint16_t>(first + i);
        const std::uint8_t refusal = gateway.checkWrite(number, registerValue(b + Field::WriteValues + 2 * i));
        if (refusal != 0)
            return exceptionReply(address, kModbusWrite, refusal);
    }
    // The echo is built from the request, so an address change is acknowledged from the old address.
    const QByteArray reply = withCrc(frame.left(Field::WriteEchoBytes));
    for (int i = 0; i < count && !m_settings.ignoreWrites; ++i)
        gateway.applyWrite(static_cast<std::uint16_t>(first + i), registerValue(b + Field::WriteValues + 2 * i));

    if (first == GatewayRegister::Address)
        *note = QStringLiteral(", answering at %1 from now on").arg(gateway.address);
    // Given its address, it is unplugged and the next one plugged in.
    const int index = int(&gateway - m_gateways.constData());
    if (first == GatewayRegister::Address && m_settings.arriveMs >= 0 && m_leavesAt.at(index) < 0) {
        m_leavesAt[index] = m_now + m_settings.arriveMs;
        if (index + 1 < m_arrivesAt.size())
            m_arrivesAt[index + 1] = m_now + m_settings.arriveMs;
        *note += QStringLiteral(", leaving the line in %1 ms").arg(m_settings.arriveMs);
    }
    if (first == GatewayRegister::Calibration)
        *note = gateway.calibrationEnabled ? QStringLiteral(", calibration enabled")
                                           : QStringLiteral(", calibration disabled");
    return reply;
}

QByteArray GatewaySimulator::handleLoop(GatewayState &gateway, const QByteArray &frame, QString *note)
{
    const std::uint8_t *b = bytesOf(frame);
    const int length = frame.size();
    const std::uint8_t command = b[Field::LoopCommand];

    if (command == LoopCommand::ReadChannel && length == kLoopReadLength) {
        const std::uint8_t channel = gateway.loopChannel;
        QByteArray reply(kLoopChannelReplyLength, '\0');
        buildLoopFrame(reinterpret_cast<std::uint8_t *>(reply.data()), LoopCommand::ReadChannel, &channel, 1);
        return reply;
    }
    if (command == LoopCommand::ReadRange && length == kLoopReadLength) {
        std::uint8_t reply[kLoopRangeFrameLength];
        return frameOf(reply, buildLoopRangeFrame(reply, LoopCommand::ReadRange, gateway.loopLower, gateway.loopUpper));
    }
    if (command == LoopCommand::WriteRange && length == kLoopRangeFrameLength) {
        gateway.loopLower = loopRangeLower(b);
        gateway.loopUpper = loopRangeUpper(b);
        return QByteArray();
    }
    if (command == LoopCommand::OutputCurrent && length == kLoopCurrentLength) {
        gateway.testCurrent = b[Field::LoopPayload];
        return QByteArray();
    }
    if (command == LoopCommand::Calibrate && length == kCalibrateFrameLength) {
        const int measured = calibrationMicroamperesOf(b);
        // The correction is only taken while calibration is enabled (the key to its register).
        if (!gateway.calibrationEnabled)
            *note = QStringLiteral(", ignored, calibration not enabled");
        else if (calibrationPointOf(b) == LoopCommand::Point4mA)
            gateway.measuredAt4mA = measured;
        else if (calibrationPointOf(b) == LoopCommand::Point20mA)
            gateway.measuredAt20mA = measured;
        else
            *note = QStringLiteral(", ignored, no such point");
        return QByteArray();
    }
    *note = QStringLiteral(", ignored");
    return QByteArray();
}

QByteArray GatewaySimulator::handleCloud(GatewayState &gateway, const QByteArray &frame, QString *note)
{
    const std::uint8_t *b = bytesOf(frame);
    const int length = frame.size();
    const std::uint8_t command = b[Field::CloudCommand];

    if (command == kCloudWriteParameter) {
        if (length < 3)
            return kCloudError;
        const int number = b[Field::CloudParameter];
        if (number == CloudParameter::Mode) {
            gateway.modeConfirmed = true;
            return kCloudOk;
        }
        if (number < CloudParameter::Region || number > CloudParameter::SubscribeTopic)
            return kCloudError;
        gateway.cloudParameters[number] = QString::fromUtf8(frame.mid(Field::CloudText));
        return kCloudOk;
    }
    if (command == kCloudDebugging && length == Field::CloudParameter + 1 && b[Field::CloudParameter] <= 1) {
        gateway.platformDebugging = b[Field::CloudParameter] == 1;
        return QByteArray();
    }
    if (command == kCloudConnect && length == Field::CloudCommand + 1) {
        gateway.connected = true;
        return QByteArray();
    }
    *note = QStringLiteral(", ignored");
    return QByteArray();
}

void GatewaySimulator::driftMeters(GatewayState &gateway)
{
    if (m_settings.drift <= 0.0f)
        return;
    std::uniform_real_distribution<float> step(-m_settings.drift, m_settings.drift);
    for (Meter &meter : gateway.meters) {
        // A random walk that keeps near its base value.
        meter.temperature += 0.1f * (meter.base - meter.temperature) + step(m_driftRandom);
    }
}

void GatewaySimulator::transmit(Exchange &exchange, QByteArray reply)
{
    if (reply.isEmpty())
        return;
    if (chance(m_settings.corruptRate)) {
        // The last byte is the CRC's high byte, or the closing 0xAA, or the text's end.
        reply[reply.size() - 1] = static_cast<char>(reply.at(reply.size() - 1) ^ 0xFF);
        exchange.faults << QStringLiteral("corrupted");
    }
    int delay = m_settings.delayMs;
    if (m_settings.jitterMs > 0)
        delay += std::uniform_int_distribution<int>(0, m_settings.jitterMs)(m_faultRandom);
    if (delay > 0)
        exchange.faults << QStringLiteral("delayed %1 ms").arg(delay);

    if (m_settings.split && reply.size() >= 2) {
        const int cut = std::uniform_int_distribution<int>(1, reply.size() - 1)(m_faultRandom);
        exchange.reply.append({reply.left(cut), delay});
        exchange.reply.append({reply.mid(cut), m_settings.splitGapMs});
        exchange.faults << QStringLiteral("split %1+%2").arg(cut).arg(reply.size() - cut);
    } else {
        exchange.reply.append({reply, delay});
    }
}
