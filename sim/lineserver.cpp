#include "lineserver.h"

#include "decoder.h"
#include "gatewaysimulator.h"

#include <QTime>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// While no client has the line open (pty) or the adapter is gone, poll reports a
// hang-up at once; wait this long instead of spinning.
constexpr int kHangupPauseMs = 50;
constexpr int kMinIdleGapMs = 30;

void pause(int ms)
{
    ::poll(nullptr, 0, ms);
}

bool baudConstant(int baud, speed_t *speed)
{
    switch (baud) {
    case 1200: *speed = B1200; return true;
    case 2400: *speed = B2400; return true;
    case 4800: *speed = B4800; return true;
    case 9600: *speed = B9600; return true;
    case 19200: *speed = B19200; return true;
    case 38400: *speed = B38400; return true;
    case 57600: *speed = B57600; return true;
    case 115200: *speed = B115200; return true;
    default: return false;
    }
}

} // namespace

LineServer::LineServer(GatewaySimulator &simulator)
    : m_simulator(simulator)
{
}

LineServer::~LineServer()
{
    closeLine();
}

void LineServer::closeLine()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_keptSlave >= 0)
        ::close(m_keptSlave);
    m_fd = -1;
    m_keptSlave = -1;
}

bool LineServer::openPseudoTerminal(QString *error)
{
    closeLine();
    int master = -1;
    int slave = -1;
    char name[256] = {0};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: ") + systemError(errno);
        return false;
    }
    // Raw, so that a client which does not configure the line (cat, a script)
    // gets the bytes unchanged and nothing is echoed back to us.
    for (int fd : {master, slave}) {
        termios settings{};
        if (::tcgetattr(fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::tcsetattr(fd, TCSANOW, &settings);
        }
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_fd = master;
    m_keptSlave = slave;
    m_path = QString::fromLocal8Bit(name);
    m_idleGapMs = kMinIdleGapMs;
    return true;
}

bool LineServer::openSerialPort(const QString &path, const SerialSettings &settings, QString *error)
{
    closeLine();
    speed_t speed = B9600;
    if (!baudConstant(settings.baud, &speed)) {
        *error = QStringLiteral("unsupported baud rate %1").arg(settings.baud);
        return false;
    }
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, systemError(errno));
        return false;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        *error = QStringLiteral("%1 is not a serial port: %2").arg(path, systemError(errno));
        ::close(fd);
        return false;
    }
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= settings.dataBits == 7 ? CS7 : CS8;
    if (settings.stopBits == 2)
        t.c_cflag |= CSTOPB;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (settings.parity != 'N') {
        t.c_cflag |= PARENB;
        if (settings.parity == 'O')
            t.c_cflag |= PARODD;
        // A byte with a parity error is left out; the frame then fails its CRC.
        t.c_iflag |= INPCK | IGNPAR;
    }
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        *error = QStringLiteral("cannot configure %1: %2").arg(path, systemError(errno));
        ::close(fd);
        return false;
    }
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
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
    if (m_fd < 0) {
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

    pollfd p{m_fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, timeout);
    if (ready > 0) {
        bool hangup = false;
        if (p.revents & POLLIN) {
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                m_hangupReported = false;
                m_lastByte = Clock::now();
                m_heardSinceIdle = true;
                handleExchanges(m_simulator.feed(QByteArray(buffer, static_cast<int>(n))));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                hangup = true; // EIO on a pty master without a client
            }
        } else if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            hangup = true;
        }
        if (hangup) {
            if (!m_hangupReported && m_log)
                m_log(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")) + QStringLiteral(" -- line hung up, waiting"));
            m_hangupReported = true;
            pause(kHangupPauseMs);
        }
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
    int written = 0;
    int waits = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nobody is reading (a full pty) or the line is gone: wait a little, then give up
        // rather than hold up the line for everyone else.
        if (n < 0 && errno == EAGAIN && waits < 10) {
            ++waits;
            pollfd p{m_fd, POLLOUT, 0};
            ::poll(&p, 1, 20);
            continue;
        }
        log(QStringLiteral("tx"), bytes.mid(written), QStringLiteral("not sent: ") + systemError(errno));
        break;
    }
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
