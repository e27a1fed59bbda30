#pragma once

// What the fuzz targets share: a reader over the input, requests built from it
// with the frame builders, and the way a broken invariant is reported.
#include <QByteArray>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "crc.h"
#include "frames.h"
#include "registers.h"

// libFuzzer reports a trap as a crash, with the input that caused it.
#define FUZZ_REQUIRE(condition)                                                                                       \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            __builtin_trap();                                                                                          \
    } while (false)

class FuzzInput
{
public:
    FuzzInput(const std::uint8_t *data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }

    bool empty() const { return m_at >= m_size; }
    std::size_t left() const { return m_size - m_at; }

    // Zero once the input is used up, so every read is defined.
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint16_t word()
    {
        const std::uint8_t high = byte();
        return static_cast<std::uint16_t>((high << 8) | byte());
    }
    QByteArray bytes(std::size_t n)
    {
        n = std::min(n, left());
        QByteArray taken(reinterpret_cast<const char *>(m_data + m_at), int(n));
        m_at += n;
        return taken;
    }
    QByteArray rest() { return bytes(left()); }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

namespace fuzz {

// The registers the tool and the gateway know, so that most requests name one.
inline std::uint16_t registerFrom(FuzzInput &in)
{
    static const std::uint16_t known[] = {
        GatewayRegister::Parity,       GatewayRegister::Address,     GatewayRegister::Baud,
        GatewayRegister::Frequency,    GatewayRegister::MeterBlock,  GatewayRegister::Channel,
        GatewayRegister::Transmitters, GatewayRegister::RangeLower,  GatewayRegister::RangeUpper,
        GatewayRegister::GatewayId,    GatewayRegister::SpreadingFactor, GatewayRegister::Firmware,
        GatewayRegister::SamplingPeriod, GatewayRegister::AnalogOutput, GatewayRegister::Mode,
    };
    const std::uint8_t pick = in.byte();
    constexpr std::size_t count = sizeof known / sizeof known[0];
    return pick < count ? known[pick] : in.word();
}

// A request as the tool would put it on the line, every family and shape the
// builders make, with parameters from the input.
inline QByteArray requestFrom(FuzzInput &in)
{
    std::uint8_t frame[kTxFrameSize] = {};
    int n = 0;
    switch (in.byte() % 6) {
    case 0: {
        const std::uint8_t address = in.byte();
        const std::uint16_t first = registerFrom(in);
        const std::uint8_t small = in.byte();
        // Mostly counts a gateway can answer; now and then any 16-bit count.
        const std::uint16_t count = small < 0xF0 ? std::uint16_t(small % 126) : in.word();
        n = buildReadRequest(frame, address, first, count);
        appendCrc(frame, n);
        n += 2;
        break;
    }
    case 1: {
        const std::uint8_t address = in.byte();
        const std::uint16_t first = registerFrom(in);
        constexpr int kMostValues = (kTxFrameSize - 9) / 2;
        const int count = 1 + in.byte() % kMostValues;
        std::uint16_t values[kMostValues] = {};
        for (int i = 0; i < count; ++i)
            values[i] = in.word();
        n = buildWriteRequest(frame, address, first, values, count);
        appendCrc(frame, n);
        n += 2;
        break;
    }
    case 2: {
        static const std::uint8_t commands[] = {LoopCommand::WriteRange, LoopCommand::OutputCurrent,
                                                LoopCommand::ReadRange, LoopCommand::ReadChannel,
                                                LoopCommand::Calibrate};
        const std::uint8_t pick = in.byte();
        const std::uint8_t command = pick < sizeof commands ? commands[pick] : in.byte();
        const QByteArray payload = in.bytes(in.byte() % (kTxFrameSize - 3));
        n = buildLoopFrame(frame, command, reinterpret_cast<const std::uint8_t *>(payload.constData()),
                           int(payload.size()));
        break;
    }
    case 3: {
        std::uint8_t lower[4], upper[4];
        for (std::uint8_t &b : lower)
            b = in.byte();
        for (std::uint8_t &b : upper)
            b = in.byte();
        n = buildLoopRangeWrite(frame, floatFromLittleEndian(lower), floatFromLittleEndian(upper));
        break;
    }
    case 4: {
        static const std::uint8_t commands[] = {kCloudWriteParameter, kCloudDebugging, kCloudConnect};
        const std::uint8_t pick = in.byte();
        const std::uint8_t command = pick < sizeof commands ? commands[pick] : in.byte();
        const QByteArray payload = in.bytes(in.byte() % (kMaxCloudText + 2));
        n = buildCloudFrame(frame, command, reinterpret_cast<const std::uint8_t *>(payload.constData()),
                            int(payload.size()));
        break;
    }
    default:
        // Whatever bytes: the reply checks take any frame they are given.
        return in.bytes(in.byte() % (kTxFrameSize + 1));
    }
    return QByteArray(reinterpret_cast<const char *>(frame), n);
}

} // namespace fuzz
