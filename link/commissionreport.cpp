#include "commissionreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "decoder.h"
#include "detector.h"
#include "frames.h"
#include "profile.h"

namespace {

// From the worst down: a gateway that did not answer, one that refused, one that holds another value.
int rank(int status)
{
    switch (status) {
    case CommissionStatus::NoAnswer: return 4;
    case CommissionStatus::Refused: return 3;
    case CommissionStatus::Exception: return 2;
    case CommissionStatus::Mismatch: return 1;
    default: return 0;
    }
}

QJsonArray resultsJson(const QVector<SettingResult> &results)
{
    QJsonArray array;
    for (const SettingResult &r : results) {
        QJsonObject object{{QStringLiteral("name"), r.name}, {QStringLiteral("result"), resultName(r.result)}};
        if (!r.before.isEmpty())
            object.insert(QStringLiteral("before"), r.before);
        if (!r.wanted.isEmpty())
            object.insert(QStringLiteral("wanted"), r.wanted);
        if (!r.after.isEmpty())
            object.insert(QStringLiteral("after"), r.after);
        if (!r.reason.isEmpty())
            object.insert(QStringLiteral("reason"), r.reason);
        array.append(object);
    }
    return array;
}

// Fills %1, %2, ... in one pass, so that a value holding "%2" stays as it is.
QString filled(const QString &form, const QStringList &values)
{
    QString text;
    for (int i = 0; i < form.size(); ++i) {
        const int n = i + 1 < form.size() && form.at(i) == QLatin1Char('%') ? form.at(i + 1).digitValue() : -1;
        if (n >= 1 && n <= values.size()) {
            text += values.at(n - 1);
            ++i;
        } else {
            text += form.at(i);
        }
    }
    return text;
}

} // namespace

namespace Reason {
const ReasonForm Try{"尝试 %1 次", "%1 try"};
const ReasonForm Tries{"尝试 %1 次", "%1 tries"};
const ReasonForm NoAnswer{"%1均无应答", "no answer after %1"};
const ReasonForm NoValidAnswer{"%1均无有效应答", "no valid answer after %1"};
const ReasonForm NotTheAnswer{"%1均无有效应答（最后收到 %2 字节，不是应答）",
                              "no valid answer after %1 (last: %2 byte(s) that are not the answer)"};
const ReasonForm CutShort{"%1均无有效应答（最后一次应答不完整）", "no valid answer after %1 (last: cut short)"};
const ReasonForm Answered{"网关应答 %1", "the gateway answered \"%1\""};
const ReasonForm LineGone{"线路已断开", "the line went away"};
const ReasonForm StoppedAnswering{"未执行：网关不再应答", "not done: the gateway stopped answering"};
const ReasonForm DidNotAnswer{"未执行：网关无应答（%1）", "not done: the gateway did not answer (%1)"};
const ReasonForm AddressOneAtATime{"逐台接入时，每台网关从起始地址起取下一个空闲地址",
                                   "one at a time, each gateway gets the next free address from the start address"};
const ReasonForm AddressShared{"同一地址写入多台网关，会使它们全部处于该地址",
                               "one address given to several gateways would put them all at that address"};
const ReasonForm IdentityShared{"身份参数不共享，而配置要写入多台网关",
                                "identity is never shared, and the profile goes to several gateways"};
const ReasonForm LoopUnaddressed{"其帧不带总线地址，线上每台网关都会接收",
                                 "its frames carry no bus address, so every gateway on the line would take them"};
const ReasonForm ChannelUnaddressed{"读取它的帧不带总线地址，线上每台网关都会应答",
                                    "it is read in a frame without a bus address, which every gateway on the line answers"};
const ReasonForm CloudUnaddressed{"云平台帧不带总线地址，线上每台网关都会接收",
                                  "cloud frames carry no bus address, so every gateway on the line would take them"};
const ReasonForm WroteReadBack{"写入 %1，读回 %2", "wrote %1, read back %2"};
const ReasonForm NoFreeAddress{"%1 到 %2 之间没有空闲地址", "no free address from %1 to %2"};
const ReasonForm NoOwnAddress{"未执行：网关没有自己的地址", "not done: the gateway has no address of its own"};
const ReasonForm CannotOpen{"无法以 %2 打开 %1：%3", "cannot open %1 at %2: %3"};
const ReasonForm ReadFailed{"网关 %1：%2：%3", "gateway %1: %2: %3"};
const ReasonForm Stopped{"已停止", "stopped"};
const ReasonForm Timeout{"超时", "timeout"};
} // namespace Reason

const ReasonForm kRefusalForms[] = {
    {"不是有效的 JSON（第 %2 字节：%1）", "not valid JSON: %1 at byte %2"},
    {"应为 JSON 对象", "expected a JSON object"},
    {"应为 JSON 对象", "expected an object"},
    {"未知的格式版本 %1（应为 %2）", "unknown format version %1 (expected %2)"},
    {"未知的参数", "unknown setting"},
    {"未知的项（应为 %1）", "unknown (expected %1)"},
    {"设备密钥从不存入配置文件，应用配置时再给出", "the device secret is never kept in a profile; it is given when the profile is applied"},
    {"无法读取：%1", "cannot read: %1"},
    {"大于 %1 字节，不是配置文件", "larger than %1 bytes, not a profile"},
    {"应为 JSON 字符串：%1", "expected a JSON string, %1"},
    {"应为 JSON 数字：%1到%2的整数", "expected a JSON number, a whole number from %1 to %2"},
    {"应为 JSON 数字：%1到%2", "expected a JSON number, %1 to %2"},
    {"应为 [下限, 上限]，各为%1到%2", "expected [LOWER, UPPER], each %1 to %2"},
    {"应为“下限,上限”，各为%1到%2", "expected LOWER,UPPER, each %1 to %2"},
    {"下限应小于上限", "expected LOWER below UPPER"},
    {"应为 true 或 false", "expected true or false"},
    {"应为有效的 UTF-8 文本", "expected valid UTF-8 text"},
    {"应为 1 到 %1 字节的 UTF-8 文本（加上“%3”共 %2 字节）", "expected 1 to %1 bytes of UTF-8 (%2 with '%3' appended)"},
    {"应为 1 到 %1 字节的 UTF-8 文本", "expected 1 to %1 bytes of UTF-8"},
    {"应为%1到%2的整数", "expected a whole number from %1 to %2"},
    {"应为 0，或绝对值在%1到%2之间", "expected 0 or a magnitude from %1 to %2"},
    {"应为%1到%2", "expected %1 to %2"},
    {"应为%1", "expected %1"},
    // "FILE: SETTING: WHAT", each part on its own.
    {"%1：%2", "%1: %2"},
};
const int kRefusalFormCount = int(sizeof kRefusalForms / sizeof kRefusalForms[0]);

QString reasonOf(const ReasonForm &form, const QStringList &values)
{
    return filled(QString::fromUtf8(form.en), values);
}

QString outcomeReason(const LinkResult &result)
{
    const QString tries = reasonOf(result.attempts == 1 ? Reason::Try : Reason::Tries, {QString::number(result.attempts)});
    switch (result.outcome) {
    case LinkResult::Exception:
        return describeReply(result.request, result.reply);
    case LinkResult::Refused:
        return reasonOf(Reason::Answered, {QString::fromUtf8(result.reply.trimmed())});
    case LinkResult::CheckFailed:
        return reasonOf(Reason::NotTheAnswer, {tries, QString::number(result.reply.size())});
    case LinkResult::NoReply:
        return reasonOf(result.heard ? Reason::CutShort : Reason::NoAnswer, {tries});
    default:
        return reasonOf(Reason::LineGone);
    }
}

QString reasonText(const QString &reason, ReportLanguage language)
{
    if (language == ReportLanguage::English)
        return reason;
    using namespace Reason;
    // A form that another one would also match comes before it; those that open
    // with a value would match almost anything, so they come last.
    static const QVector<const ReasonForm *> forms = [] {
        QVector<const ReasonForm *> all{&NoAnswer, &NotTheAnswer, &CutShort, &NoValidAnswer, &Answered, &LineGone,
            &StoppedAnswering, &DidNotAnswer, &AddressOneAtATime, &AddressShared, &IdentityShared, &LoopUnaddressed,
            &ChannelUnaddressed, &CloudUnaddressed, &WroteReadBack, &NoFreeAddress, &NoOwnAddress, &CannotOpen,
            &ReadFailed, &Stopped, &Timeout};
        for (int i = 0; i < kRefusalFormCount; ++i)
            all << &kRefusalForms[i];
        return all << &Try << &Tries;
    }();
    static const QVector<QRegularExpression> patterns = [] {
        QVector<QRegularExpression> made;
        for (const ReasonForm *form : forms) {
            QString pattern = QRegularExpression::escape(QString::fromUtf8(form->en));
            // Each value as short as the form allows: "FILE: SETTING: WHAT" parts at the first colon.
            pattern.replace(QRegularExpression(QStringLiteral("\\\\%[1-9]")), QStringLiteral("(.*?)"));
            made << QRegularExpression(QStringLiteral("\\A") + pattern + QStringLiteral("\\z"));
        }
        return made;
    }();
    // The decoder's words for an exception, the code's name in Chinese as the window gives it.
    static const QRegularExpression exception(QStringLiteral("\\Aexception ([0-9A-F]{2}) [a-z ]+\\z"));
    const QRegularExpressionMatch named = exception.match(reason);
    if (named.hasMatch()) {
        const auto code = static_cast<std::uint8_t>(named.captured(1).toUInt(nullptr, 16));
        return QStringLiteral("异常 %1 %2").arg(named.captured(1), QString::fromUtf8(exceptionNameChinese(code)));
    }
    for (int i = 0; i < patterns.size(); ++i) {
        const QRegularExpressionMatch match = patterns.at(i).match(reason);
        if (!match.hasMatch())
            continue;
        QStringList values;
        for (int n = 1; n <= match.lastCapturedIndex(); ++n)
            values << reasonText(match.captured(n), language);
        return filled(QString::fromUtf8(forms[i]->zh), values);
    }
    return reason;
}

int worseStatus(int a, int b)
{
    return rank(b) > rank(a) ? b : a;
}

QString resultName(SettingResult::Result result)
{
    static const char *const names[] = {"unchanged", "verified", "differs", "failed", "skipped", "sent"};
    return QLatin1String(names[result]);
}

bool GatewayReport::fullyVerified() const
{
    if (status != CommissionStatus::Ok || !meterProblem.isEmpty())
        return false;
    for (const QVector<SettingResult> *list : {&settings, &cloud}) {
        for (const SettingResult &r : *list) {
            // Identity is skipped by design when a profile goes to several gateways.
            const Setting *setting = findSetting(r.name);
            const bool intended = setting && list == &settings && isIdentitySetting(*setting);
            if (r.result == SettingResult::Differs || r.result == SettingResult::Failed
                || (r.result == SettingResult::Skipped && !intended))
                return false;
        }
    }
    return true;
}

int CommissionReport::status() const
{
    int worst = CommissionStatus::Ok;
    for (const GatewayReport &gateway : gateways)
        worst = worseStatus(worst, gateway.status);
    return worst;
}

QString reportSummary(const CommissionReport &report)
{
    const int verified = int(std::count_if(report.gateways.begin(), report.gateways.end(),
                                           [](const GatewayReport &g) { return g.fullyVerified(); }));
    return QStringLiteral("%1 %2, %3 fully verified")
        .arg(report.gateways.size())
        .arg(report.gateways.size() == 1 ? "gateway" : "gateways")
        .arg(verified);
}

QByteArray reportJson(const CommissionReport &report)
{
    QJsonArray gateways;
    for (const GatewayReport &g : report.gateways) {
        QJsonObject gateway{
            {QStringLiteral("address"), g.address},
            {QStringLiteral("foundAt"), g.foundAt},
            {QStringLiteral("gatewayId"), g.gatewayId},
            {QStringLiteral("firmware"), g.firmware},
            {QStringLiteral("settings"), resultsJson(g.settings)},
            {QStringLiteral("cloud"), resultsJson(g.cloud)},
            {QStringLiteral("meters"), QJsonArray::fromStringList(g.meters)},
            {QStringLiteral("traffic"), QJsonObject{{QStringLiteral("requests"), g.traffic.requests},
                                                    {QStringLiteral("noReply"), g.traffic.noReply},
                                                    {QStringLiteral("checkFailed"), g.traffic.checkFailed},
                                                    {QStringLiteral("exceptions"), g.traffic.exceptions}}},
            {QStringLiteral("status"), g.status},
            {QStringLiteral("fullyVerified"), g.fullyVerified()},
        };
        if (!g.meterProblem.isEmpty())
            gateway.insert(QStringLiteral("meterProblem"), g.meterProblem);
        gateways.append(gateway);
    }
    QJsonObject top{
        {QStringLiteral("started"), report.started.toString(Qt::ISODate)},
        {QStringLiteral("tool"), QStringLiteral("nvb8140t-tool ") + report.toolVersion},
        {QStringLiteral("port"), report.port},
        {QStringLiteral("line"), lineSettingText(report.line)},
        {QStringLiteral("mode"), report.oneAtATime ? QStringLiteral("one at a time") : QStringLiteral("apply")},
        {QStringLiteral("stopped"), report.stopped},
        {QStringLiteral("gateways"), gateways},
        {QStringLiteral("summary"), reportSummary(report)},
        {QStringLiteral("status"), report.status()},
    };
    if (!report.problem.isEmpty())
        top.insert(QStringLiteral("problem"), report.problem);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}
