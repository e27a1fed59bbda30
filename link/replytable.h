#pragma once

#include <cstdint>

#include "requestcodes.h"

class Qwa;

// How a reply is checked before its handler runs.
enum class ReplyCheck : std::uint8_t {
    Crc,        // Modbus CRC over all bytes but the last two
    Delimiters, // current-loop frame: 0xAA at bytes 0 and 4
    None
};

using ReplyHandler = void (Qwa::*)(const std::uint8_t *reply, int n);

// What the reception knows of each pending-request code.
struct ReplyRule {
    int length;            // fixed reply length; the acquisition's depends on the meter count
    ReplyCheck check;
    bool pulse;            // completion pulse after a reply that passed its check
    ReplyHandler handler;  // may be null: the pulse is the only sign of a write acknowledgement
    ReplyHandler failed;   // run when the check fails; only calibration enabling reports it
};

// The acquisition table shows at most 21 meters; its reply is 4 bytes a meter plus 5.
constexpr int kMaxMeters = 21;
constexpr int kMaxReplyLength = 4 * kMaxMeters + 5;
// A cloud reply is dropped in pieces of at most this many bytes.
constexpr int kCloudReplyChunk = 64;

// The rule of a code, or null for codes whose replies are left unread in the port
// (0, the range write 0x10, the unused 0x11 and everything above 0x25).
const ReplyRule *replyRule(std::uint8_t code);

// Reply length of a code; for the acquisition the meter count is held to 0..21.
int replyLength(std::uint8_t code, int meterCount);

bool replyPasses(ReplyCheck check, const std::uint8_t *frame, int n);
