#pragma once

#include <cstdint>

// What the tool and the simulator agree on about the gateway, beyond the frame layouts.

// Holding registers of the gateway.
namespace GatewayRegister {
constexpr std::uint16_t Parity = 0x0000;
constexpr std::uint16_t Address = 0x0001;
constexpr std::uint16_t Baud = 0x0002;
constexpr std::uint16_t Frequency = 0x0003;
// Written: calibration enable. Read: first register of the meter block, two a meter.
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
} // namespace GatewayRegister

// The acquisition polls and shows at most this many meters.
constexpr int kMaxMeters = 21;
// A read asks for 125 registers at most, two a meter: the most a gateway's block can give.
constexpr int kMaxBlockMeters = 62;

// Commands of the current-loop frames (byte 2).
namespace LoopCommand {
constexpr std::uint8_t WriteRange = 0x01;
constexpr std::uint8_t OutputCurrent = 0x02;
constexpr std::uint8_t ReadRange = 0x08;
constexpr std::uint8_t ReadChannel = 0x0C;
constexpr std::uint8_t Calibrate = 0xE7;
// The current byte that ends a test.
constexpr std::uint8_t LeaveTest = 0xFF;
// The calibration points, as current bytes in tenths of a mA: 4.0 mA and 20.0 mA.
constexpr std::uint8_t Point4mA = 0x28;
constexpr std::uint8_t Point20mA = 0xC8;
} // namespace LoopCommand

// Cloud parameter numbers (byte 2 of a 64 64 frame).
namespace CloudParameter {
constexpr std::uint8_t Mode = 0x01;
constexpr std::uint8_t Region = 0x02;
constexpr std::uint8_t DeviceProperty = 0x03;
constexpr std::uint8_t DeviceSecret = 0x04;
constexpr std::uint8_t DeviceName = 0x05;
constexpr std::uint8_t PublishTopic = 0x06;
constexpr std::uint8_t SubscribeTopic = 0x07;
} // namespace CloudParameter

// The MQTT options the gateway expects after a topic, whatever the user typed.
namespace CloudTopicOptions {
constexpr char Publish[] = ",0,0";
constexpr char Subscribe[] = ",0";
} // namespace CloudTopicOptions
