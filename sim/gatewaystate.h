#pragma once

#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>

#include "registers.h"

// Modbus exception codes the gateway answers with.
namespace ModbusException {
constexpr std::uint8_t IllegalFunction = 0x01;
constexpr std::uint8_t IllegalAddress = 0x02;
constexpr std::uint8_t IllegalValue = 0x03;
constexpr std::uint8_t DeviceFailure = 0x04;
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
