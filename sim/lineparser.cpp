#include "lineparser.h"

#include "crc.h"
#include "frames.h"

#include <cstdint>

namespace {

// Enough to tell the shape of any frame; later bytes are not needed to decide.
constexpr int kMaxModbusFrame = 9 + 246;

bool isCloudCommand(std::uint8_t b)
{
    return b == kCloudWriteParameter || b == kCloudDebugging || b == kCloudConnect;
}

} // namespace

QList<LineFrame> LineParser::feed(const QByteArray &bytes)
{
    QList<LineFrame> out;
    m_buffer.append(bytes);
    scan(false, out);
    return out;
}

QList<LineFrame> LineParser::lineIdle()
{
    QList<LineFrame> out;
    scan(true, out);
    return out;
}

LineParser::Match LineParser::matchAtStart(bool silent, LineFrame::Kind *kind, int *length,
                                           bool *badCrc) const
{
    const auto *b = reinterpret_cast<const std::uint8_t *>(m_buffer.constData());
    const int n = m_buffer.size();
    if (n < 2)
        return silent ? Match::None : Match::NeedMore;

    bool needMore = false;
    const std::uint8_t function = b[Field::Function];

    if (function == kModbusRead) {
        if (n < 8) {
            needMore = true;
        } else if (crcTrailerMatches(b, 8)) {
            *kind = LineFrame::ModbusRead;
            *length = 8;
            return Match::Frame;
        } else {
            *badCrc = true;
        }
    }

    if (function == kModbusWrite) {
        if (n < 7) {
            needMore = true;
        } else {
            const int quantity = registerValue(b + Field::Count);
            const int byteCount = b[Field::WriteValues - 1];
            if (quantity >= 1 && quantity <= 123 && byteCount == 2 * quantity) {
                const int total = 9 + byteCount;
                if (n < total) {
                    needMore = true;
                } else if (crcTrailerMatches(b, total)) {
                    *kind = LineFrame::ModbusWrite;
                    *length = total;
                    return Match::Frame;
                } else {
                    *badCrc = true;
                }
            }
        }
    }

    if (b[0] == kLoopDelimiter) {
        const int total = b[Field::LoopLength];
        if (total >= 4 && total <= kMaxLoopFrame) {
            if (n < total) {
                needMore = true;
            } else if (b[total - 1] == kLoopDelimiter) {
                *kind = LineFrame::Loop;
                *length = total;
                return Match::Frame;
            }
        }
    }

    if (m_atBoundary && b[0] == kCloudHeader && isCloudCommand(function) && n <= kMaxCloudFrame) {
        if (silent) {
            *kind = LineFrame::Cloud;
            *length = n;
            return Match::Frame;
        }
        needMore = true;
    }

    return (needMore && !silent) ? Match::NeedMore : Match::None;
}

void LineParser::scan(bool silent, QList<LineFrame> &out)
{
    while (!m_buffer.isEmpty()) {
        LineFrame::Kind kind = LineFrame::Garbage;
        int length = 0;
        bool badCrc = false;
        const Match match = matchAtStart(silent, &kind, &length, &badCrc);
        if (match == Match::Frame) {
            flushGarbage(out, false);
            LineFrame frame;
            frame.kind = kind;
            frame.bytes = m_buffer.left(length);
            out.append(frame);
            m_buffer.remove(0, length);
            m_atBoundary = true;
            continue;
        }
        if (match == Match::NeedMore)
            break;
        // No frame starts at this byte: drop it and look again one further on.
        if (m_garbage.isEmpty()) {
            m_garbageNote = badCrc ? QStringLiteral("bad CRC") : QStringLiteral("no known frame");
            m_garbageStartsBurst = m_atBoundary;
        }
        m_garbage.append(m_buffer.at(0));
        m_buffer.remove(0, 1);
        m_atBoundary = false;
        if (m_garbage.size() >= kMaxCloudFrame)
            flushGarbage(out, false);
    }
    if (silent) {
        flushGarbage(out, true);
        m_atBoundary = true;
    }
}

void LineParser::flushGarbage(QList<LineFrame> &out, bool silent)
{
    if (m_garbage.isEmpty())
        return;
    LineFrame frame;
    frame.kind = LineFrame::Garbage;
    frame.bytes = m_garbage;
    frame.note = m_garbageNote;
    // A whole burst with a good CRC is a Modbus frame of a function we do not
    // frame by shape; only the silence after it tells where it ends.
    const auto *b = reinterpret_cast<const std::uint8_t *>(m_garbage.constData());
    if (silent && m_garbageStartsBurst && m_garbage.size() >= 4 && m_garbage.size() <= kMaxModbusFrame
        && crcTrailerMatches(b, m_garbage.size())) {
        frame.kind = LineFrame::ModbusOther;
        frame.note.clear();
    }
    out.append(frame);
    m_garbage.clear();
}
