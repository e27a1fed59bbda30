#include "replycheck.h"

#include <cstring>

#include "crc.h"
#include "frames.h"
#include "registers.h"

namespace {

std::uint8_t at(const QByteArray &frame, int i)
{
    return static_cast<std::uint8_t>(frame.at(i));
}

// Addresses 0x64 and 0xAA start a Modbus frame as they start the other families;
// the CRC tells them apart.
bool isModbusRequest(const QByteArray &request)
{
    return request.size() >= 8 && (at(request, 1) == kModbusRead || at(request, 1) == kModbusWrite)
           && crcTrailerMatches(bytesOf(request), int(request.size()));
}

bool senderFree(const QByteArray &request, bool anySender)
{
    return anySender || at(request, 0) == 0;
}

} // namespace

ReplyShape replyShapeOf(const QByteArray &request, bool anySender)
{
    ReplyShape shape;
    if (request.isEmpty())
        return shape;
    if (isModbusRequest(request)) {
        shape.kind = ReplyShape::Modbus;
        shape.anySender = senderFree(request, anySender);
        shape.length = at(request, 1) == kModbusRead ? readReplyLength(registerValue(bytesOf(request) + 4))
                                                     : kWriteReplyLength;
        return shape;
    }
    const std::uint8_t first = at(request, 0);
    if (first == kLoopDelimiter && request.size() >= 4) {
        switch (at(request, 2)) {
        case LoopCommand::ReadChannel:
            shape = {ReplyShape::Loop, kLoopChannelReplyLength, false};
            break;
        case LoopCommand::ReadRange:
            shape = {ReplyShape::Loop, kLoopRangeReplyLength, false};
            break;
        default:
            break;
        }
        return shape;
    }
    if (first == kCloudHeader && request.size() >= 2) {
        // Only a parameter gets an answer; the connect and debugging commands get none.
        if (at(request, 1) == kCloudWriteParameter)
            shape.kind = ReplyShape::Text;
    }
    return shape;
}

Verdict checkReply(const QByteArray &request, const ReplyShape &shape, const QByteArray &bytes, int *used,
                   bool lineQuiet)
{
    *used = 0;
    switch (shape.kind) {
    case ReplyShape::Nothing:
        *used = int(bytes.size());
        return bytes.isEmpty() ? Verdict::Incomplete : Verdict::Wrong;
    case ReplyShape::Text:
        if (bytes.isEmpty() || !lineQuiet)
            return Verdict::Incomplete;
        *used = int(bytes.size());
        return Verdict::Answer;
    case ReplyShape::Loop: {
        if (bytes.size() < shape.length)
            return Verdict::Incomplete;
        *used = shape.length;
        const bool framed = at(bytes, 0) == kLoopDelimiter && at(bytes, shape.length - 1) == kLoopDelimiter
                            && at(bytes, 1) == shape.length && at(bytes, 2) == at(request, 2);
        return framed ? Verdict::Answer : Verdict::Wrong;
    }
    case ReplyShape::Modbus:
        break;
    }

    const bool fromAsked = [&](std::uint8_t sender) { return shape.anySender || sender == at(request, 0); }(
        bytes.isEmpty() ? 0 : at(bytes, 0));
    // An exception is shorter than any reply; waiting for more would join it to the next.
    if (bytes.size() >= kExceptionReplyLength && isExceptionReply(bytesOf(bytes), kExceptionReplyLength)) {
        *used = kExceptionReplyLength;
        return fromAsked && (at(bytes, 1) & ~kExceptionFlag) == at(request, 1) ? Verdict::Exception : Verdict::Wrong;
    }
    if (bytes.size() < shape.length)
        return Verdict::Incomplete;
    *used = shape.length;
    const std::uint8_t *reply = bytesOf(bytes);
    if (!crcTrailerMatches(reply, shape.length) || !fromAsked || reply[1] != at(request, 1))
        return Verdict::Wrong;
    if (at(request, 1) == kModbusRead)
        return reply[2] == 2 * registerValue(bytesOf(request) + 4) ? Verdict::Answer : Verdict::Wrong;
    // A write is acknowledged with its register and quantity; its address may be any where the request's was free.
    return std::memcmp(reply + 2, bytesOf(request) + 2, 4) == 0 ? Verdict::Answer : Verdict::Wrong;
}

bool isCloudOk(const QByteArray &answer)
{
    return answer.trimmed() == "OK";
}

bool repliesCouldMix(const QByteArray &earlier, bool earlierAnySender, const QByteArray &later, bool laterAnySender)
{
    if (earlier == later)
        return false;
    const ReplyShape was = replyShapeOf(earlier, earlierAnySender);
    const ReplyShape now = replyShapeOf(later, laterAnySender);
    // Replies that name their sender are each taken for what they say, wherever they land.
    if (was.anySender && now.anySender)
        return false;
    if (was.kind == ReplyShape::Nothing || now.kind == ReplyShape::Nothing)
        return false;
    // A cloud answer is any text, and anything passes as one.
    if (was.kind == ReplyShape::Text || now.kind == ReplyShape::Text)
        return true;
    if (was.kind != now.kind)
        return false;
    if (was.kind == ReplyShape::Loop)
        return at(earlier, 2) == at(later, 2);
    if (at(earlier, 1) != at(later, 1) || was.length != now.length)
        return false;
    const bool sameSender = was.anySender || now.anySender || at(earlier, 0) == at(later, 0);
    if (at(earlier, 1) == kModbusRead)
        return sameSender;
    return sameSender && std::memcmp(earlier.constData() + 2, later.constData() + 2, 4) == 0;
}

int wireTimeMs(int bytes, int baud)
{
    constexpr int kBitsPerByte = 11;
    return baud > 0 ? (bytes * kBitsPerByte * 1000 + baud - 1) / baud : 0;
}
