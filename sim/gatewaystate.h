#pragma once

#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>

// Holding registers of the gateway as the tool addresses them.
namespace GatewayRegister {
constexpr std::uint16_t Parity = 0x0000;
constexpr std::uint16_t Address = 0x0001;
constexpr std::uint16_t Baud = 0x0002;
constexpr std::uint16_t Frequency = 0x0003;
// Written: calibration enable. Read: first register of the meter block.
constexpr std::uint16_t Calibration = 0x0004;
constexpr std::uint16_t MeterBlock = 0x0004;
constexpr std::uint16_t Channel = 0x0006;
constexpr std::uint16_t Transmitters = 0x03E8;
constexpr std::uint16_t RangeLower = 0x03E9;
constexpr std::uint16_t RangeUpper = 0x03EA;
constexpr std::uint16_t GatewayId = 0x03EB;
constexpr std::uint16_t SpreadingFactor = 0x03EC;
constexpr std::uint16_t Firmware = 0x03ED;
constexpr std::uint16_t SamplingPeriod = 0x03EE;
constexpr std::uint16_t AnalogOutput = 0x03EF;
constexpr std::uint16_t Mode = 0x03F0;

constexpr std::uint16_t CalibrationKey = 0x9B9B;
}

// Modbus exception codes the gateway answers with.
namespace ModbusException {
constexpr std::uint8_t IllegalFunction = 0x01;
constexpr std::uint8_t IllegalAddress = 0x02;
constexpr std::uint8_t IllegalValue = 0x03;
constexpr std::uint8_t DeviceFailure = 0x04;
}

// Cloud parameter numbers (byte 2 of a 64 64 frame).
namespace CloudParameter {
constexpr int Mode = 0x01;
constexpr int Region = 0x02;
constexpr int DeviceProperty = 0x03;
constexpr int DeviceSecret = 0x04;
constexpr int DeviceName = 0x05;
constexpr int PublishTopic = 0x06;
constexpr int SubscribeTopic = 0x07;
}

struct Meter
{
    float temperature = 20.0f;
    float base = 20.0f; // the drift pulls back towards this
    bool silent = false; // answers FF FF FF FF
};

// Everything one gateway remembers.
struct GatewayState
{
    std::uint8_t address = 1;
    std::uint16_t parity = 0; // 0 none, 1 odd, 2 even
    std::uint16_t baudCode = 2; // 0 2400, 1 4800, 2 9600, 3 19200
    std::uint16_t frequency = 0x000D; // low byte: MHz - 420
    std::uint16_t transmitters = 3;
    std::uint16_t rangeLower = 0; // tenths
    std::uint16_t rangeUpper = 1000;
    std::uint16_t gatewayId = 0x00A5;
    std::uint16_t firmware = 0x0102;
    std::uint16_t spreadingFactor = 7;
    std::uint16_t samplingPeriod = 60;
    std::uint16_t analogOutput = 0;
    std::uint16_t mode = 0; // 0 receiver, 1 repeater

    QVector<Meter> meters;

    // Current loop.
    std::uint8_t loopChannel = 0; // counted from 0; register 0x0006
    float loopLower = 0.0f;
    float loopUpper = 100.0f;
    bool calibrationEnabled = false;
    std::uint8_t testCurrent = 0xFF; // tenths of mA; 0xFF: no test running
    int measuredAt4mA = -1; // microamperes sent by the last calibration, -1: none yet
    int measuredAt20mA = -1;

    // Cloud platform.
    QMap<int, QString> cloudParameters; // by parameter number 2..7
    bool modeConfirmed = false;
    bool platformDebugging = false;
    bool connected = false;

    // Plain holding registers (not the meter block). False for a register the gateway lacks.
    bool readRegister(std::uint16_t number, std::uint16_t *value) const;
    // 0 when the value may be written, else the Modbus exception code.
    std::uint8_t checkWrite(std::uint16_t number, std::uint16_t value) const;
    void applyWrite(std::uint16_t number, std::uint16_t value);
};

// "baud", "range lower"...; empty for an unknown register.
QString registerName(std::uint16_t number);
// The value as a person reads it: hexadecimal for ID and firmware, decimal otherwise.
QString registerValueText(std::uint16_t number, std::uint16_t value);
QString cloudParameterName(int number);
