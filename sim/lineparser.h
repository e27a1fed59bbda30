#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Cuts the byte stream of the line into frames. Modbus frames are known by their
// shape and CRC, current-loop frames by their length byte and closing 0xAA. Cloud
// frames carry no length: they end where the line goes silent, so the owner calls
// lineIdle() after a pause; that also throws away whatever could not be framed,
// so garbage never holds the parser for longer than one burst.
struct LineFrame
{
    enum Kind {
        ModbusRead, // function 0x03, 8 bytes
        ModbusWrite, // function 0x10, 9 + byte count
        ModbusOther, // a whole burst with a good CRC but another function (seen at silence only)
        Loop, // AA L cmd ... AA
        Cloud, // 64 sub ..., up to the silence
        Garbage, // bytes dropped while looking for a frame
    };
    Kind kind = Garbage;
    QByteArray bytes;
    QString note; // Garbage only: why it was dropped
};

class LineParser
{
public:
    static constexpr int kMaxLoopFrame = 32;
    static constexpr int kMaxCloudFrame = 256;

    QList<LineFrame> feed(const QByteArray &bytes);
    QList<LineFrame> lineIdle();
    int buffered() const { return m_buffer.size(); }

private:
    enum class Match { Frame, NeedMore, None };
    Match matchAtStart(bool silent, LineFrame::Kind *kind, int *length, bool *badCrc) const;
    void scan(bool silent, QList<LineFrame> &out);
    void flushGarbage(QList<LineFrame> &out, bool silent);

    QByteArray m_buffer;
    QByteArray m_garbage;
    QString m_garbageNote;
    bool m_garbageStartsBurst = false;
    // True right after a silence or a frame. Frames without a CRC or length are only
    // trusted here: a 64 inside dropped bytes must not swallow the rest of the burst.
    bool m_atBoundary = true;
};
