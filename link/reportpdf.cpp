// The commissioning report as a PDF, in Chinese or English: Qt GUI's text
// layout and PDF writer only, so that nvb8140t-ctl runs it without a display.
#include "commissionreport.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

#include "detector.h"

namespace {

// The report's words, {Chinese, English}, as its reasons have them: nvb8140t-ctl
// has no translator, and the window passes the language it shows.
using Words = ReasonForm;

namespace Word {
constexpr Words Title{"网关批量调试报告", "Gateway commissioning report"};
constexpr Words Date{"日期时间", "Date and time"};
constexpr Words Tool{"工具版本", "Tool version"};
constexpr Words Port{"串口", "Port"};
constexpr Words Line{"线路设置", "Line settings"};
constexpr Words Mode{"方式", "Mode"};
constexpr Words Apply{"按地址应用", "Applied to the addresses given"};
constexpr Words OneAtATime{"逐台接入", "One at a time"};
constexpr Words Stopped{"运行被中止", "The run was stopped"};
constexpr Words Problem{"运行提前结束", "The run ended early"};
constexpr Words Gateway{"网关 地址 %1", "Gateway at address %1"};
constexpr Words FoundAt{"（原地址 %1）", " (found at %1)"};
constexpr Words GatewayId{"网关ID", "Gateway ID"};
constexpr Words Firmware{"固件版本", "Firmware"};
constexpr Words Status{"结果", "Result"};
constexpr Words FullyVerified{"全部验证通过", "fully verified"};
constexpr Words NotFully{"未全部验证（状态 %1）", "not fully verified (status %1)"};
constexpr Words Setting{"参数", "Setting"};
constexpr Words Before{"修改前", "Before"};
constexpr Words After{"修改后", "After"};
constexpr Words Reason{"说明", "Reason"};
constexpr Words Cloud{"云平台参数", "Cloud settings"};
constexpr Words Written{"写入内容", "Written"};
constexpr Words Meters{"仪表读数", "Meter values"};
constexpr Words Meter{"仪表 %1", "Meter %1"};
constexpr Words NoMeters{"未读取", "not read"};
constexpr Words Traffic{"通信统计", "Traffic"};
constexpr Words Requests{"请求", "requests"};
constexpr Words NoReply{"无应答", "no reply"};
constexpr Words CheckFailed{"校验失败", "check failed"};
constexpr Words Exceptions{"异常", "exceptions"};
constexpr Words Summary{"共 %1 台网关，%2 台全部验证通过", nullptr}; // English: reportSummary
constexpr Words Results[] = {{"未变", "unchanged"}, {"已写入并验证", "verified"}, {"不一致", "differs"},
                             {"失败", "failed"},    {"跳过", "skipped"},          {"已发送", "sent"}};
} // namespace Word

QString say(const Words &words, ReportLanguage language)
{
    return QString::fromUtf8(language == ReportLanguage::Chinese ? words.zh : words.en);
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString row(const QStringList &cells, bool header = false)
{
    const QString tag = header ? QStringLiteral("th") : QStringLiteral("td");
    QString html = QStringLiteral("<tr>");
    for (const QString &cell : cells)
        html += QStringLiteral("<%1>%2</%1>").arg(tag, escaped(cell));
    return html + QStringLiteral("</tr>");
}

QString table(const QStringList &header, const QVector<QStringList> &rows)
{
    // The header row in thead, so a table that runs onto the next page shows it there again.
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><thead>")
                   + row(header, true) + QStringLiteral("</thead>");
    for (const QStringList &cells : rows)
        html += row(cells);
    return html + QStringLiteral("</table>");
}

QString gatewayHtml(const GatewayReport &g, ReportLanguage l)
{
    QString heading = say(Word::Gateway, l).arg(g.address);
    if (g.foundAt != g.address)
        heading += say(Word::FoundAt, l).arg(g.foundAt);
    QString html = QStringLiteral("<h2>%1</h2>").arg(escaped(heading));
    html += QStringLiteral("<p>%1: %2 &nbsp; %3: %4 &nbsp; %5: %6</p>")
                .arg(say(Word::GatewayId, l), escaped(g.gatewayId), say(Word::Firmware, l), escaped(g.firmware),
                     say(Word::Status, l),
                     g.fullyVerified() ? say(Word::FullyVerified, l) : say(Word::NotFully, l).arg(g.status));
    QVector<QStringList> rows;
    for (const SettingResult &r : g.settings)
        rows.append({r.name, r.before, r.after, resultWord(r.result, l), reasonText(r.reason, l)});
    if (!rows.isEmpty())
        html += table({say(Word::Setting, l), say(Word::Before, l), say(Word::After, l), say(Word::Status, l),
                       say(Word::Reason, l)},
                      rows);
    rows.clear();
    for (const SettingResult &r : g.cloud)
        rows.append({r.name, r.wanted, resultWord(r.result, l), reasonText(r.reason, l)});
    if (!rows.isEmpty())
        html += QStringLiteral("<h3>%1</h3>").arg(say(Word::Cloud, l))
                + table({say(Word::Setting, l), say(Word::Written, l), say(Word::Status, l), say(Word::Reason, l)},
                        rows);
    if (!g.meters.isEmpty() || !g.meterProblem.isEmpty()) {
        QStringList meters;
        for (int m = 0; m < g.meters.size(); ++m)
            meters << say(Word::Meter, l).arg(m + 1) + QStringLiteral(": ") + reasonText(g.meters.at(m), l);
        if (!g.meterProblem.isEmpty())
            meters << say(Word::NoMeters, l) + QStringLiteral(": ") + reasonText(g.meterProblem, l);
        html += QStringLiteral("<h3>%1</h3><p>%2</p>").arg(say(Word::Meters, l), escaped(meters.join(QStringLiteral("; "))));
    }
    html += QStringLiteral("<p>%1: %2 %3, %4 %5, %6 %7, %8 %9</p>")
                .arg(say(Word::Traffic, l))
                .arg(g.traffic.requests)
                .arg(say(Word::Requests, l))
                .arg(g.traffic.noReply)
                .arg(say(Word::NoReply, l))
                .arg(g.traffic.checkFailed)
                .arg(say(Word::CheckFailed, l))
                .arg(g.traffic.exceptions)
                .arg(say(Word::Exceptions, l));
    return html;
}

} // namespace

QString resultWord(SettingResult::Result result, ReportLanguage language)
{
    return say(Word::Results[result], language);
}

bool writeReportPdf(const CommissionReport &report, const QString &path, ReportLanguage l, QString *error)
{
    const auto verified = int(std::count_if(report.gateways.begin(), report.gateways.end(),
                                           [](const GatewayReport &g) { return g.fullyVerified(); }));
    QString html = QStringLiteral("<h1>%1</h1>").arg(say(Word::Title, l));
    html += table({say(Word::Date, l), say(Word::Tool, l), say(Word::Port, l), say(Word::Line, l), say(Word::Mode, l)},
                  {{report.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t")),
                    QStringLiteral("nvb8140t-tool ") + report.toolVersion, report.port, lineSettingText(report.line),
                    say(report.oneAtATime ? Word::OneAtATime : Word::Apply, l)}});
    const QString summary = l == ReportLanguage::English ? reportSummary(report)
                                                         : say(Word::Summary, l).arg(report.gateways.size()).arg(verified);
    html += QStringLiteral("<p><b>%1</b></p>").arg(escaped(summary));
    if (report.stopped)
        html += QStringLiteral("<p>%1</p>").arg(say(Word::Stopped, l));
    if (!report.problem.isEmpty())
        html += QStringLiteral("<p>%1: %2</p>").arg(say(Word::Problem, l), escaped(reasonText(report.problem, l)));
    for (const GatewayReport &gateway : report.gateways)
        html += gatewayHtml(gateway, l);

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(say(Word::Title, l));
        writer.setCreator(QStringLiteral("nvb8140t-tool ") + report.toolVersion);
        writer.setPageSize(QPageSize(QPageSize::A4));
        // The document, printed on the writer's pages, keeps 2 cm on each side of its own.
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QTextDocument document;
        // Latin letters and digits from a Latin face, so that the text copies out of
        // the PDF as it reads; Chinese falls back to a CJK face.
        QFont font(QStringLiteral("DejaVu Sans"), 9);
        font.setStyleStrategy(QFont::PreferNoShaping);
        document.setDefaultFont(font);
        document.setHtml(html);
        // Printed with no page size of its own, the document is laid out on the
        // writer's pages and each page gets its number.
        document.print(&writer);
    }
    if (!file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
