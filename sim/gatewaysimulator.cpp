#include "gatewaysimulator.h"

#include "crc.h"
#include "frames.h"

#include <algorithm>

namespace {

const std::uint8_t *bytesOf(const QByteArray &frame)
{
    return reinterpret_cast<const std::uint8_t *>(frame.constData());
}

QByteArray withCrc(QByteArray frame)
{
    const std::uint16_t crc = crc16Modbus(bytesOf(frame), frame.size());
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

QByteArray exceptionReply(std::uint8_t address, std::uint8_t function, std::uint8_t code)
{
    QByteArray reply;
    reply.append(static_cast<char>(address));
    reply.append(static_cast<char>(function | 0x80));
    reply.append(static_cast<char>(code));
    return withCrc(reply);
}

QString exceptionText(std::uint8_t code)
{
    switch (code) {
    case ModbusException::IllegalFunction: return QStringLiteral("exception 01 (illegal function)");
    case ModbusException::IllegalAddress: return QStringLiteral("exception 02 (illegal address)");
    case ModbusException::IllegalValue: return QStringLiteral("exception 03 (illegal value)");
    default: return QStringLiteral("exception %1").arg(code, 2, 16, QLatin1Char('0'));
    }
}

QString registerLabel(std::uint16_t number)
{
    const QString name = registerName(number);
    const QString hex = QStringLiteral("0x") + QString::number(number, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return name.isEmpty() ? hex : hex + QStringLiteral(" (") + name + QLatin1Char(')');
}

QString milliamperes(int tenths)
{
    return QString::number(tenths / 10.0, 'f', 1) + QStringLiteral(" mA");
}

const QByteArray kCloudOk("OK\r\n");
const QByteArray kCloudError("ERROR\r\n");

} // namespace

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

GatewaySimulator::GatewaySimulator(const SimulatorSettings &settings)
    : m_settings(settings)
    , m_faultRandom(settings.seed)
    , m_driftRandom(settings.seed ^ 0x5EEDu)
{
    std::uniform_int_distribution<int> tenths(180, 260);
    for (std::uint8_t address : m_settings.addresses) {
        GatewayState state;
        state.address = address;
        for (int m = 1; m <= m_settings.meters; ++m) {
            Meter meter;
            meter.base = tenths(m_driftRandom) / 10.0f;
            meter.temperature = meter.base;
            meter.silent = m_settings.silentMeters.contains(m);
            state.meters.append(meter);
        }
        m_gateways.append(state);
    }
}

GatewayState *GatewaySimulator::gatewayAt(std::uint8_t address)
{
    for (GatewayState &state : m_gateways) {
        if (state.address == address)
            return &state;
    }
    return nullptr;
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

    if (chance(m_settings.dropRate)) {
        static const char *const kinds[] = {"Modbus read", "Modbus write", "Modbus frame", "loop frame",
                                            "cloud frame", ""};
        exchange.meaning = QStringLiteral("%1 not heard").arg(QLatin1String(kinds[frame.kind]));
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
        for (int i = 0; i < m_gateways.size(); ++i) {
            QString meaning;
            const QByteArray answer = frame.kind == LineFrame::Loop
                ? handleLoop(m_gateways[i], frame.bytes, &meaning)
                : handleCloud(m_gateways[i], frame.bytes, &meaning);
            if (i == 0) {
                reply = answer;
                exchange.meaning = meaning;
            }
        }
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
    const std::uint8_t address = b[0];
    const std::uint8_t function = b[1];

    if (frame.kind == LineFrame::ModbusOther) {
        if (function & 0x80) {
            exchange.meaning = QStringLiteral("exception reply of another device, ignored");
            return QByteArray();
        }
        GatewayState *target = address == 0 ? nullptr : gatewayAt(address);
        if (!target) {
            exchange.meaning = QStringLiteral("function 0x%1 for address %2: not ours")
                                   .arg(function, 2, 16, QLatin1Char('0')).arg(address);
            return QByteArray();
        }
        exchange.meaning = QStringLiteral("function 0x%1 -> %2")
                               .arg(function, 2, 16, QLatin1Char('0'))
                               .arg(exceptionText(ModbusException::IllegalFunction));
        return exceptionReply(address, function, ModbusException::IllegalFunction);
    }

    const std::uint16_t first = static_cast<std::uint16_t>((b[2] << 8) | b[3]);
    const int count = (b[4] << 8) | b[5];

    if (address == 0) {
        if (function == kModbusRead && first == GatewayRegister::Address && count == 1 && !m_gateways.isEmpty()) {
            // Whoever is on the bus tells its address; on a shared bus only the first.
            GatewayState &gateway = m_gateways.first();
            QString meaning;
            const QByteArray reply = readRegisters(gateway, first, count, &meaning);
            exchange.meaning = QStringLiteral("broadcast ") + meaning;
            return reply;
        }
        if (function == kModbusWrite) {
            // A broadcast write is carried out by every gateway and answered by none.
            QString meaning;
            for (GatewayState &gateway : m_gateways)
                writeRegisters(gateway, frame.bytes, &meaning);
            exchange.meaning = QStringLiteral("broadcast ") + meaning + QStringLiteral(", no answer");
            return QByteArray();
        }
        exchange.meaning = QStringLiteral("broadcast read of %1 not answered").arg(registerLabel(first));
        return QByteArray();
    }

    GatewayState *gateway = gatewayAt(address);
    if (!gateway) {
        exchange.meaning = QStringLiteral("%1 %2 for address %3: not ours")
                               .arg(function == kModbusRead ? QStringLiteral("read") : QStringLiteral("write"))
                               .arg(registerLabel(first))
                               .arg(address);
        return QByteArray();
    }

    if (chance(m_settings.exceptionRate)) {
        exchange.meaning = QStringLiteral("%1 %2 -> exception 04 (device failure)")
                               .arg(function == kModbusRead ? QStringLiteral("read") : QStringLiteral("write"))
                               .arg(registerLabel(first));
        exchange.faults << QStringLiteral("exception");
        return exceptionReply(address, function, ModbusException::DeviceFailure);
    }
    return handleUnicast(*gateway, frame.bytes, &exchange.meaning);
}

QByteArray GatewaySimulator::handleUnicast(GatewayState &gateway, const QByteArray &frame, QString *meaning)
{
    const std::uint8_t *b = bytesOf(frame);
    if (b[1] == kModbusRead)
        return readRegisters(gateway, static_cast<std::uint16_t>((b[2] << 8) | b[3]), (b[4] << 8) | b[5], meaning);
    return writeRegisters(gateway, frame, meaning);
}

QByteArray GatewaySimulator::readRegisters(GatewayState &gateway, std::uint16_t first, int count,
                                           QString *meaning)
{
    const std::uint8_t address = gateway.address;
    const QString what = QStringLiteral("read ") + registerLabel(first)
        + (count == 1 ? QString() : QStringLiteral(" x%1").arg(count));
    if (count == 0 || count > 125) {
        *meaning = what + QStringLiteral(" -> ") + exceptionText(ModbusException::IllegalValue);
        return exceptionReply(address, kModbusRead, ModbusException::IllegalValue);
    }

    QByteArray reply;
    reply.append(static_cast<char>(address));
    reply.append(static_cast<char>(kModbusRead));
    reply.append(static_cast<char>(2 * count));

    if (first == GatewayRegister::MeterBlock) {
        const int meters = count / 2;
        if (count % 2 != 0 || meters > gateway.meters.size()) {
            *meaning = QStringLiteral("read meters 1..%1 (%2 registers) of %3 -> %4")
                           .arg((count + 1) / 2).arg(count).arg(gateway.meters.size())
                           .arg(exceptionText(ModbusException::IllegalAddress));
            return exceptionReply(address, kModbusRead, ModbusException::IllegalAddress);
        }
        QStringList values;
        for (int i = 0; i < meters; ++i) {
            std::uint8_t value[4];
            if (gateway.meters[i].silent) {
                std::fill(value, value + 4, 0xFF);
                values << QStringLiteral("silent");
            } else {
                putFloatBigEndian(value, gateway.meters[i].temperature);
                values << QString::number(gateway.meters[i].temperature, 'f', 2);
            }
            reply.append(reinterpret_cast<const char *>(value), 4);
        }
        *meaning = QStringLiteral("read meters 1..%1 -> %2").arg(meters).arg(values.join(QStringLiteral(", ")));
        driftMeters(gateway);
        return withCrc(reply);
    }

    QStringList values;
    for (int i = 0; i < count; ++i) {
        const std::uint16_t number = static_cast<std::uint16_t>(first + i);
        std::uint16_t value = 0;
        if (!gateway.readRegister(number, &value)) {
            *meaning = what + QStringLiteral(" -> ") + exceptionText(ModbusException::IllegalAddress);
            return exceptionReply(address, kModbusRead, ModbusException::IllegalAddress);
        }
        reply.append(static_cast<char>(value >> 8));
        reply.append(static_cast<char>(value & 0xFF));
        values << (count == 1 ? registerValueText(number, value)
                              : registerName(number) + QLatin1Char(' ') + registerValueText(number, value));
    }
    *meaning = what + QStringLiteral(" -> ") + values.join(QStringLiteral(", "));
    return withCrc(reply);
}

QByteArray GatewaySimulator::writeRegisters(GatewayState &gateway, const QByteArray &frame, QString *meaning)
{
    const std::uint8_t *b = bytesOf(frame);
    const std::uint8_t address = b[0];
    const std::uint16_t first = static_cast<std::uint16_t>((b[2] << 8) | b[3]);
    const int count = (b[4] << 8) | b[5];
    const QString what = QStringLiteral("write ") + registerLabel(first);

    // All or nothing: check every value before taking any.
    QStringList values;
    for (int i = 0; i < count; ++i) {
        const std::uint16_t number = static_cast<std::uint16_t>(first + i);
        const std::uint16_t value = registerValue(b + 7 + 2 * i);
        const std::uint8_t refusal = gateway.checkWrite(number, value);
        if (refusal != 0) {
            *meaning = QStringLiteral("write %1 = %2 -> %3")
                           .arg(registerLabel(number), registerValueText(number, value), exceptionText(refusal));
            return exceptionReply(address, kModbusWrite, refusal);
        }
        values << (count == 1 ? registerValueText(number, value)
                              : registerName(number) + QLatin1Char(' ') + registerValueText(number, value));
    }
    // The echo is built from the request, so an address change is acknowledged from the old address.
    const QByteArray reply = withCrc(frame.left(6));
    for (int i = 0; i < count && !m_settings.ignoreWrites; ++i)
        gateway.applyWrite(static_cast<std::uint16_t>(first + i), registerValue(b + 7 + 2 * i));

    *meaning = what + QStringLiteral(" = ") + values.join(QStringLiteral(", "));
    if (first == GatewayRegister::Address)
        *meaning += QStringLiteral(", answering at %1 from now on").arg(gateway.address);
    if (first == GatewayRegister::Calibration)
        *meaning += gateway.calibrationEnabled ? QStringLiteral(", calibration enabled")
                                               : QStringLiteral(", calibration disabled");
    return reply;
}

QByteArray GatewaySimulator::handleLoop(GatewayState &gateway, const QByteArray &frame, QString *meaning)
{
    const std::uint8_t *b = bytesOf(frame);
    const int length = frame.size();
    const std::uint8_t command = b[2];

    if (command == 0x0C && length == 4) {
        *meaning = QStringLiteral("loop: read channel -> %1").arg(gateway.loopChannel);
        const std::uint8_t channel = gateway.loopChannel;
        QByteArray reply(5, '\0');
        buildLoopFrame(reinterpret_cast<std::uint8_t *>(reply.data()), 0x0C, &channel, 1);
        return reply;
    }
    if (command == 0x08 && length == 4) {
        *meaning = QStringLiteral("loop: read range -> %1 .. %2")
                       .arg(static_cast<double>(gateway.loopLower)).arg(static_cast<double>(gateway.loopUpper));
        std::uint8_t payload[9] = {0x00};
        putFloatLittleEndian(payload + 1, gateway.loopLower);
        putFloatLittleEndian(payload + 5, gateway.loopUpper);
        QByteArray reply(13, '\0');
        buildLoopFrame(reinterpret_cast<std::uint8_t *>(reply.data()), 0x08, payload, 9);
        return reply;
    }
    if (command == 0x01 && length == 13) {
        gateway.loopLower = floatFromLittleEndian(b + 4);
        gateway.loopUpper = floatFromLittleEndian(b + 8);
        *meaning = QStringLiteral("loop: write range %1 .. %2")
                       .arg(static_cast<double>(gateway.loopLower)).arg(static_cast<double>(gateway.loopUpper));
        return QByteArray();
    }
    if (command == 0x02 && length == 5) {
        gateway.testCurrent = b[3];
        *meaning = b[3] == 0xFF ? QStringLiteral("loop: leave the test")
                                : QStringLiteral("loop: output %1").arg(milliamperes(b[3]));
        return QByteArray();
    }
    if (command == 0xE7 && length == 7) {
        const int measured = b[4] | (b[5] << 8);
        const QString what = QStringLiteral("loop: calibrate at %1, measured %2 mA")
                                 .arg(milliamperes(b[3]))
                                 .arg(QString::number(measured / 1000.0, 'f', 3));
        // The correction is only taken while calibration is enabled (0x9B9B to 0x0004).
        if (!gateway.calibrationEnabled) {
            *meaning = what + QStringLiteral(": ignored, calibration not enabled");
        } else if (b[3] == 0x28) {
            gateway.measuredAt4mA = measured;
            *meaning = what;
        } else if (b[3] == 0xC8) {
            gateway.measuredAt20mA = measured;
            *meaning = what;
        } else {
            *meaning = what + QStringLiteral(": ignored, no such point");
        }
        return QByteArray();
    }
    *meaning = QStringLiteral("loop: unknown command 0x%1 (length %2), ignored")
                   .arg(command, 2, 16, QLatin1Char('0')).arg(length);
    return QByteArray();
}

QByteArray GatewaySimulator::handleCloud(GatewayState &gateway, const QByteArray &frame, QString *meaning)
{
    const std::uint8_t *b = bytesOf(frame);
    const int length = frame.size();
    const std::uint8_t command = b[1];

    if (command == 0x64) {
        if (length < 3) {
            *meaning = QStringLiteral("cloud: parameter write without a number -> ERROR");
            return kCloudError;
        }
        const int number = b[2];
        const QByteArray text = frame.mid(3);
        if (number == CloudParameter::Mode) {
            gateway.modeConfirmed = true;
            *meaning = QStringLiteral("cloud: confirm mode -> OK");
            return kCloudOk;
        }
        const QString name = cloudParameterName(number);
        if (name.isEmpty()) {
            *meaning = QStringLiteral("cloud: unknown parameter 0x%1 -> ERROR").arg(number, 2, 16, QLatin1Char('0'));
            return kCloudError;
        }
        gateway.cloudParameters[number] = QString::fromUtf8(text);
        *meaning = QStringLiteral("cloud: %1 = \"%2\" -> OK").arg(name, gateway.cloudParameters[number]);
        return kCloudOk;
    }
    if (command == 0x65 && length == 3 && b[2] <= 1) {
        gateway.platformDebugging = b[2] == 1;
        *meaning = gateway.platformDebugging ? QStringLiteral("cloud: platform debugging on")
                                             : QStringLiteral("cloud: platform debugging off");
        return QByteArray();
    }
    if (command == 0xC8 && length == 2) {
        gateway.connected = true;
        *meaning = QStringLiteral("cloud: connect");
        return QByteArray();
    }
    *meaning = QStringLiteral("cloud: malformed frame, ignored");
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
