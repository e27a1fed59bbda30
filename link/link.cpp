#include "link.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <algorithm>
#include <utility>

#include "decoder.h"
#include "frames.h"
#include "trafficlog.h"

namespace {

// A text answer ends when the line has been quiet this long; a frame that gets
// no answer is followed by as much silence, so the gateway sees where it ends.
constexpr int kQuietMs = 50;
// A reply is waited for this many time-outs after its attempt, or twice the
// longest delay seen on the line, whichever is longer.
constexpr int kLateBoundTimeouts = 3;
// The synchronous wait looks at its stop flag this often.
constexpr int kStopSliceMs = 50;
// USB adapters pass received bytes on in batches, up to 16 ms apart; a reply
// that has begun is waited for this much beyond its wire time.
constexpr int kBatchMs = 20;

} // namespace

QSerialPort::Parity parityOf(char letter)
{
    switch (letter) {
    case 'O': return QSerialPort::OddParity;
    case 'E': return QSerialPort::EvenParity;
    default: return QSerialPort::NoParity;
    }
}

Link::Link(QObject *parent)
    : QObject(parent)
{
    m_clock.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Link::onTimer);
    connect(&m_port, &QSerialPort::readyRead, this, &Link::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &Link::onError);
}

Link::~Link() = default;

bool Link::open()
{
    m_rx.clear();
    if (m_wire)
        return true;
    if (!m_port.open(QIODevice::ReadWrite))
        return false;
    m_port.clear(QSerialPort::Input);
    return true;
}

bool Link::reopen(const LineSetting &setting)
{
    close();
    m_port.setBaudRate(setting.baud);
    m_port.setParity(setting.parity);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    return open();
}

void Link::close()
{
    endAll(LinkResult::Cancelled);
    m_port.close();
    m_rx.clear();
    m_owed.clear();
    m_quietUntil = 0;
}

void Link::setWire(std::function<void(const QByteArray &)> wire)
{
    m_wire = std::move(wire);
}

int Link::lateBoundMs(int timeoutMs) const
{
    return int(std::max<qint64>(qint64(kLateBoundTimeouts) * timeoutMs, 2 * m_longestDelay));
}

quint64 Link::submit(const LinkRequest &request)
{
    Pending pending;
    pending.id = m_nextId++;
    pending.request = request;
    pending.shape = replyShapeOf(request.frame, request.anySender);
    const quint64 id = pending.id;
    m_queue.push_back(std::move(pending));
    pump();
    // Outcomes known at once (a closed port, a frame that awaits nothing) are
    // told from the event loop, not from inside the sender's own call.
    if (!m_results.empty())
        QMetaObject::invokeMethod(
            this, [this] { if (!m_results.empty()) emit resultsReady(); }, Qt::QueuedConnection);
    return id;
}

LinkResult Link::exchange(const LinkRequest &request, const std::atomic<bool> *stop)
{
    const quint64 id = submit(request);
    LinkResult result;
    bool done = false;
    const auto look = [&] {
        for (auto it = m_results.begin(); it != m_results.end(); ++it) {
            if (it->id == id && !it->late) {
                result = *it;
                done = true;
                break;
            }
        }
        // Nobody else takes outcomes here; late ones are in the traffic record.
        m_results.clear();
    };
    look();
    while (!done) {
        if (stop && stop->load()) {
            cancelQueued(request.tag);
            if (m_current && m_current->id == id)
                settleCurrent(LinkResult::Cancelled, QByteArray(), -1);
            look();
            if (!done)
                result = {id, request.tag, request.frame, {}, LinkResult::Cancelled};
            m_results.clear();
            break;
        }
        QEventLoop wait;
        QTimer slice;
        slice.setSingleShot(true);
        connect(&slice, &QTimer::timeout, &wait, &QEventLoop::quit);
        connect(this, &Link::resultsReady, &wait, &QEventLoop::quit);
        slice.start(kStopSliceMs);
        wait.exec();
        look();
    }
    // A frame that gets no answer ends where the line goes quiet: a program that
    // stops right after it keeps the line that long first.
    if (result.outcome == LinkResult::Sent) {
        QEventLoop quiet;
        QTimer::singleShot(int(std::max<qint64>(0, m_quietUntil - m_clock.elapsed())), &quiet, &QEventLoop::quit);
        quiet.exec();
    }
    return result;
}

void Link::cancelQueued(int tag)
{
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->request.tag == tag) {
            finish(*it, LinkResult::Cancelled, QByteArray(), -1, false);
            it = m_queue.erase(it);
        } else {
            ++it;
        }
    }
}

std::deque<LinkResult> Link::takeResults()
{
    std::deque<LinkResult> taken;
    taken.swap(m_results);
    return taken;
}

void Link::noteBlocked()
{
    if (m_current)
        for (Attempt &attempt : m_current->unanswered)
            attempt.blocked = true;
    for (Pending &owed : m_owed)
        for (Attempt &attempt : owed.unanswered)
            attempt.blocked = true;
}

void Link::armTimer(qint64 at)
{
    const qint64 left = std::max<qint64>(0, at - m_clock.elapsed());
    if (!m_timer.isActive() || m_timer.remainingTime() > left)
        m_timer.start(int(left));
}

qint64 Link::holdUntil(const Pending &next) const
{
    qint64 until = 0;
    for (const Pending &owed : m_owed) {
        if (owed.unanswered.empty()
            || !repliesCouldMix(owed.request.frame, owed.request.anySender, next.request.frame, next.request.anySender))
            continue;
        until = std::max(until, owed.unanswered.back().sentAt + lateBoundMs(owed.request.timeoutMs));
    }
    return until;
}

void Link::expireOwed()
{
    const qint64 now = m_clock.elapsed();
    for (auto it = m_owed.begin(); it != m_owed.end();) {
        const qint64 bound = lateBoundMs(it->request.timeoutMs);
        while (!it->unanswered.empty() && it->unanswered.front().sentAt + bound <= now)
            it->unanswered.pop_front();
        it = it->unanswered.empty() ? m_owed.erase(it) : it + 1;
    }
}

// What the port holds is read before anything owed is given up or a request
// goes out: the owner may not have let the event loop run for a while.
void Link::readPending()
{
    if (!m_port.isOpen())
        return;
    {
        const QSignalBlocker quiet(m_port);
        m_port.waitForReadyRead(0);
    }
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    qCDebug(lcLink).noquote() << describeTraffic("<-", bytesOf(bytes), int(bytes.size()));
    heard(bytes);
    process(false);
}

void Link::heard(const QByteArray &bytes)
{
    m_lastByteAt = m_clock.elapsed();
    if (m_rx.isEmpty())
        m_firstByteAt = m_lastByteAt;
    m_rx += bytes;
}

void Link::pump()
{
    while (!m_current && !m_queue.empty()) {
        readPending();
        expireOwed();
        Pending &next = m_queue.front();
        if (!writable()) {
            // A closed port sends nothing, as a write to it would.
            finish(next, LinkResult::NotSent, QByteArray(), -1, false);
            m_queue.pop_front();
            continue;
        }
        const qint64 until = std::max(m_quietUntil, holdUntil(next));
        if (m_clock.elapsed() < until) {
            armTimer(until);
            return;
        }
        m_inFlight = std::move(next);
        m_queue.pop_front();
        m_current = &m_inFlight;
        send(*m_current);
        if (m_current->shape.kind == ReplyShape::Nothing) {
            finish(*m_current, LinkResult::Sent, QByteArray(), -1, false);
            m_current = nullptr;
            const int baud = m_port.isOpen() ? int(m_port.baudRate()) : 0;
            m_quietUntil = m_clock.elapsed() + wireTimeMs(int(m_inFlight.request.frame.size()), baud) + kQuietMs;
            continue;
        }
        armTimer(m_current->unanswered.back().sentAt + m_current->request.timeoutMs);
    }
}

void Link::send(Pending &pending)
{
    // With nothing owed, whatever is left on the line cannot be an answer to
    // this request and would only spoil it.
    if (m_owed.empty()) {
        if (m_port.isOpen())
            m_rx += m_port.readAll();
        if (!m_rx.isEmpty())
            dropStray(std::exchange(m_rx, QByteArray()), QStringLiteral("stray bytes dropped"));
    }
    const QByteArray &frame = pending.request.frame;
    qCDebug(lcLink).noquote() << describeTraffic("->", bytesOf(frame), int(frame.size()));
    if (m_wire) {
        m_wire(frame);
    } else {
        m_port.write(frame);
        // Hand it to the line now: the sender may block its thread right after.
        m_port.flush();
    }
    m_record.add(TrafficEvent::Request, frame, describeRequest(frame));
    pending.unanswered.push_back({m_clock.elapsed(), false});
    ++pending.attempts;
}

void Link::record(TrafficEvent::Kind kind, const Pending &pending, const QByteArray &bytes, const QString &meaning,
                  const Attempt *attempt)
{
    const int delay = attempt ? int(m_clock.elapsed() - attempt->sentAt) : -1;
    const bool blocked = attempt && attempt->blocked;
    // Whatever answers the device secret may echo it: it is never shown.
    if (carriesSecret(pending.request.frame)) {
        m_record.addMasked(kind,
                           kind == TrafficEvent::Reply && isCloudOk(bytes)
                               ? QStringLiteral("cloud: \"OK\"")
                               : QStringLiteral("the answer to the device secret, not shown"),
                           delay, blocked);
        return;
    }
    m_record.add(kind, bytes, meaning, delay, blocked);
}

void Link::dropStray(const QByteArray &bytes, const QString &why)
{
    if (bytes.isEmpty())
        return;
    qCDebug(lcLink).noquote() << "<-" << maskedHex(bytes) << "dropped";
    m_record.add(TrafficEvent::Stray, bytes, why);
}

void Link::finish(Pending &pending, LinkResult::Outcome outcome, const QByteArray &reply, int delayMs, bool late)
{
    LinkResult result;
    result.id = pending.id;
    result.tag = pending.request.tag;
    result.request = pending.request.frame;
    result.reply = reply;
    result.outcome = outcome;
    result.late = late;
    result.delayMs = delayMs;
    result.attempts = pending.attempts;
    result.heard = pending.heard;
    m_results.push_back(std::move(result));
}

// The current request has its outcome; replies still owed to its attempts are waited for.
void Link::settleCurrent(LinkResult::Outcome outcome, const QByteArray &reply, int delayMs)
{
    Pending &current = *m_current;
    current.settled = true;
    current.accepted = outcome == LinkResult::Accepted || outcome == LinkResult::Exception
                       || outcome == LinkResult::Refused;
    finish(current, outcome, reply, delayMs, false);
    if (!current.unanswered.empty())
        m_owed.push_back(std::move(current));
    m_current = nullptr;
    m_timer.stop();
    pump();
}

void Link::onReadyRead()
{
    receive(m_port.readAll());
}

void Link::receive(const QByteArray &bytes)
{
    if (!bytes.isEmpty()) {
        qCDebug(lcLink).noquote() << describeTraffic("<-", bytesOf(bytes), int(bytes.size()));
        heard(bytes);
    }
    process(false);
    if (m_current && m_current->shape.kind == ReplyShape::Text && !m_rx.isEmpty())
        armTimer(m_lastByteAt + kQuietMs);
    if (!m_results.empty())
        emit resultsReady();
}

void Link::process(bool lineQuiet)
{
    while (!m_rx.isEmpty() && matchFront(lineQuiet)) {
    }
}

// Replies owed to earlier requests come first, in the order sent; those of
// requests whose reply names its sender come after the current one, whose
// reply would pass their check too.
bool Link::tryOwed(bool lineQuiet, bool anySenderOnes)
{
    for (auto it = m_owed.begin(); it != m_owed.end(); ++it) {
        Pending &owed = *it;
        if (owed.unanswered.empty() || owed.shape.anySender != anySenderOnes)
            continue;
        int used = 0;
        const Verdict verdict = checkReply(owed.request.frame, owed.shape, m_rx, &used, lineQuiet);
        if (verdict != Verdict::Answer && verdict != Verdict::Exception)
            continue;
        const QByteArray reply = m_rx.left(used);
        m_rx.remove(0, used);
        const Attempt attempt = owed.unanswered.front();
        owed.unanswered.pop_front();
        const int delay = int(m_clock.elapsed() - attempt.sentAt);
        m_longestDelay = std::max<qint64>(m_longestDelay, delay);
        if (owed.accepted) {
            record(TrafficEvent::Late, owed, reply, QStringLiteral("late reply to an earlier attempt, dropped"), &attempt);
        } else {
            // Unanswered so far: this is its answer after all, though late.
            const bool exception = verdict == Verdict::Exception;
            LinkResult::Outcome outcome = exception ? LinkResult::Exception : LinkResult::Accepted;
            if (owed.shape.kind == ReplyShape::Text && !isCloudOk(reply))
                outcome = LinkResult::Refused;
            record(exception ? TrafficEvent::Exception : TrafficEvent::Reply, owed, reply,
                   describeReply(owed.request.frame, reply), &attempt);
            owed.accepted = true;
            finish(owed, outcome, reply, delay, true);
        }
        if (owed.unanswered.empty())
            m_owed.erase(it);
        return true;
    }
    return false;
}

bool Link::matchFront(bool lineQuiet)
{
    if (tryOwed(lineQuiet, false))
        return true;
    if (m_current) {
        Pending &current = *m_current;
        int used = 0;
        const Verdict verdict = checkReply(current.request.frame, current.shape, m_rx, &used, lineQuiet);
        if (verdict == Verdict::Incomplete)
            return tryOwed(lineQuiet, true);
        const QByteArray reply = m_rx.left(used);
        // Only the reply's own bytes make it; the rest is left for what follows.
        m_rx.remove(0, used);
        const Attempt attempt = current.unanswered.front();
        current.unanswered.pop_front();
        const int delay = int(m_clock.elapsed() - attempt.sentAt);
        switch (verdict) {
        case Verdict::Answer: {
            m_longestDelay = std::max<qint64>(m_longestDelay, delay);
            const bool ok = current.shape.kind != ReplyShape::Text || isCloudOk(reply);
            record(TrafficEvent::Reply, current, reply, describeReply(current.request.frame, reply), &attempt);
            settleCurrent(ok ? LinkResult::Accepted : LinkResult::Refused, reply, delay);
            return true;
        }
        case Verdict::Exception:
            m_longestDelay = std::max<qint64>(m_longestDelay, delay);
            record(TrafficEvent::Exception, current, reply, describeReply(current.request.frame, reply), &attempt);
            settleCurrent(LinkResult::Exception, reply, delay);
            return true;
        default:
            break;
        }
        record(TrafficEvent::CheckFailed, current, reply, QStringLiteral("check failed"), &attempt);
        // What follows a reply that failed cannot be trusted to start a frame.
        dropStray(std::exchange(m_rx, QByteArray()), QStringLiteral("stray bytes dropped"));
        current.heard = true;
        if (current.attempts <= current.request.retries) {
            send(current);
            armTimer(current.unanswered.back().sentAt + current.request.timeoutMs);
        } else {
            settleCurrent(LinkResult::CheckFailed, reply, delay);
        }
        return true;
    }
    if (tryOwed(lineQuiet, true))
        return true;
    // Part of a reply still owed may be here; wait for the rest, but not past its bound.
    for (const Pending &owed : m_owed) {
        int used = 0;
        if (!owed.unanswered.empty()
            && checkReply(owed.request.frame, owed.shape, m_rx, &used, lineQuiet) == Verdict::Incomplete) {
            armTimer(owed.unanswered.front().sentAt + lateBoundMs(owed.request.timeoutMs));
            return false;
        }
    }
    dropStray(std::exchange(m_rx, QByteArray()), QStringLiteral("stray bytes dropped"));
    return true;
}

void Link::onTimer()
{
    // Replies that came while the owner's thread was busy are read before
    // anything is given up.
    if (m_port.isOpen() && m_port.bytesAvailable() > 0)
        heard(m_port.readAll());
    const qint64 now = m_clock.elapsed();
    process(!m_rx.isEmpty() && now - m_lastByteAt >= kQuietMs);
    if (m_current) {
        Pending &current = *m_current;
        const Attempt &last = current.unanswered.back();
        // A reply that has begun is given the time its bytes take on the line.
        const qint64 replyEnds = !m_rx.isEmpty() && m_firstByteAt >= last.sentAt && current.shape.length > 0
                                     ? m_firstByteAt + wireTimeMs(current.shape.length, int(m_port.baudRate())) + kBatchMs
                                     : 0;
        if (now < replyEnds) {
            armTimer(replyEnds);
        } else if (now >= last.sentAt + current.request.timeoutMs) {
            // A cut reply is no answer; what there was of it goes with the attempt.
            const QByteArray partial = std::exchange(m_rx, QByteArray());
            if (!partial.isEmpty()) {
                current.heard = true;
                record(TrafficEvent::CheckFailed, current, partial, QStringLiteral("cut short"), nullptr);
            }
            const QString why = QStringLiteral("no reply after %1 ms").arg(current.request.timeoutMs);
            m_record.add(TrafficEvent::NoReply, QByteArray(), why);
            if (current.attempts <= current.request.retries) {
                send(current);
                armTimer(current.unanswered.back().sentAt + current.request.timeoutMs);
            } else {
                settleCurrent(LinkResult::NoReply, partial, -1);
            }
        } else if (current.shape.kind == ReplyShape::Text && !m_rx.isEmpty()) {
            armTimer(m_lastByteAt + kQuietMs);
        } else {
            armTimer(last.sentAt + current.request.timeoutMs);
        }
    } else {
        // Bytes of a reply owed that never completed.
        for (const Pending &owed : m_owed)
            if (!owed.unanswered.empty())
                armTimer(owed.unanswered.front().sentAt + lateBoundMs(owed.request.timeoutMs));
        expireOwed();
        if (m_owed.empty() && !m_rx.isEmpty())
            dropStray(std::exchange(m_rx, QByteArray()), QStringLiteral("stray bytes dropped"));
    }
    pump();
    if (!m_results.empty())
        emit resultsReady();
}

void Link::endAll(LinkResult::Outcome outcome)
{
    m_timer.stop();
    if (m_current) {
        finish(*m_current, outcome, QByteArray(), -1, false);
        m_current = nullptr;
    }
    for (Pending &queued : m_queue)
        finish(queued, outcome, QByteArray(), -1, false);
    m_queue.clear();
    m_owed.clear();
}

// A line that vanishes (the other end closed, a USB adapter pulled) makes the
// toolkit repeat ReadError or ResourceError in a tight loop while the port stays open.
void Link::onError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!m_port.isOpen())
        return;
    const QString why = m_port.errorString();
    endAll(LinkResult::LineLost);
    m_port.close();
    m_rx.clear();
    m_quietUntil = 0;
    emit lineLost(why);
    if (!m_results.empty())
        emit resultsReady();
}
