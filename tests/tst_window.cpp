// The main window: its translations and language switch, the data files it
// finds, the serial port and its list, the progress pulse and the radio ids.
#include <QtTest>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QSerialPortInfo>
// The only way to see how often the translator sits in the application's list.
#include <private/qcoreapplication_p.h>

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ctime>
#include <memory>

#include "boxrecorder.h"
#include "settings.h"
#include "traffic_monitor.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

// Answers nothing and notes every text the form looks up, in order.
struct LookupRecorder : QTranslator {
    mutable QStringList looked;
    QString translate(const char *context, const char *source, const char *, int) const override {
        if (qstrcmp(context, "QwaClass") == 0 && !looked.contains(QString::fromUtf8(source)))
            looked << QString::fromUtf8(source);
        return QString();
    }
};

// What each kind of text shows in each language; the last two are chosen or typed before any switch.
const char *const kSamples[][3] = {
    {"title", "NVB8140T - 网关调试工具", "NVB8140T - Gateway Debug Tool"},
    {"Btodakai", "打开串口", "Open port"},
    {"label_14", "变送下限：", "Lower limit:"},
    {"tab_3", "电流校准", "Calibration"},
    {"groupBox_5", "通信参数", "Gateway communication"},
    {"monitorButton", "监视", "Monitor"},
    {"commissioningButton", "批量调试", "Commissioning"},
    {"combotelv2", "", ""}, // nothing read yet
    {"comjiaoyanwei", "偶校验", "Even"},
    {"lineTDxiugai", "5", "5"},
};

// The window's title, a page's tab, a group box's title, a combo box's choice or a widget's text.
QString shownText(const Qwa &window, const char *place) {
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QWidget *widget = window.findChild<QWidget *>(QLatin1String(place));
    if (!widget || tabs->indexOf(widget) >= 0)
        return widget ? tabs->tabText(tabs->indexOf(widget)) : window.windowTitle();
    const char *property = qobject_cast<QGroupBox *>(widget) ? "title" : qobject_cast<QComboBox *>(widget) ? "currentText" : "text";
    return widget->property(property).toString();
}

// Fusion draws a push or radio button's text in these rects with nothing
// beside it; a label's text fills its contents rect, a combo box's its edit field.
int textRoom(QWidget *widget) {
    if (auto *box = qobject_cast<QComboBox *>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        return box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box).width();
    }
    QStyleOptionButton option;
    option.initFrom(widget);
    auto *push = qobject_cast<QPushButton *>(widget);
    if (push && push->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const auto element = push ? QStyle::SE_PushButtonContents : QStyle::SE_RadioButtonContents;
    return qobject_cast<QLabel *>(widget) ? widget->contentsRect().width() : widget->style()->subElementRect(element, &option, widget).width();
}

// The labels, buttons and combo boxes whose text does not fit, each page shown
// in turn, and a corner button that the tabs or the window's edge cut.
QStringList cutTexts(Qwa &window) {
    QList<QWidget *> unseen;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(w) || qobject_cast<QPushButton *>(w) || qobject_cast<QRadioButton *>(w) || qobject_cast<QComboBox *>(w))
            unseen << w;
    }
    QStringList cut;
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QWidget *corner = tabs->cornerWidget(Qt::TopRightCorner);
    const int room = window.width() - tabs->x() - tabs->tabBar()->sizeHint().width();
    const int end = corner->mapTo(&window, corner->rect().topRight()).x() + 1;
    if (corner->sizeHint().width() > room || end > window.width())
        cut << QStringLiteral("%1 needs %2 px, has %3, ends at %4").arg(corner->objectName()).arg(corner->sizeHint().width()).arg(room).arg(end);
    // Carriers lay out their children only once their page is shown.
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (QWidget *widget : qAsConst(unseen)) {
            const QString text = widget->property(qobject_cast<QComboBox *>(widget) ? "currentText" : "text").toString();
            const int needs = widget->fontMetrics().size(Qt::TextShowMnemonic, text).width();
            if (widget->isVisible() && needs > textRoom(widget))
                cut << QStringLiteral("%1: \"%2\" needs %3 px, has %4").arg(widget->objectName(), text).arg(needs).arg(textRoom(widget));
        }
        unseen.erase(std::remove_if(unseen.begin(), unseen.end(), [](QWidget *w) { return w->isVisible(); }), unseen.end());
    }
    // A column header fills its section but for the style's margins.
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    for (int column = 0; column < table->columnCount(); ++column) {
        const QString text = table->horizontalHeaderItem(column)->text();
        const QHeaderView *header = table->horizontalHeader();
        const int needs = header->fontMetrics().horizontalAdvance(text) + 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin);
        if (needs > header->sectionSize(column))
            cut << QStringLiteral("column %1: \"%2\" needs %3 px, has %4").arg(column).arg(text).arg(needs).arg(header->sectionSize(column));
    }
    return unseen.isEmpty() ? cut : cut << QStringLiteral("%1 widgets never shown").arg(unseen.size());
}

QString programFile(const QString &name) { return QDir(QStringLiteral(NVB_PROGRAM_DIR)).filePath(name); }
// Where an installed tool keeps its data, from the program's folder.
const QString kData = QStringLiteral(NVB_DATA_DIR_FROM_PROGRAM "/");

// Debug messages, the traffic log among them, are kept; the rest go to the test's own handler.
QStringList logged;
QtMessageHandler testHandler = nullptr;
void noteDebug(QtMsgType type, const QMessageLogContext &context, const QString &message) {
    type == QtDebugMsg ? void(logged << message) : testHandler(type, context, message);
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT

    PtyLine line;
    std::unique_ptr<BoxRecorder> boxes;
    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<QTemporaryDir> workingDir;

    void clickLanguage(int times = 1) { while (times-- > 0) fixture->click("Btoyuyan"); }
    QPushButton *button(const char *name) const { return fixture->child<QPushButton>(name); }
    QComboBox *combo(const char *name) const { return fixture->child<QComboBox>(name); }
    bool settingBoxesEnabled(bool enabled) const {
        const auto names = {"comchuankou", "combotelv", "comjiaoyanwei", "comshujuwei", "comstop"};
        return std::all_of(names.begin(), names.end(), [&](const char *name) { return combo(name)->isEnabled() == enabled; });
    }
    // "title: text; " for each box shown.
    QString shownBoxes() const {
        return std::accumulate(boxes->boxes.cbegin(), boxes->boxes.cend(), QString(),
                               [](const QString &all, const BoxRecorder::Box &box) { return all + box.title + ": " + box.text + "; "; });
    }
    // Starts the window afresh in an empty working directory that holds these
    // files ("source>name" renames one), with those beside the test program
    // (or in its installed data folder, kData).
    void restartWith(const QStringList &inWorkingDir, const QStringList &beside) {
        workingDir = std::make_unique<QTemporaryDir>();
        for (const QString &file : inWorkingDir)
            QVERIFY(QFile::copy(programFile(file.section('>', 0, 0)), workingDir->filePath(file.section('>', -1))));
        for (const QString &file : beside) {
            const QString target = QDir(QCoreApplication::applicationDirPath()).filePath(file.section('>', -1));
            QVERIFY(QDir().mkpath(QFileInfo(target).path()) && QFile::copy(programFile(file.section('>', 0, 0)), target));
        }
        QVERIFY(QDir::setCurrent(workingDir->path()));
        fixture = std::make_unique<WindowFixture>();
    }

private slots:
    void initTestCase() {
        // A Linux desktop's default font; the offscreen platform's own is larger.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        testHandler = qInstallMessageHandler(noteDebug);
        QVERIFY(line.isValid() && QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR))); // where the translations are, run from anywhere
    }
    void init() {
        boxes = std::make_unique<BoxRecorder>();
        fixture = std::make_unique<WindowFixture>();
        line.drain();
        logged.clear();
    }
    void cleanup() {
        // The next window must not start with this one's translator installed.
        fixture.reset();
        QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR));
        // The test program's own directory holds none of the window's files.
        const QDir programDir(QCoreApplication::applicationDirPath());
        for (const char *file : {"Translation_en.qm", "天线.png"}) {
            QFile::remove(programDir.filePath(QString::fromUtf8(file)));
            QFile::remove(programDir.filePath(kData + QString::fromUtf8(file)));
        }
        programDir.rmpath(kData);
        qunsetenv("NVB_EXTRA_PORTS");
        QLoggingCategory::setFilterRules(QString());
    }

    void translations_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en";
        QTest::newRow("Chinese") << "zh";
    }
    // The source and the compiled file answer exactly the texts the form looks up,
    // and the monitor's texts in a context of their own; all of them in English.
    void translations() {
        QFETCH(QString, language);
        QFile source(QStringLiteral(NVB_SOURCE_DIR "/ui/translations/Translation_%1.ts").arg(language));
        QTranslator compiled;
        QVERIFY(source.open(QIODevice::ReadOnly) && compiled.load(programFile(QStringLiteral("Translation_%1.qm").arg(language))));
        QStringList contexts, sources;
        QString text;
        QXmlStreamReader xml(&source);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name"))
                contexts << xml.readElementText();
            else if (xml.name() == QLatin1String("source"))
                text = xml.readElementText();
            if (xml.name() != QLatin1String("translation"))
                continue;
            if (contexts.last() == QLatin1String("QwaClass"))
                sources << text;
            QVERIFY2(xml.attributes().isEmpty(), qPrintable(text)); // type="unfinished", "vanished" and the like
            const QString translation = xml.readElementText();
            if (language == QLatin1String("zh"))
                QCOMPARE(translation, text);
            else
                QVERIFY2(!translation.isEmpty() && !translation.contains(QRegularExpression("[\\x{4E00}-\\x{9FFF}]")), qPrintable(text));
            QCOMPARE(compiled.translate(qPrintable(contexts.last()), text.toUtf8().constData()), translation);
        }
        QCOMPARE(contexts, (QStringList{"CommissioningWindow", "Qwa", "QwaClass", "TrafficMonitor", "TrendWindow"}));
        // The refusals are made at run time; each of them is in the file.
        for (const ValueRule *rule : {&Rule::Address, &Rule::Frequency, &Rule::SpreadingFactor, &Rule::Transmitters, &Rule::RangeLower,
                                      &Rule::RangeUpper, &Rule::GatewayId, &Rule::Firmware, &Rule::SamplingPeriod, &Rule::AnalogOutput,
                                      &Rule::Channel, &Rule::LoopLower, &Rule::LoopUpper, &Rule::MeasuredCurrent, &Rule::TestCurrent,
                                      &Rule::Meters}) {
            // A float limit that single precision would lose has a refusal of its own.
            for (const QString &refusal : {refusalText(*rule), refusalText(*rule, QStringLiteral("1e-50"))})
                QVERIFY2(!compiled.translate("Qwa", refusal.toUtf8().constData()).isEmpty(), qPrintable(refusal));
        }
        for (const ValueRule *lower : {&Rule::RangeLower, &Rule::LoopLower})
            QVERIFY2(!compiled.translate("Qwa", orderRefusalText(*lower).toUtf8().constData()).isEmpty(), qPrintable(orderRefusalText(*lower)));
        LookupRecorder recorder;
        QCoreApplication::installTranslator(&recorder);
        QWidget host;
        Ui::QwaClass().setupUi(&host);
        QCoreApplication::removeTranslator(&recorder);
        QCOMPARE(sources, recorder.looked);
    }

    void languageSwitch_data() {
        QTest::addColumn<QStringList>("inWorkingDir"); // "source>name" renames
        QTest::addColumn<QStringList>("beside"); // the test program
        QTest::addColumn<QString>("preset"); // the language button's text before the clicks
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("offer");
        QTest::addColumn<QString>("fashe");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("icon");
        const QStringList all{"Translation_en.qm", "Translation_zh.qm", "天线.png"}, none, en{"Translation_en.qm"}, icon{"天线.png"};
        const QString toEnglish("Language English"), toChinese("切换为中文"), english("Number of emitter:");
        const QString chinese("发射器数量:"), form("发射器数量："); // the form's colon is full-width
        QTest::newRow("start") << all << none << "" << 0 << toEnglish << form << false << "icon";
        QTest::newRow("English") << all << none << "" << 1 << toChinese << english << true << "icon";
        QTest::newRow("Chinese again") << all << none << "" << 2 << toEnglish << chinese << false << "icon";
        QTest::newRow("other text does nothing") << all << none << "language english" << 1 << "language english" << form << false << "icon";
        QTest::newRow("English file missing") << none << none << "" << 1 << toChinese << english << false << "none";
        // The translator holds English when the Chinese file is not found: it must be emptied.
        QTest::newRow("Chinese file missing") << en << none << "" << 2 << toEnglish << chinese << false << "none";
        QTest::newRow("English beside the program") << none << en << "" << 1 << toChinese << english << true << "none";
        QTest::newRow("working directory first") << QStringList{"Translation_zh.qm>Translation_en.qm"} << en << "" << 1 << toChinese << english << false << "none";
        QTest::newRow("icon beside the program") << none << icon << "" << 0 << toEnglish << form << false << "icon";
        const QStringList enData{"Translation_en.qm>" + kData + "Translation_en.qm"};
        QTest::newRow("English in the data folder") << none << enData << "" << 1 << toChinese << english << true << "none";
        QTest::newRow("beside the program before the data folder") << none << QStringList{"Translation_zh.qm>Translation_en.qm"} + enData
                                                                   << "" << 1 << toChinese << english << false << "none";
        QTest::newRow("icon in the data folder") << none << QStringList{"天线.png>" + kData + "天线.png"} << "" << 0 << toEnglish << form << false << "icon";
    }
    // The states of the switch, the files the window finds, and that every text fits.
    void languageSwitch() {
        QFETCH(QStringList, inWorkingDir);
        QFETCH(QStringList, beside);
        QFETCH(QString, preset);
        QFETCH(int, clicks);
        QFETCH(QString, offer);
        QFETCH(QString, fashe);
        QFETCH(bool, english);
        QFETCH(QString, icon);
        restartWith(inWorkingDir, beside);
        // An icon made from a missing file would not be null, but unreadable.
        const QIcon shown = fixture->window.windowIcon();
        QCOMPARE(QString(shown.isNull() ? "none" : shown.availableSizes().isEmpty() ? "unreadable" : "icon"), icon);
        if (!preset.isEmpty())
            button("Btoyuyan")->setText(preset);
        QVERIFY(fixture->put(QStringLiteral("comjiaoyanwei=偶校验")) && fixture->put(QStringLiteral("lineTDxiugai=5")));
        combo("comchuankou")->addItem(QStringLiteral("/dev/ttyUSB10")); // a long port name
        combo("comchuankou")->setCurrentIndex(combo("comchuankou")->count() - 1);
        clickLanguage(clicks);
        QCOMPARE(button("Btoyuyan")->text(), offer);
        QCOMPARE(fixture->child<QLabel>("fashe")->text(), fashe);
        for (const auto &sample : kSamples)
            QCOMPARE(shownText(fixture->window, sample[0]), QString::fromUtf8(sample[english ? 2 : 1]));
        // Each switch replaces the translators' contents, the tool's and Qt's; each stays installed once.
        QVERIFY(static_cast<QCoreApplicationPrivate *>(QObjectPrivate::get(qApp))->translators.size() <= 2);
        QCOMPARE(shownBoxes(), QString());
        QCOMPARE(fixture->window.size(), QSize(629, 483));
        const QStringList cut = cutTexts(fixture->window);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
    }

    // The texts that show a running state follow each switch both ways, and
    // one click still ends each state. The acquisition locks the port and the
    // search buttons, so it starts last and ends first.
    void runningStatesSurviveSwitches() {
        QVERIFY(fixture->openOn(line.path()));
        const QStringList states{"Btodakai=关闭串口", "pushButton_OPaLI=关闭平台调试", "Btosousuo=停止搜索", "Btocaiji=停止采集"};
        fixture->type("lineshuliang", QStringLiteral("1"));
        const QStringList english{"Close port", "Stop platform debugging", "Stop search", "Stop polling"};
        for (const QString &state : states.mid(1))
            fixture->click(qPrintable(state.section('=', 0, 0)));
        for (int clicks : {0, 1, 1}) {
            clickLanguage(clicks);
            for (int i = 0; i < states.size(); ++i)
                QCOMPARE(button(qPrintable(states[i].section('=', 0, 0)))->text(),
                         button("Btoyuyan")->text() == QStringLiteral("切换为中文") ? english[i] : states[i].section('=', 1));
        }
        for (auto state = states.crbegin(); state != states.crend(); ++state) {
            fixture->click(qPrintable(state->section('=', 0, 0)));
            QVERIFY(button(qPrintable(state->section('=', 0, 0)))->text() != state->section('=', 1));
        }
        // The search and the acquisition poll no more.
        line.drain();
        QVERIFY(line.expectSilence(1200));
    }

    // The boxes' Chinese texts are checked where tst_requests makes them show.
    void runTimeTexts_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("english"); // switched to English first
        QTest::addColumn<QString>("shown"); // the boxes
        QTest::addColumn<QStringList>("left"); // "field=text" afterwards, and after one more switch
        QTest::addColumn<QStringList>("switched");
        const auto row = [](const char *name, const char *action, bool english, const char *shown,
                            const QStringList &left = {}, const QStringList &switched = {}) {
            QTest::newRow(name) << action << english << QString::fromUtf8(shown) << left << switched;
        };
        row("search stopped, in English", "search,stop", true, "Note: Searching, please wait.; Note: Search stopped.; ");
        row("search finished, in English", "search,finish", true, "Note: Searching, please wait.; Note: Search finished.; ");
        row("meter count, in English", "meters", true, "Note: Meters must be a whole number from 1 to 21; ");
        row("cloud text too long, in English", "cloud", true, "Note: Too long: at most 67 bytes; ");
        row("value refused, in English", "gateway,frequency", true, "Note: Frequency must be a whole number from 420 to 675; ");
        // Texts left in a field or a cell follow a switch.
        row("calibration enabled", "enabled", false, "", {"lineDL=开启成功"}, {"lineDL=Enabled"});
        row("calibration failed, in English", "failed", true, "", {"lineDL=Enable failed"}, {"lineDL=开启失败"});
        row("typed over, kept", "failed,type", true, "", {"lineDL=x"}, {"lineDL=x"});
        row("silent meter", "silent", false, "", {"cell=超时"}, {"cell=Timeout"});
    }
    // Every box the window shows and every text it leaves on screen, in both languages.
    void runTimeTexts() {
        QFETCH(QString, action);
        QFETCH(bool, english);
        QFETCH(QString, shown);
        QFETCH(QStringList, left);
        QFETCH(QStringList, switched);
        QVERIFY(fixture->openOn(line.path()));
        clickLanguage(english ? 1 : 0);
        Qwa &window = fixture->window;
        // An outcome of the link as the window takes it.
        const auto reply = [&](std::uint8_t code, const QByteArray &frame, LinkResult::Outcome outcome = LinkResult::Accepted) {
            LinkResult result;
            result.tag = code;
            result.reply = frame;
            result.outcome = outcome;
            window.takeResult(result);
        };
        for (const QString &step : action.split(QLatin1Char(','))) {
            if (step == QLatin1String("search") || step == QLatin1String("stop"))
                fixture->click("Btosousuo");
            else if (step == QLatin1String("finish"))
                while (window.searchTimerObject()->isActive()) // the polls, without their pauses
                    QMetaObject::invokeMethod(&window, "sousuodizhi");
            else if (step == QLatin1String("meters"))
                fixture->type("lineshuliang", QStringLiteral("22")), fixture->click("Btocaiji");
            else if (step == QLatin1String("cloud"))
                fixture->type("lineEdit_AT1", QString(68, QLatin1Char('a'))), fixture->click("pushButton_AT1");
            else if (step == QLatin1String("gateway"))
                fixture->selectAddress(5);
            else if (step == QLatin1String("frequency"))
                fixture->type("linetongxin", QStringLiteral("419")), fixture->click("BtoxieruHZ");
            else if (step == QLatin1String("enabled"))
                reply(0x0C, rtu("05 10 00 04 00 01"));
            else if (step == QLatin1String("failed"))
                reply(0x0C, bytes("05 10 00 04 00 01 00 00"), LinkResult::CheckFailed);
            else if (step == QLatin1String("type"))
                fixture->type("lineDL", QStringLiteral("x"));
            else if (step == QLatin1String("silent"))
                fixture->type("lineshuliang", QStringLiteral("1")), reply(0x0A, rtu("05 03 04 FF FF FF FF"));
        }
        QTRY_COMPARE(shownBoxes(), shown);
        const auto texts = [&](const QStringList &fields) {
            QStringList out;
            for (const QString &field : fields) {
                QTableWidgetItem *cell = fixture->child<QTableWidget>("tableWidget")->item(0, 1);
                out << field.section('=', 0, 0) + '=' + (field.startsWith(QLatin1String("cell=")) ? (cell ? cell->text() : QString()) : fixture->shown(field));
            }
            return out;
        };
        QCOMPARE(texts(left), left);
        clickLanguage();
        QCOMPARE(texts(switched), switched);
    }

    void portOpensAndCloses_data() {
        QTest::addColumn<QString>("port"); // the pty "line", a "vanishing line", or a device name
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<bool>("english"); // the parity items translated
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("shown"); // the boxes, in the end
        const QStringList none, odd{"combotelv=2400", "comjiaoyanwei=奇校验", "comshujuwei=7", "comstop=2"};
        const QStringList even{"combotelv=4800", "comjiaoyanwei=偶校验"};
        QTest::newRow("first items") << "line" << none << false << "9600 none 8 1" << "";
        QTest::newRow("second items") << "line" << odd << false << "2400 odd 7 2" << "";
        QTest::newRow("4800 even, in English") << "line" << even << true << "4800 even 8 1" << "";
        QTest::newRow("the line vanishes") << "vanishing line" << none << false << "9600 none 8 1" << "提示: 串口已断开; ";
        QTest::newRow("missing device") << "/dev/nvb-no-such-port" << odd << false << "2400 odd 7 2" << "打开失败: 串口错误或被占用; ";
    }
    // A row is one port session. The ports a run gives follow the system's and
    // the first of them is chosen; the settings follow the item index, so they
    // hold in English too. While the port is open the box must keep naming it,
    // so only a press on the enabled box lists the ports afresh. Closed, vanished
    // or never opened, the port ends idle in one state; the traffic log is off
    // unless asked for.
    void portOpensAndCloses() {
        QFETCH(QString, port);
        QFETCH(QStringList, choices);
        QFETCH(bool, english);
        QFETCH(QString, settings);
        QFETCH(QString, shown);
        PtyLine vanishing;
        PtyLine &far = port == QLatin1String("line") ? line : vanishing;
        const bool opens = port.endsWith(QLatin1String("line"));
        const QStringList offered{opens ? far.path() : port, QStringLiteral("/dev/nvb-second")};
        // Empty parts around and between the paths are skipped.
        qputenv("NVB_EXTRA_PORTS", QStringLiteral(":%1::%2:").arg(offered[0], offered[1]).toLocal8Bit());
        fixture = std::make_unique<WindowFixture>();
        Qwa &window = fixture->window;
        QComboBox *ports = combo("comchuankou");
        QStringList listed;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            listed << info.portName();
        QTRY_COMPARE(itemTexts(ports), listed + offered); // asked for once the window is painted
        QCOMPARE(ports->currentText(), offered[0]);
        ports->addItem(QStringLiteral("stale entry"));
        for (const QString &choice : choices)
            QVERIFY(fixture->put(choice));
        clickLanguage(english ? 1 : 0);
        fixture->click("Btodakai");
        QCOMPARE(window.isPortOpen(), opens);
        const QSerialPort &serial = window.port();
        const QString parity = QStringList{"none", "", "even", "odd"}.value(int(serial.parity()));
        QCOMPARE(QStringLiteral("%1 %2 %3 %4").arg(serial.baudRate()).arg(parity).arg(int(serial.dataBits())).arg(int(serial.stopBits())), settings);
        QEvent press(QEvent::MouseButtonPress), release(QEvent::MouseButtonRelease);
        if (opens) {
            QCOMPARE(button("Btodakai")->text(), english ? QStringLiteral("Close port") : QStringLiteral("关闭串口"));
            QVERIFY(serial.isOpen() && settingBoxesEnabled(false));
            QVERIFY(!window.eventFilter(ports, &press));
            auto *bar = fixture->child<QProgressBar>("progressBar");
            bar->setValue(30);
            QSignalSpy values(bar, &QProgressBar::valueChanged);
            const auto started = std::chrono::steady_clock::now();
            fixture->click("Btotuichu");
            const auto took = std::chrono::steady_clock::now() - started;
            QVERIFY(took >= std::chrono::milliseconds(295) && took < std::chrono::seconds(1));
            // The pulse blocked the event loop: the request must have been on the line before it ended.
            QByteArray got(16, 0);
            got.resize(int(qMax<ssize_t>(::read(far.masterFd(), got.data(), 16), 0)));
            QCOMPARE(got, bytes("AA 05 02 FF AA"));
            QCOMPARE(static_cast<const QList<QVariantList> &>(values), (QList<QVariantList>{{0}, {100}, {200}, {247}}));
            QCOMPARE(bar->text(), QStringLiteral("100%"));
            // A read whose reply is cut by the close or by the line going away.
            fixture->click("BtoduquB");
            QVERIFY(far.expect(rtu("00 03 00 02 00 01")));
            far.write(bytes("01 03"));
            QTRY_COMPARE(window.link().pendingBytes(), 2);
            if (&far == &line)
                fixture->click("Btodakai");
            else
                vanishing.hangUp();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window.isPortOpen(), 1000);
        QTRY_COMPARE(shownBoxes(), shown);
        QVERIFY(!serial.isOpen() && settingBoxesEnabled(true));
        QCOMPARE(button("Btodakai")->text(), english ? QStringLiteral("Open port") : QStringLiteral("打开串口"));
        QCOMPARE(window.link().pendingBytes(), 0);
        QVERIFY(!window.eventFilter(ports, &release) && !window.eventFilter(combo("combotelv"), &press));
        window.takeFirstPortList({}); // a late first answer leaves a filled box alone
        QCOMPARE(itemTexts(ports), listed + offered + QStringList{"stale entry"});
        QTest::mousePress(ports, Qt::LeftButton);
        ports->hidePopup();
        QCOMPARE(itemTexts(ports), listed + offered);
        // Idle afterwards, not spinning; a closed port sends and records nothing.
        const std::clock_t cpu = std::clock();
        fixture->click("BtoduquB");
        QVERIFY(line.expectSilence(500));
        QVERIFY2(std::clock() - cpu < CLOCKS_PER_SEC * 15 / 100, "over 150 ms of CPU in 500 ms");
        QCOMPARE(window.traffic().count(TrafficEvent::Request), opens ? 2 : 0);
        QCOMPARE(shownBoxes(), shown);
        QCOMPARE(logged, opens ? QStringList{QStringLiteral("成功打开串口 \"%1\"").arg(far.path())} : QStringList());
    }

    void detection_data() {
        QTest::addColumn<int>("stopAfter"); // settings tried before Stop; 0: all of them
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("shown");
        QTest::newRow("stopped at the second setting, in English") << 2 << true << "";
        QTest::newRow("nobody") << 0 << false << "提示: 在所有线路设置下均无应答; ";
    }
    // Each setting tried shows in the boxes as its broadcast read goes out; nothing
    // found, or Stop, leaves the port closed and the boxes as they were.
    void detection() {
        QFETCH(int, stopAfter);
        QFETCH(bool, english);
        QFETCH(QString, shown);
        clickLanguage(english ? 1 : 0);
        QVERIFY(fixture->openOn(line.path()));
        fixture->click("Btodakai");
        QVERIFY(fixture->put(QStringLiteral("combotelv=2400")) && fixture->put(QStringLiteral("comstop=2")));
        fixture->click("detectButton");
        QCOMPARE(button("detectButton")->text(), english ? QStringLiteral("Stop") : QStringLiteral("停止识别"));
        QVERIFY(!button("Btodakai")->isEnabled() && settingBoxesEnabled(false));
        QStringList tried, expected;
        for (int i = 0; i < (stopAfter ? stopAfter : detectionOrder().size()); ++i) {
            QVERIFY(line.expect(rtu("00 03 00 01 00 01")));
            if (i == 0) // a click while the settings are tried sends nothing
                fixture->click("BtoduquB");
            tried << combo("combotelv")->currentText() + QString::number(combo("comjiaoyanwei")->currentIndex()) + combo("comstop")->currentText();
            expected << QString::number(detectionOrder()[i].baud) + QString::number(QList<int>{0, 0, 2, 1}[detectionOrder()[i].parity]) + '1';
        }
        QCOMPARE(tried, expected);
        if (stopAfter)
            fixture->click("detectButton");
        QTRY_COMPARE(shownBoxes(), shown);
        QVERIFY(line.expectSilence(300));
        QVERIFY(!fixture->window.isPortOpen() && settingBoxesEnabled(true) && button("Btodakai")->isEnabled());
        QCOMPARE(button("detectButton")->text(), english ? QStringLiteral("Detect") : QStringLiteral("识别"));
        QCOMPARE(combo("combotelv")->currentText() + combo("comstop")->currentText(), QStringLiteral("24002"));
    }

    // The secret shows only while it is typed; switched on, the traffic log masks it.
    void trafficLogMasksTheDeviceSecret() {
        QVERIFY(fixture->openOn(line.path()));
        QLoggingCategory::setFilterRules(QStringLiteral("nvb.link.debug=true"));
        auto *secret = fixture->child<QLineEdit>("lineEdit_AT3");
        fixture->child<QTabWidget>("tabWidget")->setCurrentWidget(fixture->child<QWidget>("tab_5"));
        fixture->window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&fixture->window));
        secret->setFocus();
        QTest::keyClicks(secret, QStringLiteral("s3cret"));
        QCOMPARE(secret->displayText(), QStringLiteral("s3cret"));
        fixture->child<QWidget>("pushButton_AT3")->setFocus();
        QCOMPARE(secret->text(), QStringLiteral("s3cret"));
        QVERIFY2(!secret->displayText().contains(QStringLiteral("s3")), qPrintable(secret->displayText()));
        fixture->click("pushButton_AT3");
        line.read(9);
        line.write(bytes("4F 4B"));
        settle(500);
        QCOMPARE(logged.mid(1), (QStringList{"-> 64 64 04 <secret>", "<- 4F 4B"}));
    }

    void monitorSaves_data() {
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<bool>("oldFile"); // saved over a file that is there
        QTest::addColumn<int>("sizeLimit"); // bytes a file may have, as on a full disk; 0: any
        QTest::addColumn<QString>("settings"); // the header's port line, after the path
        QTest::addColumn<QStringList>("shown"); // "title: text" of each box; PATH the file's
        const QString replace("保存: traffic.txt 已存在。\n您想要替换它吗？"); // Qt's own text, in the window's language
        QTest::newRow("new file") << QStringList() << false << 0 << ", 9600 8N1, open" << QStringList();
        QTest::newRow("over a file, 2400 7O2") << QStringList{"combotelv=2400", "comjiaoyanwei=奇校验", "comshujuwei=7", "comstop=2"}
                                               << true << 0 << ", 2400 7O2, open" << QStringList{replace};
        QTest::newRow("full disk keeps the old file") << QStringList() << true << 200 << "" << QStringList{replace, "提示: 无法写入 PATH：File too large"};
        QTest::newRow("full disk, new file") << QStringList() << false << 200 << "" << QStringList{"提示: 无法写入 PATH：File too large"};
        QTest::newRow("full disk, in English") << QStringList{"English"} << true << 200 << ""
                                               << QStringList{"Save: traffic.txt already exists.\nDo you want to replace it?", "Note: Could not save PATH: File too large"};
    }
    // The log as saved from the monitor: a header that names the tool, the time
    // zone and the line, a date line at the start and at midnight; a save that
    // fails leaves the file it was to replace as it was, and says so.
    void monitorSaves() {
        QFETCH(QStringList, choices);
        QFETCH(bool, oldFile);
        QFETCH(int, sizeLimit);
        QFETCH(QString, settings);
        QFETCH(QStringList, shown);
        for (const QString &choice : choices)
            QVERIFY(choice == QLatin1String("English") ? (clickLanguage(), true) : fixture->put(choice));
        QVERIFY(fixture->openOn(line.path()));
        QList<QDateTime> times{{QDate(2024, 2, 28), QTime(23, 59, 59, 990)}, {QDate(2024, 2, 29), QTime(0, 0, 0, 10)},
                               {QDate(2024, 2, 29), QTime(0, 0, 1)}};
        TrafficRecord &record = fixture->window.traffic();
        record.setClock([&times] { return times.takeFirst(); });
        for (const char *meaning : {"one", "two", "three"})
            record.add(TrafficEvent::Request, bytes("05 03"), QString::fromLatin1(meaning));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("traffic.txt"));
        const QByteArray old = QByteArray("an earlier log\n").repeated(40);
        if (oldFile) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(old) == old.size());
        }
        fixture->window.openMonitor();
        QTimer dialogs;
        QStringList dialogTexts;
        connect(&dialogs, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                dialogTexts << dialog->windowTitle() + ' ' + dialog->findChild<QDialogButtonBox *>()->buttons().first()->text();
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path); // typed
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        dialogs.start(20);
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, limited{rlim_t(sizeLimit), RLIM_INFINITY};
        ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the test
        QVERIFY(::setrlimit(RLIMIT_FSIZE, sizeLimit ? &limited : &unlimited) == 0);
        fixture->window.monitor()->findChildren<QPushButton *>().at(2)->click();
        ::setrlimit(RLIMIT_FSIZE, &unlimited);
        // The dialog's own buttons are Qt's, in the window's language too.
        QCOMPARE(dialogTexts, QStringList{choices.contains("English") ? "Save Save" : "保存 保存(&S)"});
        QCOMPARE(shownBoxes(), shown.replaceInStrings(QStringLiteral("PATH"), QDir::toNativeSeparators(path)).join(QStringLiteral("; ")) + (shown.isEmpty() ? "" : "; "));
        // Nothing half written is left behind.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), oldFile || !sizeLimit ? QStringList{"traffic.txt"} : QStringList());
        QFile saved(path);
        if (sizeLimit) {
            QVERIFY(!oldFile || (saved.open(QIODevice::ReadOnly) && saved.readAll() == old));
            return;
        }
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(saved.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("nvb8140t-tool " NVB_VERSION " traffic log"));
        QVERIFY2(QRegularExpression(QStringLiteral("^Saved \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d, times in local time, UTC[+-]\\d\\d:\\d\\d \\(.+\\)$"))
                     .match(lines.value(1)).hasMatch(), qPrintable(lines.value(1)));
        QCOMPARE(lines.mid(2), (QStringList{"Port " + line.path() + settings, "--- 2024-02-28 ---", "23:59:59.990 -> 05 03  one",
                                            "--- 2024-02-29 ---", "00:00:00.010 -> 05 03  two", "00:00:01.000 -> 05 03  three", ""}));
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
