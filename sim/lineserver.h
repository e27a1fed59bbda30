#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>

class GatewaySimulator;
class LineBackend;
struct Exchange;

struct SerialSettings
{
    int baud = 9600;
    char parity = 'N'; // N, O or E
    int dataBits = 8;
    int stopBits = 1;
};

// Puts a GatewaySimulator on a line: a pseudo-terminal of its own or a serial
// port. Reads what arrives, tells the model when the line has been silent for
// the idle gap, and writes the reply pieces when their delays are over.
// Single-threaded and free of system calls: the line backends (linebackend.h)
// hold those. serve() may run on a thread of its own, except on a port opened
// through QSerialPort, which stays with the thread that opened it.
class LineServer
{
public:
    using Clock = std::chrono::steady_clock;
    // A gateway answers one request at a time, and a master waits for each reply;
    // only a flood under a long --delay queues more. Far beyond any real master,
    // yet it keeps the queue to a few tens of kilobytes.
    static constexpr int kMaxPendingReplies = 256;

    explicit LineServer(GatewaySimulator &simulator);
    ~LineServer();
    LineServer(const LineServer &) = delete;
    LineServer &operator=(const LineServer &) = delete;

    // A new pseudo-terminal; path() is the name a client opens. Fails where the
    // system has none (Windows).
    bool openPseudoTerminal(QString *error);
    // termios where POSIX is, QSerialPort elsewhere (COM5 on Windows).
    bool openSerialPort(const QString &path, const SerialSettings &settings, QString *error);
    // Through QSerialPort on every system: what openSerialPort does where there is no termios.
    bool openQtSerialPort(const QString &path, const SerialSettings &settings, QString *error);
    QString path() const { return m_path; }

    // Silence after which a burst counts as finished (cloud frames end there).
    void setIdleGap(int ms) { m_idleGapMs = ms; }
    int idleGap() const { return m_idleGapMs; }

    // One line per frame and per piece sent: time, direction, hex (the device secret
    // masked), meaning.
    void setTrafficLog(std::function<void(const QString &)> log) { m_log = std::move(log); }

    // Serves until stop becomes true; notices it within 100 ms.
    void serve(const std::atomic<bool> &stop);
    // One round: waits up to maxWaitMs for bytes, then handles what is due.
    void serveOnce(int maxWaitMs);

private:
    struct Pending
    {
        Clock::time_point due;
        QByteArray bytes;
        bool endsReply; // the last piece of its reply
    };

    void handleExchanges(const QList<Exchange> &exchanges);
    void sendDue();
    void writeAll(const QByteArray &bytes);
    void log(const QString &direction, const QByteArray &bytes, const QString &text);
    bool takeSerialLine(std::unique_ptr<LineBackend> line, const QString &path, const SerialSettings &settings);

    GatewaySimulator &m_simulator;
    std::unique_ptr<LineBackend> m_line;
    QString m_path;
    int m_idleGapMs = 30;
    std::function<void(const QString &)> m_log;

    bool m_heardSinceIdle = false;
    Clock::time_point m_lastByte;
    std::deque<Pending> m_outgoing;
    int m_pendingReplies = 0;
    Clock::time_point m_lastDue;
    const Clock::time_point m_started = Clock::now();
    bool m_hangupReported = false;
};
