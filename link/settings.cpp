#include "settings.h"

#include <cmath>
#include <limits>

#include "frames.h"
#include "registers.h"

namespace Rule {
// Modbus slave addresses; 0 is the broadcast address.
const ValueRule Address{"地址", ValueKind::Integer, 1, 247, 1, false, 0};
// One byte above 420 MHz.
const ValueRule Frequency{"通信频率", ValueKind::Integer, 420, 675, 1, false, 420};
const ValueRule SpreadingFactor{"扩频因子", ValueKind::Integer, 0, 255, 1, false, 0};
const ValueRule Transmitters{"发射器数量", ValueKind::Integer, 0, 255, 1, false, 0};
// Tenths in 16 bits, read unsigned: a negative limit would come back as a large one.
const ValueRule RangeLower{"量程下限", ValueKind::Decimal, 0, 6553.5, 10, true, 0};
const ValueRule RangeUpper{"量程上限", ValueKind::Decimal, 0, 6553.5, 10, true, 0};
const ValueRule GatewayId{"网关ID", ValueKind::Hex, 0, 0xFFFF, 1, false, 0};
const ValueRule Firmware{"固件版本", ValueKind::Hex, 0, 0xFFFF, 1, false, 0};
const ValueRule SamplingPeriod{"采集周期", ValueKind::Integer, 0, 65535, 1, false, 0};
const ValueRule AnalogOutput{"模拟输出", ValueKind::Integer, 0, 65535, 1, false, 0};
const ValueRule Channel{"通道", ValueKind::Integer, 1, 256, 1, false, 1};
// Any finite single: the gateway takes the limits as floats.
const ValueRule LoopLower{"变送下限", ValueKind::Float, -3.4e38, 3.4e38, 1, false, 0};
const ValueRule LoopUpper{"变送上限", ValueKind::Float, -3.4e38, 3.4e38, 1, false, 0};
// A negative current is not a measurement.
const ValueRule MeasuredCurrent{"实际值", ValueKind::Decimal, 0, 65.535, 1000, false, 0};
const ValueRule TestCurrent{"自定义输入", ValueKind::Decimal, 0, 25.4, 10, false, 0};
// A poll of no meters is a read of no registers, which the gateway refuses every second.
const ValueRule Meters{"表数", ValueKind::Integer, 1, kMaxMeters, 1, false, 0};
} // namespace Rule

namespace {

QString boundText(const ValueRule &rule, double bound)
{
    if (rule.kind == ValueKind::Hex)
        return QString::asprintf("0x%04X", static_cast<unsigned>(bound));
    return QString::number(bound, 'g', 10);
}

// The smallest magnitude a single holds at full precision; below it a limit
// would arrive as 0 or as a denormal the gateway may flush to 0.
constexpr double kSmallestSingle = std::numeric_limits<float>::min();
// Where a double stops fitting into 64 bits.
constexpr double kInt64Limit = 9223372036854775808.0;

bool wholeNumbers(const ValueRule &rule)
{
    return rule.kind == ValueKind::Integer || rule.kind == ValueKind::Hex;
}

// Why a text is refused: it is no number of the rule's kind or lies outside
// the range, or it is a nonzero value that single precision cannot hold.
enum class Fault { None, Range, TooSmall };

Fault typedNumber(const ValueRule &rule, const QString &text, double *number)
{
    bool ok = false;
    double value = 0;
    switch (rule.kind) {
    case ValueKind::Integer:
        value = static_cast<double>(text.toLongLong(&ok, 10));
        break;
    case ValueKind::Hex:
        value = static_cast<double>(text.toULongLong(&ok, 16));
        break;
    case ValueKind::Decimal:
    case ValueKind::Float:
        value = text.toDouble(&ok);
        break;
    }
    if (!ok || !std::isfinite(value) || value < rule.low || value > rule.high)
        return Fault::Range;
    if (rule.kind == ValueKind::Float) {
        const float single = static_cast<float>(value);
        if (std::isinf(single))
            return Fault::Range;
        if (value != 0 && !std::isnormal(single))
            return Fault::TooSmall;
    }
    *number = value;
    return Fault::None;
}

std::optional<double> typedNumber(const ValueRule &rule, const QString &text)
{
    double value = 0;
    if (typedNumber(rule, text, &value) != Fault::None)
        return std::nullopt;
    return value;
}

// "1.17549435e-38": enough digits that the text typed back is a full single.
QString smallestSingleText()
{
    return QString::number(kSmallestSingle, 'g', 9);
}

std::uint16_t wordAt(const QVector<std::uint32_t> &values, int index)
{
    return static_cast<std::uint16_t>(values.value(index));
}

QVector<Setting> makeSettings()
{
    using namespace GatewayRegister;
    return {
        {"parity", "parity", Parity, Encoding::Choice, nullptr, nullptr, {"none", "odd", "even"}},
        {"address", "address", Address, Encoding::LowByte, &Rule::Address, nullptr, {}},
        {"baud", "baud rate", Baud, Encoding::Choice, nullptr, nullptr, {"2400", "4800", "9600", "19200"}},
        {"frequency", "frequency", GatewayRegister::Frequency, Encoding::Frequency, &Rule::Frequency, nullptr, {},
         "MHz"},
        // Read by a current-loop frame, written to its register.
        {"loop-channel", "current-loop channel", GatewayRegister::Channel, Encoding::Channel, &Rule::Channel,
         nullptr, {}, nullptr, LoopCommand::ReadChannel},
        {"transmitters", "transmitters", GatewayRegister::Transmitters, Encoding::LowByte, &Rule::Transmitters,
         nullptr, {}},
        {"range", "range", RangeLower, Encoding::Tenths, &Rule::RangeLower, &Rule::RangeUpper, {}},
        {"gateway-id", "gateway ID", GatewayRegister::GatewayId, Encoding::HexWord, &Rule::GatewayId, nullptr, {}},
        {"spreading-factor", "spreading factor", GatewayRegister::SpreadingFactor, Encoding::LowByte,
         &Rule::SpreadingFactor, nullptr, {}},
        {"firmware", "firmware", GatewayRegister::Firmware, Encoding::HexWord, &Rule::Firmware, nullptr, {}},
        {"sampling-period", "sampling period", GatewayRegister::SamplingPeriod, Encoding::Word,
         &Rule::SamplingPeriod, nullptr, {}},
        {"analog-output", "analog output", AnalogOutput, Encoding::Word, &Rule::AnalogOutput, nullptr, {}},
        {"mode", "mode", Mode, Encoding::Choice, nullptr, nullptr, {"receiver", "repeater"}},
        {"loop-range", "current-loop range", kNoRegister, Encoding::LoopFloats, &Rule::LoopLower, &Rule::LoopUpper,
         {}, nullptr, LoopCommand::ReadRange, LoopCommand::WriteRange},
    };
}

} // namespace

QString rangeText(const ValueRule &rule, const char *to)
{
    return boundText(rule, rule.low) + QString::fromUtf8(to) + boundText(rule, rule.high);
}

QString refusalText(const ValueRule &rule)
{
    return QString::fromUtf8(rule.label) + QStringLiteral("应为") + rangeText(rule, "到")
           + (wholeNumbers(rule) ? QStringLiteral("的整数") : QString());
}

QString refusalText(const ValueRule &rule, const QString &text)
{
    double value = 0;
    if (typedNumber(rule, text, &value) != Fault::TooSmall)
        return refusalText(rule);
    return QString::fromUtf8(rule.label) + QStringLiteral("应为0或绝对值在") + smallestSingleText()
           + QStringLiteral("到") + boundText(rule, rule.high) + QStringLiteral("之间");
}

QString expectedText(const ValueRule &rule, const QString &text)
{
    double value = 0;
    if (typedNumber(rule, text, &value) == Fault::TooSmall)
        return QStringLiteral("0 or a magnitude from ") + smallestSingleText() + QStringLiteral(" to ")
               + boundText(rule, rule.high);
    return (wholeNumbers(rule) ? QStringLiteral("a whole number from ") : QString()) + rangeText(rule, " to ");
}

QString orderRefusalText(const ValueRule &lower)
{
    return QString::fromUtf8(lower.label) + QStringLiteral("应小于上限");
}

std::optional<std::int64_t> wireValue(const ValueRule &rule, const QString &text)
{
    const std::optional<double> typed = typedNumber(rule, text);
    if (!typed || !(std::fabs(*typed) < kInt64Limit))
        return std::nullopt;
    std::int64_t value = static_cast<std::int64_t>(*typed);
    if (rule.scale != 1) {
        // Scaled from single precision, as the tool always has; the range check
        // above keeps the product far inside 32 bits.
        const float single = text.toFloat();
        value = rule.rounded ? static_cast<std::int64_t>(std::round(static_cast<double>(single) * rule.scale))
                             : truncateToInt32(single * static_cast<float>(rule.scale));
    }
    return value - rule.offset;
}

std::optional<float> floatValue(const ValueRule &rule, const QString &text)
{
    const std::optional<double> typed = typedNumber(rule, text);
    if (!typed)
        return std::nullopt;
    return static_cast<float>(*typed);
}

const QVector<Setting> &gatewaySettings()
{
    static const QVector<Setting> settings = makeSettings();
    return settings;
}

const Setting *findSetting(const QString &name)
{
    for (const Setting &setting : gatewaySettings()) {
        if (name == QLatin1String(setting.name))
            return &setting;
    }
    return nullptr;
}

const Setting *settingOfRegister(std::uint16_t reg)
{
    for (const Setting &setting : gatewaySettings()) {
        const int count = registerCount(setting);
        if (count > 0 && reg >= setting.reg && reg < setting.reg + count)
            return &setting;
    }
    return nullptr;
}

int registerCount(const Setting &setting)
{
    switch (setting.encoding) {
    case Encoding::LoopFloats:
        return 0;
    case Encoding::Tenths:
        return 2;
    default:
        return 1;
    }
}

QByteArray settingReadRequest(const Setting &setting, std::uint8_t address)
{
    std::uint8_t frame[kTxFrameSize];
    if (setting.readCommand)
        return frameOf(frame, buildLoopFrame(frame, setting.readCommand, nullptr, 0));
    return readRequest(address, setting.reg, static_cast<std::uint16_t>(registerCount(setting)));
}

QVector<std::uint32_t> settingReplyValues(const Setting &setting, const QByteArray &reply)
{
    const std::uint8_t *r = bytesOf(reply);
    switch (setting.readCommand) {
    case LoopCommand::ReadChannel:
        return {loopChannelOf(r)};
    case LoopCommand::ReadRange:
        return {bitsOfFloat(loopRangeLower(r)), bitsOfFloat(loopRangeUpper(r))};
    default:
        break;
    }
    QVector<std::uint32_t> values;
    for (int i = 0; i < registerCount(setting); ++i)
        values << replyRegister(r, i);
    return values;
}

QByteArray settingWriteRequest(const Setting &setting, std::uint8_t address, const QVector<std::uint32_t> &values)
{
    std::uint8_t frame[kTxFrameSize];
    if (setting.writeCommand == LoopCommand::WriteRange)
        return frameOf(frame, buildLoopRangeWrite(frame, floatOfBits(values.value(0)), floatOfBits(values.value(1))));
    std::uint16_t words[2] = {};
    for (int i = 0; i < values.size() && i < 2; ++i)
        words[i] = static_cast<std::uint16_t>(values.at(i));
    return writeRequest(address, setting.reg, words, registerCount(setting));
}

QString registerText(const Setting &setting, std::uint16_t value)
{
    switch (setting.encoding) {
    case Encoding::Choice:
        return value < setting.choices.size() ? setting.choices.at(value) : QString::number(value);
    case Encoding::LowByte:
        return QString::number(value & 0xFF);
    case Encoding::Frequency:
        return QString::number((value & 0xFF) + 420);
    case Encoding::Word:
        return QString::number(value);
    case Encoding::HexWord:
        return QString::asprintf("0x%04X", value);
    case Encoding::Tenths:
        return QString::number(static_cast<double>(static_cast<float>(value)) / 10.0, 'g', 6);
    case Encoding::Channel:
        return QString::number(value + 1);
    case Encoding::LoopFloats:
        break;
    }
    return QString::number(value);
}

QString shownValue(std::uint16_t reg, std::uint16_t value)
{
    const Setting *setting = settingOfRegister(reg);
    return setting ? registerText(*setting, value) : QString::number(value);
}

QString floatText(float value)
{
    return QString::number(value, 'g', 6);
}

QString valueText(const Setting &setting, const QVector<std::uint32_t> &values)
{
    switch (setting.encoding) {
    case Encoding::Tenths:
        return registerText(setting, wordAt(values, 0)) + QLatin1Char(',') + registerText(setting, wordAt(values, 1));
    case Encoding::LoopFloats:
        return floatText(floatOfBits(values.value(0))) + QLatin1Char(',') + floatText(floatOfBits(values.value(1)));
    default:
        return registerText(setting, wordAt(values, 0));
    }
}

std::optional<QVector<std::uint32_t>> parseSetting(const Setting &setting, const QString &text, QString *reason)
{
    if (setting.encoding == Encoding::Choice) {
        const int index = setting.choices.indexOf(text.trimmed());
        if (index < 0) {
            *reason = QStringLiteral("expected ") + setting.choices.join(QStringLiteral(", "));
            return std::nullopt;
        }
        return QVector<std::uint32_t>{static_cast<std::uint32_t>(index)};
    }
    const bool pair = setting.second != nullptr;
    const QStringList parts = pair ? text.split(QLatin1Char(',')) : QStringList{text};
    if (parts.size() != (pair ? 2 : 1)) {
        *reason = QStringLiteral("expected LOWER,UPPER, each ") + rangeText(*setting.rule, " to ");
        return std::nullopt;
    }
    QVector<std::uint32_t> values;
    for (int i = 0; i < parts.size(); ++i) {
        const ValueRule &rule = i == 0 ? *setting.rule : *setting.second;
        if (rule.kind == ValueKind::Float) {
            const std::optional<float> value = floatValue(rule, parts.at(i));
            if (!value) {
                *reason = QStringLiteral("expected ") + expectedText(rule, parts.at(i));
                return std::nullopt;
            }
            values << bitsOfFloat(*value);
            continue;
        }
        const std::optional<std::int64_t> value = wireValue(rule, parts.at(i));
        if (!value) {
            *reason = QStringLiteral("expected ") + expectedText(rule, parts.at(i));
            return std::nullopt;
        }
        values << static_cast<std::uint32_t>(static_cast<std::uint16_t>(*value));
    }
    if (pair && !limitsInOrder(setting, values)) {
        *reason = QStringLiteral("expected LOWER below UPPER");
        return std::nullopt;
    }
    return values;
}

bool limitsInOrder(const Setting &setting, const QVector<std::uint32_t> &values)
{
    if (setting.encoding == Encoding::LoopFloats)
        return floatOfBits(values.value(0)) < floatOfBits(values.value(1));
    return values.value(0) < values.value(1);
}
