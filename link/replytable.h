#pragma once

#include <cstdint>

#include "requestcodes.h"

class Qwa;

using ReplyHandler = void (Qwa::*)(const std::uint8_t *reply, int n);

// What the window does with the reply to each request code; how long the
// reply is and how it is checked the link reads from the request itself.
struct ReplyRule {
    bool pulse;            // completion pulse after a reply that passed its check
    ReplyHandler handler;  // may be null: the pulse is the only sign of a write acknowledgement
    ReplyHandler failed;   // run when the check fails; only calibration enabling reports it
};

// The rule of a code, or null for codes whose replies nobody handles
// (0, the range write 0x10, the unused 0x11 and everything above 0x25).
const ReplyRule *replyRule(std::uint8_t code);
