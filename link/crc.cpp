#include "crc.h"

std::uint16_t crc16Modbus(const std::uint8_t *data, int n)
{
    std::uint16_t crc = 0xFFFF;
    for (int i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

bool crcTrailerMatches(const std::uint8_t *frame, int n)
{
    if (n < 2)
        return false;
    const std::uint16_t crc = crc16Modbus(frame, n - 2);
    return frame[n - 2] == (crc & 0xFF) && frame[n - 1] == (crc >> 8);
}

void appendCrc(std::uint8_t *frame, int n)
{
    const std::uint16_t crc = crc16Modbus(frame, n);
    frame[n] = static_cast<std::uint8_t>(crc & 0xFF);
    frame[n + 1] = static_cast<std::uint8_t>(crc >> 8);
}
