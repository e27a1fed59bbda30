#include "bus.h"

#include <cstdio>

#include "commissionreport.h"

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
    *error = cannotOpenText(m_link.port(), setting);
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

    switch (result.outcome) {
    case LinkResult::Accepted:
    case LinkResult::Sent:
        return {Reply::Answered, result.reply, {}};
    case LinkResult::Exception:
        return {Reply::Exception, result.reply, outcomeReason(result)};
    case LinkResult::Refused:
        return {Reply::Refused, result.reply, outcomeReason(result)};
    case LinkResult::CheckFailed:
    case LinkResult::NoReply:
        return {Reply::Silent, {}, outcomeReason(result), result.outcome == LinkResult::CheckFailed || result.heard};
    case LinkResult::Cancelled:
        return {Reply::Interrupted, {}, {}};
    case LinkResult::LineLost:
    case LinkResult::NotSent:
        break;
    }
    return {Reply::LineLost, {}, outcomeReason(result) + (lost.isEmpty() ? QString() : QStringLiteral(": ") + lost)};
}
