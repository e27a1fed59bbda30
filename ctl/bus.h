#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <cstdint>

// What a request waits for.
struct ReplyShape
{
    static constexpr int kNone = 0; // the frame gets no answer
    static constexpr int kAny = -1; // whatever bytes come are the answer

    int length = kNone;
    bool modbus = false; // an exception reply may come instead
    bool (*valid)(const QByteArray &request, const QByteArray &reply) = nullptr;
};

struct Reply
{
    enum Outcome { Answered, Silent, Exception, Interrupted };
    Outcome outcome = Silent;
    QByteArray bytes;
    QString problem; // Silent, Exception: in words, for an error line
    bool heard = false; // Silent: bytes came, but none were the answer
};

// The serial line to the gateway, one request at a time: stale input is dropped
// before each, and each has its time-out and retries.
class Bus
{
public:
    Bus(int timeoutMs, int retries, bool verbose, const std::atomic<bool> *stop = nullptr);

    bool open(const QString &path, int baud, char parity, QString *error);
    Reply exchange(const QByteArray &request, const ReplyShape &shape);

private:
    enum class Wait { Done, TimedOut, Interrupted, LineLost };
    void dropStale();
    void send(const QByteArray &request);
    // Reads into buffer until done says so or the deadline passes.
    template<typename Done>
    Wait readUntil(QByteArray &buffer, qint64 deadlineMs, Done done);
    bool stopped() const { return m_stop && m_stop->load(); }
    void trace(const QString &line) const;

    QSerialPort m_port;
    int m_baud = 9600;
    int m_timeoutMs;
    int m_retries;
    bool m_verbose;
    const std::atomic<bool> *m_stop;
    QElapsedTimer m_clock;
};
