#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <optional>

// The gateway's settings as people and the wire know them: one row a setting,
// with its register, its encoding, the range a written value must lie in and
// how a read value reads. The window's checks, the traffic decoder, the
// command-line program and the simulator all go by this table.

// How a typed text becomes a number.
enum class ValueKind : std::uint8_t {
    Integer, // decimal, no fraction
    Hex,     // hexadecimal, with or without "0x"
    Decimal, // decimal fraction, scaled to an integer on the wire
    Float,   // IEEE 754 single precision, sent as it is
};

// One field a person types a value into: its name in a refusal, the valid
// range in the units typed, and how the value becomes the integer on the wire
// (single precision times the scale, cut toward zero unless rounded, less the offset).
struct ValueRule {
    const char *label; // "通信频率"
    ValueKind kind;
    double low;
    double high;
    int scale;
    bool rounded;
    int offset;
};

// "420到675", "0x0000 to 0xFFFF": the range with the given word between.
QString rangeText(const ValueRule &rule, const char *to);
// "通信频率应为420到675的整数": a whole-number field says so.
QString refusalText(const ValueRule &rule);
// The refusal of this text: the one above, or for a float field a nonzero value
// too small for single precision, what it holds instead.
QString refusalText(const ValueRule &rule, const QString &text);
// The same for the command line, after "expected": "a whole number from 420 to 675".
QString expectedText(const ValueRule &rule, const QString &text);
// "量程下限应小于上限": a pair's lower limit must lie below its upper one.
QString orderRefusalText(const ValueRule &lower);

// The integer that goes on the wire, or nothing when the text does not convert
// or lies outside the rule's range. The arithmetic is wide, so no text overflows,
// and a number beyond 64 bits (a float field's) has none.
std::optional<std::int64_t> wireValue(const ValueRule &rule, const QString &text);
// Float fields: the single-precision value, or nothing; a nonzero value that would
// underflow to 0 or to a denormal is refused too.
std::optional<float> floatValue(const ValueRule &rule, const QString &text);

namespace Rule {
extern const ValueRule Address;
extern const ValueRule Frequency;       // MHz; the register holds MHz - 420
extern const ValueRule SpreadingFactor; // one byte
extern const ValueRule Transmitters;    // one byte
extern const ValueRule RangeLower;      // tenths in 16 bits, rounded
extern const ValueRule RangeUpper;
extern const ValueRule GatewayId; // 16 bits, hexadecimal
extern const ValueRule Firmware;
extern const ValueRule SamplingPeriod; // 16 bits
extern const ValueRule AnalogOutput;
extern const ValueRule Channel;         // 1..256; the register holds it less 1
extern const ValueRule LoopLower;       // any finite single
extern const ValueRule LoopUpper;
extern const ValueRule MeasuredCurrent; // mA as microamperes in 16 bits
extern const ValueRule TestCurrent;     // mA as tenths in one byte; 0xFF is reserved
extern const ValueRule Meters;          // the acquisition's meter count
} // namespace Rule

enum class Encoding : std::uint8_t {
    Choice,     // the register value is the index of a word
    LowByte,    // a count in the low byte; a read uses the low byte only
    Frequency,  // low byte = MHz - 420
    Word,       // 16 bits, decimal
    HexWord,    // 16 bits, shown "0x%04X"
    Tenths,     // two registers, lower and upper limit in tenths, read unsigned
    Channel,    // counted from 1 on screen, from 0 on the wire
    LoopFloats, // lower and upper limit as floats, in current-loop frames
};

// The loop range is read and written with current-loop frames, not registers.
constexpr std::uint16_t kNoRegister = 0xFFFF;

struct Setting {
    const char *name;  // stable, for scripts: "spreading-factor"
    const char *words; // in traffic meanings: "spreading factor"
    std::uint16_t reg; // first holding register, or kNoRegister
    Encoding encoding;
    const ValueRule *rule;   // the value, or the lower of a pair; null for a choice
    const ValueRule *second; // the upper of a pair
    QStringList choices;     // a choice's words, by register value
    const char *unit = nullptr; // of a typed value, where it has one: "MHz"
    // The current-loop command that reads or writes it, where it travels in
    // current-loop frames instead of its registers (0: by its registers).
    std::uint8_t readCommand = 0;
    std::uint8_t writeCommand = 0;
};

// Every setting, in register order, the loop range last.
const QVector<Setting> &gatewaySettings();
const Setting *findSetting(const QString &name);
// The setting whose register (or second register) this is; null for others.
const Setting *settingOfRegister(std::uint16_t reg);
// Registers a setting occupies: 2 for a pair of limits, 0 for the loop range.
int registerCount(const Setting &setting);

// One register's value as shown: "433", "0x00A5", "6552.1", "odd".
QString registerText(const Setting &setting, std::uint16_t value);
// The value of a holding register as shown, by the setting it belongs to.
QString shownValue(std::uint16_t reg, std::uint16_t value);
// A single-precision limit as shown, six significant digits.
QString floatText(float value);

// The whole value as shown: a pair joined by a comma ("4,20"). The values are
// the registers read in order; for the loop range, the bits of both floats.
QString valueText(const Setting &setting, const QVector<std::uint32_t> &values);
// The request that reads the setting from the gateway at this address, as it
// travels: a register read with its CRC, or a current-loop frame.
QByteArray settingReadRequest(const Setting &setting, std::uint8_t address);
// The setting's values in the accepted reply to that request.
QVector<std::uint32_t> settingReplyValues(const Setting &setting, const QByteArray &reply);
// The request that writes these values.
QByteArray settingWriteRequest(const Setting &setting, std::uint8_t address, const QVector<std::uint32_t> &values);

// The values for a typed text, or nothing with the reason ("expected a whole number
// from 420 to 675"). A pair is typed "LOWER,UPPER", a choice by its word, and its
// lower limit must lie below the upper as they go on the wire.
std::optional<QVector<std::uint32_t>> parseSetting(const Setting &setting, const QString &text, QString *reason);
// The two values of a pair, as parseSetting gives them, in order.
bool limitsInOrder(const Setting &setting, const QVector<std::uint32_t> &values);
