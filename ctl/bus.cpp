#include "bus.h"

#include <QThread>
#include <QTime>

#include <algorithm>
#include <cstdio>

#include "decoder.h"
#include "frames.h"

namespace {

// Waits are cut into slices so that a stop request is noticed soon.
constexpr int kSliceMs = 50;
// An answer of no fixed length ends when the line has been quiet this long;
// a frame that gets no answer is followed by as much silence.
constexpr int kQuietMs = 50;
// Start, eight data bits, parity, stop: the most a byte takes on the line.
constexpr int kBitsPerByte = 11;

const std::uint8_t *bytesOf(const QByteArray &frame)
{
    return reinterpret_cast<const std::uint8_t *>(frame.constData());
}

// An exception from the gateway asked, to the function asked.
bool isExceptionTo(const QByteArray &request, const QByteArray &got)
{
    return got.size() >= kExceptionReplyLength && isExceptionReply(bytesOf(got), kExceptionReplyLength)
           && got.at(0) == request.at(0) && (static_cast<std::uint8_t>(got.at(1)) & ~kExceptionFlag) == request.at(1);
}

QSerialPort::Parity parityOf(char parity)
{
    switch (parity) {
    case 'O': return QSerialPort::OddParity;
    case 'E': return QSerialPort::EvenParity;
    default: return QSerialPort::NoParity;
    }
}

} // namespace

Bus::Bus(int timeoutMs, int retries, bool verbose, const std::atomic<bool> *stop)
    : m_timeoutMs(timeoutMs)
    , m_retries(retries)
    , m_verbose(verbose)
    , m_stop(stop)
{
    m_clock.start();
}

bool Bus::open(const QString &path, int baud, char parity, QString *error)
{
    m_baud = baud;
    m_port.setPortName(path);
    const bool ready = m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(baud)
                       && m_port.setDataBits(QSerialPort::Data8) && m_port.setParity(parityOf(parity))
                       && m_port.setStopBits(QSerialPort::OneStop)
                       && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!ready)
        *error = QStringLiteral("cannot open %1: %2").arg(path, m_port.errorString());
    return ready;
}

void Bus::trace(const QString &line) const
{
    if (!m_verbose)
        return;
    std::fprintf(stderr, "%s %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
                 line.toLocal8Bit().constData());
    std::fflush(stderr);
}

// A request stands alone: whatever an earlier one left on the line is not its answer.
void Bus::dropStale()
{
    m_port.waitForReadyRead(0);
    const QByteArray stale = m_port.readAll();
    m_port.clear(QSerialPort::Input);
    if (!stale.isEmpty())
        trace(QStringLiteral("-- dropped %1 stale byte(s)").arg(stale.size()));
}

void Bus::send(const QByteArray &request)
{
    trace(QStringLiteral("-> ") + maskedHex(request) + QStringLiteral("  ") + describeRequest(request));
    m_port.write(request);
    m_port.waitForBytesWritten(m_timeoutMs);
}

template<typename Done>
Bus::Wait Bus::readUntil(QByteArray &buffer, qint64 deadlineMs, Done done)
{
    while (!done()) {
        if (stopped())
            return Wait::Interrupted;
        const qint64 left = deadlineMs - m_clock.elapsed();
        if (left <= 0)
            return Wait::TimedOut;
        if (!m_port.waitForReadyRead(static_cast<int>(std::min<qint64>(left, kSliceMs)))
            && m_port.error() == QSerialPort::ResourceError)
            return Wait::LineLost;
        buffer += m_port.readAll();
    }
    return Wait::Done;
}

Reply Bus::exchange(const QByteArray &request, const ReplyShape &shape)
{
    const int tries = 1 + m_retries;
    QString garbled;
    for (int attempt = 0; attempt < tries; ++attempt) {
        dropStale();
        send(request);
        if (shape.length == ReplyShape::kNone) {
            // Nothing says the gateway has it, and a cloud frame ends only where the
            // line goes quiet: keep it quiet until the frame is out and a gap has passed.
            QThread::msleep(static_cast<unsigned long>(request.size() * kBitsPerByte * 1000 / m_baud + kQuietMs));
            return {Reply::Answered, {}, {}};
        }

        QByteArray got;
        const qint64 deadline = m_clock.elapsed() + m_timeoutMs;
        const Wait wait = readUntil(got, deadline, [&] {
            if (shape.modbus && isExceptionTo(request, got))
                return true;
            return shape.length == ReplyShape::kAny ? !got.isEmpty() : got.size() >= shape.length;
        });
        if (wait == Wait::Interrupted)
            return {Reply::Interrupted, {}, {}};
        if (wait == Wait::LineLost)
            return {Reply::Silent, {}, QStringLiteral("the line went away: ") + m_port.errorString()};
        if (wait == Wait::TimedOut) {
            trace(got.isEmpty() ? QStringLiteral("-- no answer within %1 ms").arg(m_timeoutMs)
                                : QStringLiteral("<- %1  cut short").arg(maskedHex(got)));
            if (!got.isEmpty())
                garbled = QStringLiteral("%1 byte(s) cut short").arg(got.size());
            continue;
        }
        if (shape.modbus && isExceptionTo(request, got)) {
            const QByteArray reply = got.left(kExceptionReplyLength);
            trace(QStringLiteral("<- ") + maskedHex(reply) + QStringLiteral("  ") + describeReply(request, reply));
            return {Reply::Exception, reply, describeReply(request, reply)};
        }
        if (shape.length == ReplyShape::kAny) {
            // The rest of an answer that has no length of its own.
            QByteArray more;
            do {
                more.clear();
                readUntil(more, m_clock.elapsed() + kQuietMs, [&] { return !more.isEmpty(); });
                got += more;
            } while (!more.isEmpty() && m_clock.elapsed() < deadline);
        }
        const QByteArray reply = shape.length == ReplyShape::kAny ? got : got.left(shape.length);
        // The gateway might echo a secret; its answer to one is not shown.
        trace(carriesSecret(request) ? QStringLiteral("<- %1 byte(s), not shown").arg(reply.size())
                                     : QStringLiteral("<- ") + maskedHex(reply) + QStringLiteral("  ")
                                           + describeReply(request, reply));
        if (!shape.valid || shape.valid(request, reply))
            return {Reply::Answered, reply, {}};
        trace(QStringLiteral("-- not the answer to this request"));
        garbled = QStringLiteral("%1 byte(s) that are not the answer").arg(reply.size());
    }
    const QString triesText = QStringLiteral("%1 %2").arg(tries).arg(tries == 1 ? "try" : "tries");
    const QString problem = garbled.isEmpty()
                                ? QStringLiteral("no answer after ") + triesText
                                : QStringLiteral("no valid answer after %1 (last: %2)").arg(triesText, garbled);
    return {Reply::Silent, {}, problem, !garbled.isEmpty()};
}
