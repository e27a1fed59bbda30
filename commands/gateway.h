#pragma once

#include <QString>

#include <cstdint>

#include "registers.h"

// The frequency register holds MHz minus 420 in its low byte: +92 is -420
// modulo 256. Text that is not a number counts as 0.
inline std::uint8_t frequencyCode(const QString &megahertz)
{
    return static_cast<std::uint8_t>(megahertz.toInt(nullptr, 10) + 92);
}

inline QString frequencyText(std::uint8_t code)
{
    return QString::number(code + 420);
}
