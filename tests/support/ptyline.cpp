#include "ptyline.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "crc.h"

PtyLine::PtyLine()
{
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        master = slave = -1;
        return;
    }
    termios settings;
    tcgetattr(slave, &settings);
    cfmakeraw(&settings);
    tcsetattr(slave, TCSANOW, &settings);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    slavePath = QString::fromLocal8Bit(name);
}

void PtyLine::hangUp()
{
    if (master >= 0)
        ::close(master);
    if (slave >= 0)
        ::close(slave);
    master = slave = -1;
}

QByteArray PtyLine::read(int n, int timeoutMs)
{
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while ((n < 0 || out.size() < n) && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        pollfd p{master, POLLIN, 0};
        char buffer[512];
        ssize_t got = 0;
        if (::poll(&p, 1, 5) > 0 && (p.revents & POLLIN))
            while ((got = ::read(master, buffer, sizeof buffer)) > 0)
                out.append(buffer, int(got));
    }
    return out;
}

QByteArray PtyLine::readFrame(int n)
{
    const QByteArray first = read(n);
    return first + readFor(20);
}

bool PtyLine::expect(const QByteArray &frame, int timeoutMs)
{
    const QByteArray got = read(frame.size(), timeoutMs);
    if (got != frame)
        qWarning("expected %s, got %s", frame.toHex(' ').constData(), got.toHex(' ').constData());
    return got == frame;
}

bool PtyLine::expectSilence(int ms)
{
    const QByteArray got = readFor(ms);
    if (!got.isEmpty())
        qWarning("expected silence, got %s", got.toHex(' ').constData());
    return got.isEmpty();
}

void PtyLine::write(const QByteArray &data)
{
    for (int done = 0; done < data.size();) {
        const ssize_t put = ::write(master, data.constData() + done, size_t(data.size() - done));
        if (put > 0)
            done += int(put);
        else if (errno != EAGAIN && errno != EINTR)
            break;
    }
}

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}
