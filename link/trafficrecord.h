#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>

// One event on the line, kept as it will be shown: the device secret is
// masked before anything is stored.
struct TrafficEvent {
    enum Kind : std::uint8_t {
        Request,     // a frame written
        Reply,       // a reply accepted
        Exception,   // a Modbus exception reply
        CheckFailed, // a reply that failed its check
        NoReply,     // nothing accepted in time
        Stray,       // bytes that answered nothing awaited, dropped
        Late,        // a reply to an attempt whose request was already answered, dropped
    };
    static constexpr int kKinds = Late + 1;

    int msecsOfDay = 0;
    Kind kind = Request;
    QString hex;
    QString meaning;
    int delayMs = -1; // replies: after their request
    // The window was busy when the reply came in, so it came within delayMs.
    bool readLate = false;
};

// The last events on the line, from the program's start on, whether or not
// anybody looks at them, with counts by kind since the last clear.
class TrafficRecord : public QObject
{
    Q_OBJECT
public:
    static constexpr int kCapacity = 10000;

    // The frame is stored masked; the time is now.
    void add(TrafficEvent::Kind kind, const QByteArray &frame, const QString &meaning, int delayMs = -1,
             bool readLate = false);
    // The same with the bytes shown as one fixed mark: they may hold the device secret.
    void addMasked(TrafficEvent::Kind kind, const QString &meaning, int delayMs = -1, bool readLate = false);
    void clear();

    const std::deque<TrafficEvent> &events() const { return m_events; }
    int count(TrafficEvent::Kind kind) const { return m_counts[kind]; }
    // Events added since the start, kept or not: tells a viewer what is new.
    std::size_t total() const { return m_total; }

    // "12:00:01.015 <- 01 03 02 00 02 39 85  baud rate = 9600  (15 ms)", "(≤ 304 ms)" when read late
    static QString lineOf(const TrafficEvent &event);

signals:
    void added();
    void cleared();

private:
    void push(TrafficEvent::Kind kind, const QString &hex, const QString &meaning, int delayMs, bool readLate);

    std::deque<TrafficEvent> m_events;
    std::array<int, TrafficEvent::kKinds> m_counts{};
    std::size_t m_total = 0;
};
