// The lines only POSIX has: a pseudo-terminal of our own, and a serial port set up
// through termios. Built only where POSIX is (sim/CMakeLists.txt).
#include "linebackend.h"
#include "lineserver.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
// openpty: pty.h on Linux, libutil.h on FreeBSD, util.h on macOS and the other BSDs
#if __has_include(<pty.h>)
#include <pty.h>
#elif __has_include(<libutil.h>)
#include <libutil.h>
#else
#include <util.h>
#endif

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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

int baudOfConstant(speed_t speed)
{
    for (int baud : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        speed_t constant = B0;
        if (baudConstant(baud, &constant) && constant == speed)
            return baud;
    }
    return 0;
}

// A non-blocking descriptor: a pty master or a serial port.
class DescriptorLine : public LineBackend
{
public:
    DescriptorLine(int fd, int keptSlave)
        : m_fd(fd)
        , m_keptSlave(keptSlave)
    {
    }
    ~DescriptorLine() override
    {
        ::close(m_fd);
        if (m_keptSlave >= 0)
            ::close(m_keptSlave);
    }

    Heard wait(int ms, QByteArray *bytes) override
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0)
            return Heard::Nothing;
        if (p.revents & POLLIN) {
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                *bytes = QByteArray(buffer, static_cast<int>(n));
                return Heard::Bytes;
            }
            // EIO on a pty master without a client
            return n == 0 || (errno != EAGAIN && errno != EINTR) ? Heard::HungUp : Heard::Nothing;
        }
        return p.revents & (POLLHUP | POLLERR | POLLNVAL) ? Heard::HungUp : Heard::Nothing;
    }

    int write(const QByteArray &bytes, QString *error) override
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
            *error = systemError(errno);
            break;
        }
        return written;
    }

    std::optional<SerialSettings> farSettings() const override
    {
        termios t{};
        if (m_keptSlave < 0 || ::tcgetattr(m_fd, &t) != 0)
            return std::nullopt;
        SerialSettings settings;
        settings.baud = baudOfConstant(::cfgetospeed(&t));
        settings.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
        return settings;
    }

private:
    int m_fd;
    int m_keptSlave; // our own open slave fd keeps the pty alive between clients
};

} // namespace

std::unique_ptr<LineBackend> openPseudoTerminalLine(int baud, QString *path, QString *error)
{
    speed_t speed = B9600;
    baudConstant(baud, &speed);
    int master = -1;
    int slave = -1;
    char name[256] = {0};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: ") + systemError(errno);
        return nullptr;
    }
    // Raw, so that a client which does not configure the line (cat, a script)
    // gets the bytes unchanged and nothing is echoed back to us.
    for (int fd : {master, slave}) {
        termios settings{};
        if (::tcgetattr(fd, &settings) == 0) {
            ::cfmakeraw(&settings);
            ::cfsetispeed(&settings, speed);
            ::cfsetospeed(&settings, speed);
            ::tcsetattr(fd, TCSANOW, &settings);
        }
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    *path = QString::fromLocal8Bit(name);
    return std::make_unique<DescriptorLine>(master, slave);
}

// termios rather than QSerialPort, which the other systems use: with parity on, termios
// checks it and leaves out a byte that fails (INPCK, IGNPAR), so a master set to the wrong
// parity goes unanswered. QSerialPort sets IGNPAR without INPCK, which takes such bytes as
// good, and Qt 6 has no way to ask otherwise.
std::unique_ptr<LineBackend> openSystemSerialLine(const QString &path, const SerialSettings &settings, QString *error)
{
    speed_t speed = B9600;
    if (!baudConstant(settings.baud, &speed)) {
        *error = QStringLiteral("unsupported baud rate %1").arg(settings.baud);
        return nullptr;
    }
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = QStringLiteral("cannot open %1: %2").arg(path, systemError(errno));
        return nullptr;
    }
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        *error = QStringLiteral("%1 is not a serial port: %2").arg(path, systemError(errno));
        ::close(fd);
        return nullptr;
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
        return nullptr;
    }
    ::tcflush(fd, TCIOFLUSH);
    return std::make_unique<DescriptorLine>(fd, -1);
}
