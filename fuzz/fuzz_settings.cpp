// The settings table with any typed text: every setting through parseSetting
// and valueText, every rule through wireValue and floatValue.
//
// Input: byte 0 picks a setting or a rule, the rest is the text, UTF-8.
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>

#include "fuzzinput.h"
#include "settings.h"

namespace {

const ValueRule *const kRules[] = {
    &Rule::Address,      &Rule::Frequency,      &Rule::SpreadingFactor, &Rule::Transmitters,
    &Rule::RangeLower,   &Rule::RangeUpper,     &Rule::GatewayId,       &Rule::Firmware,
    &Rule::SamplingPeriod, &Rule::AnalogOutput, &Rule::Channel,         &Rule::LoopLower,
    &Rule::LoopUpper,    &Rule::MeasuredCurrent, &Rule::TestCurrent,    &Rule::Meters,
};

// The number a person meant by the text, read the way its kind is typed.
bool typedNumber(const ValueRule &rule, const QString &text, double *number)
{
    bool ok = false;
    switch (rule.kind) {
    case ValueKind::Integer:
        *number = double(text.toLongLong(&ok, 10));
        break;
    case ValueKind::Hex:
        *number = double(text.toULongLong(&ok, 16));
        break;
    default:
        *number = text.toDouble(&ok);
        break;
    }
    return ok;
}

// One value as read back, against the text it was typed as: a whole number
// exactly as a person writes it, a limit within the field's resolution.
void checkReadBack(const ValueRule &rule, const QString &typed, const QString &shown)
{
    double number = 0;
    FUZZ_REQUIRE(typedNumber(rule, typed, &number));
    FUZZ_REQUIRE(number >= rule.low && number <= rule.high);
    bool ok = false;
    const double back = shown.toDouble(&ok);
    switch (rule.kind) {
    case ValueKind::Integer:
        FUZZ_REQUIRE(shown == QString::number(qint64(number)));
        break;
    case ValueKind::Hex:
        FUZZ_REQUIRE(shown == QString::asprintf("0x%04X", unsigned(number)));
        break;
    case ValueKind::Decimal:
        // Tenths, rounded; single precision costs a little more at 6553.5.
        FUZZ_REQUIRE(ok && std::fabs(back - number) <= 0.5 / rule.scale + 1e-3);
        break;
    case ValueKind::Float:
        // Six significant digits of a single.
        FUZZ_REQUIRE(ok && std::fabs(back - number) <= 1e-5 * std::fabs(number));
        break;
    }
}

void checkSetting(const Setting &setting, const QString &text)
{
    QString reason;
    const auto values = parseSetting(setting, text, &reason);
    FUZZ_REQUIRE(bool(values) == reason.isEmpty());
    if (!values)
        return;
    const bool pair = setting.second != nullptr;
    FUZZ_REQUIRE(values->size() == (pair ? 2 : 1));
    // As the gateway holds them: 16-bit registers, or the loop range's two singles.
    QVector<std::uint32_t> held;
    for (const std::uint32_t value : *values)
        held << (setting.encoding == Encoding::LoopFloats ? value : std::uint16_t(value));
    FUZZ_REQUIRE(held == *values);
    FUZZ_REQUIRE(!pair || limitsInOrder(setting, held));
    const QString shown = valueText(setting, held);
    if (setting.encoding == Encoding::Choice) {
        FUZZ_REQUIRE(shown == text.trimmed());
        return;
    }
    const QStringList typedParts = pair ? text.split(QLatin1Char(',')) : QStringList{text};
    const QStringList shownParts = pair ? shown.split(QLatin1Char(',')) : QStringList{shown};
    FUZZ_REQUIRE(shownParts.size() == typedParts.size());
    for (int i = 0; i < typedParts.size(); ++i)
        checkReadBack(i == 0 ? *setting.rule : *setting.second, typedParts.at(i), shownParts.at(i));
    // What is shown for a register value can be typed again and means the same,
    // except a loop limit cut below the smallest full single by its six digits.
    if (setting.encoding == Encoding::LoopFloats)
        return;
    QString again;
    const auto retyped = parseSetting(setting, shown, &again);
    FUZZ_REQUIRE(retyped && *retyped == *values);
}

void checkRule(const ValueRule &rule, const QString &text)
{
    const auto wire = wireValue(rule, text);
    const auto single = floatValue(rule, text);
    // Both go by the same reading of the text; the wire also needs 64 bits.
    FUZZ_REQUIRE(!wire || single);
    if (!single) {
        FUZZ_REQUIRE(!expectedText(rule, text).isEmpty() && !refusalText(rule, text).isEmpty());
        return;
    }
    double number = 0;
    FUZZ_REQUIRE(typedNumber(rule, text, &number) && number >= rule.low && number <= rule.high);
    FUZZ_REQUIRE(std::isfinite(*single) && (*single == 0 || std::isnormal(*single)));
    if (!wire)
        return;
    const double onWire = double(*wire + rule.offset) / rule.scale;
    // Cut or rounded to the field's step, from single precision.
    FUZZ_REQUIRE(std::fabs(onWire - number) <= 1.0 / rule.scale + 1e-6 * std::fabs(number));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const std::uint8_t pick = in.byte();
    const QString text = QString::fromUtf8(in.rest());
    const QVector<Setting> &settings = gatewaySettings();
    constexpr int kRuleCount = int(sizeof kRules / sizeof kRules[0]);
    if (pick < settings.size())
        checkSetting(settings.at(pick), text);
    else
        checkRule(*kRules[(pick - settings.size()) % kRuleCount], text);
    return 0;
}
