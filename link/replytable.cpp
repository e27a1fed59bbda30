#include "replytable.h"

#include "crc.h"
#include "frames.h"
#include "qwa.h"

struct ReplyTable {
    static const ReplyRule rules[Code::Highest + 1];
};

namespace {
constexpr int kMetersDependent = -1;
constexpr ReplyRule kUnread = {0, ReplyCheck::None, false, nullptr, nullptr};
}

// Indexed by code. Reply lengths: a read of one register is 7 bytes, of two 9;
// a write acknowledgement 8; the channel read 5; the loop range read 13.
const ReplyRule ReplyTable::rules[Code::Highest + 1] = {
    /* 0x00 */ kUnread,
    /* 0x01 */ {7, ReplyCheck::Crc, false, &Qwa::handleSearchReply, nullptr},
    /* 0x02 */ {7, ReplyCheck::Crc, true, &Qwa::handleBroadcastReply, nullptr},
    /* 0x03 */ {8, ReplyCheck::Crc, true, &Qwa::handleAddressChangeReply, nullptr},
    /* 0x04 */ {7, ReplyCheck::Crc, true, &Qwa::handleParityReply, nullptr},
    /* 0x05 */ {7, ReplyCheck::Crc, true, &Qwa::handleBaudReply, nullptr},
    /* 0x06 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x07 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x08 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x09 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x0A */ {kMetersDependent, ReplyCheck::Crc, false, &Qwa::handleAcquisitionReply, nullptr},
    /* 0x0B */ {7, ReplyCheck::Crc, true, &Qwa::handleFrequencyReply, nullptr},
    /* 0x0C */ {8, ReplyCheck::Crc, false, &Qwa::handleCalibrationEnabled, &Qwa::handleCalibrationFailed},
    /* 0x0D */ {5, ReplyCheck::Delimiters, false, &Qwa::handleChannelReply, nullptr},
    /* 0x0E */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x0F */ {13, ReplyCheck::None, false, &Qwa::handleLoopRangeReply, nullptr},
    /* 0x10 */ kUnread,
    /* 0x11 */ kUnread,
    /* 0x12 */ {7, ReplyCheck::Crc, true, &Qwa::handleTransmitterReply, nullptr},
    /* 0x13 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x14 */ {7, ReplyCheck::Crc, true, &Qwa::handleSpreadingFactorReply, nullptr},
    /* 0x15 */ {7, ReplyCheck::Crc, true, &Qwa::handlePlatformFrequencyReply, nullptr},
    /* 0x16 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x17 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x18 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x19 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x1A */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x1B */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x1C */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
    /* 0x1D */ {7, ReplyCheck::Crc, true, &Qwa::handlePlatformTransmitterReply, nullptr},
    /* 0x1E */ {9, ReplyCheck::Crc, true, &Qwa::handlePlatformRangeReply, nullptr},
    /* 0x1F */ {7, ReplyCheck::Crc, true, &Qwa::handleGatewayIdReply, nullptr},
    /* 0x20 */ {7, ReplyCheck::Crc, true, &Qwa::handleFirmwareReply, nullptr},
    /* 0x21 */ {7, ReplyCheck::Crc, true, &Qwa::handleSampleRateReply, nullptr},
    /* 0x22 */ {7, ReplyCheck::Crc, true, &Qwa::handleAnalogOutReply, nullptr},
    /* 0x23 */ {kCloudReplyChunk, ReplyCheck::None, true, nullptr, nullptr},
    /* 0x24 */ {7, ReplyCheck::Crc, true, &Qwa::handleModeReply, nullptr},
    /* 0x25 */ {8, ReplyCheck::Crc, true, nullptr, nullptr},
};

const ReplyRule *replyRule(std::uint8_t code)
{
    if (code > Code::Highest || ReplyTable::rules[code].length == 0)
        return nullptr;
    return &ReplyTable::rules[code];
}

int replyLength(std::uint8_t code, int meterCount)
{
    const ReplyRule *rule = replyRule(code);
    if (!rule)
        return 0;
    if (rule->length != kMetersDependent)
        return rule->length;
    const int meters = meterCount < 0 ? 0 : (meterCount > kMaxMeters ? kMaxMeters : meterCount);
    return 4 * meters + 5;
}

bool replyPasses(ReplyCheck check, const std::uint8_t *frame, int n)
{
    switch (check) {
    case ReplyCheck::Crc:
        return crcTrailerMatches(frame, n);
    case ReplyCheck::Delimiters:
        return n >= 5 && frame[0] == kLoopDelimiter && frame[4] == kLoopDelimiter;
    case ReplyCheck::None:
        break;
    }
    return true;
}
