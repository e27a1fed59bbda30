#pragma once

#include <cstdint>

// The code of the request whose reply is awaited. The reception knows a reply
// only by this code: its length, its check and who shows it.
namespace Code {
constexpr std::uint8_t None = 0x00;
constexpr std::uint8_t Search = 0x01;
constexpr std::uint8_t Broadcast = 0x02;
constexpr std::uint8_t AddressChange = 0x03;
constexpr std::uint8_t ReadParity = 0x04;
constexpr std::uint8_t ReadBaud = 0x05;
constexpr std::uint8_t WriteParity = 0x06;
constexpr std::uint8_t WriteBaud = 0x07;
constexpr std::uint8_t WriteFrequency = 0x08;
constexpr std::uint8_t WriteSpreadingFactor = 0x09;
constexpr std::uint8_t Acquisition = 0x0A;
constexpr std::uint8_t ReadFrequency = 0x0B;
constexpr std::uint8_t EnableCalibration = 0x0C;
constexpr std::uint8_t ReadChannel = 0x0D;
constexpr std::uint8_t WriteChannel = 0x0E;
constexpr std::uint8_t ReadLoopRange = 0x0F;
constexpr std::uint8_t WriteLoopRange = 0x10; // awaits nothing: its replies stay in the port
constexpr std::uint8_t ReadTransmitters = 0x12;
constexpr std::uint8_t WriteTransmitters = 0x13;
constexpr std::uint8_t ReadSpreadingFactor = 0x14;
constexpr std::uint8_t ReadPlatformFrequency = 0x15;
constexpr std::uint8_t WritePlatformFrequency = 0x16;
constexpr std::uint8_t WritePlatformTransmitters = 0x17;
constexpr std::uint8_t WriteRange = 0x18;
constexpr std::uint8_t WriteId = 0x19;
constexpr std::uint8_t WriteFirmware = 0x1A;
constexpr std::uint8_t WriteSampling = 0x1B;
constexpr std::uint8_t WriteAnalogOut = 0x1C;
constexpr std::uint8_t ReadPlatformTransmitters = 0x1D;
constexpr std::uint8_t ReadRange = 0x1E;
constexpr std::uint8_t ReadId = 0x1F;
constexpr std::uint8_t ReadFirmware = 0x20;
constexpr std::uint8_t ReadSampling = 0x21;
constexpr std::uint8_t ReadAnalogOut = 0x22;
constexpr std::uint8_t Cloud = 0x23;
constexpr std::uint8_t ReadMode = 0x24;
constexpr std::uint8_t WriteMode = 0x25;
constexpr std::uint8_t Highest = WriteMode;
// The detection's broadcast reads: its own outcomes, handled by the detector, not the table.
constexpr std::uint8_t Detect = 0x26;
// The commissioning window's requests, handled by its commissioner.
constexpr std::uint8_t Commission = 0x27;
} // namespace Code
