#include "bus.h"

#include <cstdio>

#include "decoder.h"

Bus::Bus(int timeoutMs, int retries, bool verbose, const std::atomic<bool> *stop)
    : m_timeoutMs(timeoutMs)
    , m_retries(retries)
    , m_stop(stop)
{
    if (!verbose)
        return;
    // The trace is the traffic record as it grows; the device secret is masked there.
    TrafficRecord &record = m_link.traffic();
    QObject::connect(&record, &TrafficRecord::added, &m_link, [&record] {
        std::fprintf(stderr, "%s\n", TrafficRecord::lineOf(record.events().back()).toLocal8Bit().constData());
        std::fflush(stderr);
    });
}

bool Bus::open(const QString &path, int baud, char parity, QString *error)
{
    m_link.port().setPortName(path);
    return reopen({baud, parityOf(parity)}, error);
}

bool Bus::reopen(const LineSetting &setting, QString *error)
{
    m_setting = setting;
    if (m_link.reopen(setting))
        return true;
    *error = QStringLiteral("cannot open %1 at %2: %3")
                 .arg(m_link.port().portName(), lineSettingText(setting), m_link.port().errorString());
    return false;
}

Detection Bus::detect()
{
    const Detection found = detectLine(m_link, m_stop, m_timeoutMs, m_retries);
    m_setting = found.verdict == Detection::Found ? found.setting : m_setting;
    return found;
}

Reply Bus::exchange(const QByteArray &request)
{
    QString lost;
    const QMetaObject::Connection watch =
        QObject::connect(&m_link, &Link::lineLost, [&lost](const QString &why) { lost = why; });
    LinkRequest asked;
    asked.frame = request;
    asked.timeoutMs = m_timeoutMs > 0 ? m_timeoutMs : replyWaitMs(request, m_setting.baud);
    asked.retries = m_retries;
    LinkResult result = m_link.exchange(asked, m_stop);
    const bool garbled = result.outcome == LinkResult::CheckFailed || (result.outcome == LinkResult::NoReply && result.heard);
    if (m_retryGarbled && garbled) {
        const int before = result.attempts;
        result = m_link.exchange(asked, m_stop);
        result.attempts += before;
    }
    QObject::disconnect(watch);

    const QString tries = QStringLiteral("%1 %2").arg(result.attempts).arg(result.attempts == 1 ? "try" : "tries");
    switch (result.outcome) {
    case LinkResult::Accepted:
    case LinkResult::Sent:
        return {Reply::Answered, result.reply, {}};
    case LinkResult::Exception:
        return {Reply::Exception, result.reply, describeReply(request, result.reply)};
    case LinkResult::Refused:
        return {Reply::Refused, result.reply,
                QStringLiteral("the gateway answered \"%1\"").arg(QString::fromUtf8(result.reply.trimmed()))};
    case LinkResult::CheckFailed:
        return {Reply::Silent, {},
                QStringLiteral("no valid answer after %1 (last: %2 byte(s) that are not the answer)")
                    .arg(tries)
                    .arg(result.reply.size()),
                true};
    case LinkResult::NoReply:
        if (result.heard)
            return {Reply::Silent, {}, QStringLiteral("no valid answer after %1 (last: cut short)").arg(tries), true};
        return {Reply::Silent, {}, QStringLiteral("no answer after ") + tries};
    case LinkResult::Cancelled:
        return {Reply::Interrupted, {}, {}};
    case LinkResult::LineLost:
    case LinkResult::NotSent:
        break;
    }
    return {Reply::LineLost, {}, QStringLiteral("the line went away") + (lost.isEmpty() ? QString() : QStringLiteral(": ") + lost)};
}
