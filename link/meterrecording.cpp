#include "meterrecording.h"

#include <QSerialPort>
#include <QStringList>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include "frames.h"

namespace MeterCsv {

QString lineOf(const QString &portName, const QSerialPort &port)
{
    const char parity = port.parity() == QSerialPort::OddParity    ? 'O'
                        : port.parity() == QSerialPort::EvenParity ? 'E'
                        : port.parity() == QSerialPort::NoParity   ? 'N'
                                                                   : '?';
    return QStringLiteral("%1, %2 %3%4%5")
        .arg(portName)
        .arg(port.baudRate())
        .arg(int(port.dataBits()))
        .arg(QLatin1Char(parity))
        .arg(port.stopBits() == QSerialPort::TwoStop ? 2 : 1);
}

QString comments(const QString &program, const QString &line, int address)
{
    return QStringLiteral("# %1 %2\n# port %3\n").arg(program, QStringLiteral(NVB_VERSION), line)
           + addressComment(address);
}

QString addressComment(int address)
{
    return QStringLiteral("# gateway address %1\n").arg(address);
}

QString header(int meters)
{
    QStringList names{QStringLiteral("time")};
    for (int m = 1; m <= meters; ++m)
        names << QStringLiteral("meter%1").arg(m);
    return names.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QString timeOf(const QDateTime &time)
{
    // The offset written out, so that a reader elsewhere knows when it was.
    QDateTime local = time.toLocalTime();
    local.setOffsetFromUtc(local.offsetFromUtc());
    return local.toString(Qt::ISODateWithMs);
}

QString line(const QDateTime &time, int meters, Outcome outcome, const QByteArray &reply)
{
    QStringList columns{timeOf(time)};
    // A reply shorter than the meters asked (the link checks the length) is no answer.
    if (outcome == Outcome::Answered && reply.size() < readReplyLength(2 * meters))
        outcome = Outcome::NoReply;
    const QString every = outcome == Outcome::Exception && reply.size() > Field::ExceptionCode
                              ? QString::fromLatin1(exceptionName(std::uint8_t(reply.at(Field::ExceptionCode))))
                              : QStringLiteral("no-reply");
    for (int m = 0; m < meters; ++m)
        columns << (outcome == Outcome::Answered ? meterText(bytesOf(reply), m, QStringLiteral("timeout")) : every);
    return columns.join(QLatin1Char(',')) + QLatin1Char('\n');
}

} // namespace MeterCsv

bool MeterRecording::open(const QString &path, QString *error)
{
    file.close();
    file.setFileName(path);
    // Unbuffered: each line goes to the system as it is written.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        *error = file.errorString();
        return false;
    }
    whole = 0;
    seekable = !file.isSequential();
    return true;
}

bool MeterRecording::openDescriptor(int fd, QString *error)
{
    file.close();
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        *error = file.errorString();
        return false;
    }
    whole = file.isSequential() ? 0 : file.size();
    seekable = !file.isSequential();
    return true;
}

bool MeterRecording::write(const QString &lines, QString *error)
{
    const QByteArray utf8 = lines.toUtf8();
    qint64 written = 0;
    // A write cut short is tried again, so the second says what went wrong.
    for (qint64 n = 0; file.isOpen() && written < utf8.size(); written += n) {
        n = file.write(utf8.constData() + written, utf8.size() - written);
        if (n <= 0)
            break;
    }
    if (written < utf8.size()) {
        *error = file.isOpen() ? file.errorString() : QStringLiteral("not open");
        // A cut line could read as a different value; the whole lines stay.
        if (seekable && written > 0)
            file.resize(whole);
        return false;
    }
    whole += written;
#ifdef Q_OS_WIN
    const bool synced = _commit(file.handle()) == 0 || errno == EBADF;
#else
    // Pipes and terminals cannot be synced, and need not be.
    const bool synced = ::fsync(file.handle()) == 0 || errno == EINVAL || errno == ENOTSUP;
#endif
    if (!synced) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}
