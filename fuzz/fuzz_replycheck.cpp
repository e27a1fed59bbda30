// The reply checks that the window and nvb8140t-ctl both go by: the shape and
// check of arbitrary replies to arbitrary requests, then the link's reception
// with several requests queued and the replies in arbitrary pieces.
//
// Input: the request (see requestFrom), a flags byte, the bytes to check; the
// same bytes then drive a link: [count of requests] that many [flags, request],
// then repeated [op, piece...].
#include <QCoreApplication>

#include <cstdint>
#include <map>
#include <vector>

#include "fuzzinput.h"
#include "frames.h"
#include "link.h"
#include "replycheck.h"

namespace {

std::uint8_t at(const QByteArray &frame, int i)
{
    return std::uint8_t(frame.at(i));
}

// What any verdict must mean, whatever the bytes.
void checkVerdict(const QByteArray &request, const ReplyShape &shape, const QByteArray &bytes, bool lineQuiet)
{
    int used = -1;
    const Verdict verdict = checkReply(request, shape, bytes, &used, lineQuiet);
    FUZZ_REQUIRE(used >= 0 && used <= bytes.size());
    if (verdict == Verdict::Incomplete) {
        FUZZ_REQUIRE(used == 0);
        return;
    }
    FUZZ_REQUIRE(used > 0);
    // The verdict rests on the bytes it takes and on nothing after them.
    int again = -1;
    FUZZ_REQUIRE(checkReply(request, shape, bytes.left(used), &again, lineQuiet) == verdict && again == used);
    if (verdict == Verdict::Wrong)
        return;
    const QByteArray reply = bytes.left(used);
    switch (shape.kind) {
    case ReplyShape::Nothing:
        FUZZ_REQUIRE(false);
        break;
    case ReplyShape::Text:
        FUZZ_REQUIRE(lineQuiet && verdict == Verdict::Answer);
        break;
    case ReplyShape::Loop:
        FUZZ_REQUIRE(verdict == Verdict::Answer && used == shape.length);
        FUZZ_REQUIRE(at(reply, 0) == kLoopDelimiter && at(reply, used - 1) == kLoopDelimiter);
        FUZZ_REQUIRE(at(reply, 2) == at(request, 2));
        break;
    case ReplyShape::Modbus:
        FUZZ_REQUIRE(used == (verdict == Verdict::Exception ? kExceptionReplyLength : shape.length));
        FUZZ_REQUIRE(crcTrailerMatches(bytesOf(reply), used));
        // Only the gateway asked answers, unless the request leaves the sender free.
        FUZZ_REQUIRE(shape.anySender || at(reply, 0) == at(request, 0));
        FUZZ_REQUIRE((at(reply, 1) & ~kExceptionFlag) == at(request, 1));
        FUZZ_REQUIRE((verdict == Verdict::Exception) == ((at(reply, 1) & kExceptionFlag) != 0));
        break;
    }
}

void checkReplies(FuzzInput &in)
{
    const QByteArray request = fuzz::requestFrom(in);
    const bool anySender = in.byte() & 1;
    const ReplyShape shape = replyShapeOf(request, anySender);
    FUZZ_REQUIRE(!shape.anySender || anySender || (!request.isEmpty() && request.at(0) == 0));
    FUZZ_REQUIRE(shape.kind != ReplyShape::Modbus || shape.length >= kExceptionReplyLength);
    const QByteArray bytes = in.bytes(in.byte());
    checkVerdict(request, shape, bytes, false);
    checkVerdict(request, shape, bytes, true);
}

QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz_replycheck";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// The outcomes the link reports hold to the checks, once each, in order.
void checkLink(FuzzInput &in)
{
    application();
    Link link;
    std::vector<QByteArray> wire;
    link.setWire([&](const QByteArray &frame) { wire.push_back(frame); });

    std::vector<LinkRequest> requests;
    std::map<quint64, int> indexOf;
    const int count = 1 + in.byte() % 4;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t flags = in.byte();
        LinkRequest request;
        request.frame = fuzz::requestFrom(in);
        request.tag = i;
        // A time-out of 0 lets the event loop end an attempt at once.
        request.timeoutMs = (flags & 1) ? 0 : 1000;
        request.retries = (flags >> 1) & 3;
        request.anySender = (flags & 8) != 0;
        requests.push_back(request);
        indexOf[link.submit(request)] = i;
    }
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        if (op >= 0xF0) {
            QCoreApplication::processEvents();
            continue;
        }
        link.receive(in.bytes(std::size_t(op) + 1));
    }
    QCoreApplication::processEvents();

    // Every frame on the wire is one of the requests, in the order they were queued.
    std::size_t next = 0;
    for (const QByteArray &frame : wire) {
        while (next < requests.size() && requests[next].frame != frame)
            ++next;
        FUZZ_REQUIRE(next < requests.size());
    }

    std::map<quint64, int> settled;
    for (const LinkResult &result : link.takeResults()) {
        FUZZ_REQUIRE(indexOf.count(result.id) == 1);
        const LinkRequest &request = requests[std::size_t(indexOf[result.id])];
        FUZZ_REQUIRE(result.tag == request.tag && result.request == request.frame);
        FUZZ_REQUIRE(result.attempts <= request.retries + 1);
        int &times = settled[result.id];
        // One outcome, and at most one late answer after it said none came.
        FUZZ_REQUIRE(times == 0 || (times == 1 && result.late));
        ++times;
        const ReplyShape shape = replyShapeOf(request.frame, request.anySender);
        int used = 0;
        switch (result.outcome) {
        case LinkResult::Accepted:
        case LinkResult::Refused:
            FUZZ_REQUIRE(checkReply(request.frame, shape, result.reply, &used, true) == Verdict::Answer);
            FUZZ_REQUIRE(used == result.reply.size());
            FUZZ_REQUIRE((result.outcome == LinkResult::Refused)
                         == (shape.kind == ReplyShape::Text && !isCloudOk(result.reply)));
            if (shape.kind == ReplyShape::Modbus && !shape.anySender)
                FUZZ_REQUIRE(result.reply.at(0) == request.frame.at(0) && result.reply.at(1) == request.frame.at(1));
            break;
        case LinkResult::Exception:
            FUZZ_REQUIRE(checkReply(request.frame, shape, result.reply, &used, true) == Verdict::Exception);
            FUZZ_REQUIRE(used == result.reply.size());
            break;
        case LinkResult::Sent:
            FUZZ_REQUIRE(shape.kind == ReplyShape::Nothing && !result.late);
            break;
        default:
            FUZZ_REQUIRE(!result.late);
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput checks(data, size);
    checkReplies(checks);
    FuzzInput link(data, size);
    checkLink(link);
    return 0;
}
