#pragma once

#include <cstdint>

#include "frames.h"

// The one program-wide transmit buffer. Between requests it is all zero,
// except while the address search or the acquisition keeps its poll in it.
extern std::uint8_t txFrame[kTxFrameSize];

void clearTxFrame();
