#include "commands.h"

#include <QDateTime>
#include <QSaveFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <thread>

#include "bus.h"
#include "commissioning.h"
#include "crc.h"
#include "frames.h"
#include "meterrecording.h"
#include "registers.h"

namespace {

constexpr int kPollPeriodMs = 1000;
// Set by SIGINT and SIGTERM while polling.
std::atomic<bool> g_stop{false};

void complain(const QString &line)
{
    std::fprintf(stderr, "nvb8140t-ctl: %s\n", line.toLocal8Bit().constData());
}

// False when the line was lost: a script would miss it, so the command stops there.
bool printLine(const QString &line)
{
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    // Scripts read as it comes, through a pipe as well.
    return outputWritten();
}


// The gateway at one address; each call says what went wrong on stderr and
// returns an exit status, or kInterrupted.
class Gateway
{
public:
    static constexpr int kInterrupted = -1;

    Gateway(Bus &bus, int address) : m_bus(bus), m_address(static_cast<std::uint8_t>(address)) {}

    int ask(const QString &what, const QByteArray &request, QByteArray *reply = nullptr,
            Reply::Outcome *outcome = nullptr)
    {
        const Reply answer = m_bus.exchange(request);
        if (reply)
            *reply = answer.bytes;
        if (outcome)
            *outcome = answer.outcome;
        switch (answer.outcome) {
        case Reply::Answered:
            return Exit::Ok;
        case Reply::Interrupted:
            return kInterrupted;
        case Reply::Exception:
        case Reply::Refused:
            complain(what, answer.problem);
            return Exit::Exception;
        case Reply::Silent:
        case Reply::LineLost:
            break;
        }
        complain(what, answer.problem);
        return Exit::NoAnswer;
    }

    void complain(const QString &what, const QString &text) const
    {
        ::complain(QStringLiteral("gateway %1: %2: %3").arg(m_address).arg(what, text));
    }

    int read(const Setting &setting, QVector<std::uint32_t> *values)
    {
        QByteArray reply;
        const int status = ask(QLatin1String(setting.name), settingReadRequest(setting, m_address), &reply);
        if (status == Exit::Ok)
            *values = settingReplyValues(setting, reply);
        return status;
    }

    int write(const Setting &setting, const QVector<std::uint32_t> &values)
    {
        return ask(QLatin1String(setting.name), settingWriteRequest(setting, m_address, values));
    }

    int readMeters(int meters, QByteArray *reply, Reply::Outcome *outcome)
    {
        const auto registers = static_cast<std::uint16_t>(2 * meters);
        const QByteArray request = readRequest(m_address, GatewayRegister::MeterBlock, registers);
        return ask(QStringLiteral("meters"), request, reply, outcome);
    }

private:
    Bus &m_bus;
    std::uint8_t m_address;
};

int scan(Bus &bus, const CtlOptions &options)
{
    int found = 0;
    for (int address = options.from; address <= options.to; ++address) {
        const QByteArray request = readRequest(static_cast<std::uint8_t>(address), GatewayRegister::Address, 1);
        const Reply reply = bus.exchange(request);
        if (reply.outcome == Reply::LineLost) {
            Gateway(bus, address).complain(QStringLiteral("address"), reply.problem);
            return Exit::NoAnswer;
        }
        if (reply.outcome == Reply::Interrupted)
            break;
        // An exception or a garbled reply means something is there; it is worth a word.
        if (reply.outcome == Reply::Exception || reply.heard)
            Gateway(bus, address).complain(QStringLiteral("address"), reply.problem);
        if (reply.outcome == Reply::Answered || reply.outcome == Reply::Exception) {
            if (!printLine(QString::number(address)))
                return outputLost();
            ++found;
        }
    }
    if (found > 0)
        return Exit::Ok;
    complain(QStringLiteral("no gateway answered at addresses %1 to %2").arg(options.from).arg(options.to));
    return Exit::NoAnswer;
}

int get(Gateway &gateway, const CtlOptions &options)
{
    QVector<ProfileSetting> read;
    int status = Exit::Ok;
    for (const Setting *setting : options.names) {
        QVector<std::uint32_t> values;
        status = gateway.read(*setting, &values);
        if (status != Exit::Ok)
            break;
        read.append({setting, values});
        if (!options.json && !printLine(QLatin1String(setting->name) + QLatin1Char('=') + valueText(*setting, values)))
            return outputLost();
    }
    // What was read before a failure is printed too; the status tells it is not all.
    if (options.json && !read.isEmpty() && !printLine(QString::fromUtf8(settingsJson(read))))
        return outputLost();
    return status;
}

// Compared as the gateway shows both values, so that an encoding that keeps
// only the low byte compares fairly. A gateway given another baud rate or parity
// answers there from its acknowledgement on, so the port follows it.
int set(Bus &bus, Gateway &gateway, const CtlOptions &options)
{
    for (const Assignment &assignment : options.assignments) {
        const Setting &setting = *assignment.setting;
        int status = gateway.write(setting, assignment.values);
        const LineSetting moved = settingAfterWrite(bus.setting(), setting.reg, std::uint16_t(assignment.values.value(0)));
        QString error;
        if (status == Exit::Ok && (moved.baud != bus.setting().baud || moved.parity != bus.setting().parity)
            && !bus.reopen(moved, &error)) {
            complain(error);
            return Exit::NoAnswer;
        }
        QVector<std::uint32_t> values;
        if (status == Exit::Ok)
            status = gateway.read(setting, &values);
        if (status != Exit::Ok)
            return status;
        const QString written = valueText(setting, assignment.values);
        const QString read = valueText(setting, values);
        if (written != read) {
            gateway.complain(QLatin1String(setting.name),
                             QStringLiteral("wrote %1, read back %2").arg(written, read));
            return Exit::Mismatch;
        }
        if (!printLine(QLatin1String(setting.name) + QLatin1Char('=') + read))
            return outputLost();
    }
    return Exit::Ok;
}

int poll(Bus &bus, Gateway &gateway, const CtlOptions &options)
{
    // Written as the window records, each line on its way before the next poll.
    MeterRecording out;
    QString error;
    const QString line = MeterCsv::lineOf(options.port, bus.port());
    if (!out.openDescriptor(1, &error)
        || !out.write(MeterCsv::comments(QStringLiteral("nvb8140t-ctl"), line, options.address)
                          + MeterCsv::header(options.meters),
                      &error))
        return outputLost();

    QElapsedTimer clock;
    clock.start();
    qint64 due = 0;
    // The worst that befell a poll: an unanswered one outweighs an exception.
    int worst = Exit::Ok;
    for (int done = 0; options.count == 0 || done < options.count; ++done) {
        while (clock.elapsed() < due && !g_stop.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<qint64>(due - clock.elapsed(), 50)));
        if (g_stop.load())
            return worst;
        const QDateTime asked = QDateTime::currentDateTime();
        QByteArray reply;
        Reply::Outcome outcome = Reply::Answered;
        const int status = gateway.readMeters(options.meters, &reply, &outcome);
        if (status == Gateway::kInterrupted)
            return worst;
        if (outcome == Reply::LineLost)
            return Exit::NoAnswer;
        // One bad poll is a row of its own; the run goes on.
        const MeterCsv::Outcome row = status == Exit::Ok          ? MeterCsv::Outcome::Answered
                                      : status == Exit::Exception ? MeterCsv::Outcome::Exception
                                                                  : MeterCsv::Outcome::NoReply;
        if (status != Exit::Ok && worst != Exit::NoAnswer)
            worst = status;
        if (!out.write(MeterCsv::line(asked, options.meters, row, reply), &error))
            return outputLost();
        // Once a second from the start; a poll that ran late is not made up for.
        due = std::max(due + kPollPeriodMs, clock.elapsed());
    }
    return worst;
}

int cloud(Gateway &gateway, const CtlOptions &options)
{
    for (const CloudText &parameter : options.cloud) {
        // Only the gateway's "OK" is success.
        const int status = gateway.ask(QLatin1String(parameter.field->name),
                                       cloudParameterFrame(parameter.field->parameter, parameter.text));
        if (status != Exit::Ok)
            return status;
    }
    if (options.connect)
        return gateway.ask(QStringLiteral("connect"), cloudConnectFrame());
    return Exit::Ok;
}

char parityLetter(QSerialPort::Parity parity)
{
    return parity == QSerialPort::OddParity ? 'O' : parity == QSerialPort::EvenParity ? 'E' : 'N';
}

int detect(Bus &bus)
{
    const Detection found = bus.detect();
    switch (found.verdict) {
    case Detection::Found:
        return printLine(QStringLiteral("%1 address=%2").arg(lineSettingText(found.setting)).arg(found.address))
                   ? Exit::Ok
                   : outputLost();
    case Detection::SomethingThere: {
        QStringList where;
        for (const LineSetting &setting : found.heardAt) {
            if (!printLine(QStringLiteral("heard ") + lineSettingText(setting)))
                return outputLost();
            where << lineSettingText(setting);
        }
        const LineSetting first = found.heardAt.first();
        complain(QStringLiteral("no gateway gave a valid answer, but bytes that fail the check came at %1: a wrong "
                                "setting, noise, or several gateways answering at once; try: --baud %2 --parity %3 scan")
                     .arg(where.join(QStringLiteral(", ")))
                     .arg(first.baud)
                     .arg(QLatin1Char(parityLetter(first.parity))));
        return Exit::NoAnswer;
    }
    case Detection::Nobody:
        complain(QStringLiteral("no gateway answered at any line setting"));
        return Exit::NoAnswer;
    case Detection::Stopped:
        complain(QStringLiteral("detection stopped"));
        return Exit::NoAnswer;
    case Detection::PortFailed:
        break;
    }
    complain(found.problem);
    return Exit::NoAnswer;
}

// "3 frequency 433 -> 470 verified", "200 gateway-id skipped: ..."
QString resultLine(std::uint8_t address, const SettingResult &r, bool cloud)
{
    QString line = QString::number(address) + (cloud ? QStringLiteral(" cloud ") : QStringLiteral(" ")) + r.name;
    switch (r.result) {
    case SettingResult::Unchanged:
        line += QLatin1Char(' ') + r.after;
        break;
    case SettingResult::Verified:
    case SettingResult::Differs:
        if (!cloud)
            line += QStringLiteral(" %1 -> %2").arg(r.before, r.after);
        else if (!r.after.isEmpty())
            line += QLatin1Char(' ') + r.after;
        break;
    default:
        break;
    }
    line += QLatin1Char(' ') + resultName(r.result);
    return r.reason.isEmpty() ? line : line + QStringLiteral(": ") + r.reason;
}

bool printGateway(const GatewayReport &g)
{
    QStringList lines;
    for (const SettingResult &r : g.settings)
        lines << resultLine(g.address, r, false);
    for (const SettingResult &r : g.cloud)
        lines << resultLine(g.address, r, true);
    if (!g.meters.isEmpty())
        lines << QStringLiteral("%1 meters %2").arg(g.address).arg(g.meters.join(QLatin1Char(' ')));
    if (!g.meterProblem.isEmpty())
        lines << QStringLiteral("%1 meters failed: %2").arg(g.address).arg(g.meterProblem);
    lines << QStringLiteral("%1 traffic requests=%2 no-reply=%3 check-failed=%4 exceptions=%5")
                 .arg(g.address)
                 .arg(g.traffic.requests)
                 .arg(g.traffic.noReply)
                 .arg(g.traffic.checkFailed)
                 .arg(g.traffic.exceptions);
    return std::all_of(lines.begin(), lines.end(), printLine);
}

bool writeReport(const CtlOptions &options, const CommissionReport &report)
{
    QString error;
    if (!options.reportPath.isEmpty()) {
        QSaveFile file(options.reportPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(reportJson(report)) < 0 || !file.commit()) {
            complain(QStringLiteral("cannot write %1: %2").arg(options.reportPath, file.errorString()));
            return false;
        }
    }
    const ReportLanguage language = options.chinese ? ReportLanguage::Chinese : ReportLanguage::English;
    if (!options.pdfPath.isEmpty() && !writeReportPdf(report, options.pdfPath, language, &error)) {
        complain(error);
        return false;
    }
    return true;
}

// The worst status over the gateways; a run the line cut short did not answer.
int commission(Bus &bus, const CtlOptions &options)
{
    CommissioningPlan plan;
    plan.profile = options.profile;
    plan.secret = secretOf(options);
    plan.addresses = options.addresses;
    plan.oneAtATime = options.command == Command::Commission;
    plan.startAddress = std::uint8_t(options.start);
    plan.count = options.count;
    plan.meters = options.meters;
    plan.timeoutMs = options.timeoutMs;
    plan.retries = options.retries;
    bool printed = true;
    std::uint8_t lastStill = 0;
    CommissionReport report = commissionLine(
        bus.link(), plan, &g_stop,
        [&](const GatewayReport &gateway) {
            lastStill = 0;
            printed = printed && printGateway(gateway);
        },
        [&](std::uint8_t address) {
            if (std::exchange(lastStill, address) != address)
                printed = printed && printLine(QStringLiteral("%1 still on the line; waiting for the next gateway").arg(address));
        });
    if (!printed || !printLine(reportSummary(report)))
        return outputLost();
    int status = report.status();
    if (!report.problem.isEmpty()) {
        complain(report.problem);
        status = worseStatus(status, Exit::NoAnswer);
    }
    if (!writeReport(options, report))
        status = worseStatus(status, Exit::OutputLost);
    return status;
}

} // namespace

bool outputWritten()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int outputLost()
{
    complain(QStringLiteral("cannot write output"));
    return Exit::OutputLost;
}

int runCommand(const CtlOptions &options)
{
    if (options.command == Command::Poll || options.command == Command::Detect || options.command == Command::Apply
        || options.command == Command::Commission)
        stopOnSignals(&g_stop);
    Bus bus(options.timeoutMs, options.retries, options.verbose, &g_stop);
    bus.setRetryGarbled(options.retryGarbled);
    QString error;
    if (!bus.open(options.port, options.baud, options.parity, &error)) {
        complain(error);
        return Exit::NoAnswer;
    }
    Gateway gateway(bus, options.address);
    switch (options.command) {
    case Command::Scan: return scan(bus, options);
    case Command::Get: return get(gateway, options);
    case Command::Set: return set(bus, gateway, options);
    case Command::Poll: return poll(bus, gateway, options);
    case Command::Cloud: return cloud(gateway, options);
    case Command::Detect: return detect(bus);
    case Command::Apply:
    case Command::Commission: return commission(bus, options);
    }
    return Exit::Usage;
}
