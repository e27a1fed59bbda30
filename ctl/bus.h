#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

#include "detector.h"
#include "link.h"

struct Reply
{
    enum Outcome { Answered, Silent, Exception, Refused, Interrupted, LineLost };
    Outcome outcome = Silent;
    QByteArray bytes;
    QString problem; // in words, for an error line
    bool heard = false; // Silent: bytes came, but none were the answer
};

// The serial line to the gateway for a program that waits for each answer:
// the link, used one request at a time, with its time-out and retries. A
// time-out of 0 waits each request's wire time and the turn-around allowance.
class Bus
{
public:
    Bus(int timeoutMs, int retries, bool verbose, const std::atomic<bool> *stop = nullptr);

    bool open(const QString &path, int baud, char parity, QString *error);
    // The same port at another setting, where the gateway answers now.
    bool reopen(const LineSetting &setting, QString *error);
    LineSetting setting() const { return m_setting; }
    Reply exchange(const QByteArray &request);
    QSerialPort &port() { return m_link.port(); }
    Link &link() { return m_link; }
    // A request answered with bytes that fail the check is sent once more, beyond
    // the retries: something is there.
    void setRetryGarbled(bool retry) { m_retryGarbled = retry; }
    // Tries every line setting; the port stays at the one found.
    Detection detect();

private:
    Link m_link;
    LineSetting m_setting;
    bool m_retryGarbled = false;
    int m_timeoutMs;
    int m_retries;
    const std::atomic<bool> *m_stop;
};
