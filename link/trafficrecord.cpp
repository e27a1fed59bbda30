#include "trafficrecord.h"

#include <QTime>

#include "decoder.h"

void TrafficRecord::addMasked(TrafficEvent::Kind kind, const QString &meaning, int delayMs, bool readLate)
{
    push(kind, QLatin1String(kSecretMark), meaning, delayMs, readLate);
}

void TrafficRecord::add(TrafficEvent::Kind kind, const QByteArray &frame, const QString &meaning, int delayMs,
                        bool readLate)
{
    push(kind, maskedHex(frame), meaning, delayMs, readLate);
}

void TrafficRecord::push(TrafficEvent::Kind kind, const QString &hex, const QString &meaning, int delayMs, bool readLate)
{
    TrafficEvent event;
    const QDateTime now = m_clock();
    event.date = now.date();
    event.msecsOfDay = now.time().msecsSinceStartOfDay();
    event.kind = kind;
    event.hex = hex;
    event.meaning = meaning;
    event.delayMs = delayMs;
    event.readLate = readLate;
    m_events.push_back(std::move(event));
    if (m_events.size() > std::size_t(kCapacity))
        m_events.pop_front();
    ++m_counts[kind];
    ++m_total;
    emit added();
}

void TrafficRecord::clear()
{
    m_events.clear();
    m_counts.fill(0);
    emit cleared();
}

QString TrafficRecord::lineOf(const TrafficEvent &event)
{
    static const char *const kDirections[TrafficEvent::kKinds] = {"->", "<-", "<-", "<-", "!!", "<-", "<-"};
    QString line = QTime::fromMSecsSinceStartOfDay(event.msecsOfDay).toString(QStringLiteral("HH:mm:ss.zzz"))
                   + QLatin1Char(' ') + QLatin1String(kDirections[event.kind]);
    if (!event.hex.isEmpty())
        line += QLatin1Char(' ') + event.hex;
    line += QStringLiteral("  ") + event.meaning;
    if (event.delayMs >= 0)
        line += (event.readLate ? QStringLiteral("  (\u2264 %1 ms)") : QStringLiteral("  (%1 ms)")).arg(event.delayMs);
    return line;
}

QString TrafficRecord::fileText(const QString &header) const
{
    QString text = header;
    QDate day;
    for (const TrafficEvent &event : m_events) {
        if (event.date != day) {
            day = event.date;
            text += QStringLiteral("--- %1 ---\n").arg(day.toString(Qt::ISODate));
        }
        text += lineOf(event) + QLatin1Char('\n');
    }
    return text;
}
