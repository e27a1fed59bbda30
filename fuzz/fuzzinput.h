#pragma once

// What the fuzz targets share: Qt kept quiet, a reader over the input, requests built from it
// with the frame builders, and the way a broken invariant is reported.
#include <QByteArray>
#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include "crc.h"
#include "frames.h"
#include "registers.h"
#include "settings.h"

// libFuzzer reports a trap as a crash, with the input that caused it.
#define FUZZ_REQUIRE(condition)                                                                                       \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            __builtin_trap();                                                                                          \
    } while (false)

// Qt's messages, the link's debug output among them, would only slow a run.
extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

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

// A request as the tool puts it on the line, with parameters from the input:
// a read or write of a setting's register or any other, a current-loop or a
// cloud frame through their builders, or any bytes at all.
inline QByteArray requestFrom(FuzzInput &in)
{
    const std::uint8_t kind = in.byte();
    const std::uint8_t address = in.byte();
    const std::uint8_t pick = in.byte();
    const QVector<Setting> &settings = gatewaySettings();
    const std::uint16_t first = pick < settings.size() ? settings.at(pick).reg : in.word();
    std::uint8_t frame[kTxFrameSize] = {};
    switch (kind % 5) {
    case 0: {
        // Mostly counts a gateway can answer; now and then any 16-bit count.
        const std::uint8_t small = in.byte();
        return readRequest(address, first, small < 0xF0 ? std::uint16_t(small % 126) : in.word());
    }
    case 1: {
        std::uint16_t values[(kTxFrameSize - 9) / 2] = {};
        const int count = 1 + in.byte() % int(std::size(values));
        for (int i = 0; i < count; ++i)
            values[i] = in.word();
        return writeRequest(address, first, values, count);
    }
    case 2:
    case 3: {
        const QByteArray payload = in.bytes(in.byte() % (kind % 5 == 2 ? kTxFrameSize - 3 : kMaxCloudText + 2));
        const auto *at = reinterpret_cast<const std::uint8_t *>(payload.constData());
        return frameOf(frame, kind % 5 == 2 ? buildLoopFrame(frame, address, at, int(payload.size()))
                                            : buildCloudFrame(frame, address, at, int(payload.size())));
    }
    default:
        // Whatever bytes: the reply checks take any frame they are given.
        return in.bytes(in.byte() % (kTxFrameSize + 1));
    }
}

} // namespace fuzz
