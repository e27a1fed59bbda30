#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// Layouts of the request frames. Each builder fills the leading bytes of a
// frame and returns how many it filled; the CRC (Modbus frames only) is
// appended by the sender. Register numbers and values go high byte first.

constexpr int kTxFrameSize = 70;

// Where each field stands in a frame.
namespace Field {
// Modbus requests and replies.
constexpr int Address = 0;
constexpr int Function = 1;
constexpr int FirstRegister = 2; // requests, and write acknowledgements
constexpr int Count = 4;         // likewise: the registers asked for or written
constexpr int WriteValues = 7;   // a write request's values, after its byte count
constexpr int ByteCount = 2;     // read replies
constexpr int ReadValues = 3;    // read replies' values
constexpr int ExceptionCode = 2;
// A write is acknowledged with the first bytes of its request.
constexpr int WriteEchoBytes = 6;
// Current-loop frames.
constexpr int LoopLength = 1;
constexpr int LoopCommand = 2;
constexpr int LoopPayload = 3;
// Cloud frames.
constexpr int CloudCommand = 1;
constexpr int CloudParameter = 2;
constexpr int CloudText = 3;
} // namespace Field

constexpr std::uint8_t kModbusRead = 0x03;
constexpr std::uint8_t kModbusWrite = 0x10;
constexpr std::uint8_t kLoopDelimiter = 0xAA;
constexpr std::uint8_t kCloudHeader = 0x64;
// Cloud frame commands (byte 1).
constexpr std::uint8_t kCloudWriteParameter = 0x64;
constexpr std::uint8_t kCloudDebugging = 0x65;
constexpr std::uint8_t kCloudConnect = 0xC8;

// A Modbus exception reply: address, function | 0x80, exception code, CRC.
constexpr int kExceptionReplyLength = 5;
constexpr std::uint8_t kExceptionFlag = 0x80;
// True when the first five bytes are an exception reply with a good CRC.
bool isExceptionReply(const std::uint8_t *frame, int n);
// The standard name of a Modbus exception code ("illegal data address").
const char *exceptionName(std::uint8_t code);
// Its name in Chinese ("非法数据地址"), as the window and a Chinese report give it.
const char *exceptionNameChinese(std::uint8_t code);

// The exception codes the gateway answers with.
namespace ModbusException {
constexpr std::uint8_t IllegalFunction = 0x01;
constexpr std::uint8_t IllegalAddress = 0x02;
constexpr std::uint8_t IllegalValue = 0x03;
constexpr std::uint8_t DeviceFailure = 0x04;
} // namespace ModbusException

// Function 0x03: address, 0x03, first register, register count. Fills 6 bytes.
int buildReadRequest(std::uint8_t *frame, std::uint8_t address, std::uint16_t firstRegister,
                     std::uint16_t count);

// Function 0x10: address, 0x10, first register, quantity, byte count, values.
// Fills 7 + 2 * count bytes.
int buildWriteRequest(std::uint8_t *frame, std::uint8_t address, std::uint16_t firstRegister,
                      const std::uint16_t *values, int count);

// Current-loop frame: 0xAA, total length, command, payload, 0xAA. Fills 4 + payloadLength bytes.
// A read has no payload; a test current one byte.
constexpr int kLoopReadLength = 4;
constexpr int kLoopCurrentLength = 5;
int buildLoopFrame(std::uint8_t *frame, std::uint8_t command, const std::uint8_t *payload,
                   int payloadLength);

// The current-loop range is written AA 0D 01 00 <lower> <upper> AA, which gets no
// answer, and read back in a reply of the same shape (command 08); each limit a
// little-endian float.
constexpr int kLoopRangeFrameLength = 13;
int buildLoopRangeWrite(std::uint8_t *frame, float lower, float upper);
int buildLoopRangeFrame(std::uint8_t *frame, std::uint8_t command, float lower, float upper);
float loopRangeLower(const std::uint8_t *frame);
float loopRangeUpper(const std::uint8_t *frame);

// The channel reply: AA 05 0C <channel from 0> AA.
inline std::uint8_t loopChannelOf(const std::uint8_t *reply)
{
    return reply[Field::LoopPayload];
}

// Calibration: AA 07 E7 <point> <measured microamperes, low byte first> AA.
int buildCalibrateFrame(std::uint8_t *frame, std::uint8_t point, std::uint16_t microamperes);
constexpr int kCalibrateFrameLength = 7;
inline std::uint8_t calibrationPointOf(const std::uint8_t *frame)
{
    return frame[Field::LoopPayload];
}
inline std::uint16_t calibrationMicroamperesOf(const std::uint8_t *frame)
{
    return static_cast<std::uint16_t>(frame[Field::LoopPayload + 1] | (frame[Field::LoopPayload + 2] << 8));
}

// Cloud frame: 0x64, the command, then the payload as it stands: no length byte, no
// terminator. A parameter's text fills what the parameter number leaves of the frame.
constexpr int kMaxCloudText = kTxFrameSize - 3;
int buildCloudFrame(std::uint8_t *frame, std::uint8_t command, const std::uint8_t *payload,
                    int payloadLength);

// Whole replies, as long as the gateway sends them.
constexpr int readReplyLength(int registers)
{
    return 5 + 2 * registers;
}
constexpr int kWriteReplyLength = 8;
constexpr int kLoopChannelReplyLength = 5;
constexpr int kLoopRangeReplyLength = kLoopRangeFrameLength;

// A read reply of this address for `registers` registers, with a good CRC.
bool isReadReply(const std::uint8_t *reply, int n, std::uint8_t address, int registers);
// A write acknowledgement: the request's first six bytes and their CRC.
bool isWriteEcho(const std::uint8_t *reply, int n, const std::uint8_t *request);
// A current-loop reply is checked by its delimiters only, as the gateway sends no CRC.
bool isLoopReply(const std::uint8_t *reply, int n);
// The gateway marks a meter that did not answer it with FF FF FF FF.
bool isSilentMeter(const std::uint8_t *value);
// A meter's value in a read reply of the meter block, four bytes a meter after
// the three of the header: nothing for a silent meter.
std::optional<float> meterReading(const std::uint8_t *reply, int meter);
// A meter's value as every program shows it, four decimals; `silent` for a silent one.
QString meterText(const std::uint8_t *reply, int meter, const QString &silent);
// Where meter values start in a reply, and how many bytes each takes.
constexpr int kMeterValuesAt = 3;
constexpr int kMeterValueBytes = 4;

// The bits of an IEEE 754 single, and back (a setting's value holds the bits).
std::uint32_t bitsOfFloat(float value);
float floatOfBits(std::uint32_t bits);

// IEEE 754 single precision, least significant byte first (current-loop frames)
// and most significant byte first (the Modbus meter block).
void putFloatLittleEndian(std::uint8_t *at, float value);
float floatFromLittleEndian(const std::uint8_t *at);
void putFloatBigEndian(std::uint8_t *at, float value);
float floatFromBigEndian(const std::uint8_t *at);

// Truncation toward zero of a scaled input, as the x86 conversion does it: a
// value outside the 32-bit range (or NaN) gives INT32_MIN instead of undefined behaviour.
std::int32_t truncateToInt32(float value);

inline std::uint16_t registerValue(const std::uint8_t *at)
{
    return static_cast<std::uint16_t>((at[0] << 8) | at[1]);
}
// The i-th register value of a read reply, and its low byte.
inline std::uint16_t replyRegister(const std::uint8_t *reply, int i)
{
    return registerValue(reply + Field::ReadValues + 2 * i);
}
inline std::uint8_t replyLowByte(const std::uint8_t *reply, int i)
{
    return reply[Field::ReadValues + 2 * i + 1];
}

// A frame's bytes as the builders and checks take them, and back.
inline const std::uint8_t *bytesOf(const QByteArray &frame)
{
    return reinterpret_cast<const std::uint8_t *>(frame.constData());
}
inline QByteArray frameOf(const std::uint8_t *frame, int n)
{
    return QByteArray(reinterpret_cast<const char *>(frame), n);
}
// The frame with its CRC appended, low byte first.
QByteArray withCrc(QByteArray frame);
// Whole Modbus requests, CRC included.
QByteArray readRequest(std::uint8_t address, std::uint16_t firstRegister, std::uint16_t count);
QByteArray writeRequest(std::uint8_t address, std::uint16_t firstRegister, const std::uint16_t *values, int count);
