// The language button: the translation sources, the three states of the
// switch, what the form shows in each language, where the compiled
// translations are found, and that switching leaves working state alone.
#include <QtTest>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>

#include <memory>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

// Every text the form looks up, in the order the form first uses it.
const QStringList kSourceTexts = {
    QStringLiteral("NVB8140T - 网关调试工具"), QStringLiteral("打开串口"), QStringLiteral("串口"),
    QStringLiteral("波特率"), QStringLiteral("9600"), QStringLiteral("2400"), QStringLiteral("4800"),
    QStringLiteral("19200"), QStringLiteral("校验位"), QStringLiteral("无校验"), QStringLiteral("奇校验"),
    QStringLiteral("偶校验"), QStringLiteral("数据位"), QStringLiteral("8"), QStringLiteral("7"),
    QStringLiteral("停止位"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("通信参数"),
    QStringLiteral("读取"), QStringLiteral("修改"), QStringLiteral("通信频率"), QStringLiteral("扩频因子"),
    QStringLiteral("网关模式"), QStringLiteral("接收器"), QStringLiteral("中继器"), QStringLiteral("地址设置"),
    QStringLiteral("选择地址"), QStringLiteral("搜索地址"), QStringLiteral("修改为"), QStringLiteral("修改地址"),
    QStringLiteral("广播地址"), QStringLiteral("发射器数量："), QStringLiteral("串口设置"),
    QStringLiteral("组态设置"), QStringLiteral("变送下限："), QStringLiteral("变送上限："),
    QStringLiteral("上下电流修正"), QStringLiteral("校准值："), QStringLiteral("4mA"), QStringLiteral("20mA"),
    QStringLiteral("实际值："), QStringLiteral("mA"), QStringLiteral("校准"), QStringLiteral("电流环输出测试"),
    QStringLiteral("测试"), QStringLiteral("3.9mA"), QStringLiteral("8mA"), QStringLiteral("12mA"),
    QStringLiteral("16mA"), QStringLiteral("20.8mA"), QStringLiteral("自定义输入"),
    QStringLiteral("自定义测试"), QStringLiteral("退出测试"), QStringLiteral("电流通信"),
    QStringLiteral("开启电流校准"), QStringLiteral("读取通道"), QStringLiteral("修改通道"),
    QStringLiteral("电流校准"), QStringLiteral("位号"), QStringLiteral("温度（℃）"), QStringLiteral("表数"),
    QStringLiteral("开始采集"), QStringLiteral("总线采集"),
    QStringLiteral("提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。"), QStringLiteral("云平台应当通过串口服务器或者4G接口进行修改"),
    QStringLiteral("读取量程"), QStringLiteral("修改量程"), QStringLiteral("读取通信频率"),
    QStringLiteral("修改通信频率"), QStringLiteral("读取SF"), QStringLiteral("修改SF"),
    QStringLiteral("读取发射器数量"), QStringLiteral("修改发射器数量"), QStringLiteral("读取网关ID"),
    QStringLiteral("修改网关ID"), QStringLiteral("读取固件版本"), QStringLiteral("修改固件版本"),
    QStringLiteral("读取采集周期"), QStringLiteral("修改采集周期"), QStringLiteral("读取模拟输出"),
    QStringLiteral("修改模拟输出"), QStringLiteral("平台接口"), QStringLiteral("地域信息："), QStringLiteral("写入"),
    QStringLiteral("设备属性："), QStringLiteral("设备密钥："), QStringLiteral("设备名称："),
    QStringLiteral("阿里云模式"), QStringLiteral("通用MQTT模式"), QStringLiteral("确认"),
    QStringLiteral("发布主题："), QStringLiteral("订阅主题："), QStringLiteral("连接云平台"),
    QStringLiteral("打开平台调试"), QStringLiteral("MQTT配置"), QStringLiteral("Language English")
};

// The two buttons whose slots act on their Chinese text: the English file
// must leave them as they are.
const QStringList kKeptChinese = {QStringLiteral("开始采集"), QStringLiteral("打开平台调试")};

const QString kOfferEnglish = QStringLiteral("Language English");
const QString kOfferChinese = QStringLiteral("切换为中文");
const QString kFasheForm = QStringLiteral("发射器数量："); // full-width colon
const QString kFasheEnglish = QStringLiteral("Number of emitter:");
const QString kFasheChinese = QStringLiteral("发射器数量:"); // ASCII colon

struct TsMessage
{
    QString source;
    QString translation;
    QString type; // the translation's type attribute, empty when finished
};

struct TsContents
{
    QStringList contexts;
    QVector<TsMessage> messages;
    QString error;
};

TsContents readTs(const QString &path)
{
    TsContents out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        out.error = file.errorString();
        return out;
    }
    QXmlStreamReader xml(&file);
    TsMessage current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const QStringRef name = xml.name();
        if (name == QLatin1String("name")) {
            out.contexts << xml.readElementText();
        } else if (name == QLatin1String("message")) {
            current = TsMessage{};
        } else if (name == QLatin1String("source")) {
            current.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            current.type = xml.attributes().value(QLatin1String("type")).toString();
            current.translation = xml.readElementText();
            out.messages << current;
        }
    }
    if (xml.hasError())
        out.error = xml.errorString();
    return out;
}

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

// What the window shows at a place of the form. Places: "title",
// "text:<name>" (label, button or line edit), "tab:<page>", "group:<name>",
// "item:<combo>:<index>", "header:<column>".
QString shownText(const Qwa &window, const QString &place)
{
    const QStringList parts = place.split(QLatin1Char(':'));
    const QString &kind = parts.at(0);
    if (kind == QLatin1String("title"))
        return window.windowTitle();
    if (kind == QLatin1String("text")) {
        QWidget *widget = window.findChild<QWidget *>(parts.at(1));
        return widget ? widget->property("text").toString() : QStringLiteral("<no widget>");
    }
    if (kind == QLatin1String("tab")) {
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QWidget *page = window.findChild<QWidget *>(parts.at(1));
        return tabs->tabText(tabs->indexOf(page));
    }
    if (kind == QLatin1String("group")) {
        auto *group = window.findChild<QGroupBox *>(parts.at(1));
        return group ? group->title() : QStringLiteral("<no group>");
    }
    if (kind == QLatin1String("item")) {
        auto *combo = window.findChild<QComboBox *>(parts.at(1));
        return combo ? combo->itemText(parts.at(2).toInt()) : QStringLiteral("<no combo>");
    }
    if (kind == QLatin1String("header")) {
        auto *table = window.findChild<QTableWidget *>(QStringLiteral("tableWidget"));
        QTableWidgetItem *item = table->horizontalHeaderItem(parts.at(1).toInt());
        return item ? item->text() : QStringLiteral("<no header>");
    }
    return QStringLiteral("<bad place>");
}

// A few texts of different kinds that every language state re-applies.
struct Sample
{
    const char *place;
    const char *chinese;
    const char *english;
};

const Sample kSamples[] = {
    {"title", "NVB8140T - 网关调试工具", "NVB8140T - Gateway Debug Tool"},
    {"text:Btodakai", "打开串口", "Open port"},
    {"tab:tab_3", "电流校准", "Calibration"},
    {"group:groupBox_5", "通信参数", "Gateway communication"},
    {"item:comjiaoyanwei:2", "偶校验", "Even"},
    {"header:1", "温度（℃）", "Temp (℃)"},
};

QString programFile(const char *name)
{
    return QDir(QStringLiteral(NVB_PROGRAM_DIR)).filePath(QString::fromUtf8(name));
}

// Copies a file into a directory for one test and removes it afterwards.
class PlacedFile
{
public:
    PlacedFile(const QString &from, const QString &dir, const QString &name)
        : target(QDir(dir).filePath(name))
    {
        preexisting = QFileInfo::exists(target);
        if (!preexisting)
            placed = QFile::copy(from, target);
    }
    ~PlacedFile()
    {
        if (placed)
            QFile::remove(target);
    }
    PlacedFile(const PlacedFile &) = delete;
    PlacedFile &operator=(const PlacedFile &) = delete;

    bool ok() const { return placed; }
    bool wasThere() const { return preexisting; }

private:
    QString target;
    bool preexisting = false;
    bool placed = false;
};

} // namespace

class LanguageTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void translationSources_data();
    void translationSources();
    void compiledTranslations_data();
    void compiledTranslations();
    void switchStates_data();
    void switchStates();
    void formTexts_data();
    void formTexts();
    void missingTranslationFallsBackToChinese_data();
    void missingTranslationFallsBackToChinese();
    void translationsBesideTheProgram_data();
    void translationsBesideTheProgram();
    void comboBoxesKeepTheirChoice_data();
    void comboBoxesKeepTheirChoice();
    void channelFieldReturnsToOne_data();
    void channelFieldReturnsToOne();
    void portButtonShowsFormTextWhileOpen_data();
    void portButtonShowsFormTextWhileOpen();
    void parityChoiceHoldsInEnglish_data();
    void parityChoiceHoldsInEnglish();
    void stateButtonsStillActInEnglish_data();
    void stateButtonsStillActInEnglish();

private:
    void clickLanguage(int times = 1);
    Qwa &window() { return fixture->window; }

    std::unique_ptr<WindowFixture> fixture;
    std::unique_ptr<BoxRecorder> boxes;
    std::unique_ptr<QTemporaryDir> emptyDir;
};

void LanguageTest::initTestCase()
{
    QVERIFY2(QFileInfo::exists(programFile("Translation_en.qm")), "the build puts the .qm files beside the program");
    QVERIFY(QFileInfo::exists(programFile("Translation_zh.qm")));
    // The missing-file cases rely on the test program's own directory
    // holding no translations, so the fallback finds nothing there.
    QVERIFY(QDir(QCoreApplication::applicationDirPath()) != QDir(QStringLiteral(NVB_PROGRAM_DIR)));
}

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
    auto *button = fixture->child<QPushButton>("Btoyuyan");
    for (int i = 0; i < times; ++i)
        QTest::mouseClick(button, Qt::LeftButton);
}

void LanguageTest::translationSources_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("chinese");

    const QString dir = QStringLiteral(NVB_SOURCE_DIR "/ui/translations/");
    QTest::newRow("English") << dir + QStringLiteral("Translation_en.ts") << false;
    QTest::newRow("Chinese") << dir + QStringLiteral("Translation_zh.ts") << true;
}

void LanguageTest::translationSources()
{
    QFETCH(QString, path);
    QFETCH(bool, chinese);

    const TsContents ts = readTs(path);
    QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
    QCOMPARE(ts.contexts, QStringList{QStringLiteral("QwaClass")});

    QStringList sources;
    for (const TsMessage &message : ts.messages)
        sources << message.source;
    QCOMPARE(sources, kSourceTexts);

    for (const TsMessage &message : ts.messages) {
        const QByteArray where = message.source.toUtf8();
        QVERIFY2(message.type.isEmpty(), where.constData());
        QVERIFY2(!message.translation.isEmpty(), where.constData());
        if (chinese || kKeptChinese.contains(message.source))
            QCOMPARE(message.translation, message.source);
        else
            QVERIFY2(!hasChinese(message.translation), where.constData());
    }
}

void LanguageTest::compiledTranslations_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("chinese");

    QTest::newRow("English") << programFile("Translation_en.qm") << false;
    QTest::newRow("Chinese") << programFile("Translation_zh.qm") << true;
}

// What the build puts beside the program answers every lookup of the form.
void LanguageTest::compiledTranslations()
{
    QFETCH(QString, file);
    QFETCH(bool, chinese);

    QTranslator translator;
    QVERIFY(translator.load(file));
    for (const QString &source : kSourceTexts) {
        const QString translated = translator.translate("QwaClass", source.toUtf8().constData());
        QVERIFY2(!translated.isEmpty(), source.toUtf8().constData());
        if (chinese || kKeptChinese.contains(source))
            QCOMPARE(translated, source);
        else
            QVERIFY2(!hasChinese(translated), source.toUtf8().constData());
    }
}

void LanguageTest::switchStates_data()
{
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fashe");
    QTest::addColumn<bool>("english");

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
    QFETCH(QString, button);
    QFETCH(QString, fashe);
    QFETCH(bool, english);

    if (!preset.isEmpty())
        fixture->child<QPushButton>("Btoyuyan")->setText(preset);
    clickLanguage(clicks);

    QCOMPARE(fixture->child<QPushButton>("Btoyuyan")->text(), button);
    QCOMPARE(fixture->child<QLabel>("fashe")->text(), fashe);
    for (const Sample &sample : kSamples) {
        const QString expected = QString::fromUtf8(english ? sample.english : sample.chinese);
        QCOMPARE(shownText(window(), QString::fromLatin1(sample.place)), expected);
    }
    QVERIFY(boxes->boxes.isEmpty());
}

void LanguageTest::formTexts_data()
{
    QTest::addColumn<QString>("place");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");

    const struct
    {
        const char *place;
        const char *chinese;
        const char *english;
    } rows[] = {
        {"title", "NVB8140T - 网关调试工具", "NVB8140T - Gateway Debug Tool"},
        {"tab:tab", "串口设置", "Serial port"},
        {"tab:tab_3", "电流校准", "Calibration"},
        {"tab:tab_2", "总线采集", "Bus acquisition"},
        {"tab:tab_4", "平台接口", "Platform"},
        {"tab:tab_5", "MQTT配置", "MQTT"},
        {"group:groupBox_5", "通信参数", "Gateway communication"},
        {"group:groupBox_6", "地址设置", "Gateway address"},
        {"group:groupBox", "组态设置", "Output range"},
        {"group:groupBox_2", "上下电流修正", "Current correction"},
        {"group:groupBox_3", "电流环输出测试", "Loop output test"},
        {"group:groupBox_4", "电流通信", "Current loop"},
        {"text:label_2", "波特率", "Baud rate"},
        {"text:label_11", "波特率", "Baud rate"},
        {"text:label_10", "校验位", "Parity"},
        {"text:label_29", "扩频因子", "SF"},
        {"text:label_14", "变送下限：", "Lower limit:"},
        {"text:label_17", "mA", "mA"},
        {"text:label_13", "表数", "Meters"},
        {"text:label_19", "提示：本页面为云平台远程控制的本地界面，采用RS485接口通信。",
         "Note: the cloud's remote settings, here via RS485."},
        {"text:label_21", "地域信息：", "Region:"},
        {"text:Btodakai", "打开串口", "Open port"},
        {"text:Btosousuo", "搜索地址", "Search"},
        {"text:BtoduquJ", "读取", "Read"},
        {"text:pushButton", "修改", "Write"},
        {"text:BtoTDduqu", "读取通道", "Read ch."},
        {"text:BtoDL", "开启电流校准", "Start calibration"},
        {"text:btnRdID", "读取网关ID", "Read ID"},
        {"text:pushButton_AT6", "写入", "Write"},
        {"text:pushButton_connect", "连接云平台", "Connect"},
        {"text:radio208mA", "20.8mA", "20.8mA"},
        {"text:Btocaiji", "开始采集", "开始采集"},
        {"text:pushButton_OPaLI", "打开平台调试", "打开平台调试"},
        {"text:lineTDxiugai", "1", "1"},
        {"item:combotelv:0", "9600", "9600"},
        {"item:comjiaoyanwei:1", "奇校验", "Odd"},
        {"item:comjiaoyanwei2:0", "无校验", "None"},
        {"item:comboBoxJSQ:1", "中继器", "Repeater"},
        {"item:comboBox_Mode:0", "阿里云模式", "Aliyun"},
        {"header:0", "位号", "Tag"},
        {"header:5", "温度（℃）", "Temp (℃)"},
    };
    for (const auto &row : rows) {
        QTest::newRow(row.place) << QString::fromLatin1(row.place) << QString::fromUtf8(row.chinese)
                                 << QString::fromUtf8(row.english);
    }
}

void LanguageTest::formTexts()
{
    QFETCH(QString, place);
    QFETCH(QString, chinese);
    QFETCH(QString, english);

    QCOMPARE(shownText(window(), place), chinese);
    clickLanguage();
    QCOMPARE(shownText(window(), place), english);
    clickLanguage();
    QCOMPARE(shownText(window(), place), chinese);
}

void LanguageTest::missingTranslationFallsBackToChinese_data()
{
    QTest::addColumn<int>("clicksBefore");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("fashe");

    QTest::newRow("English file, first click") << 0 << kOfferChinese << kFasheEnglish;
    QTest::newRow("English file, after a round trip") << 2 << kOfferChinese << kFasheEnglish;
    // The translator holds English here: the failed load must empty it.
    QTest::newRow("Chinese file") << 1 << kOfferEnglish << kFasheChinese;
}

void LanguageTest::missingTranslationFallsBackToChinese()
{
    QFETCH(int, clicksBefore);
    QFETCH(QString, button);
    QFETCH(QString, fashe);

    clickLanguage(clicksBefore);
    QVERIFY(QDir::setCurrent(emptyDir->path()));
    QVERIFY(!QFileInfo::exists(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Translation_en.qm"))));
    QVERIFY(!QFileInfo::exists(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Translation_zh.qm"))));

    clickLanguage();

    QCOMPARE(fixture->child<QPushButton>("Btoyuyan")->text(), button);
    QCOMPARE(fixture->child<QLabel>("fashe")->text(), fashe);
    for (const Sample &sample : kSamples)
        QCOMPARE(shownText(window(), QString::fromLatin1(sample.place)), QString::fromUtf8(sample.chinese));
    QVERIFY(boxes->boxes.isEmpty());
}

void LanguageTest::translationsBesideTheProgram_data()
{
    QTest::addColumn<QString>("inWorkingDir");
    QTest::addColumn<QString>("portButton");

    QTest::newRow("only beside the program") << QString() << QStringLiteral("Open port");
    // A working-directory file of the same name wins over the program's own.
    QTest::newRow("working directory first") << programFile("Translation_zh.qm") << QStringLiteral("打开串口");
}

void LanguageTest::translationsBesideTheProgram()
{
    QFETCH(QString, inWorkingDir);
    QFETCH(QString, portButton);

    const QString programDir = QCoreApplication::applicationDirPath();
    PlacedFile besideProgram(programFile("Translation_en.qm"), programDir, QStringLiteral("Translation_en.qm"));
    QVERIFY2(!besideProgram.wasThere(), "the test program's directory must not hold translations of its own");
    QVERIFY(besideProgram.ok());
    std::unique_ptr<PlacedFile> inCwd;
    if (!inWorkingDir.isEmpty()) {
        inCwd = std::make_unique<PlacedFile>(inWorkingDir, emptyDir->path(), QStringLiteral("Translation_en.qm"));
        QVERIFY(inCwd->ok());
    }
    QVERIFY(QDir::setCurrent(emptyDir->path()));

    clickLanguage();

    QCOMPARE(fixture->child<QPushButton>("Btoyuyan")->text(), kOfferChinese);
    QCOMPARE(fixture->child<QPushButton>("Btodakai")->text(), portButton);
}

void LanguageTest::comboBoxesKeepTheirChoice_data()
{
    QTest::addColumn<QString>("combo");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<QString>("english");

    QTest::newRow("PC baud rate") << "combotelv" << 2 << "4800" << "4800";
    QTest::newRow("PC parity") << "comjiaoyanwei" << 2 << "偶校验" << "Even";
    QTest::newRow("stop bits") << "comstop" << 1 << "2" << "2";
    QTest::newRow("gateway parity") << "comjiaoyanwei2" << 1 << "奇校验" << "Odd";
    QTest::newRow("gateway baud rate") << "combotelv2" << 3 << "19200" << "19200";
    QTest::newRow("gateway mode") << "comboBoxJSQ" << 1 << "中继器" << "Repeater";
    QTest::newRow("calibration point") << "comDL" << 1 << "20mA" << "20mA";
    QTest::newRow("cloud mode") << "comboBox_Mode" << 1 << "通用MQTT模式" << "Generic";
}

void LanguageTest::comboBoxesKeepTheirChoice()
{
    QFETCH(QString, combo);
    QFETCH(int, index);
    QFETCH(QString, chinese);
    QFETCH(QString, english);

    auto *box = window().findChild<QComboBox *>(combo);
    QVERIFY(box);
    const int count = box->count();
    box->setCurrentIndex(index);
    QCOMPARE(box->currentText(), chinese);

    clickLanguage();
    QCOMPARE(box->currentIndex(), index);
    QCOMPARE(box->currentText(), english);
    QCOMPARE(box->count(), count);

    clickLanguage();
    QCOMPARE(box->currentIndex(), index);
    QCOMPARE(box->currentText(), chinese);
    QCOMPARE(box->count(), count);
}

void LanguageTest::channelFieldReturnsToOne_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("clicks");

    QTest::newRow("to English") << "5" << 1;
    QTest::newRow("back to Chinese") << "12" << 2;
}

void LanguageTest::channelFieldReturnsToOne()
{
    QFETCH(QString, typed);
    QFETCH(int, clicks);

    fixture->child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    auto *channel = fixture->child<QLineEdit>("lineTDxiugai");
    auto *lower = fixture->child<QLineEdit>("lineBSdown");
    channel->clear();
    QTest::keyClicks(channel, typed);
    QTest::keyClicks(lower, QStringLiteral("4.5"));
    QCOMPARE(channel->text(), typed);

    clickLanguage(clicks);

    QCOMPARE(channel->text(), QStringLiteral("1"));
    // Only the field the form gives a text is reset.
    QCOMPARE(lower->text(), QStringLiteral("4.5"));
}

void LanguageTest::portButtonShowsFormTextWhileOpen_data()
{
    QTest::addColumn<int>("clicks");
    QTest::addColumn<QString>("shown");

    QTest::newRow("English") << 1 << QStringLiteral("Open port");
    QTest::newRow("back to Chinese") << 2 << QStringLiteral("打开串口");
}

void LanguageTest::portButtonShowsFormTextWhileOpen()
{
    QFETCH(int, clicks);
    QFETCH(QString, shown);

    PtyLine line;
    QVERIFY(line.isValid());
    QVERIFY(fixture->openOn(line));
    auto *portButton = fixture->child<QPushButton>("Btodakai");
    auto *portBox = fixture->child<QComboBox>("comchuankou");
    QCOMPARE(portButton->text(), QStringLiteral("关闭串口"));

    clickLanguage(clicks);

    QCOMPARE(portButton->text(), shown);
    QVERIFY(window().isPortOpen());
    QVERIFY(window().port().isOpen());
    QVERIFY(!portBox->isEnabled());

    fixture->click("Btodakai");
    QVERIFY(!window().isPortOpen());
    QVERIFY(!window().port().isOpen());
    QVERIFY(portBox->isEnabled());
    QCOMPARE(portButton->text(), QStringLiteral("打开串口"));
    QVERIFY(boxes->boxes.isEmpty());
}

void LanguageTest::parityChoiceHoldsInEnglish_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("parity");
    QTest::addColumn<QByteArray>("parityWrite");

    QTest::newRow("none") << 0 << "None" << int(QSerialPort::NoParity)
                          << withCrc(bytes("01 10 00 00 00 01 02 00 00"));
    QTest::newRow("odd") << 1 << "Odd" << int(QSerialPort::OddParity)
                         << withCrc(bytes("01 10 00 00 00 01 02 00 01"));
    QTest::newRow("even") << 2 << "Even" << int(QSerialPort::EvenParity)
                          << withCrc(bytes("01 10 00 00 00 01 02 00 02"));
}

// The parity items are translated, so the port and the gateway write must
// follow the chosen item, not its text.
void LanguageTest::parityChoiceHoldsInEnglish()
{
    QFETCH(int, index);
    QFETCH(QString, item);
    QFETCH(int, parity);
    QFETCH(QByteArray, parityWrite);

    clickLanguage();
    auto *pcParity = fixture->child<QComboBox>("comjiaoyanwei");
    auto *gatewayParity = fixture->child<QComboBox>("comjiaoyanwei2");
    pcParity->setCurrentIndex(index);
    gatewayParity->setCurrentIndex(index);
    QCOMPARE(pcParity->currentText(), item);
    QCOMPARE(gatewayParity->currentText(), item);

    PtyLine line;
    QVERIFY(line.isValid());
    QVERIFY(fixture->openOn(line));
    QCOMPARE(int(window().port().parity()), parity);

    fixture->selectAddress(1);
    line.drain();
    fixture->click("BtoxiugaiJ");
    QCOMPARE(line.read(parityWrite.size()).toHex(' '), parityWrite.toHex(' '));
}

void LanguageTest::stateButtonsStillActInEnglish_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("idle");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QByteArray>("sent");

    // The acquisition polls one second after its start: 2 meters at address 1.
    QTest::newRow("bus acquisition") << "Btocaiji" << "开始采集" << "停止采集"
                                     << withCrc(bytes("01 03 00 04 00 04"));
    QTest::newRow("platform debugging") << "pushButton_OPaLI" << "打开平台调试" << "关闭平台调试"
                                        << bytes("64 65 01");
}

void LanguageTest::stateButtonsStillActInEnglish()
{
    QFETCH(QString, button);
    QFETCH(QString, idle);
    QFETCH(QString, active);
    QFETCH(QByteArray, sent);

    PtyLine line;
    QVERIFY(line.isValid());
    QVERIFY(fixture->openOn(line));
    fixture->selectAddress(1);
    fixture->type("lineshuliang", QStringLiteral("2"));

    clickLanguage();
    QCOMPARE(fixture->child<QPushButton>("Btoyuyan")->text(), kOfferChinese);

    auto *stateButton = window().findChild<QPushButton *>(button);
    QVERIFY(stateButton);
    QCOMPARE(stateButton->text(), idle);
    line.drain();
    stateButton->click();
    QCOMPARE(stateButton->text(), active);
    QCOMPARE(line.read(sent.size(), 2500).toHex(' '), sent.toHex(' '));

    // And the second press switches it off again.
    stateButton->click();
    QCOMPARE(stateButton->text(), idle);
}

QTEST_MAIN(LanguageTest)
#include "tst_language.moc"
