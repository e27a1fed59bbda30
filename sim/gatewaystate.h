#pragma once

#include <QMap>
#include <QString>
#include <QVector>

#include <cstdint>

#include "registers.h"

struct Meter
{
    float temperature = 20.0f;
    float base = 20.0f; // the drift pulls back towards this
    bool silent = false; // answers FF FF FF FF
};

// Everything one gateway remembers. Registers hold what the wire carries; the
// settings table says what the values mean.
struct GatewayState
{
    std::uint8_t address = 1;
    std::uint16_t parity = 0;
    std::uint16_t baudCode = 2;
    std::uint16_t frequency = 0x000D;
    std::uint16_t transmitters = 3;
    std::uint16_t rangeLower = 0;
    std::uint16_t rangeUpper = 1000;
    std::uint16_t gatewayId = 0x00A5;
    std::uint16_t firmware = 0x0102;
    std::uint16_t spreadingFactor = 7;
    std::uint16_t samplingPeriod = 60;
    std::uint16_t analogOutput = 0;
    std::uint16_t mode = 0;

    QVector<Meter> meters;

    // Current loop.
    std::uint8_t loopChannel = 0;
    float loopLower = 0.0f;
    float loopUpper = 100.0f;
    bool calibrationEnabled = false;
    std::uint8_t testCurrent = LoopCommand::LeaveTest; // tenths of mA while a test runs
    int measuredAt4mA = -1; // microamperes sent by the last calibration, -1: none yet
    int measuredAt20mA = -1;

    // Cloud platform.
    QMap<int, QString> cloudParameters; // by CloudParameter number
    bool modeConfirmed = false;
    bool platformDebugging = false;
    bool connected = false;

    // Plain holding registers (not the meter block). False for a register the gateway lacks.
    bool readRegister(std::uint16_t number, std::uint16_t *value) const;
    // 0 when the value may be written, else the Modbus exception code.
    std::uint8_t checkWrite(std::uint16_t number, std::uint16_t value) const;
    void applyWrite(std::uint16_t number, std::uint16_t value);
    // The line speed its baud register sets.
    int baud() const;
};
