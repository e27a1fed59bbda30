// The reply watch: what became of the last request that awaited a reply,
// shown in the progress bar's text, and every event on the line kept for the
// traffic monitor.
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QShortcut>
#include <QStyle>

#include "commissioning_window.h"

#include "frames.h"
#include "meterrecording.h"
#include "qwa.h"
#include "requestcodes.h"
#include "traffic_monitor.h"

namespace {

const QString kPercentText = QStringLiteral("%p%");

QString translated(const char *text)
{
    return QCoreApplication::translate("TrafficMonitor", text);
}

// "/dev/ttyUSB0, 9600 8N1, open": the line the saved traffic was on, the
// port named as it was chosen.
QString describePort(const QSerialPort &port, const QString &chosenName)
{
    if (port.portName().isEmpty())
        return QStringLiteral("none opened yet");
    return MeterCsv::lineOf(chosenName, port) + (port.isOpen() ? QStringLiteral(", open") : QStringLiteral(", closed"));
}

} // namespace

void Qwa::setUpTrafficWatch()
{
    // In the tab bar's corner, so the form keeps its geometry.
    auto *corner = new QWidget(ui.tabWidget);
    corner->setObjectName(QStringLiteral("cornerButtons"));
    auto *cornerLayout = new QHBoxLayout(corner);
    cornerLayout->setContentsMargins(0, 0, 0, 0);
    cornerLayout->setSpacing(2);
    monitorButton = new QPushButton(corner);
    monitorButton->setObjectName(QStringLiteral("monitorButton"));
    commissioningButton = new QPushButton(corner);
    commissioningButton->setObjectName(QStringLiteral("commissioningButton"));
    cornerLayout->addWidget(monitorButton);
    cornerLayout->addWidget(commissioningButton);
    ui.tabWidget->setCornerWidget(corner, Qt::TopRightCorner);
    connect(monitorButton, &QPushButton::clicked, this, &Qwa::openMonitor);
    connect(commissioningButton, &QPushButton::clicked, this, &Qwa::openCommissioning);
    connect(new QShortcut(QKeySequence(Qt::Key_F12), this), &QShortcut::activated, this, &Qwa::openMonitor);
    retranslateTrafficWatch();
}

void Qwa::retranslateTrafficWatch()
{
    monitorButton->setText(translated(QT_TRANSLATE_NOOP("TrafficMonitor", "监视")));
    commissioningButton->setText(QCoreApplication::translate("CommissioningWindow", QT_TRANSLATE_NOOP("CommissioningWindow", "批量调试")));
    // The style's least push button width would leave the two no room beside
    // the tabs in English: each is as wide as its text and the style's margins.
    for (QPushButton *button : {monitorButton, commissioningButton}) {
        const QStyle *style = button->style();
        const int margins = 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                                 + style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
        button->setMaximumWidth(button->fontMetrics().horizontalAdvance(button->text()) + margins);
    }
    showReplyOutcome();
}

void Qwa::openMonitor()
{
    if (!trafficMonitor) {
        trafficMonitor = new TrafficMonitor(serialLink, this);
        trafficMonitor->setLineDescription([this] { return describePort(serialLink.port(), portNameText); });
    }
    trafficMonitor->show();
    trafficMonitor->raise();
    trafficMonitor->activateWindow();
}

void Qwa::openCommissioning()
{
    if (!commissioningWindow) {
        CommissioningHost host;
        host.busy = [this] {
            using Busy = CommissioningHost::Busy;
            return !portOpen                  ? Busy::PortClosed
                   : acquireTimer->isActive() ? Busy::Acquiring
                   : searchTimer->isActive()  ? Busy::Searching
                   : detector.isRunning()     ? Busy::Detecting
                                              : Busy::None;
        };
        host.chosen = [this]() -> std::optional<std::uint8_t> {
            if (ui.comdizhi->currentIndex() < 0)
                return std::nullopt;
            return targetAddress();
        };
        // A gateway heard by both the search and a broadcast read is listed twice; it is done once.
        host.listed = [this] {
            QVector<std::uint8_t> addresses;
            for (int i = 0; i < ui.comdizhi->count(); ++i) {
                const std::optional<std::int64_t> address = wireValue(Rule::Address, ui.comdizhi->itemText(i));
                if (address && !addresses.contains(std::uint8_t(*address)))
                    addresses << std::uint8_t(*address);
            }
            return addresses;
        };
        host.english = [this] { return ui.Btoyuyan->text() == QStringLiteral("切换为中文"); };
        host.followLine = [this](const LineSetting &setting) { followLine(setting); };
        // The port, the search, the acquisition and the detection wait for the run's end,
        // and come back as they were.
        host.lineTaken = [this, before = QVector<bool>()](bool taken) mutable {
            const QVector<QPushButton *> buttons{ui.Btodakai, ui.Btosousuo, ui.Btocaiji, ui.detectButton};
            if (taken)
                before.clear();
            for (int i = 0; i < buttons.size(); ++i) {
                if (taken)
                    before << buttons[i]->isEnabled();
                buttons[i]->setEnabled(!taken && before.value(i, true));
            }
        };
        commissioningWindow = new CommissioningWindow(serialLink, Code::Commission, std::move(host), this);
    }
    commissioningWindow->show();
    commissioningWindow->raise();
    commissioningWindow->activateWindow();
}

// The outcome stays until a reply is accepted.
void Qwa::showOutcome(Outcome outcome)
{
    shownOutcome = outcome;
    showReplyOutcome();
}

void Qwa::showReplyOutcome()
{
    switch (shownOutcome) {
    case Outcome::None:
        ui.progressBar->setFormat(kPercentText);
        break;
    case Outcome::CheckFailed:
        ui.progressBar->setFormat(translated(QT_TRANSLATE_NOOP("TrafficMonitor", "校验错误")));
        break;
    case Outcome::Exception:
        ui.progressBar->setFormat(translated(QT_TRANSLATE_NOOP("TrafficMonitor", "异常 %1 %2"))
                                      .arg(QString::number(shownException, 16).toUpper().rightJustified(2, QLatin1Char('0')))
                                      .arg(translated(exceptionNameChinese(shownException))));
        break;
    case Outcome::Refused:
        ui.progressBar->setFormat(translated(QT_TRANSLATE_NOOP("TrafficMonitor", "网关应答 %1")).arg(shownAnswer));
        break;
    case Outcome::NoReply:
        ui.progressBar->setFormat(translated(QT_TRANSLATE_NOOP("TrafficMonitor", "无应答")));
        break;
    }
}
