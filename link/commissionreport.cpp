#include "commissionreport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "detector.h"

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

} // namespace

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
            if (r.result == SettingResult::Differs || r.result == SettingResult::Failed
                || r.result == SettingResult::Skipped)
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
