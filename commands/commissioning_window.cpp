// The commissioning window.
#include "commissioning_window.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "cloudfields.h"
#include "detector.h"
#include "registers.h"
#include "settings.h"

namespace {

enum Column { GatewayColumn, SettingColumn, BeforeColumn, AfterColumn, ResultColumn, ReasonColumn, ColumnCount };

} // namespace

CommissioningWindow::CommissioningWindow(Link &link, int tag, CommissioningHost host, QWidget *parent)
    : QWidget(parent, Qt::Window),
      commissioner(link, tag),
      host(std::move(host)),
      profileBox(new QGroupBox(this)),
      loadButton(new QPushButton(profileBox)),
      saveButton(new QPushButton(profileBox)),
      readButton(new QPushButton(profileBox)),
      profileView(new QPlainTextEdit(profileBox)),
      targetBox(new QGroupBox(this)),
      targets(new QButtonGroup(this)),
      chosenRadio(new QRadioButton(targetBox)),
      listedRadio(new QRadioButton(targetBox)),
      oneRadio(new QRadioButton(targetBox)),
      startLabel(new QLabel(targetBox)),
      startAddress(new QSpinBox(targetBox)),
      countLabel(new QLabel(targetBox)),
      count(new QSpinBox(targetBox)),
      metersLabel(new QLabel(targetBox)),
      meters(new QSpinBox(targetBox)),
      startButton(new QPushButton(this)),
      stopButton(new QPushButton(this)),
      jsonButton(new QPushButton(this)),
      pdfButton(new QPushButton(this)),
      progress(new QProgressBar(this)),
      status(new QLabel(this)),
      table(new QTableWidget(0, ColumnCount, this))
{
    loadButton->setObjectName(QStringLiteral("loadProfileButton"));
    saveButton->setObjectName(QStringLiteral("saveProfileButton"));
    readButton->setObjectName(QStringLiteral("readProfileButton"));
    profileView->setObjectName(QStringLiteral("profileView"));
    chosenRadio->setObjectName(QStringLiteral("chosenTarget"));
    listedRadio->setObjectName(QStringLiteral("listedTargets"));
    oneRadio->setObjectName(QStringLiteral("oneAtATime"));
    startAddress->setObjectName(QStringLiteral("startAddress"));
    count->setObjectName(QStringLiteral("gatewayCount"));
    meters->setObjectName(QStringLiteral("snapshotMeters"));
    startButton->setObjectName(QStringLiteral("startButton"));
    stopButton->setObjectName(QStringLiteral("stopButton"));
    jsonButton->setObjectName(QStringLiteral("reportJsonButton"));
    pdfButton->setObjectName(QStringLiteral("reportPdfButton"));
    status->setObjectName(QStringLiteral("commissioningStatus"));
    table->setObjectName(QStringLiteral("resultsTable"));

    profileView->setReadOnly(true);
    // As tall as the targets beside it make the row.
    profileView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    profileView->setMinimumHeight(profileView->fontMetrics().lineSpacing() * 3);
    auto *profileButtons = new QHBoxLayout;
    profileButtons->addWidget(loadButton);
    profileButtons->addWidget(saveButton);
    profileButtons->addWidget(readButton);
    profileButtons->addStretch(1);
    auto *profileLayout = new QVBoxLayout(profileBox);
    profileLayout->addLayout(profileButtons);
    profileLayout->addWidget(profileView);

    targets->addButton(chosenRadio, Chosen);
    targets->addButton(listedRadio, Listed);
    targets->addButton(oneRadio, OneAtATime);
    chosenRadio->setChecked(true);
    startAddress->setRange(int(Rule::Address.low), int(Rule::Address.high));
    startAddress->setValue(10);
    count->setRange(0, int(Rule::Address.high));
    meters->setRange(0, kMaxMeters);
    auto *targetLayout = new QGridLayout(targetBox);
    targetLayout->addWidget(chosenRadio, 0, 0, 1, 5);
    targetLayout->addWidget(listedRadio, 1, 0, 1, 5);
    targetLayout->addWidget(oneRadio, 2, 0, 1, 5);
    targetLayout->setColumnMinimumWidth(0, 16);
    targetLayout->addWidget(startLabel, 3, 1);
    targetLayout->addWidget(startAddress, 3, 2);
    targetLayout->addWidget(countLabel, 3, 3);
    targetLayout->addWidget(count, 3, 4);
    targetLayout->addWidget(metersLabel, 4, 0, 1, 2);
    targetLayout->addWidget(meters, 4, 2);
    targetLayout->setColumnStretch(5, 1);

    auto *runButtons = new QHBoxLayout;
    runButtons->addWidget(startButton);
    runButtons->addWidget(stopButton);
    runButtons->addStretch(1);
    runButtons->addWidget(jsonButton);
    runButtons->addWidget(pdfButton);

    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->horizontalHeader()->setStretchLastSection(true);

    auto *choices = new QHBoxLayout;
    choices->addWidget(profileBox, 3);
    choices->addWidget(targetBox, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addLayout(runButtons);
    layout->addWidget(progress);
    layout->addWidget(status);
    layout->addWidget(table, 1);
    resize(760, 560);

    // Each file button asks for a path and hands it on; a cancelled dialog does nothing.
    const auto onFile = [this](QPushButton *button, bool open, const char *title, const char *name, const char *filter,
                               bool (CommissioningWindow::*use)(const QString &)) {
        connect(button, &QPushButton::clicked, this, [=] {
            const QString path = open ? QFileDialog::getOpenFileName(this, tr(title), QString(), tr(filter))
                                      : QFileDialog::getSaveFileName(this, tr(title), QLatin1String(name), tr(filter));
            if (!path.isEmpty())
                (this->*use)(path);
        });
    };
    onFile(loadButton, true, QT_TR_NOOP("加载配置"), "", QT_TR_NOOP("配置文件 (*.json)"), &CommissioningWindow::loadProfile);
    onFile(saveButton, false, QT_TR_NOOP("保存配置"), "profile.json", QT_TR_NOOP("配置文件 (*.json)"),
           &CommissioningWindow::saveProfile);
    onFile(jsonButton, false, QT_TR_NOOP("保存报告"), "commissioning.json", QT_TR_NOOP("JSON 文件 (*.json)"),
           &CommissioningWindow::saveReportJson);
    onFile(pdfButton, false, QT_TR_NOOP("保存报告"), "commissioning.pdf", QT_TR_NOOP("PDF 文件 (*.pdf)"),
           &CommissioningWindow::saveReportPdf);
    connect(readButton, &QPushButton::clicked, this, &CommissioningWindow::readChosen);
    connect(startButton, &QPushButton::clicked, this, &CommissioningWindow::start);
    connect(stopButton, &QPushButton::clicked, &commissioner, &Commissioner::stop);

    connect(&commissioner, &Commissioner::gatewayStarted, this, [this](std::uint8_t address) {
        setStatus([address] { return tr("正在调试网关 %1").arg(address); });
    });
    connect(&commissioner, &Commissioner::settingDone, this, &CommissioningWindow::addResult);
    connect(&commissioner, &Commissioner::waiting, this, [this] {
        setStatus([] { return tr("等待下一个网关"); });
    });
    connect(&commissioner, &Commissioner::stillOnLine, this, [this](std::uint8_t address) {
        setStatus([address] { return tr("网关 %1 仍在线上：请换上下一个网关").arg(address); });
    });
    connect(&commissioner, &Commissioner::progress, this, [this](int done, int total) {
        progress->setRange(0, total > 0 ? total : 0);
        progress->setValue(done);
    });
    connect(&commissioner, &Commissioner::finished, this, &CommissioningWindow::runFinished);
    connect(&commissioner, &Commissioner::profileRead, this, &CommissioningWindow::profileRead);

    progress->setRange(0, 1);
    progress->setValue(0);
    retranslate();
    showRunState();
}

void CommissioningWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void CommissioningWindow::retranslate()
{
    setWindowTitle(tr("批量调试"));
    profileBox->setTitle(tr("配置"));
    loadButton->setText(tr("加载…"));
    saveButton->setText(tr("保存…"));
    readButton->setText(tr("读取当前网关"));
    targetBox->setTitle(tr("调试对象"));
    chosenRadio->setText(tr("当前选择的网关"));
    listedRadio->setText(tr("“选择地址”中的所有网关"));
    oneRadio->setText(tr("逐台接入新网关"));
    startLabel->setText(tr("起始地址"));
    countLabel->setText(tr("数量"));
    count->setSpecialValueText(tr("不限"));
    // The box does not ask its layout for the room a longer word needs.
    count->updateGeometry();
    metersLabel->setText(tr("记录仪表读数"));
    startButton->setText(tr("开始"));
    stopButton->setText(tr("停止"));
    jsonButton->setText(tr("保存报告 JSON…"));
    pdfButton->setText(tr("保存报告 PDF…"));
    table->setHorizontalHeaderLabels({tr("网关"), tr("参数"), tr("修改前"), tr("修改后"), tr("结果"), tr("说明")});
    showProfile();
    showResults();
    status->setText(statusText ? statusText() : QString());
}

ReportLanguage CommissioningWindow::language() const
{
    return host.english && host.english() ? ReportLanguage::English : ReportLanguage::Chinese;
}

void CommissioningWindow::note(const QString &text)
{
    QMessageBox::information(this, tr("提示"), text);
}

void CommissioningWindow::setStatus(std::function<QString()> text)
{
    statusText = std::move(text);
    status->setText(statusText());
}

void CommissioningWindow::showRunState()
{
    const bool running = commissioner.isRunning();
    if (running != std::exchange(lineWasTaken, running) && host.lineTaken)
        host.lineTaken(running);
    for (QWidget *widget : {static_cast<QWidget *>(loadButton), static_cast<QWidget *>(readButton),
                            static_cast<QWidget *>(targetBox), static_cast<QWidget *>(startButton)})
        widget->setEnabled(!running);
    saveButton->setEnabled(!running && profile.has_value());
    stopButton->setEnabled(running);
    jsonButton->setEnabled(!running && reported);
    pdfButton->setEnabled(!running && reported);
}

// What the profile sets, one line each, in the names the file and nvb8140t-ctl use.
void CommissioningWindow::showProfile()
{
    if (!profile) {
        profileView->setPlainText(tr("未加载配置：加载一个文件，或读取当前网关的参数。"));
        return;
    }
    QStringList lines{profileName};
    for (const ProfileSetting &setting : profile->settings)
        lines << QStringLiteral("%1 = %2").arg(QLatin1String(setting.setting->name), valueText(*setting.setting, setting.values));
    for (const ProfileCloudText &text : profile->cloud)
        lines << QStringLiteral("cloud %1 = %2").arg(QLatin1String(text.field->name), text.text);
    if (profile->mode)
        lines << QStringLiteral("cloud mode");
    if (profile->connect)
        lines << QStringLiteral("cloud connect");
    if (profile->meters >= 0)
        lines << QStringLiteral("meters = %1").arg(profile->meters);
    profileView->setPlainText(lines.join(QLatin1Char('\n')));
}

bool CommissioningWindow::loadProfile(const QString &path)
{
    QString error;
    std::optional<Profile> loaded = readProfile(path, &error);
    if (!loaded) {
        // The file's name as it is, whatever colons it holds; what is wrong with it in words.
        const QString file = path + QStringLiteral(": ");
        if (language() == ReportLanguage::Chinese && error.startsWith(file))
            error = path + QStringLiteral("：") + reasonText(error.mid(file.size()), ReportLanguage::Chinese);
        note(tr("配置无法使用：%1").arg(error));
        return false;
    }
    profile = std::move(loaded);
    profileName = QFileInfo(path).fileName();
    if (profile->meters >= 0)
        meters->setValue(profile->meters);
    showProfile();
    showRunState();
    return true;
}

bool CommissioningWindow::writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    note(tr("无法写入 %1：%2").arg(path, file.errorString()));
    return false;
}

bool CommissioningWindow::saveProfile(const QString &path)
{
    if (!profile || !writeFile(path, profileJson(*profile)))
        return false;
    profileName = QFileInfo(path).fileName();
    showProfile();
    return true;
}

bool CommissioningWindow::saveReportJson(const QString &path)
{
    return reported && writeFile(path, reportJson(commissioner.report()));
}

bool CommissioningWindow::saveReportPdf(const QString &path)
{
    QString error;
    if (!reported)
        return false;
    if (writeReportPdf(commissioner.report(), path, language(), &error))
        return true;
    note(tr("无法写入 %1：%2").arg(path, error));
    return false;
}

// A run shares the line with the main window: it waits for nothing the
// window started, and refuses to start beside it.
bool CommissioningWindow::refusedWhileBusy()
{
    switch (host.busy()) {
    case CommissioningHost::Busy::None:
        return false;
    case CommissioningHost::Busy::PortClosed:
        note(tr("请先打开串口"));
        break;
    case CommissioningHost::Busy::Acquiring:
        note(tr("正在采集：请先停止采集"));
        break;
    case CommissioningHost::Busy::Searching:
        note(tr("正在搜索地址：请先停止搜索"));
        break;
    case CommissioningHost::Busy::Detecting:
        note(tr("正在识别线路设置：请等它结束"));
        break;
    }
    return true;
}

void CommissioningWindow::readChosen()
{
    if (refusedWhileBusy())
        return;
    const std::optional<std::uint8_t> address = host.chosen();
    if (!address) {
        note(tr("请先搜索或广播读取网关地址"));
        return;
    }
    setStatus([a = *address] { return tr("正在读取网关 %1 的参数").arg(a); });
    commissioner.startReading(*address);
    showRunState();
}

void CommissioningWindow::profileRead(const Profile &read, const QString &problem)
{
    showRunState();
    if (!problem.isEmpty()) {
        setStatus([] { return QString(); });
        if (!read.settings.isEmpty() || problem != reasonOf(Reason::Stopped))
            note(tr("读取失败：%1").arg(reasonText(problem, language())));
        return;
    }
    profile = read;
    profileName = tr("读自网关（未保存）");
    showProfile();
    showRunState();
    setStatus([] { return tr("已读取全部参数"); });
}

// The secret is never in a profile: it is asked for at each run that writes
// the cloud settings, and an empty one is not written.
std::optional<QByteArray> CommissioningWindow::askSecret()
{
    bool ok = false;
    const QString text = QInputDialog::getText(this, tr("设备密钥"), tr("设备密钥（留空则不写入）："),
                                               QLineEdit::Password, QString(), &ok);
    if (!ok)
        return std::nullopt;
    if (text.isEmpty())
        return QByteArray();
    QString reason;
    const std::optional<QByteArray> wire = cloudWireText(secretField(), text, &reason);
    if (!wire)
        note(tr("设备密钥无法写入：%1").arg(reasonText(reason, language())));
    return wire;
}

void CommissioningWindow::start()
{
    if (!profile) {
        note(tr("请先加载配置"));
        return;
    }
    if (refusedWhileBusy())
        return;
    CommissioningPlan plan;
    plan.profile = *profile;
    plan.meters = meters->value();
    switch (targets->checkedId()) {
    case Chosen:
        if (const std::optional<std::uint8_t> address = host.chosen())
            plan.addresses = {*address};
        break;
    case Listed:
        plan.addresses = host.listed();
        break;
    default:
        plan.oneAtATime = true;
        plan.startAddress = std::uint8_t(startAddress->value());
        plan.count = count->value();
        break;
    }
    if (!plan.oneAtATime && plan.addresses.isEmpty()) {
        note(tr("请先搜索或广播读取网关地址"));
        return;
    }
    // With several gateways at once the cloud frames, which carry no address, are skipped.
    const bool writesCloud = !profile->cloud.isEmpty() || profile->mode || profile->connect;
    if (writesCloud && (plan.oneAtATime || plan.addresses.size() == 1)) {
        const std::optional<QByteArray> secret = askSecret();
        if (!secret)
            return;
        plan.secret = *secret;
    }
    rows.clear();
    showResults();
    reported = false;
    lastPlan = plan;
    lastPlan.secret.clear();
    commissioner.start(plan);
    showRunState();
}

void CommissioningWindow::addResult(std::uint8_t address, const SettingResult &result)
{
    rows.append({address, result});
    const int row = table->rowCount();
    table->insertRow(row);
    const ReportLanguage words = language();
    const QStringList texts{QString::number(address), result.name, result.before, result.after,
                            resultWord(result.result, words), reasonText(result.reason, words)};
    for (int column = 0; column < ColumnCount; ++column) {
        auto *item = new QTableWidgetItem(texts.at(column));
        if (result.result == SettingResult::Failed || result.result == SettingResult::Differs)
            item->setForeground(Qt::darkRed);
        else if (result.result == SettingResult::Skipped)
            item->setForeground(Qt::darkGray);
        table->setItem(row, column, item);
    }
    table->scrollToBottom();
}

void CommissioningWindow::showResults()
{
    const QVector<Row> shown = std::exchange(rows, {});
    table->setRowCount(0);
    for (const Row &row : shown)
        addResult(row.address, row.result);
    fitColumns();
}

// Each column as wide as its widest text; the reasons take the rest.
void CommissioningWindow::fitColumns()
{
    for (int column = 0; column < ReasonColumn; ++column)
        table->resizeColumnToContents(column);
}

void CommissioningWindow::runFinished(const CommissionReport &report)
{
    reported = true;
    showRunState();
    fitColumns();
    progress->setRange(0, qMax(1, lastPlan.oneAtATime ? report.gateways.size() : lastPlan.addresses.size()));
    progress->setValue(report.gateways.size());
    int verified = 0;
    for (const GatewayReport &gateway : report.gateways)
        verified += gateway.fullyVerified();
    const int gateways = report.gateways.size();
    const bool stopped = report.stopped;
    const QString problem = report.problem;
    setStatus([this, gateways, verified, stopped, problem] {
        QString text = tr("共 %1 台网关，%2 台全部验证通过").arg(gateways).arg(verified);
        if (stopped)
            text += tr("（已停止）");
        if (!problem.isEmpty())
            text += tr("（提前结束：%1）").arg(reasonText(problem, language()));
        return text;
    });
    // The run leaves the port at its starting line setting; a single gateway
    // moved to another one is followed there, as a write on the main page is.
    if (lastPlan.oneAtATime || lastPlan.addresses.size() != 1 || report.gateways.size() != 1 || !host.followLine)
        return;
    LineSetting line = report.line;
    for (const SettingResult &result : report.gateways.first().settings) {
        const Setting *setting = findSetting(result.name);
        const ProfileSetting *wanted = setting ? lastPlan.profile.find(*setting) : nullptr;
        if (result.result == SettingResult::Verified && wanted && !wanted->values.isEmpty())
            line = settingAfterWrite(line, setting->reg, std::uint16_t(wanted->values.first()));
    }
    if (line.baud != report.line.baud || line.parity != report.line.parity)
        host.followLine(line);
}
