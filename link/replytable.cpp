#include "replytable.h"

#include "qwa.h"

struct ReplyTable {
    static const ReplyRule rules[Code::Highest + 1];
};

namespace {
constexpr ReplyRule kUnhandled = {false, nullptr, nullptr};
constexpr ReplyRule kAcknowledged = {true, nullptr, nullptr};
}

// Indexed by code.
const ReplyRule ReplyTable::rules[Code::Highest + 1] = {
    /* 0x00 */ kUnhandled,
    /* 0x01 */ {false, &Qwa::handleSearchReply, nullptr},
    /* 0x02 */ {true, &Qwa::handleBroadcastReply, nullptr},
    /* 0x03 */ {true, &Qwa::handleAddressChangeReply, nullptr},
    /* 0x04 */ {true, &Qwa::handleParityReply, nullptr},
    /* 0x05 */ {true, &Qwa::handleBaudReply, nullptr},
    /* 0x06 */ kAcknowledged,
    /* 0x07 */ kAcknowledged,
    /* 0x08 */ kAcknowledged,
    /* 0x09 */ kAcknowledged,
    /* 0x0A */ {false, &Qwa::handleAcquisitionReply, nullptr},
    /* 0x0B */ {true, &Qwa::handleFrequencyReply, nullptr},
    /* 0x0C */ {false, &Qwa::handleCalibrationEnabled, &Qwa::handleCalibrationFailed},
    /* 0x0D */ {false, &Qwa::handleChannelReply, nullptr},
    /* 0x0E */ kAcknowledged,
    /* 0x0F */ {false, &Qwa::handleLoopRangeReply, nullptr},
    /* 0x10 */ kUnhandled,
    /* 0x11 */ kUnhandled,
    /* 0x12 */ {true, &Qwa::handleTransmitterReply, nullptr},
    /* 0x13 */ kAcknowledged,
    /* 0x14 */ {true, &Qwa::handleSpreadingFactorReply, nullptr},
    /* 0x15 */ {true, &Qwa::handlePlatformFrequencyReply, nullptr},
    /* 0x16 */ kAcknowledged,
    /* 0x17 */ kAcknowledged,
    /* 0x18 */ kAcknowledged,
    /* 0x19 */ kAcknowledged,
    /* 0x1A */ kAcknowledged,
    /* 0x1B */ kAcknowledged,
    /* 0x1C */ kAcknowledged,
    /* 0x1D */ {true, &Qwa::handlePlatformTransmitterReply, nullptr},
    /* 0x1E */ {true, &Qwa::handlePlatformRangeReply, nullptr},
    /* 0x1F */ {true, &Qwa::handleGatewayIdReply, nullptr},
    /* 0x20 */ {true, &Qwa::handleFirmwareReply, nullptr},
    /* 0x21 */ {true, &Qwa::handleSampleRateReply, nullptr},
    /* 0x22 */ {true, &Qwa::handleAnalogOutReply, nullptr},
    /* 0x23 */ {true, &Qwa::handleCloudReply, nullptr},
    /* 0x24 */ {true, &Qwa::handleModeReply, nullptr},
    /* 0x25 */ kAcknowledged,
};

const ReplyRule *replyRule(std::uint8_t code)
{
    if (code > Code::Highest || (!ReplyTable::rules[code].pulse && !ReplyTable::rules[code].handler))
        return nullptr;
    return &ReplyTable::rules[code];
}
