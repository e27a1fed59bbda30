#include "frames.h"

#include <QtGlobal>

#include <cmath>
#include <cstring>

#include "crc.h"
#include "registers.h"

bool isExceptionReply(const std::uint8_t *frame, int n)
{
    return n >= kExceptionReplyLength && (frame[1] & kExceptionFlag) != 0
           && crcTrailerMatches(frame, kExceptionReplyLength);
}

namespace {

// Each code's standard name, and its name in Chinese, which the window
// translates under its monitor's context.
struct ExceptionNames {
    std::uint8_t code;
    const char *english;
    const char *chinese;
};
const ExceptionNames kExceptionNames[] = {
    {ModbusException::IllegalFunction, "illegal function", QT_TRANSLATE_NOOP("TrafficMonitor", "非法功能")},
    {ModbusException::IllegalAddress, "illegal data address", QT_TRANSLATE_NOOP("TrafficMonitor", "非法数据地址")},
    {ModbusException::IllegalValue, "illegal data value", QT_TRANSLATE_NOOP("TrafficMonitor", "非法数据值")},
    {ModbusException::DeviceFailure, "server device failure", QT_TRANSLATE_NOOP("TrafficMonitor", "从站设备故障")},
    {0x05, "acknowledge", QT_TRANSLATE_NOOP("TrafficMonitor", "确认")},
    {0x06, "server device busy", QT_TRANSLATE_NOOP("TrafficMonitor", "从站设备忙")},
    {0x08, "memory parity error", QT_TRANSLATE_NOOP("TrafficMonitor", "存储奇偶性差错")},
    {0x0A, "gateway path unavailable", QT_TRANSLATE_NOOP("TrafficMonitor", "网关路径不可用")},
    {0x0B, "gateway target device failed to respond", QT_TRANSLATE_NOOP("TrafficMonitor", "网关目标设备响应失败")},
};
const ExceptionNames kUnknownException{0, "unknown exception", QT_TRANSLATE_NOOP("TrafficMonitor", "未知异常")};

const ExceptionNames &namesOf(std::uint8_t code)
{
    for (const ExceptionNames &names : kExceptionNames) {
        if (names.code == code)
            return names;
    }
    return kUnknownException;
}

} // namespace

const char *exceptionName(std::uint8_t code)
{
    return namesOf(code).english;
}

const char *exceptionNameChinese(std::uint8_t code)
{
    return namesOf(code).chinese;
}

int buildReadRequest(std::uint8_t *frame, std::uint8_t address, std::uint16_t firstRegister,
                     std::uint16_t count)
{
    frame[0] = address;
    frame[1] = kModbusRead;
    frame[2] = static_cast<std::uint8_t>(firstRegister >> 8);
    frame[3] = static_cast<std::uint8_t>(firstRegister);
    frame[4] = static_cast<std::uint8_t>(count >> 8);
    frame[5] = static_cast<std::uint8_t>(count);
    return 6;
}

int buildWriteRequest(std::uint8_t *frame, std::uint8_t address, std::uint16_t firstRegister,
                      const std::uint16_t *values, int count)
{
    frame[0] = address;
    frame[1] = kModbusWrite;
    frame[2] = static_cast<std::uint8_t>(firstRegister >> 8);
    frame[3] = static_cast<std::uint8_t>(firstRegister);
    frame[4] = static_cast<std::uint8_t>(count >> 8);
    frame[5] = static_cast<std::uint8_t>(count);
    frame[6] = static_cast<std::uint8_t>(2 * count);
    for (int i = 0; i < count; ++i) {
        frame[7 + 2 * i] = static_cast<std::uint8_t>(values[i] >> 8);
        frame[8 + 2 * i] = static_cast<std::uint8_t>(values[i]);
    }
    return 7 + 2 * count;
}

int buildLoopFrame(std::uint8_t *frame, std::uint8_t command, const std::uint8_t *payload,
                   int payloadLength)
{
    const int length = 4 + payloadLength;
    frame[0] = kLoopDelimiter;
    frame[1] = static_cast<std::uint8_t>(length);
    frame[2] = command;
    if (payloadLength > 0)
        std::memcpy(frame + 3, payload, static_cast<std::size_t>(payloadLength));
    frame[length - 1] = kLoopDelimiter;
    return length;
}

int buildLoopRangeWrite(std::uint8_t *frame, float lower, float upper)
{
    return buildLoopRangeFrame(frame, LoopCommand::WriteRange, lower, upper);
}

// The payload: one zero byte, then the two limits.
int buildLoopRangeFrame(std::uint8_t *frame, std::uint8_t command, float lower, float upper)
{
    std::uint8_t payload[kLoopRangeFrameLength - 4] = {0x00};
    putFloatLittleEndian(payload + 1, lower);
    putFloatLittleEndian(payload + 5, upper);
    return buildLoopFrame(frame, command, payload, int(sizeof payload));
}

int buildCalibrateFrame(std::uint8_t *frame, std::uint8_t point, std::uint16_t microamperes)
{
    const std::uint8_t payload[3] = {point, static_cast<std::uint8_t>(microamperes),
                                     static_cast<std::uint8_t>(microamperes >> 8)};
    return buildLoopFrame(frame, LoopCommand::Calibrate, payload, int(sizeof payload));
}

QByteArray withCrc(QByteArray frame)
{
    const int n = int(frame.size());
    frame.resize(n + 2);
    appendCrc(reinterpret_cast<std::uint8_t *>(frame.data()), n);
    return frame;
}

QByteArray readRequest(std::uint8_t address, std::uint16_t firstRegister, std::uint16_t count)
{
    std::uint8_t frame[kTxFrameSize];
    return withCrc(frameOf(frame, buildReadRequest(frame, address, firstRegister, count)));
}

QByteArray writeRequest(std::uint8_t address, std::uint16_t firstRegister, const std::uint16_t *values, int count)
{
    std::uint8_t frame[kTxFrameSize];
    return withCrc(frameOf(frame, buildWriteRequest(frame, address, firstRegister, values, count)));
}

std::optional<float> meterReading(const std::uint8_t *reply, int meter)
{
    const std::uint8_t *value = reply + kMeterValuesAt + kMeterValueBytes * meter;
    if (isSilentMeter(value))
        return std::nullopt;
    return floatFromBigEndian(value);
}

QString meterText(const std::uint8_t *reply, int meter, const QString &silent)
{
    const std::optional<float> value = meterReading(reply, meter);
    return value ? QString::number(double(*value), 'f', 4) : silent;
}

float loopRangeLower(const std::uint8_t *frame)
{
    return floatFromLittleEndian(frame + 4);
}

float loopRangeUpper(const std::uint8_t *frame)
{
    return floatFromLittleEndian(frame + 8);
}

int buildCloudFrame(std::uint8_t *frame, std::uint8_t command, const std::uint8_t *payload,
                    int payloadLength)
{
    frame[0] = kCloudHeader;
    frame[1] = command;
    if (payloadLength > 0)
        std::memcpy(frame + 2, payload, static_cast<std::size_t>(payloadLength));
    return 2 + payloadLength;
}

bool isReadReply(const std::uint8_t *reply, int n, std::uint8_t address, int registers)
{
    return n == readReplyLength(registers) && reply[0] == address && reply[1] == kModbusRead
           && reply[2] == 2 * registers && crcTrailerMatches(reply, n);
}

bool isWriteEcho(const std::uint8_t *reply, int n, const std::uint8_t *request)
{
    return n == kWriteReplyLength && std::memcmp(reply, request, 6) == 0 && crcTrailerMatches(reply, n);
}

bool isLoopReply(const std::uint8_t *reply, int n)
{
    return n >= 4 && reply[0] == kLoopDelimiter && reply[n - 1] == kLoopDelimiter;
}

bool isSilentMeter(const std::uint8_t *value)
{
    return value[0] == 0xFF && value[1] == 0xFF && value[2] == 0xFF && value[3] == 0xFF;
}

std::uint32_t bitsOfFloat(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float floatOfBits(std::uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putFloatLittleEndian(std::uint8_t *at, float value)
{
    const std::uint32_t bits = bitsOfFloat(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

float floatFromLittleEndian(const std::uint8_t *at)
{
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return floatOfBits(bits);
}

void putFloatBigEndian(std::uint8_t *at, float value)
{
    const std::uint32_t bits = bitsOfFloat(value);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(bits >> (24 - 8 * i));
}

float floatFromBigEndian(const std::uint8_t *at)
{
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(at[i]) << (24 - 8 * i);
    return floatOfBits(bits);
}

std::int32_t truncateToInt32(float value)
{
    if (!(std::fabs(value) < 2147483648.0f))
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}
