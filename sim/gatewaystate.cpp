#include "gatewaystate.h"

namespace {

struct RegisterInfo
{
    std::uint16_t number;
    const char *name;
    std::uint16_t GatewayState::*field; // null for the ones kept elsewhere
    std::uint16_t maximum; // largest value a write may set
    bool hex;
};

// Address, parity, baud and mode take only the values the gateway can act on;
// the rest are free 16-bit numbers.
const RegisterInfo kRegisters[] = {
    {GatewayRegister::Parity, "parity", &GatewayState::parity, 2, false},
    {GatewayRegister::Address, "address", nullptr, 247, false},
    {GatewayRegister::Baud, "baud", &GatewayState::baudCode, 3, false},
    {GatewayRegister::Frequency, "frequency", &GatewayState::frequency, 0xFFFF, true},
    {GatewayRegister::Calibration, "calibration", nullptr, 0xFFFF, true},
    {GatewayRegister::Channel, "channel", nullptr, 0x00FF, false},
    {GatewayRegister::Transmitters, "transmitters", &GatewayState::transmitters, 0xFFFF, false},
    {GatewayRegister::RangeLower, "range lower", &GatewayState::rangeLower, 0xFFFF, false},
    {GatewayRegister::RangeUpper, "range upper", &GatewayState::rangeUpper, 0xFFFF, false},
    {GatewayRegister::GatewayId, "gateway ID", &GatewayState::gatewayId, 0xFFFF, true},
    {GatewayRegister::SpreadingFactor, "spreading factor", &GatewayState::spreadingFactor, 0xFFFF, false},
    {GatewayRegister::Firmware, "firmware", &GatewayState::firmware, 0xFFFF, true},
    {GatewayRegister::SamplingPeriod, "sampling period", &GatewayState::samplingPeriod, 0xFFFF, false},
    {GatewayRegister::AnalogOutput, "analog output", &GatewayState::analogOutput, 0xFFFF, false},
    {GatewayRegister::Mode, "mode", &GatewayState::mode, 1, false},
};

const RegisterInfo *findRegister(std::uint16_t number)
{
    for (const RegisterInfo &info : kRegisters) {
        if (info.number == number)
            return &info;
    }
    return nullptr;
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
    // Address 0 is the broadcast address; no slave may take it.
    if (number == GatewayRegister::Address && value == 0)
        return ModbusException::IllegalValue;
    return value <= info->maximum ? 0 : ModbusException::IllegalValue;
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

QString registerName(std::uint16_t number)
{
    const RegisterInfo *info = findRegister(number);
    return info ? QString::fromLatin1(info->name) : QString();
}

QString registerValueText(std::uint16_t number, std::uint16_t value)
{
    const RegisterInfo *info = findRegister(number);
    if (info && info->hex)
        return QStringLiteral("0x") + QString::number(value, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    return QString::number(value);
}

QString cloudParameterName(int number)
{
    switch (number) {
    case CloudParameter::Mode: return QStringLiteral("mode");
    case CloudParameter::Region: return QStringLiteral("region");
    case CloudParameter::DeviceProperty: return QStringLiteral("device property");
    case CloudParameter::DeviceSecret: return QStringLiteral("device secret");
    case CloudParameter::DeviceName: return QStringLiteral("device name");
    case CloudParameter::PublishTopic: return QStringLiteral("publish topic");
    case CloudParameter::SubscribeTopic: return QStringLiteral("subscribe topic");
    default: return QString();
    }
}
