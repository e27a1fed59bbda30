#pragma once

#include <cstdint>

// CRC-16/MODBUS: polynomial 0x8005 reflected (0xA001), initial value 0xFFFF,
// no final XOR. On the wire the CRC goes low byte first, then high byte,
// unlike the Modbus register numbers and values, which go high byte first.
std::uint16_t crc16Modbus(const std::uint8_t *data, int n);

// True when the last two bytes of frame[0..n) are the CRC of the bytes before them.
bool crcTrailerMatches(const std::uint8_t *frame, int n);

// Stores the CRC of frame[0..n) at frame[n] (low) and frame[n+1] (high).
void appendCrc(std::uint8_t *frame, int n);
