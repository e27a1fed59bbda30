// The simulator: its line parser and the gateways' model, fed arbitrary bytes
// in arbitrary pieces with silences between, under settings and faults from the input.
//
// Input: four bytes of settings (gateways, meters, faults, seed), then repeated
// [piece length, piece bytes...]; a length with the top bit set is a silence before the piece.
#include <QList>

#include <cstdint>

#include "decoder.h"
#include "fuzzinput.h"
#include "gatewaysimulator.h"
#include "lineparser.h"
#include "replycheck.h"

namespace {

// The longest frame Modbus RTU allows; no reply of any family is longer.
constexpr int kMaxReply = 256;

// What the parser leaves unframed is at most what one frame may need.
constexpr int kMaxBuffered = LineParser::kMaxCloudFrame;

SimulatorSettings settingsFrom(FuzzInput &in)
{
    SimulatorSettings settings;
    const std::uint8_t gateways = in.byte();
    settings.addresses.clear();
    // One to three gateways; address 0 too, which no gateway should hold.
    for (int i = 0; i <= gateways % 3; ++i)
        settings.addresses << std::uint8_t(gateways < 0xF0 ? 1 + i + (gateways >> 2) % 8 : gateways & 0x0F);
    settings.meters = in.byte() % (kMaxBlockMeters + 2);
    settings.silentMeters = {1, 3};
    const std::uint8_t faults = in.byte();
    settings.dropRate = (faults & 1) ? 0.3 : 0.0;
    settings.corruptRate = (faults & 2) ? 0.3 : 0.0;
    settings.exceptionRate = (faults & 4) ? 0.3 : 0.0;
    settings.ignoreWrites = (faults & 8) != 0;
    settings.split = (faults & 16) != 0;
    settings.jitterMs = (faults & 32) ? 20 : 0;
    settings.seed = in.byte();
    return settings;
}

// Each reply is one the tool takes as the answer to the frame it answers, and
// only a frame that is answered gets one.
void checkExchange(const Exchange &exchange)
{
    QByteArray reply;
    for (const ReplyPiece &piece : exchange.reply) {
        FUZZ_REQUIRE(!piece.bytes.isEmpty() && piece.delayMs >= 0);
        reply += piece.bytes;
    }
    FUZZ_REQUIRE(reply.size() <= kMaxReply);
    FUZZ_REQUIRE(exchange.recognised || reply.isEmpty());
    if (reply.isEmpty() || exchange.faults.contains(QStringLiteral("corrupted")))
        return;
    const ReplyShape shape = replyShapeOf(exchange.request);
    FUZZ_REQUIRE(shape.kind != ReplyShape::Nothing
                 || isExceptionReply(reinterpret_cast<const std::uint8_t *>(reply.constData()), int(reply.size())));
    if (shape.kind == ReplyShape::Nothing) {
        // A Modbus frame of another function or length, told it is not one the gateway knows.
        FUZZ_REQUIRE(reply.size() == kExceptionReplyLength && reply.at(0) == exchange.request.at(0));
        return;
    }
    int used = 0;
    const Verdict verdict = checkReply(exchange.request, shape, reply, &used, true);
    FUZZ_REQUIRE(verdict == Verdict::Answer || verdict == Verdict::Exception);
    FUZZ_REQUIRE(used == reply.size());
    FUZZ_REQUIRE(!describeReply(exchange.request, reply).isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    GatewaySimulator simulator(settingsFrom(in));
    const int gateways = simulator.gatewayCount();
    // The same bytes go to a parser of our own, to see what the model was given.
    LineParser parser;
    qint64 fed = 0;
    qint64 framed = 0;
    const auto take = [&](const QList<LineFrame> &frames, const QList<Exchange> &exchanges) {
        FUZZ_REQUIRE(frames.size() == exchanges.size());
        for (int i = 0; i < frames.size(); ++i) {
            const LineFrame &frame = frames.at(i);
            FUZZ_REQUIRE(!frame.bytes.isEmpty() && frame.bytes == exchanges.at(i).request);
            FUZZ_REQUIRE(frame.bytes.size() <= LineParser::kMaxCloudFrame);
            FUZZ_REQUIRE(frame.kind != LineFrame::Loop || frame.bytes.size() <= LineParser::kMaxLoopFrame);
            FUZZ_REQUIRE(frame.kind != LineFrame::ModbusRead || frame.bytes.size() == 8);
            framed += frame.bytes.size();
            checkExchange(exchanges.at(i));
        }
        // No byte is made up, and what waits for more, unframed or as garbage not yet
        // reported, is at most one frame and one report.
        FUZZ_REQUIRE(framed + parser.buffered() <= fed);
        FUZZ_REQUIRE(parser.buffered() <= kMaxBuffered && fed - framed <= kMaxBuffered + LineParser::kMaxCloudFrame);
    };
    while (!in.empty()) {
        const std::uint8_t length = in.byte();
        if (length & 0x80)
            take(parser.lineIdle(), simulator.lineIdle());
        const QByteArray piece = in.bytes(std::size_t(length & 0x7F) + 1);
        fed += piece.size();
        take(parser.feed(piece), simulator.feed(piece));
    }
    take(parser.lineIdle(), simulator.lineIdle());
    // A silence reports every byte: none is lost.
    FUZZ_REQUIRE(parser.buffered() == 0 && framed == fed);

    // Nothing a gateway keeps grows with what it is sent.
    FUZZ_REQUIRE(simulator.gatewayCount() == gateways);
    for (int i = 0; i < gateways; ++i) {
        const GatewayState &state = simulator.gateway(i);
        FUZZ_REQUIRE(state.meters.size() == simulator.settings().meters);
        FUZZ_REQUIRE(state.cloudParameters.size() <= CloudParameter::SubscribeTopic);
        for (const QString &text : state.cloudParameters)
            FUZZ_REQUIRE(text.size() <= LineParser::kMaxCloudFrame);
    }
    return 0;
}
