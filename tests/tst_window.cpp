// The main window: its translations and language switch, the data files it
// finds, the serial port and its list, the progress pulse and the radio ids.
#include <QtTest>

#include <QSerialPortInfo>
// The only way to see how often the translator sits in the application's list.
#include <private/qcoreapplication_p.h>

#include <unistd.h>

#include <ctime>
#include <memory>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

// The two buttons whose running states show in fixed Chinese texts: the
// English file keeps their idle texts Chinese too, so they never mix languages.
const QStringList kKeptChinese = {QStringLiteral("开始采集"), QStringLiteral("打开平台调试")};

// Answers nothing and notes every text the form looks up, in order.
struct LookupRecorder : QTranslator {
    mutable QStringList looked;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "QwaClass") == 0 && !looked.contains(QString::fromUtf8(source)))
            looked << QString::fromUtf8(source);
        return QString();
    }
};

// What each kind of text shows in each language; the last three are chosen or typed before any switch.
const struct Sample {
    const char *place, *chinese, *english;
} kSamples[] = {
    {"title", "NVB8140T - 网关调试工具", "NVB8140T - Gateway Debug Tool"},
    {"Btodakai", "打开串口", "Open port"},
    {"label_14", "变送下限：", "Lower limit:"},
    {"Btocaiji", "开始采集", "开始采集"},
    {"tab_3", "电流校准", "Calibration"},
    {"groupBox_5", "通信参数", "Gateway communication"},
    {"monitorButton", "监视", "Monitor"},
    {"comjiaoyanwei", "偶校验", "Even"},
    {"combotelv2", "19200", "19200"},
    {"lineTDxiugai", "5", "5"},
};

// The window's title, a page's tab, a group box's title, a combo box's choice or a widget's text.
QString shownText(const Qwa &window, const char *place)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QWidget *widget = window.findChild<QWidget *>(QLatin1String(place));
    if (!widget || tabs->indexOf(widget) >= 0)
        return widget ? tabs->tabText(tabs->indexOf(widget)) : window.windowTitle();
    const bool combo = qobject_cast<QComboBox *>(widget);
    return widget->property(qobject_cast<QGroupBox *>(widget) ? "title" : combo ? "currentText" : "text").toString();
}

// Fusion draws a push or radio button's text in these rects with nothing
// beside it; a label's text fills its contents rect.
int textRoom(QWidget *widget)
{
    if (qobject_cast<QLabel *>(widget))
        return widget->contentsRect().width();
    QStyleOptionButton option;
    option.initFrom(widget);
    auto *push = qobject_cast<QPushButton *>(widget);
    if (push && push->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const auto element = push ? QStyle::SE_PushButtonContents : QStyle::SE_RadioButtonContents;
    return widget->style()->subElementRect(element, &option, widget).width();
}

// The labels and buttons whose text does not fit, each page shown in turn.
QStringList cutTexts(Qwa &window)
{
    QList<QWidget *> texted;
    for (QWidget *w : window.findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(w) || qobject_cast<QPushButton *>(w) || qobject_cast<QRadioButton *>(w))
            texted << w;
    }
    QStringList cut;
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    // Carriers lay out their children only once their page is shown.
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (QWidget *widget : qAsConst(texted)) {
            const QString text = widget->property("text").toString();
            const int needs = widget->fontMetrics().size(Qt::TextShowMnemonic, text).width();
            if (widget->isVisible() && needs > textRoom(widget))
                cut << QStringLiteral("%1: \"%2\" needs %3 px, has %4").arg(widget->objectName(), text).arg(needs).arg(textRoom(widget));
        }
        texted.erase(std::remove_if(texted.begin(), texted.end(), [](QWidget *w) { return w->isVisible(); }), texted.end());
    }
    return texted.isEmpty() ? cut : cut << QStringLiteral("%1 widgets never shown").arg(texted.size());
}

QString programFile(const QString &name) { return QDir(QStringLiteral(NVB_PROGRAM_DIR)).filePath(name); }

QStringList captured;
void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message) { captured << message; }

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT

    PtyLine line;
    std::unique_ptr<BoxRecorder> boxes;
    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<QTemporaryDir> workingDir;
    QStringList besideProgram;

    void clickLanguage(int times = 1) { while (times-- > 0) fixture->click("Btoyuyan"); }
    QPushButton *button(const char *name) const { return fixture->child<QPushButton>(name); }
    bool settingBoxesEnabled(bool enabled) const
    {
        const char *const names[] = {"comchuankou", "combotelv", "comjiaoyanwei", "comshujuwei", "comstop"};
        return std::all_of(std::begin(names), std::end(names),
                           [&](const char *name) { return fixture->child<QComboBox>(name)->isEnabled() == enabled; });
    }
    QStringList shownBoxes() const
    {
        QStringList shown;
        for (const BoxRecorder::Box &box : boxes->boxes)
            shown << box.title + QStringLiteral(": ") + box.text;
        return shown;
    }
    // Starts the window afresh in an empty working directory that holds these
    // files ("source>name" renames one), with those beside the test program.
    void restartWith(const QStringList &inWorkingDir, const QStringList &beside)
    {
        workingDir = std::make_unique<QTemporaryDir>();
        for (const QString &file : inWorkingDir)
            QVERIFY(QFile::copy(programFile(file.section('>', 0, 0)), workingDir->filePath(file.section('>', -1))));
        for (const QString &file : beside) {
            besideProgram << QDir(QCoreApplication::applicationDirPath()).filePath(file);
            QVERIFY(QFile::copy(programFile(file), besideProgram.last()));
        }
        QVERIFY(QDir::setCurrent(workingDir->path()));
        fixture = std::make_unique<WindowFixture>();
    }

private slots:
    void initTestCase()
    {
        // A Linux desktop's default font; the offscreen platform's own is larger.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        qRegisterMetaType<QSerialPort::SerialPortError>();
        QVERIFY(line.isValid());
    }
    void init()
    {
        boxes = std::make_unique<BoxRecorder>();
        fixture = std::make_unique<WindowFixture>();
        line.drain();
    }
    void cleanup()
    {
        fixture.reset();
        boxes.reset();
        QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR));
        workingDir.reset();
        for (const QString &file : qAsConst(besideProgram))
            QFile::remove(file);
        besideProgram.clear();
        qunsetenv("NVB_EXTRA_PORTS");
        QLoggingCategory::setFilterRules(QString());
    }

    void translations_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "en";
        QTest::newRow("Chinese") << "zh";
    }
    // The source and the compiled file answer exactly the texts the form looks up,
    // and the monitor's texts in a context of their own; all of them in English.
    void translations()
    {
        QFETCH(QString, language);
        QFile source(QStringLiteral(NVB_SOURCE_DIR "/ui/translations/Translation_%1.ts").arg(language));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QTranslator compiled;
        QVERIFY(compiled.load(programFile(QStringLiteral("Translation_%1.qm").arg(language))));
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
            QVERIFY2(xml.attributes().isEmpty(), qPrintable(text)); // type="unfinished" and the like
            const QString translation = xml.readElementText();
            if (language == QLatin1String("zh") || kKeptChinese.contains(text))
                QCOMPARE(translation, text);
            else
                QVERIFY2(!translation.isEmpty() && !translation.contains(QRegularExpression(QStringLiteral("[\\x{4E00}-\\x{9FFF}]"))), qPrintable(text));
            QCOMPARE(compiled.translate(qPrintable(contexts.last()), text.toUtf8().constData()), translation);
        }
        QVERIFY(!xml.hasError());
        QCOMPARE(contexts, (QStringList{QStringLiteral("QwaClass"), QStringLiteral("TrafficMonitor")}));
        LookupRecorder recorder;
        QCoreApplication::installTranslator(&recorder);
        QWidget host;
        Ui::QwaClass().setupUi(&host);
        QCoreApplication::removeTranslator(&recorder);
        QCOMPARE(sources, recorder.looked);
    }

    void languageSwitch_data()
    {
        QTest::addColumn<QStringList>("inWorkingDir"); // "source>name" renames
        QTest::addColumn<QStringList>("beside"); // the test program
        QTest::addColumn<QString>("preset"); // the language button's text before the clicks
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QString>("offer");
        QTest::addColumn<QString>("fashe");
        QTest::addColumn<bool>("english");
        QTest::addColumn<QString>("icon");
        const QStringList all{"Translation_en.qm", "Translation_zh.qm", "天线.png"}, none, en{"Translation_en.qm"};
        QTest::newRow("start") << all << none << "" << 0 << "Language English" << "发射器数量：" << false << "icon";
        QTest::newRow("English") << all << none << "" << 1 << "切换为中文" << "Number of emitter:" << true << "icon";
        QTest::newRow("Chinese again") << all << none << "" << 2 << "Language English" << "发射器数量:" << false << "icon";
        QTest::newRow("ten switches") << all << none << "" << 10 << "Language English" << "发射器数量:" << false << "icon";
        QTest::newRow("other text does nothing") << all << none << "language english" << 1 << "language english" << "发射器数量：" << false << "icon";
        // An icon made from a missing file would not be null.
        QTest::newRow("English file missing") << none << none << "" << 1 << "切换为中文" << "Number of emitter:" << false << "none";
        // The translator holds English when the Chinese file is not found: it must be emptied.
        QTest::newRow("Chinese file missing") << en << none << "" << 2 << "Language English" << "发射器数量:" << false << "none";
        QTest::newRow("English beside the program") << none << en << "" << 1 << "切换为中文" << "Number of emitter:" << true << "none";
        QTest::newRow("working directory first") << QStringList{"Translation_zh.qm>Translation_en.qm"} << en << "" << 1 << "切换为中文"
                                                 << "Number of emitter:" << false << "none";
        QTest::newRow("icon beside the program") << none << QStringList{"天线.png"} << "" << 0 << "Language English" << "发射器数量：" << false << "icon";
    }
    // The states of the switch, the files the window finds, and that every text fits.
    void languageSwitch()
    {
        QFETCH(QStringList, inWorkingDir);
        QFETCH(QStringList, beside);
        QFETCH(QString, preset);
        QFETCH(int, clicks);
        QFETCH(QString, offer);
        QFETCH(QString, fashe);
        QFETCH(bool, english);
        QFETCH(QString, icon);
        restartWith(inWorkingDir, beside);
        const QIcon shownIcon = fixture->window.windowIcon();
        QCOMPARE(QString(shownIcon.isNull() ? "none" : shownIcon.availableSizes().isEmpty() ? "unreadable" : "icon"), icon);
        if (!preset.isEmpty())
            button("Btoyuyan")->setText(preset);
        for (const char *input : {"comjiaoyanwei=偶校验", "combotelv2=19200", "lineTDxiugai=5"})
            QVERIFY(fixture->put(QString::fromUtf8(input)));
        clickLanguage(clicks);

        QCOMPARE(button("Btoyuyan")->text(), offer);
        QCOMPARE(fixture->child<QLabel>("fashe")->text(), fashe);
        for (const Sample &sample : kSamples)
            QCOMPARE(shownText(fixture->window, sample.place), QString::fromUtf8(english ? sample.english : sample.chinese));
        // Each switch replaces the translator's contents; it stays installed once.
        QVERIFY(static_cast<QCoreApplicationPrivate *>(QObjectPrivate::get(qApp))->translators.size() <= 1);
        QVERIFY(boxes->boxes.isEmpty());
        QCOMPARE(fixture->window.size(), QSize(629, 483));
        QCOMPARE(cutTexts(fixture->window), QStringList());
    }

    void runningStatesSurviveSwitches_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("running");
        QTest::newRow("port open") << "Btodakai" << "关闭串口";
        QTest::newRow("search") << "Btosousuo" << "停止搜索";
        QTest::newRow("acquisition") << "Btocaiji" << "停止采集";
        QTest::newRow("platform debugging") << "pushButton_OPaLI" << "关闭平台调试";
    }
    // The state's text stays across switches both ways, and one click still ends it.
    void runningStatesSurviveSwitches()
    {
        QFETCH(QString, name);
        QFETCH(QString, running);
        QVERIFY(fixture->openOn(line));
        QPushButton *state = button(qPrintable(name));
        if (name != QLatin1String("Btodakai"))
            state->click();
        QCOMPARE(state->text(), running);
        for (int switches = 0; switches < 2; ++switches) {
            clickLanguage();
            QCOMPARE(state->text(), running);
        }
        state->click();
        QVERIFY(state->text() != running);
        // The search and the acquisition poll no more.
        line.drain();
        QVERIFY(line.expectSilence(1200));
    }

    void portOpensAndCloses_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("choices");
        QTest::addColumn<bool>("english"); // the parity items translated
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<QStringList>("shown"); // the boxes, in the end
        const QStringList first, failed{"打开失败: 串口错误或被占用"};
        const QStringList odd{"combotelv=2400", "comjiaoyanwei=奇校验", "comshujuwei=7", "comstop=2"};
        QTest::newRow("first items") << "line" << first << false << "9600 none 8 1" << true << QStringList();
        QTest::newRow("second items") << "line" << odd << false << "2400 odd 7 2" << true << QStringList();
        QTest::newRow("4800 even, in English") << "line" << QStringList{"combotelv=4800", "comjiaoyanwei=偶校验"} << true << "4800 even 8 1"
                                               << true << QStringList();
        QTest::newRow("19200 odd, in English") << "line" << QStringList{"combotelv=19200", "comjiaoyanwei=奇校验", "comstop=2"} << true
                                               << "19200 odd 8 2" << true << QStringList();
        QTest::newRow("the line vanishes") << "vanishing line" << first << false << "9600 none 8 1" << true << QStringList{"提示: 串口已断开"};
        QTest::newRow("no port at all") << "" << odd << false << "2400 odd 7 2" << false << failed;
        QTest::newRow("missing device") << "/dev/nvb-no-such-port" << first << false << "9600 none 8 1" << false << failed;
    }
    // The line settings follow the item index. Closed or never opened, the port
    // ends idle in one state; a failed open leaves the receive queue alone,
    // opening and closing empty it.
    void portOpensAndCloses()
    {
        QFETCH(QString, port);
        QFETCH(QStringList, choices);
        QFETCH(bool, english);
        QFETCH(QString, settings);
        QFETCH(bool, opens);
        QFETCH(QStringList, shown);
        Qwa &window = fixture->window;
        PtyLine vanishing;
        PtyLine &far = port == QLatin1String("line") ? line : vanishing;
        for (const QString &choice : choices)
            QVERIFY(fixture->put(choice));
        clickLanguage(english ? 1 : 0);
        auto *ports = fixture->child<QComboBox>("comchuankou");
        ports->clear();
        if (!port.isEmpty())
            ports->addItem(port.endsWith(QLatin1String("line")) ? far.path() : port);
        const auto queueSome = [&] {
            window.setCurrentCommand(0x05);
            window.receiveBytes(bytes("01 03"));
            return window.queuedBytes();
        };
        QSignalSpy errors(&window.port(), &QSerialPort::errorOccurred);
        QCOMPARE(queueSome(), std::size_t(2));
        if (opens)
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^成功打开串口 .*%1").arg(far.path())));
        fixture->click("Btodakai");
        QCOMPARE(window.isPortOpen(), opens);
        const QSerialPort &serial = window.port();
        const QString parity = QStringList{"none", "", "even", "odd"}.value(int(serial.parity()));
        QCOMPARE(QStringLiteral("%1 %2 %3 %4").arg(serial.baudRate()).arg(parity).arg(int(serial.dataBits())).arg(int(serial.stopBits())), settings);
        if (opens) {
            QCOMPARE(button("Btodakai")->text(), QStringLiteral("关闭串口"));
            QVERIFY(serial.isOpen() && settingBoxesEnabled(false));
            QCOMPARE(window.queuedBytes(), std::size_t(0));
            // The pulse blocks the event loop: the request must be on the line before it ends.
            auto *bar = fixture->child<QProgressBar>("progressBar");
            bar->setValue(30);
            QSignalSpy values(bar, &QProgressBar::valueChanged);
            QElapsedTimer clock;
            clock.start();
            fixture->click("Btotuichu");
            const qint64 took = clock.elapsed();
            char got[16] = {};
            const ssize_t n = ::read(far.masterFd(), got, sizeof got);
            QCOMPARE(QByteArray(got, int(qMax<ssize_t>(n, 0))), bytes("AA 05 02 FF AA"));
            QCOMPARE(static_cast<const QList<QVariantList> &>(values), (QList<QVariantList>{{0}, {100}, {200}, {247}}));
            QCOMPARE(bar->text(), QStringLiteral("100%"));
            QVERIFY2(took >= 295 && took < 1000, qPrintable(QString::number(took)));
            QCOMPARE(queueSome(), std::size_t(2));
            if (&far == &line)
                fixture->click("Btodakai");
            else
                vanishing.hangUp();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window.isPortOpen(), 1000);
        QTRY_COMPARE(shownBoxes(), shown);
        QVERIFY(!serial.isOpen() && settingBoxesEnabled(true));
        QCOMPARE(button("Btodakai")->text(), QStringLiteral("打开串口"));
        QCOMPARE(window.queuedBytes(), std::size_t(opens ? 0 : 2));

        // Idle afterwards: no more errors, no spinning; a closed port sends and records nothing.
        const int errorsSoFar = errors.count();
        const int requests = window.traffic().count(TrafficEvent::Request);
        const std::clock_t cpu = std::clock();
        fixture->click("BtoduquB");
        QVERIFY(line.expectSilence(500));
        const double cpuMs = 1000.0 * double(std::clock() - cpu) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 150, qPrintable(QStringLiteral("%1 ms of CPU in 500 ms").arg(cpuMs)));
        QCOMPARE(errors.count(), errorsSoFar);
        QCOMPARE(window.traffic().count(TrafficEvent::Request), requests);
        QCOMPARE(shownBoxes(), shown);
    }

    void trafficLog_data()
    {
        QTest::addColumn<QString>("rules");
        QTest::addColumn<QStringList>("logged");
        QTest::newRow("off by default") << QString() << QStringList();
        QTest::newRow("on, the secret masked") << "nvb.link.debug=true"
                                               << QStringList{"-> 64 64 04 ** ** ** ** ** **", "-> 64 64 05 64 65 76", "<- 4F 4B"};
    }
    void trafficLog()
    {
        QFETCH(QString, rules);
        QFETCH(QStringList, logged);
        QVERIFY(fixture->openOn(line));
        QLoggingCategory::setFilterRules(rules);
        captured.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
        fixture->type("lineEdit_AT3", QStringLiteral("s3cret"));
        fixture->click("pushButton_AT3");
        fixture->type("lineEdit_AT4", QStringLiteral("dev"));
        fixture->click("pushButton_AT4");
        line.read(9 + 6);
        line.write(bytes("4F 4B"));
        settle(500);
        qInstallMessageHandler(previous);
        QCOMPARE(captured, logged);
    }

    void portList_data()
    {
        QTest::addColumn<QStringList>("extraPorts");
        QTest::addColumn<QString>("event"); // on comchuankou unless another box is named
        QTest::addColumn<bool>("refreshed");
        const QStringList pty{"/dev/pts/77"};
        QTest::newRow("none given") << QStringList() << "press" << true;
        QTest::newRow("one pty") << pty << "press" << true;
        QTest::newRow("two") << QStringList{"/dev/pts/5", "/tmp/sim-line"} << "press" << true;
        QTest::newRow("a release passes") << pty << "release" << false;
        QTest::newRow("a press elsewhere passes") << pty << "press on combotelv" << false;
        QTest::newRow("a disabled box keeps the open port") << pty << "press while disabled" << false;
    }
    // The ports given to the run are listed after the system's, and the first of
    // them is chosen at the start; a press lists them afresh, from the first.
    void portList()
    {
        QFETCH(QStringList, extraPorts);
        QFETCH(QString, event);
        QFETCH(bool, refreshed);
        // Empty parts around and between the paths are skipped.
        qputenv("NVB_EXTRA_PORTS", (QLatin1Char(':') + extraPorts.join(QLatin1String("::"))).toLocal8Bit());
        fixture = std::make_unique<WindowFixture>();
        auto *ports = fixture->child<QComboBox>("comchuankou");
        QStringList listed;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            listed << info.portName();
        listed += extraPorts;
        QCOMPARE(itemTexts(ports), listed);
        QCOMPARE(ports->currentText(), extraPorts.value(0, listed.value(0)));

        ports->addItem(QStringLiteral("stale entry"));
        ports->setCurrentIndex(ports->count() - 1);
        ports->setEnabled(!event.endsWith(QLatin1String("disabled")));
        auto *box = fixture->child<QComboBox>(event.endsWith(QLatin1String("combotelv")) ? "combotelv" : "comchuankou");
        const bool press = event.startsWith(QLatin1String("press"));
        if (press)
            QTest::mousePress(box, Qt::LeftButton);
        box->hidePopup();
        QTest::mouseRelease(box, Qt::LeftButton);
        // The filter sits on comchuankou alone: only a direct call shows what it does with others.
        QEvent filtered(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease);
        QVERIFY(!fixture->window.eventFilter(box, &filtered));
        QCOMPARE(itemTexts(ports), refreshed ? listed : listed + QStringList{"stale entry"});
        QCOMPARE(ports->currentText(), refreshed ? listed.value(0) : QStringLiteral("stale entry"));
    }

    void radioGroupIds()
    {
        QStringList ids;
        for (QAbstractButton *radio : fixture->window.radioButtons()->buttons())
            ids << QStringLiteral("%1 %2").arg(fixture->window.radioButtons()->id(radio)).arg(radio->objectName());
        QCOMPARE(ids, (QStringList{"0 radio39mA", "1 radio4mA", "2 radio8mA", "3 radio12mA", "4 radio16mA", "5 radio20mA", "6 radio208mA"}));
        QCOMPARE(fixture->window.radioButtons()->checkedId(), -1);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
