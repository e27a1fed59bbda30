#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>

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
// the link, used one request at a time, with its time-out and retries.
class Bus
{
public:
    Bus(int timeoutMs, int retries, bool verbose, const std::atomic<bool> *stop = nullptr);

    bool open(const QString &path, int baud, char parity, QString *error);
    Reply exchange(const QByteArray &request);
    QSerialPort &port() { return m_link.port(); }

private:
    Link m_link;
    int m_timeoutMs;
    int m_retries;
    const std::atomic<bool> *m_stop;
};
