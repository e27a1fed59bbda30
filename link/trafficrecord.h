#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>

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

    QDate date; // local, like the time
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

    // The frame is stored masked; the time is now, as the clock tells.
    void add(TrafficEvent::Kind kind, const QByteArray &frame, const QString &meaning, int delayMs = -1,
             bool readLate = false);
    // The same with the bytes shown as the secret's mark: they may echo the device secret.
    void addMasked(TrafficEvent::Kind kind, const QString &meaning, int delayMs = -1, bool readLate = false);
    void clear();
    // Local time by default; a test that needs midnight sets its own.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    const std::deque<TrafficEvent> &events() const { return m_events; }
    int count(TrafficEvent::Kind kind) const { return m_counts[kind]; }
    // Events added since the start, kept or not: tells a viewer what is new.
    std::size_t total() const { return m_total; }

    // "12:00:01.015 <- 01 03 02 00 02 39 85  baud rate = 9600  (15 ms)", "(≤ 304 ms)" when read late
    static QString lineOf(const TrafficEvent &event);
    // The kept events as a file: the header, then a date line before the first
    // event and wherever the day changes, each event on a line of its own.
    QString fileText(const QString &header) const;

signals:
    void added();
    void cleared();

private:
    void push(TrafficEvent::Kind kind, const QString &hex, const QString &meaning, int delayMs, bool readLate);

    std::deque<TrafficEvent> m_events;
    std::array<int, TrafficEvent::kKinds> m_counts{};
    std::size_t m_total = 0;
    std::function<QDateTime()> m_clock = &QDateTime::currentDateTime;
};
