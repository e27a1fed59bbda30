#include "gatewaystate.h"

#include "frames.h"
#include "settings.h"

namespace {

struct RegisterInfo
{
    std::uint16_t number;
    std::uint16_t GatewayState::*field; // null for the ones kept elsewhere
    bool limited; // takes only the values its setting allows; the rest are free 16-bit numbers
};

// Address, parity, baud, channel and mode take only the values the gateway can act on.
const RegisterInfo kRegisters[] = {
    {GatewayRegister::Parity, &GatewayState::parity, true},
    {GatewayRegister::Address, nullptr, true},
    {GatewayRegister::Baud, &GatewayState::baudCode, true},
    {GatewayRegister::Frequency, &GatewayState::frequency, false},
    {GatewayRegister::Calibration, nullptr, false},
    {GatewayRegister::Channel, nullptr, true},
    {GatewayRegister::Transmitters, &GatewayState::transmitters, false},
    {GatewayRegister::RangeLower, &GatewayState::rangeLower, false},
    {GatewayRegister::RangeUpper, &GatewayState::rangeUpper, false},
    {GatewayRegister::GatewayId, &GatewayState::gatewayId, false},
    {GatewayRegister::SpreadingFactor, &GatewayState::spreadingFactor, false},
    {GatewayRegister::Firmware, &GatewayState::firmware, false},
    {GatewayRegister::SamplingPeriod, &GatewayState::samplingPeriod, false},
    {GatewayRegister::AnalogOutput, &GatewayState::analogOutput, false},
    {GatewayRegister::Mode, &GatewayState::mode, true},
};

const RegisterInfo *findRegister(std::uint16_t number)
{
    for (const RegisterInfo &info : kRegisters) {
        if (info.number == number)
            return &info;
    }
    return nullptr;
}

// A choice's index, or a value in the setting's range as it goes on the wire.
bool allowedBySetting(std::uint16_t number, std::uint16_t value)
{
    const Setting &setting = *settingOfRegister(number);
    if (setting.encoding == Encoding::Choice)
        return value < setting.choices.size();
    const ValueRule &rule = *setting.rule;
    return value >= rule.low - rule.offset && value <= rule.high - rule.offset;
}

} // namespace

bool GatewayState::readRegister(std::uint16_t number, std::uint16_t *value) const
{
    const RegisterInfo *info = findRegister(number);
    if (!info || number == GatewayRegister::Calibration)
        return false;
    if (number == GatewayRegister::Address)
        *value = address;
    else if (number == GatewayRegister::Channel)
        *value = loopChannel;
    else
        *value = this->*(info->field);
    return true;
}

std::uint8_t GatewayState::checkWrite(std::uint16_t number, std::uint16_t value) const
{
    const RegisterInfo *info = findRegister(number);
    if (!info)
        return ModbusException::IllegalAddress;
    if (number == GatewayRegister::Calibration)
        return (value == GatewayRegister::CalibrationKey || value == 0) ? 0 : ModbusException::IllegalValue;
    return !info->limited || allowedBySetting(number, value) ? 0 : ModbusException::IllegalValue;
}

int GatewayState::baud() const
{
    return findSetting(QStringLiteral("baud"))->choices.value(baudCode).toInt();
}

void GatewayState::applyWrite(std::uint16_t number, std::uint16_t value)
{
    const RegisterInfo *info = findRegister(number);
    if (!info)
        return;
    if (number == GatewayRegister::Address)
        address = static_cast<std::uint8_t>(value);
    else if (number == GatewayRegister::Calibration)
        calibrationEnabled = value == GatewayRegister::CalibrationKey;
    else if (number == GatewayRegister::Channel)
        loopChannel = static_cast<std::uint8_t>(value);
    else
        this->*(info->field) = value;
}
