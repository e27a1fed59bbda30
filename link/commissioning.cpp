#include "commissioning.h"

#include <QEventLoop>

#include "detector.h"
#include "frames.h"
#include "registers.h"
#include "replycheck.h"

namespace {

constexpr std::uint8_t kBroadcastAddress = 0;
constexpr int kHighestAddress = 247;

bool isNamed(const Setting &setting, const char *name)
{
    return qstrcmp(setting.name, name) == 0;
}

// The bus line settings go last: once one is written, the gateway answers only at the new setting.
bool isLineSetting(const Setting &setting)
{
    return setting.reg == GatewayRegister::Parity || setting.reg == GatewayRegister::Baud;
}

// Read or written in current-loop frames, which carry no bus address.
bool travelsUnaddressed(const Setting &setting)
{
    return setting.readCommand != 0 || setting.writeCommand != 0;
}

bool answered(const LinkResult &result)
{
    return result.outcome == LinkResult::Accepted || result.outcome == LinkResult::Sent;
}

bool lineGone(const LinkResult &result)
{
    return result.outcome == LinkResult::LineLost || result.outcome == LinkResult::NotSent
           || result.outcome == LinkResult::Cancelled;
}

LineSetting lineOf(QSerialPort &port)
{
    return {port.baudRate(), port.parity()};
}

bool sameLine(const LineSetting &a, const LineSetting &b)
{
    return a.baud == b.baud && a.parity == b.parity;
}

} // namespace

Commissioner::Commissioner(Link &link, int tag, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_tag(tag)
{
    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, [this] {
        if (m_running)
            lookForGateway();
    });
}

void Commissioner::start(const CommissioningPlan &plan)
{
    m_plan = plan;
    m_report = CommissionReport();
    const QDateTime now = QDateTime::currentDateTime();
    m_report.started = now.toOffsetFromUtc(now.offsetFromUtc());
    m_report.toolVersion = QStringLiteral(NVB_VERSION);
    m_report.port = portPath(m_link.port());
    m_line = lineOf(m_link.port());
    m_report.line = m_line;
    m_report.oneAtATime = plan.oneAtATime;
    m_done.clear();
    m_steps.clear();
    m_inGateway = false;
    m_nextTarget = 0;
    m_reading = false;
    m_running = true;
    if (m_plan.meters < 0)
        m_plan.meters = std::max(0, m_plan.profile.meters);
    emit progress(0, plan.oneAtATime ? plan.count : plan.addresses.size());
    if (plan.oneAtATime)
        lookForGateway();
    else
        nextTarget();
}

void Commissioner::startReading(std::uint8_t address, int timeoutMs, int retries)
{
    m_plan = CommissioningPlan();
    m_plan.timeoutMs = timeoutMs;
    m_plan.retries = retries;
    m_read = Profile();
    m_address = address;
    m_reading = true;
    m_running = true;
    m_counting = false;
    readNext(0);
}

void Commissioner::readNext(int index)
{
    const QVector<Setting> &settings = gatewaySettings();
    while (index < settings.size() && settings.at(index).reg == GatewayRegister::Address)
        ++index;
    if (index == settings.size()) {
        finish();
        return;
    }
    const Setting &setting = settings.at(index);
    ask(settingReadRequest(setting, m_address), [this, &setting, index](const LinkResult &result) {
        if (result.outcome != LinkResult::Accepted) {
            finish(reasonOf(Reason::ReadFailed, {QString::number(m_address), QLatin1String(setting.name), outcomeReason(result)}));
            return;
        }
        m_read.settings.append({&setting, settingReplyValues(setting, result.reply)});
        readNext(index + 1);
    });
}

void Commissioner::stop()
{
    if (!m_running)
        return;
    m_report.stopped = true;
    finish(m_reading ? reasonOf(Reason::Stopped) : QString());
}

void Commissioner::take(const LinkResult &result)
{
    if (!m_running || result.id != m_awaited || result.late)
        return;
    if (m_counting) {
        TrafficCounts &traffic = m_gateway.traffic;
        ++traffic.requests;
        traffic.noReply += result.outcome == LinkResult::NoReply;
        traffic.checkFailed += result.outcome == LinkResult::CheckFailed;
        traffic.exceptions += result.outcome == LinkResult::Exception || result.outcome == LinkResult::Refused;
    }
    if (lineGone(result)) {
        finish(outcomeReason(result));
        return;
    }
    const Then then = std::move(m_then);
    then(result);
}

void Commissioner::ask(const QByteArray &frame, Then then, bool anySender)
{
    LinkRequest request;
    request.frame = frame;
    request.tag = m_tag;
    request.timeoutMs = m_plan.timeoutMs > 0 && !anySender ? m_plan.timeoutMs : replyWaitMs(frame, m_line.baud);
    // The broadcast read is repeated anyway while waiting for a gateway.
    request.retries = anySender ? 0 : m_plan.retries;
    request.anySender = anySender;
    m_then = std::move(then);
    m_awaited = m_link.submit(request);
}

void Commissioner::next()
{
    if (!m_running)
        return;
    if (m_steps.empty()) {
        endGateway();
        return;
    }
    const std::function<void()> step = std::move(m_steps.front());
    m_steps.pop_front();
    step();
}

void Commissioner::nextTarget()
{
    if (m_nextTarget == m_plan.addresses.size()) {
        finish();
        return;
    }
    beginGateway(m_plan.addresses.at(m_nextTarget++));
    queueProfile();
    next();
}

void Commissioner::beginGateway(std::uint8_t address)
{
    m_gateway = GatewayReport();
    m_gateway.address = m_gateway.foundAt = m_address = address;
    m_inGateway = true;
    m_counting = true;
    m_steps.clear();
    emit gatewayStarted(address);
}

void Commissioner::record(const SettingResult &result, int status, bool cloud)
{
    (cloud ? m_gateway.cloud : m_gateway.settings).append(result);
    m_gateway.status = worseStatus(m_gateway.status, status);
    emit settingDone(m_address, result);
}

void Commissioner::fail(const QString &name, const LinkResult &result, const QString &before, bool cloud)
{
    SettingResult failed;
    failed.name = name;
    failed.before = before;
    failed.result = SettingResult::Failed;
    failed.reason = outcomeReason(result);
    const bool refused = result.outcome == LinkResult::Exception || result.outcome == LinkResult::Refused;
    record(failed, refused ? CommissionStatus::Exception : CommissionStatus::NoAnswer, cloud);
    // A gateway that does not answer is not asked the rest; one that refused one thing may take the next.
    if (refused)
        next();
    else
        abandon(reasonOf(Reason::StoppedAnswering));
}

// The steps left are not taken; each of the profile's settings not reached is reported failed.
void Commissioner::abandon(const QString &why)
{
    m_steps.clear();
    const auto reached = [this](const QString &name, const QVector<SettingResult> &list) {
        return std::any_of(list.begin(), list.end(), [&](const SettingResult &r) { return r.name == name; });
    };
    for (const ProfileSetting &wanted : m_plan.profile.settings) {
        if (reached(QLatin1String(wanted.setting->name), m_gateway.settings))
            continue;
        SettingResult result;
        result.name = QLatin1String(wanted.setting->name);
        result.wanted = valueText(*wanted.setting, wanted.values);
        result.result = SettingResult::Failed;
        result.reason = why;
        record(result, CommissionStatus::Ok, false);
    }
    QStringList left;
    for (const CloudField &field : cloudFields()) {
        const bool given = field.parameter == CloudParameter::DeviceSecret
                               ? !m_plan.secret.isEmpty()
                               : std::any_of(m_plan.profile.cloud.begin(), m_plan.profile.cloud.end(),
                                             [&](const ProfileCloudText &t) { return t.field == &field; });
        if (given)
            left << QLatin1String(field.name);
    }
    if (m_plan.profile.mode)
        left << QStringLiteral("mode");
    if (m_plan.profile.connect)
        left << QStringLiteral("connect");
    for (const QString &name : left) {
        if (reached(name, m_gateway.cloud))
            continue;
        SettingResult result;
        result.name = name;
        result.result = SettingResult::Failed;
        result.reason = why;
        record(result, CommissionStatus::Ok, true);
    }
    if (m_plan.meters > 0 && m_gateway.meters.isEmpty() && m_gateway.meterProblem.isEmpty())
        m_gateway.meterProblem = why;
    endGateway();
}

QString Commissioner::skipReason(const Setting &setting) const
{
    const bool several = m_plan.oneAtATime || m_plan.addresses.size() > 1;
    if (isNamed(setting, "address") && m_plan.oneAtATime)
        return reasonOf(Reason::AddressOneAtATime);
    if (isNamed(setting, "address") && several)
        return reasonOf(Reason::AddressShared);
    if (isIdentitySetting(setting) && several)
        return reasonOf(Reason::IdentityShared);
    if (travelsUnaddressed(setting) && !m_plan.oneAtATime && m_plan.addresses.size() > 1)
        return setting.writeCommand
? reasonOf(Reason::LoopUnaddressed) : reasonOf(Reason::ChannelUnaddressed);
    return QString();
}

void Commissioner::queueProfile()
{
    const auto reading = [this](const char *name, QString *into) {
        const Setting &setting = *findSetting(QLatin1String(name));
        m_steps.push_back([this, &setting, into] {
            ask(settingReadRequest(setting, m_address), [this, &setting, into](const LinkResult &result) {
                if (result.outcome == LinkResult::Exception) {
                    next();
                    return;
                }
                if (result.outcome != LinkResult::Accepted) {
                    m_gateway.status = worseStatus(m_gateway.status, CommissionStatus::NoAnswer);
                    abandon(reasonOf(Reason::DidNotAnswer, {outcomeReason(result)}));
                    return;
                }
                *into = valueText(setting, settingReplyValues(setting, result.reply));
                next();
            });
        });
    };
    reading("gateway-id", &m_gateway.gatewayId);
    reading("firmware", &m_gateway.firmware);
    // Ordinary settings, then the address, then the line settings.
    for (int pass = 0; pass < 3; ++pass) {
        for (const ProfileSetting &wanted : m_plan.profile.settings) {
            const int group = isLineSetting(*wanted.setting) ? 2 : isNamed(*wanted.setting, "address") ? 1 : 0;
            if (group == pass)
                queueSetting(wanted);
        }
    }
    for (const CloudField &field : cloudFields()) {
        if (field.parameter == CloudParameter::DeviceSecret) {
            if (!m_plan.secret.isEmpty())
                queueCloud(QLatin1String(field.name), cloudParameterFrame(field.parameter, m_plan.secret),
                           QLatin1String(kReportSecretMark));
            continue;
        }
        for (const ProfileCloudText &text : m_plan.profile.cloud) {
            if (text.field == &field)
                queueCloud(QLatin1String(field.name), cloudParameterFrame(field.parameter, text.wire),
                           QString::fromUtf8(text.wire));
        }
    }
    if (m_plan.profile.mode)
        queueCloud(QStringLiteral("mode"), cloudModeFrame(), QString());
    if (m_plan.profile.connect)
        queueCloud(QStringLiteral("connect"), cloudConnectFrame(), QString());
    if (m_plan.meters > 0)
        queueMeters(m_plan.meters);
}

// Read, write if it differs, read back and compare as the gateway shows both.
void Commissioner::queueSetting(const ProfileSetting &wanted, bool own)
{
    m_steps.push_back([this, wanted, own] {
        const Setting &setting = *wanted.setting;
        const QString name = QLatin1String(setting.name);
        SettingResult result;
        result.name = name;
        result.wanted = valueText(setting, wanted.values);
        if (!own)
            result.reason = skipReason(setting);
        if (!result.reason.isEmpty()) {
            result.result = SettingResult::Skipped;
            record(result, CommissionStatus::Ok);
            next();
            return;
        }
        ask(settingReadRequest(setting, m_address), [this, wanted, result, name](const LinkResult &read) mutable {
            const Setting &setting = *wanted.setting;
            if (read.outcome != LinkResult::Accepted) {
                fail(name, read);
                return;
            }
            result.before = valueText(setting, settingReplyValues(setting, read.reply));
            if (result.before == result.wanted) {
                result.after = result.before;
                result.result = SettingResult::Unchanged;
                record(result, CommissionStatus::Ok);
                next();
                return;
            }
            ask(settingWriteRequest(setting, m_address, wanted.values), [this, wanted, result, name](const LinkResult &written) mutable {
                const Setting &setting = *wanted.setting;
                if (!answered(written)) {
                    fail(name, written, result.before);
                    return;
                }
                // The gateway answers at its new address or line setting from its acknowledgement on.
                const std::uint16_t value = std::uint16_t(wanted.values.value(0));
                if (setting.reg == GatewayRegister::Address)
                    m_address = std::uint8_t(value);
                if (!moveLine(settingAfterWrite(m_line, setting.reg, value)))
                    return;
                ask(settingReadRequest(setting, m_address), [this, wanted, result, name](const LinkResult &back) mutable {
                    const Setting &setting = *wanted.setting;
                    if (back.outcome != LinkResult::Accepted) {
                        fail(name, back, result.before);
                        return;
                    }
                    result.after = valueText(setting, settingReplyValues(setting, back.reply));
                    const bool same = result.after == result.wanted;
                    result.result = same ? SettingResult::Verified : SettingResult::Differs;
                    if (!same)
                        result.reason = reasonOf(Reason::WroteReadBack, {result.wanted, result.after});
                    if (setting.reg == GatewayRegister::Address)
                        m_gateway.address = m_address;
                    record(result, same ? CommissionStatus::Ok : CommissionStatus::Mismatch);
                    next();
                });
            });
        });
    });
}

// Only the gateway's OK is success; connect gets no answer, so it is only sent.
void Commissioner::queueCloud(const QString &name, const QByteArray &frame, const QString &shown)
{
    m_steps.push_back([this, name, frame, shown] {
        SettingResult result;
        result.name = name;
        result.wanted = shown;
        if (!m_plan.oneAtATime && m_plan.addresses.size() > 1) {
            result.result = SettingResult::Skipped;
            result.reason = reasonOf(Reason::CloudUnaddressed);
            record(result, CommissionStatus::Ok, true);
            next();
            return;
        }
        ask(frame, [this, result](const LinkResult &answer) mutable {
            if (!answered(answer)) {
                fail(result.name, answer, QString(), true);
                return;
            }
            result.after = result.wanted;
            result.result = answer.outcome == LinkResult::Sent ? SettingResult::Sent : SettingResult::Verified;
            record(result, CommissionStatus::Ok, true);
            next();
        });
    });
}

void Commissioner::queueMeters(int meters)
{
    m_steps.push_back([this, meters] {
        ask(readRequest(m_address, GatewayRegister::MeterBlock, std::uint16_t(2 * meters)), [this, meters](const LinkResult &result) {
            if (result.outcome != LinkResult::Accepted) {
                m_gateway.meterProblem = outcomeReason(result);
                const bool refused = result.outcome == LinkResult::Exception;
                m_gateway.status = worseStatus(m_gateway.status, refused ? CommissionStatus::Exception : CommissionStatus::NoAnswer);
                next();
                return;
            }
            for (int meter = 0; meter < meters; ++meter)
                m_gateway.meters << meterText(bytesOf(result.reply), meter, reasonOf(Reason::Timeout));
            next();
        });
    });
}

// Before the next gateway, the port goes back to where the run started.
void Commissioner::endGateway()
{
    m_counting = false;
    m_inGateway = false;
    m_steps.clear();
    m_done.insert(m_gateway.address);
    m_report.gateways.append(m_gateway);
    emit gatewayDone(m_gateway);
    emit progress(m_report.gateways.size(), m_plan.oneAtATime ? m_plan.count : m_plan.addresses.size());
    if (!m_running || !moveLine(m_report.line))
        return;
    if (!m_plan.oneAtATime)
        nextTarget();
    else if (m_plan.count > 0 && m_report.gateways.size() >= m_plan.count)
        finish();
    else
        lookForGateway();
}

bool Commissioner::moveLine(const LineSetting &setting)
{
    if (sameLine(setting, m_line))
        return true;
    m_line = setting;
    if (m_link.reopen(setting))
        return true;
    finish(cannotOpenText(m_link.port(), setting));
    return false;
}

// One at a time: the broadcast read until a gateway not yet done answers.
void Commissioner::lookForGateway()
{
    emit waiting();
    ask(readRequest(kBroadcastAddress, GatewayRegister::Address, 1), [this](const LinkResult &result) {
        if (result.outcome != LinkResult::Accepted) {
            m_pause.start(m_plan.waitMs);
            return;
        }
        const std::uint8_t seen = std::uint8_t(result.reply.at(Field::Address));
        if (m_done.contains(seen)) {
            emit stillOnLine(seen);
            m_pause.start(m_plan.waitMs);
            return;
        }
        beginGateway(seen);
        probeFree(seen, m_plan.startAddress);
    }, true);
}

// The next address from the start that nobody answers at; the gateway's own is free for it.
void Commissioner::probeFree(std::uint8_t seen, int candidate)
{
    while (candidate <= kHighestAddress && m_done.contains(std::uint8_t(candidate)) && candidate != seen)
        ++candidate;
    if (candidate > kHighestAddress) {
        SettingResult result;
        result.name = QStringLiteral("address");
        result.before = QString::number(seen);
        result.result = SettingResult::Failed;
        result.reason = reasonOf(Reason::NoFreeAddress, {QString::number(m_plan.startAddress), QString::number(kHighestAddress)});
        record(result, CommissionStatus::NoAnswer);
        abandon(reasonOf(Reason::NoOwnAddress));
        return;
    }
    if (candidate == seen) {
        moveTo(seen);
        return;
    }
    m_counting = false;
    // Three registers, a reply no read of the run has: a late answer to a probe can pass
    // for nothing else, so nothing after it waits for the probe's answer to be given up.
    ask(readRequest(std::uint8_t(candidate), GatewayRegister::Parity, 3), [this, seen, candidate](const LinkResult &result) {
        m_counting = true;
        if (result.outcome == LinkResult::NoReply && !result.heard)
            moveTo(std::uint8_t(candidate));
        else
            probeFree(seen, candidate + 1);
    });
}

void Commissioner::moveTo(std::uint8_t address)
{
    ProfileSetting move;
    move.setting = findSetting(QStringLiteral("address"));
    move.values = {address};
    // The move is the run's own, not the profile's: no skip applies to it.
    queueSetting(move, true);
    queueProfile();
    next();
}

void Commissioner::finish(const QString &problem)
{
    if (!m_running)
        return;
    m_running = false;
    m_pause.stop();
    m_link.cancelQueued(m_tag);
    m_then = nullptr;
    if (m_reading) {
        m_reading = false;
        emit profileRead(m_read, problem);
        return;
    }
    m_report.problem = problem;
    if (m_inGateway) {
        if (!problem.isEmpty())
            m_gateway.status = worseStatus(m_gateway.status, CommissionStatus::NoAnswer);
        m_inGateway = false;
        m_report.gateways.append(m_gateway);
        emit gatewayDone(m_gateway);
    }
    m_steps.clear();
    if (!sameLine(m_line, m_report.line)) {
        m_line = m_report.line;
        m_link.reopen(m_line);
    }
    emit finished(m_report);
}

namespace {

void runUntilDone(Link &link, Commissioner &commissioner, const std::atomic<bool> *stop,
                  const std::function<void()> &begin)
{
    QEventLoop wait;
    QObject::connect(&commissioner, &Commissioner::finished, &wait, &QEventLoop::quit);
    begin();
    if (commissioner.isRunning())
        runJob(link, wait, [&](const LinkResult &result) { commissioner.take(result); }, [&] { commissioner.stop(); }, stop);
}

} // namespace

CommissionReport commissionLine(Link &link, const CommissioningPlan &plan, const std::atomic<bool> *stop,
                                const std::function<void(const GatewayReport &)> &done,
                                const std::function<void(std::uint8_t)> &stillOnLine)
{
    Commissioner commissioner(link, 0);
    if (done)
        QObject::connect(&commissioner, &Commissioner::gatewayDone, done);
    if (stillOnLine)
        QObject::connect(&commissioner, &Commissioner::stillOnLine, stillOnLine);
    runUntilDone(link, commissioner, stop, [&] { commissioner.start(plan); });
    return commissioner.report();
}
