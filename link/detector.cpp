#include "detector.h"

#include <QEventLoop>
#include <QSerialPortInfo>
#include <QTimer>

#include "commissionreport.h"
#include "frames.h"
#include "registers.h"
#include "settings.h"

namespace {

constexpr std::uint8_t kBroadcastAddress = 0;

// The register value of each parity, as the gateway's parity register holds it.
int parityIndex(QSerialPort::Parity parity)
{
    return parity == QSerialPort::OddParity ? 1 : parity == QSerialPort::EvenParity ? 2 : 0;
}

} // namespace

const QVector<LineSetting> &detectionOrder()
{
    static const QVector<LineSetting> order = [] {
        QVector<LineSetting> settings;
        for (qint32 baud : {9600, 19200, 4800, 2400})
            for (QSerialPort::Parity parity : {QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity})
                settings.append({baud, parity});
        return settings;
    }();
    return order;
}

QString lineSettingText(const LineSetting &setting)
{
    return QStringLiteral("baud=%1 parity=%2")
        .arg(setting.baud)
        .arg(findSetting(QStringLiteral("parity"))->choices.value(parityIndex(setting.parity)));
}

// The system lists no pseudo-terminal, so one has no system location; Qt names
// a port under /dev by the rest of its path.
QString portPath(const QSerialPort &port)
{
    const QString listed = QSerialPortInfo(port).systemLocation();
    if (!listed.isEmpty())
        return listed;
#ifdef Q_OS_UNIX
    if (!port.portName().startsWith(QLatin1Char('/')))
        return QStringLiteral("/dev/") + port.portName();
#endif
    return port.portName();
}

QString cannotOpenText(const QSerialPort &port, const LineSetting &setting)
{
    return reasonOf(Reason::CannotOpen, {portPath(port), lineSettingText(setting), port.errorString()});
}

LineSetting settingAfterWrite(const LineSetting &now, std::uint16_t reg, std::uint16_t value)
{
    LineSetting next = now;
    if (reg == GatewayRegister::Baud)
        next.baud = findSetting(QStringLiteral("baud"))->choices.value(value, QString::number(now.baud)).toInt();
    if (reg == GatewayRegister::Parity)
        next.parity = value == 1 ? QSerialPort::OddParity : value == 2 ? QSerialPort::EvenParity : QSerialPort::NoParity;
    return next;
}

Detector::Detector(Link &link, int tag, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_tag(tag)
{
}

void Detector::start()
{
    m_detection = Detection();
    m_next = 0;
    m_running = true;
    tryNext();
}

void Detector::stop()
{
    if (!m_running)
        return;
    m_link.cancelQueued(m_tag);
    finish(Detection::Stopped);
}

void Detector::tryNext()
{
    const QVector<LineSetting> &order = detectionOrder();
    if (m_next == order.size()) {
        finish(m_detection.heardAt.isEmpty() ? Detection::Nobody : Detection::SomethingThere);
        return;
    }
    const LineSetting setting = order.at(m_next++);
    emit trying(setting);
    if (!m_running)
        return;
    if (!m_link.reopen(setting)) {
        finish(Detection::PortFailed, cannotOpenText(m_link.port(), setting));
        return;
    }
    LinkRequest request;
    request.frame = readRequest(kBroadcastAddress, GatewayRegister::Address, 1);
    request.tag = m_tag;
    request.timeoutMs = m_timeoutMs > 0 ? m_timeoutMs : replyWaitMs(request.frame, setting.baud);
    request.retries = m_retries;
    request.anySender = true;
    m_awaited = m_link.submit(request);
}

void Detector::take(const LinkResult &result)
{
    if (!m_running || result.id != m_awaited || result.late)
        return;
    const LineSetting setting = detectionOrder().at(m_next - 1);
    switch (result.outcome) {
    case LinkResult::Accepted:
        m_detection.setting = setting;
        m_detection.address = std::uint8_t(result.reply.at(Field::Address));
        m_detection.reply = result.reply;
        finish(Detection::Found);
        return;
    case LinkResult::CheckFailed:
    case LinkResult::Exception:
        m_detection.heardAt.append(setting);
        break;
    case LinkResult::NoReply:
        // A reply cut short is bytes that failed the check too.
        if (result.heard)
            m_detection.heardAt.append(setting);
        break;
    case LinkResult::Cancelled:
        finish(Detection::Stopped);
        return;
    default:
        finish(Detection::PortFailed, QStringLiteral("the line went away"));
        return;
    }
    tryNext();
}

void Detector::finish(Detection::Verdict verdict, const QString &problem)
{
    m_running = false;
    m_detection.verdict = verdict;
    m_detection.problem = problem;
    emit finished(m_detection);
}

Detection detectLine(Link &link, const std::atomic<bool> *stop, int timeoutMs, int retries,
                     const std::function<void(const LineSetting &)> &trying)
{
    Detector detector(link, 0);
    detector.setTimeout(timeoutMs);
    detector.setRetries(retries);
    Detection detection;
    QEventLoop wait;
    if (trying)
        QObject::connect(&detector, &Detector::trying, trying);
    QObject::connect(&detector, &Detector::finished, &wait, [&](const Detection &done) {
        detection = done;
        wait.quit();
    });
    detector.start();
    if (detector.isRunning())
        runJob(link, wait, [&](const LinkResult &result) { detector.take(result); }, [&] { detector.stop(); }, stop);
    return detection;
}

void runJob(Link &link, QEventLoop &wait, const std::function<void(const LinkResult &)> &take,
            const std::function<void()> &halt, const std::atomic<bool> *stop)
{
    QObject::connect(&link, &Link::resultsReady, &wait, [&] {
        for (const LinkResult &result : link.takeResults())
            take(result);
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &wait, [&] {
        if (stop && stop->load())
            halt();
    });
    // A flag set by a signal handler is looked at this often.
    watch.start(50);
    wait.exec();
}
