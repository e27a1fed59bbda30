#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

#include "replycheck.h"
#include "trafficrecord.h"

// A request for the line: the frame as it goes out, with its CRC where it has one.
struct LinkRequest {
    QByteArray frame;
    int tag = 0;            // the sender's own name for it: the window's request code
    int timeoutMs = 1000;   // per attempt
    int retries = 0;        // attempts after the first that went unanswered or garbled
    bool anySender = false; // the reply names its sender (the address search)
};

// The parity of a line by its letter: N, O or E.
QSerialPort::Parity parityOf(char letter);

// The PC side's line settings that the gateway's own can differ in; the gateway
// always has 8 data bits and 1 stop bit.
struct LineSetting {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
};

// What became of a request.
struct LinkResult {
    enum Outcome : std::uint8_t {
        Accepted,    // the reply passed its check
        CheckFailed, // bytes came that were not the answer
        Exception,   // a Modbus exception from the gateway asked
        Refused,     // a cloud answer other than OK
        NoReply,     // nothing came within the time-out, after every attempt
        Sent,        // a frame that awaits nothing went out
        NotSent,     // the port was closed
        LineLost,    // the line went away
        Cancelled,   // taken off the queue before it went out
    };
    quint64 id = 0;
    int tag = 0;
    QByteArray request;
    QByteArray reply;
    Outcome outcome = NotSent;
    // A reply that came after its request had been reported unanswered.
    bool late = false;
    int delayMs = -1;
    int attempts = 0;
    // Bytes came for it that were not its answer: something is there.
    bool heard = false;

    std::uint8_t exceptionCode() const { return reply.size() > 2 ? std::uint8_t(reply.at(2)) : 0; }
};

// The one serial link to the gateway: the port and the reception, one request
// in flight with a queue behind it, each request's reply shape and check taken
// from the request, its time-out, retries and outcome, and the traffic record.
//
// Replies carry no request number, so they are told apart by their order: a
// gateway answers what it heard in the order it heard it. Each reply is the
// answer of the oldest attempt still unanswered. A request whose answer could
// be mistaken for a reply still owed to an earlier one waits until that reply
// has come or can no longer come (lateBoundMs after its attempt).
class Link : public QObject
{
    Q_OBJECT
public:
    explicit Link(QObject *parent = nullptr);
    ~Link() override;

    QSerialPort &port() { return m_port; }
    // Opens the port as it is set up; the reception starts empty.
    bool open();
    // Closes the port and opens it again at this setting, 8 data bits and 1 stop
    // bit: nothing heard or owed at the old setting is kept.
    bool reopen(const LineSetting &setting);
    // Closes the port; what is queued or awaited ends Cancelled.
    void close();
    bool isOpen() const { return m_port.isOpen(); }

    // Queues the request; it goes out once the line is free. Returns its id.
    quint64 submit(const LinkRequest &request);
    // The same, waiting for its outcome; a set stop flag ends the wait early
    // with Cancelled.
    LinkResult exchange(const LinkRequest &request, const std::atomic<bool> *stop = nullptr);
    // Takes the queued requests of this tag off the queue.
    void cancelQueued(int tag);

    // The outcomes since the last call, in the order they came.
    std::deque<LinkResult> takeResults();
    bool busy() const { return m_current != nullptr || !m_queue.empty(); }
    // A request is on the line and its reply may come any moment.
    bool awaitingReply() const { return m_current != nullptr; }
    int queuedCount() const { return int(m_queue.size()); }
    // Bytes received that make no whole reply yet.
    int pendingBytes() const { return int(m_rx.size()); }

    // The reception after the port read; tests and the fuzzer feed it directly.
    void receive(const QByteArray &bytes);
    // The owner's thread was blocked: replies read from now on came up to then.
    void noteBlocked();
    // How long a reply is still waited for after its attempt went out.
    int lateBoundMs(int timeoutMs) const;
    // For tests and the fuzzer: frames go here instead of the port, and the
    // link acts as if the port were open (open() and reopen() only set it up).
    void setWire(std::function<void(const QByteArray &)> wire);

    TrafficRecord &traffic() { return m_record; }

signals:
    // Outcomes are ready to take.
    void resultsReady();
    // The port reported the line gone and was closed; queued requests ended LineLost.
    void lineLost(const QString &why);

private:
    struct Attempt {
        qint64 sentAt = 0;
        bool blocked = false; // the owner's thread was blocked since it went out
    };
    struct Pending {
        quint64 id = 0;
        LinkRequest request;
        ReplyShape shape;
        std::deque<Attempt> unanswered;
        int attempts = 0;
        bool settled = false; // its outcome is reported; a reply now is late
        bool accepted = false;
        bool heard = false;
    };

    void pump();
    void readPending();
    void heard(const QByteArray &bytes);
    void send(Pending &pending);
    void onTimer();
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    void process(bool lineQuiet);
    // Matches the bytes at the front of the reception; false when more must come.
    bool matchFront(bool lineQuiet);
    bool tryOwed(bool lineQuiet, bool anySenderOnes);
    void finish(Pending &pending, LinkResult::Outcome outcome, const QByteArray &reply, int delayMs, bool late);
    void settleCurrent(LinkResult::Outcome outcome, const QByteArray &reply, int delayMs);
    void record(TrafficEvent::Kind kind, const Pending &pending, const QByteArray &bytes, const QString &meaning,
                const Attempt *attempt);
    void dropStray(const QByteArray &bytes, const QString &why);
    void expireOwed();
    qint64 holdUntil(const Pending &next) const;
    void endAll(LinkResult::Outcome outcome);
    void armTimer(qint64 at);
    bool writable() const { return m_port.isOpen() || bool(m_wire); }

    QSerialPort m_port;
    TrafficRecord m_record;
    QTimer m_timer;
    QTimer m_quietTimer;
    QElapsedTimer m_clock;
    quint64 m_nextId = 1;
    std::deque<Pending> m_queue;
    Pending *m_current = nullptr;
    Pending m_inFlight;
    // Requests reported on whose attempts replies may still come.
    std::deque<Pending> m_owed;
    QByteArray m_rx;
    qint64 m_lastByteAt = 0;
    // When the bytes now in the reception began to come.
    qint64 m_firstByteAt = 0;
    // The line is kept quiet after a frame that awaits nothing until then.
    qint64 m_quietUntil = 0;
    qint64 m_longestDelay = 0;
    std::deque<LinkResult> m_results;
    std::function<void(const QByteArray &)> m_wire;
};
