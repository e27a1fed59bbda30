#include "lineserver.h"

#include "decoder.h"
#include "gatewaysimulator.h"
#include "linebackend.h"

#include <QTime>

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

// While no client has the line open (pty) or the adapter is gone, the line reports
// a hang-up at once; wait this long instead of spinning.
constexpr int kHangupPauseMs = 50;
constexpr int kMinIdleGapMs = 30;

void pause(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

LineServer::LineServer(GatewaySimulator &simulator)
    : m_simulator(simulator)
{
}

LineServer::~LineServer() = default;

bool LineServer::openPseudoTerminal(QString *error)
{
    m_line.reset();
    const int baud = m_simulator.gatewayCount() > 0 ? m_simulator.gateway(0).baud() : 9600;
    m_line = openPseudoTerminalLine(baud, &m_path, error);
    m_idleGapMs = kMinIdleGapMs;
    return m_line != nullptr;
}

bool LineServer::openSerialPort(const QString &path, const SerialSettings &settings, QString *error)
{
    m_line.reset();
    return takeSerialLine(openSystemSerialLine(path, settings, error), path, settings);
}

bool LineServer::openQtSerialPort(const QString &path, const SerialSettings &settings, QString *error)
{
    m_line.reset();
    return takeSerialLine(openQtSerialLine(path, settings, error), path, settings);
}

bool LineServer::takeSerialLine(std::unique_ptr<LineBackend> line, const QString &path, const SerialSettings &settings)
{
    m_line = std::move(line);
    if (!m_line)
        return false;
    m_path = path;
    // A few character times, but not less than what USB adapters need to pass bytes on.
    const int bitsPerChar = 1 + settings.dataBits + (settings.parity != 'N' ? 1 : 0) + settings.stopBits;
    const int fiveChars = static_cast<int>(std::ceil(5000.0 * bitsPerChar / settings.baud));
    m_idleGapMs = std::max(kMinIdleGapMs, fiveChars);
    return true;
}

void LineServer::serve(const std::atomic<bool> &stop)
{
    while (!stop.load())
        serveOnce(100);
}

void LineServer::serveOnce(int maxWaitMs)
{
    if (!m_line) {
        pause(maxWaitMs);
        return;
    }
    auto millisecondsUntil = [](Clock::time_point when) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
        // Round up, so that we do not wake a moment early and go round again.
        return static_cast<int>(std::max<long long>(0, left + 1));
    };
    int timeout = maxWaitMs;
    if (!m_outgoing.empty())
        timeout = std::min(timeout, millisecondsUntil(m_outgoing.front().due));
    if (m_heardSinceIdle)
        timeout = std::min(timeout, millisecondsUntil(m_lastByte + std::chrono::milliseconds(m_idleGapMs)));

    QByteArray heard;
    const LineBackend::Heard what = m_line->wait(timeout, &heard);
    m_simulator.setTime(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_started).count());
    switch (what) {
    case LineBackend::Heard::Bytes:
        m_hangupReported = false;
        m_lastByte = Clock::now();
        m_heardSinceIdle = true;
        // Read as the bytes come: the client sets the line up before it writes.
        if (const std::optional<SerialSettings> far = m_line->farSettings())
            m_simulator.hearAt(far->baud, far->stopBits);
        handleExchanges(m_simulator.feed(heard));
        break;
    case LineBackend::Heard::HungUp:
        if (!m_hangupReported && m_log)
            m_log(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral(" -- line hung up, waiting"));
        m_hangupReported = true;
        pause(kHangupPauseMs);
        break;
    case LineBackend::Heard::Nothing:
        break;
    }

    if (m_heardSinceIdle && Clock::now() >= m_lastByte + std::chrono::milliseconds(m_idleGapMs)) {
        m_heardSinceIdle = false;
        handleExchanges(m_simulator.lineIdle());
    }
    sendDue();
}

void LineServer::handleExchanges(const QList<Exchange> &exchanges)
{
    for (const Exchange &exchange : exchanges) {
        QString text = exchange.meaning;
        if (!exchange.faults.isEmpty())
            text += QStringLiteral(" [") + exchange.faults.join(QStringLiteral(", ")) + QLatin1Char(']');
        log(QStringLiteral("rx"), exchange.request, text);

        if (exchange.reply.isEmpty())
            continue;
        if (m_pendingReplies >= kMaxPendingReplies) {
            QByteArray reply;
            for (const ReplyPiece &piece : exchange.reply)
                reply += piece.bytes;
            log(QStringLiteral("tx"), reply, QStringLiteral("not sent: %1 replies already waiting").arg(m_pendingReplies));
            continue;
        }
        // Replies leave in the order of their requests, the first piece after its
        // delay from now, each further piece after its gap from the one before.
        Clock::time_point due = Clock::now();
        for (int i = 0; i < exchange.reply.size(); ++i) {
            const ReplyPiece &piece = exchange.reply.at(i);
            due += std::chrono::milliseconds(piece.delayMs);
            if (i == 0 && !m_outgoing.empty())
                due = std::max(due, m_lastDue);
            m_outgoing.push_back({due, piece.bytes, i == exchange.reply.size() - 1});
            m_lastDue = due;
        }
        ++m_pendingReplies;
    }
    sendDue();
}

void LineServer::sendDue()
{
    while (!m_outgoing.empty() && m_outgoing.front().due <= Clock::now()) {
        const QByteArray bytes = m_outgoing.front().bytes;
        if (m_outgoing.front().endsReply)
            --m_pendingReplies;
        m_outgoing.pop_front();
        writeAll(bytes);
    }
}

void LineServer::writeAll(const QByteArray &bytes)
{
    QString error;
    const int written = m_line->write(bytes, &error);
    if (written < bytes.size())
        log(QStringLiteral("tx"), bytes.mid(written), QStringLiteral("not sent: ") + error);
    if (written > 0)
        log(QStringLiteral("tx"), bytes.left(written), QString());
}

void LineServer::log(const QString &direction, const QByteArray &bytes, const QString &text)
{
    if (!m_log)
        return;
    QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + QLatin1Char(' ') + direction
        + QLatin1Char(' ') + maskedHex(bytes);
    if (!text.isEmpty())
        line += QStringLiteral("  ") + text;
    m_log(line);
}
