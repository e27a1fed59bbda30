#pragma once

#include <QByteArray>

#include <cstdint>

// What a request waits for and the one check every reply passes before it is
// taken, both read from the request itself: its family, its address, its
// function or command and the count it asked for.

struct ReplyShape {
    enum Kind : std::uint8_t {
        Nothing, // the frame gets no answer: a loop write, a test current, a cloud command
        Modbus,  // a read or write reply with its CRC, or an exception instead
        Loop,    // AA, length, command, payload, AA
        Text,    // a cloud answer: text that ends where the line goes quiet
    };
    Kind kind = Nothing;
    int length = 0;         // Modbus, Loop: the whole reply
    bool anySender = false; // Modbus: the reply names its sender (broadcast address, search)
};

// The shape of the reply to this frame; a read to the broadcast address names its sender.
ReplyShape replyShapeOf(const QByteArray &request, bool anySender = false);

enum class Verdict : std::uint8_t {
    Incomplete, // too few bytes yet to tell
    Answer,     // the answer to this request
    Exception,  // a Modbus exception from the gateway asked, to the function asked
    Wrong,      // bytes that fail the check: another address, function, count, command, or CRC
};

// Checks the bytes at the front of a reception against the request. *used is
// how many bytes the verdict takes (all that a wrong reply of the shape's length holds).
// A text answer is complete only when the caller says the line went quiet.
Verdict checkReply(const QByteArray &request, const ReplyShape &shape, const QByteArray &bytes, int *used,
                   bool lineQuiet = false);

// True for the cloud answer that means success; anything else is the gateway's refusal.
bool isCloudOk(const QByteArray &answer);

// True when a late reply to `earlier` could pass the check of `later`, so that
// `later` must wait until that reply has come or cannot come any more.
// Identical frames never mix: replies come in order, so the oldest takes the first;
// nor do two requests whose replies both name their sender (the search's polls).
bool repliesCouldMix(const QByteArray &earlier, bool earlierAnySender, const QByteArray &later, bool laterAnySender);

// How long the frame takes on the line at this baud rate: start, eight data
// bits, parity and stop, eleven bits a byte at the most.
int wireTimeMs(int bytes, int baud);

// What a gateway is given to turn a request round before its reply starts:
// the search's tick, the detection's and the scan's allowance.
constexpr int kTurnaroundMs = 100;
// How long a request waits for the start of its reply: its own wire time and the turn-around.
inline int replyWaitMs(const QByteArray &request, int baud)
{
    return wireTimeMs(int(request.size()), baud) + kTurnaroundMs;
}
