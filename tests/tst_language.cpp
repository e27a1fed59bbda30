// The language button: the translation sources, the three states of the
// switch, what the form shows in each language and that it fits, where the
// compiled translations are found, and that switching leaves working state alone.
#include <QtTest>

// The only way to see how often the translator sits in the application's list.
#include <private/qcoreapplication_p.h>

#include <memory>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

// The two buttons whose running states show in fixed Chinese texts: the
// English file keeps their idle texts Chinese too, so they never mix languages.
const QStringList kKeptChinese = {QStringLiteral("开始采集"), QStringLiteral("打开平台调试")};

const QString kOfferEnglish = QStringLiteral("Language English");
const QString kOfferChinese = QStringLiteral("切换为中文");
const QString kFasheForm = QStringLiteral("发射器数量："); // full-width colon
const QString kFasheEnglish = QStringLiteral("Number of emitter:");
const QString kFasheChinese = QStringLiteral("发射器数量:"); // ASCII colon

// Answers nothing and notes every text the form looks up, in order.
class LookupRecorder : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        const QString text = QString::fromUtf8(source);
        if (QByteArray(context) == "QwaClass" && !looked.contains(text))
            looked << text;
        return QString();
    }
    mutable QStringList looked;
};

QStringList formLookups()
{
    LookupRecorder recorder;
    QCoreApplication::installTranslator(&recorder);
    QWidget host;
    Ui::QwaClass form;
    form.setupUi(&host);
    QCoreApplication::removeTranslator(&recorder);
    return recorder.looked;
}

struct TsMessage
{
    QString context, source, translation, type; // type is empty when the translation is finished
};

// The messages of a translation source and the contexts they are in; nothing when it is not XML.
QVector<TsMessage> readTs(QIODevice *file, QStringList *contexts)
{
    QVector<TsMessage> messages;
    QXmlStreamReader xml(file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            *contexts << xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            messages.append({contexts->last(), xml.readElementText(), QString(), QString()});
        } else if (xml.name() == QLatin1String("translation") && !messages.isEmpty()) {
            messages.last().type = xml.attributes().value(QLatin1String("type")).toString();
            messages.last().translation = xml.readElementText();
        }
    }
    return xml.hasError() ? QVector<TsMessage>() : messages;
}

bool hasChinese(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

// What the window shows for a place: "title", a page's tab, a group box's title, or a widget's text.
QString shownText(const Qwa &window, const char *place)
{
    auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    QWidget *widget = window.findChild<QWidget *>(QLatin1String(place));
    if (!widget)
        return QByteArray(place) == "title" ? window.windowTitle() : QStringLiteral("<no widget>");
    if (tabs->indexOf(widget) >= 0)
        return tabs->tabText(tabs->indexOf(widget));
    return widget->property(qobject_cast<QGroupBox *>(widget) ? "title" : "text").toString();
}

// Texts of every kind that each language state re-applies.
const struct Sample
{
    const char *place;
    const char *chinese;
    const char *english;
} kSamples[] = {
    {"title", "NVB8140T - 网关调试工具", "NVB8140T - Gateway Debug Tool"},
    {"Btodakai", "打开串口", "Open port"},
    {"label_14", "变送下限：", "Lower limit:"},
    {"btnRdID", "读取网关ID", "Read ID"},
    {"Btocaiji", "开始采集", "开始采集"},
    {"tab_3", "电流校准", "Calibration"},
    {"groupBox_5", "通信参数", "Gateway communication"},
};

struct TextRoom
{
    QString text;
    int needs = 0; // the text's advance, rounded up
    int has = 0;
};

// Fusion draws a push button's and a radio button's text in these rects with
// nothing beside it; the label's text fills its contents rect.
TextRoom textRoom(QWidget *widget)
{
    TextRoom room;
    QStyleOptionButton option;
    option.initFrom(widget);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        room.text = label->text();
        room.has = label->contentsRect().width();
    } else if (auto *push = qobject_cast<QPushButton *>(widget)) {
        room.text = push->text();
        if (push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        room.has = widget->style()->subElementRect(QStyle::SE_PushButtonContents, &option, widget).width();
    } else if (auto *radio = qobject_cast<QRadioButton *>(widget)) {
        room.text = radio->text();
        room.has = widget->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, widget).width();
    }
    room.needs = widget->fontMetrics().size(Qt::TextShowMnemonic, room.text).width();
    return room;
}

QString programFile(const char *name)
{
    return QDir(QStringLiteral(NVB_PROGRAM_DIR)).filePath(QString::fromUtf8(name));
}

} // namespace

class LanguageTest : public QObject
{
    Q_OBJECT
private slots:
    // A Linux desktop's default font; the offscreen platform's own is larger.
    void initTestCase() { QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9)); }
    void init();
    void cleanup();

    void translations_data();
    void translations();
    void switchStates_data();
    void switchStates();
    void noTextIsCut_data();
    void noTextIsCut();
    void whereTranslationsAreFound_data();
    void whereTranslationsAreFound();
    void parityChoiceHoldsInEnglish();
    void switchKeepsRunningStates_data();
    void switchKeepsRunningStates();
    void translatorInstalledOnce();

private:
    void clickLanguage(int times = 1);
    Qwa &window() { return fixture->window; }
    QPushButton *button(const char *name) { return fixture->child<QPushButton>(name); }

    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<BoxRecorder> boxes;
    std::unique_ptr<QTemporaryDir> emptyDir;
};

void LanguageTest::init()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR)));
    boxes = std::make_unique<BoxRecorder>();
    fixture = std::make_unique<WindowFixture>();
    emptyDir = std::make_unique<QTemporaryDir>();
    QVERIFY(emptyDir->isValid());
}

void LanguageTest::cleanup()
{
    fixture.reset();
    boxes.reset();
    QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR));
    emptyDir.reset();
}

void LanguageTest::clickLanguage(int times)
{
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button("Btoyuyan"), Qt::LeftButton);
}

void LanguageTest::translations_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("English") << "en";
    QTest::newRow("Chinese") << "zh";
}

// The source and the compiled file answer exactly the texts the form looks up,
// and the monitor's texts in a context of their own; all of them in English.
void LanguageTest::translations()
{
    QFETCH(QString, language);
    const bool chinese = language == QLatin1String("zh");

    QFile source(QStringLiteral(NVB_SOURCE_DIR "/ui/translations/Translation_%1.ts").arg(language));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QStringList contexts;
    const QVector<TsMessage> messages = readTs(&source, &contexts);
    QCOMPARE(contexts, (QStringList{QStringLiteral("QwaClass"), QStringLiteral("TrafficMonitor")}));
    QStringList sources;
    for (const TsMessage &message : messages) {
        if (message.context == QLatin1String("QwaClass"))
            sources << message.source;
    }
    QCOMPARE(sources.size(), 97);
    QCOMPARE(sources, formLookups());

    QTranslator compiled;
    QVERIFY(compiled.load(programFile(qPrintable(QStringLiteral("Translation_%1.qm").arg(language)))));
    for (const TsMessage &message : messages) {
        const QByteArray where = message.source.toUtf8();
        QVERIFY2(message.type.isEmpty() && !message.translation.isEmpty(), where.constData());
        if (chinese || kKeptChinese.contains(message.source))
            QCOMPARE(message.translation, message.source);
        else
            QVERIFY2(!hasChinese(message.translation), where.constData());
        QCOMPARE(compiled.translate(qPrintable(message.context), where.constData()), message.translation);
    }
}

void LanguageTest::switchStates_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QString>("fashe");
    QTest::addColumn<bool>("english");

    // Before the clicks lineTDxiugai gets "5", and two combos another choice:
    // they keep what the user chose and typed.
    QTest::newRow("start") << QString() << 0 << kOfferEnglish << kFasheForm << false;
    QTest::newRow("English") << QString() << 1 << kOfferChinese << kFasheEnglish << true;
    QTest::newRow("Chinese") << QString() << 2 << kOfferEnglish << kFasheChinese << false;
    QTest::newRow("English again") << QString() << 3 << kOfferChinese << kFasheEnglish << true;
    QTest::newRow("other text does nothing") << QStringLiteral("language english") << 1
                                             << QStringLiteral("language english") << kFasheForm << false;
}

void LanguageTest::switchStates()
{
    QFETCH(QString, preset);
    QFETCH(int, clicks);
    QFETCH(QString, offer);
    QFETCH(QString, fashe);
    QFETCH(bool, english);

    if (!preset.isEmpty())
        button("Btoyuyan")->setText(preset);
    fixture->type("lineTDxiugai", QStringLiteral("5"));
    fixture->type("lineBSdown", QStringLiteral("4.5"));
    fixture->child<QComboBox>("comjiaoyanwei")->setCurrentIndex(2);
    fixture->child<QComboBox>("combotelv2")->setCurrentIndex(3);
    clickLanguage(clicks);

    QCOMPARE(button("Btoyuyan")->text(), offer);
    QCOMPARE(fixture->child<QLabel>("fashe")->text(), fashe);
    for (const Sample &sample : kSamples)
        QCOMPARE(shownText(window(), sample.place),
                 QString::fromUtf8(english ? sample.english : sample.chinese));
    QCOMPARE(fixture->child<QComboBox>("comjiaoyanwei")->currentText(), english ? "Even" : QStringLiteral("偶校验"));
    QCOMPARE(fixture->child<QComboBox>("comjiaoyanwei")->count(), 3);
    QCOMPARE(fixture->child<QComboBox>("combotelv2")->currentIndex(), 3);
    QCOMPARE(fixture->child<QLineEdit>("lineTDxiugai")->text(), QStringLiteral("5"));
    QCOMPARE(fixture->child<QLineEdit>("lineBSdown")->text(), QStringLiteral("4.5"));
    QVERIFY(boxes->boxes.isEmpty());
}

void LanguageTest::noTextIsCut_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("offer");
    QTest::newRow("Chinese") << 0 << kOfferEnglish;
    QTest::newRow("English") << 1 << kOfferChinese;
}

void LanguageTest::noTextIsCut()
{
    QFETCH(int, clicks);
    QFETCH(QString, offer);

    clickLanguage(clicks);
    QCOMPARE(button("Btoyuyan")->text(), offer);
    QList<QWidget *> texted;
    for (QWidget *widget : window().findChildren<QWidget *>()) {
        if (qobject_cast<QLabel *>(widget) || qobject_cast<QPushButton *>(widget)
            || qobject_cast<QRadioButton *>(widget))
            texted << widget;
    }
    QSet<QWidget *> measured;
    QStringList cut;
    auto *tabs = fixture->child<QTabWidget>("tabWidget");
    // Carriers lay out their children only once their page is shown.
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
        for (QWidget *widget : texted) {
            if (!widget->isVisible() || measured.contains(widget))
                continue;
            measured << widget;
            const TextRoom room = textRoom(widget);
            if (room.needs > room.has)
                cut << QStringLiteral("%1 in %2: \"%3\" needs %4 px, has %5")
                           .arg(widget->objectName(), QLatin1String(QTest::currentDataTag()), room.text)
                           .arg(room.needs)
                           .arg(room.has);
        }
    }
    QCOMPARE(measured.size(), texted.size());
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

void LanguageTest::whereTranslationsAreFound_data()
{
    QTest::addColumn<int>("clicksBefore");
    QTest::addColumn<bool>("besideProgram"); // Translation_en.qm beside the test program
    QTest::addColumn<bool>("chineseInWorkingDir"); // Translation_zh.qm as Translation_en.qm there
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QString>("fashe");
    QTest::addColumn<QString>("portButton");

    QTest::newRow("English file missing") << 0 << false << false << kOfferChinese << kFasheEnglish << "打开串口";
    // The translator holds English here: the failed load must empty it.
    QTest::newRow("Chinese file missing") << 1 << false << false << kOfferEnglish << kFasheChinese << "打开串口";
    QTest::newRow("only beside the program") << 0 << true << false << kOfferChinese << kFasheEnglish << "Open port";
    // A working-directory file of the same name wins over the program's own.
    QTest::newRow("working directory first") << 0 << true << true << kOfferChinese << kFasheEnglish << "打开串口";
}

void LanguageTest::whereTranslationsAreFound()
{
    QFETCH(int, clicksBefore);
    QFETCH(bool, besideProgram);
    QFETCH(bool, chineseInWorkingDir);
    QFETCH(QString, offer);
    QFETCH(QString, fashe);
    QFETCH(QString, portButton);

    clickLanguage(clicksBefore);
    const QString programDir = QCoreApplication::applicationDirPath();
    for (const char *name : {"Translation_en.qm", "Translation_zh.qm"})
        QVERIFY2(!QFileInfo::exists(QDir(programDir).filePath(QLatin1String(name))),
                 "the test program's directory must not hold translations of its own");
    const QString beside = QDir(programDir).filePath(QStringLiteral("Translation_en.qm"));
    const auto removeBeside = qScopeGuard([&] { QFile::remove(beside); });
    QVERIFY(!besideProgram || QFile::copy(programFile("Translation_en.qm"), beside));
    if (chineseInWorkingDir)
        QVERIFY(QFile::copy(programFile("Translation_zh.qm"), emptyDir->filePath(QStringLiteral("Translation_en.qm"))));
    QVERIFY(QDir::setCurrent(emptyDir->path()));

    clickLanguage();

    QCOMPARE(button("Btoyuyan")->text(), offer);
    QCOMPARE(fixture->child<QLabel>("fashe")->text(), fashe);
    QCOMPARE(button("Btodakai")->text(), portButton);
    QVERIFY(boxes->boxes.isEmpty());
}

// The parity items are translated, so the port and the gateway write must
// follow the chosen item, not its text.
void LanguageTest::parityChoiceHoldsInEnglish()
{
    clickLanguage();
    for (const char *name : {"comjiaoyanwei", "comjiaoyanwei2"}) {
        fixture->child<QComboBox>(name)->setCurrentIndex(2);
        QCOMPARE(fixture->child<QComboBox>(name)->currentText(), QStringLiteral("Even"));
    }
    PtyLine line;
    QVERIFY(line.isValid());
    QVERIFY(fixture->openOn(line));
    QCOMPARE(window().port().parity(), QSerialPort::EvenParity);

    fixture->selectAddress(1);
    line.drain();
    fixture->click("BtoxiugaiJ");
    QVERIFY(line.expect(withCrc(bytes("01 10 00 00 00 01 02 00 02"))));
}

// A button that shows a running state keeps showing it across switches both
// ways, and one click still ends that state.
void LanguageTest::switchKeepsRunningStates_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("running");
    QTest::addColumn<QByteArray>("endFrame"); // sent by the click that ends it

    QTest::newRow("port open") << "Btodakai" << "关闭串口" << QByteArray();
    QTest::newRow("search") << "Btosousuo" << "停止搜索" << QByteArray();
    QTest::newRow("acquisition") << "Btocaiji" << "停止采集" << QByteArray();
    QTest::newRow("platform debugging") << "pushButton_OPaLI" << "关闭平台调试" << bytes("64 65 00");
}

void LanguageTest::switchKeepsRunningStates()
{
    QFETCH(QString, name);
    QFETCH(QString, running);
    QFETCH(QByteArray, endFrame);

    PtyLine line;
    QVERIFY(line.isValid());
    QVERIFY(fixture->openOn(line));
    fixture->selectAddress(1);
    fixture->type("lineshuliang", QStringLiteral("2"));
    auto *stateButton = button(qPrintable(name));
    if (name != QLatin1String("Btodakai"))
        stateButton->click();
    QCOMPARE(stateButton->text(), running);

    clickLanguage();
    QCOMPARE(stateButton->text(), running);
    clickLanguage();
    QCOMPARE(stateButton->text(), running);

    line.drain();
    stateButton->click();
    QVERIFY(stateButton->text() != running);
    QVERIFY(!window().isPortOpen() || name != QLatin1String("Btodakai"));
    QVERIFY(!window().searchTimerObject()->isActive());
    QVERIFY(!window().acquireTimerObject()->isActive());
    if (!endFrame.isEmpty())
        QVERIFY(line.expect(endFrame));
    QVERIFY(line.expectSilence(1200));
}

// Each switch replaces the translator's contents; it stays installed once.
void LanguageTest::translatorInstalledOnce()
{
    clickLanguage(10);
    QCOMPARE(static_cast<QCoreApplicationPrivate *>(QObjectPrivate::get(qApp))->translators.size(), 1);
}

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
