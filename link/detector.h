#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>

#include "link.h"

// Finding the gateway whatever its line settings: one broadcast read per
// setting, since the gateway answers it whatever its address.

// The settings tried, the likeliest first: 9600 with each parity, then 19200, 4800 and 2400.
const QVector<LineSetting> &detectionOrder();
// "baud=9600 parity=none", in the settings table's words.
QString lineSettingText(const LineSetting &setting);
// The port's path as the system names it: "/dev/ttyUSB0", also for a pseudo-terminal.
QString portPath(const QSerialPort &port);
// Why the port did not open at the setting, naming it by its path:
// "cannot open /dev/ttyUSB0 at baud=9600 parity=none: No such file or directory".
QString cannotOpenText(const QSerialPort &port, const LineSetting &setting);
// The line the gateway answers on once this value is written to this register:
// the same one but for its baud rate or parity registers.
LineSetting settingAfterWrite(const LineSetting &now, std::uint16_t reg, std::uint16_t value);

struct Detection {
    enum Verdict : std::uint8_t {
        Found,          // a good reply: the setting and the address
        SomethingThere, // only bytes that failed the check: a wrong setting, noise, or several gateways at once
        Nobody,         // nothing came at any setting
        Stopped,        // stopped before the end
        PortFailed,     // the port could not be opened at a setting, or the line went away
    };
    Verdict verdict = Nobody;
    LineSetting setting; // Found: where the gateway answered
    std::uint8_t address = 0;
    QByteArray reply;             // Found: the broadcast read's reply
    QVector<LineSetting> heardAt; // where bytes came that were not an answer, in the order tried
    QString problem;              // PortFailed: why
};

// Runs a detection over the link, one setting at a time. The owner passes it
// the link's outcomes of its tag; the port is left at the found setting, or at
// the last one tried.
class Detector : public QObject
{
    Q_OBJECT
public:
    Detector(Link &link, int tag, QObject *parent = nullptr);

    // The wait per setting and the tries after the first; by default the
    // request's wire time and the turn-around allowance, and none.
    void setTimeout(int ms) { m_timeoutMs = ms; }
    void setRetries(int retries) { m_retries = retries; }

    // From the first setting; the port is reopened at each.
    void start();
    // Ends the detection now with Stopped; what is queued or awaited is cancelled.
    void stop();
    bool isRunning() const { return m_running; }
    // An outcome of the link; others than the detector's own are ignored.
    void take(const LinkResult &result);

signals:
    void trying(const LineSetting &setting);
    void finished(const Detection &detection);

private:
    void tryNext();
    void finish(Detection::Verdict verdict, const QString &problem = QString());

    Link &m_link;
    int m_tag;
    int m_timeoutMs = 0;
    int m_retries = 0;
    bool m_running = false;
    int m_next = 0;
    quint64 m_awaited = 0;
    Detection m_detection;
};

// For a program that waits for a job on the link (a detection, a commissioning
// run): runs the loop until the job quits it, passing the link's outcomes to
// take, and calls halt once the stop flag is set.
void runJob(Link &link, QEventLoop &wait, const std::function<void(const LinkResult &)> &take,
            const std::function<void()> &halt, const std::atomic<bool> *stop);

// The whole detection, waiting for its end; a set stop flag stops it. For a
// program without widgets that owns the link (nvb8140t-ctl, the benchmark).
Detection detectLine(Link &link, const std::atomic<bool> *stop, int timeoutMs = 0, int retries = 0,
                     const std::function<void(const LineSetting &)> &trying = {});
