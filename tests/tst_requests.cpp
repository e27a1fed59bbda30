// Every request the window sends and every reply it takes, on a pty line: the
// bytes each button puts on the wire or the refusal instead, what each reply
// shows and pulses, the reception's leftovers, the search, the broadcast read,
// the test currents and the acquisition.
#include <QtTest>

#include <cmath>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

constexpr std::uint8_t kOtherCode = 0x21;
const QString kNoGateway = QStringLiteral("请先搜索或广播读取网关地址");

QByteArray meterReply(const QVector<float> &values)
{
    QByteArray blocks;
    for (float value : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int shift = 24; shift >= 0; shift -= 8)
            blocks.append(char(std::isnan(value) ? 0xFF : bits >> shift)); // NaN: a silent meter
    }
    return withCrc(bytes("01 03") + char(blocks.size()) + blocks);
}

} // namespace

class RequestsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void requests_data();
    void requests();
    void replies_data();
    void replies();
    void replyWatch();
    void broadcastReplies();
    void calibrationPoint();
    void acquisition();
    void searchStoppedThenRunToTheEnd();

private:
    QString cell(int row, int column) const;
    QProgressBar *bar() const { return fixture.child<QProgressBar>("progressBar"); }

    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void RequestsTest::initTestCase()
{
    // The recording's times carry the offset from UTC; one that is not zero shows it.
    qputenv("TZ", "Asia/Shanghai");
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line.path()));
}

void RequestsTest::init()
{
    settle(20);
    line.drain();
    // Most rows send without a reply: each row starts on a free line, with
    // nothing queued and no reply still owed to the row before.
    fixture.window.link().close();
    QVERIFY(fixture.window.link().open());
    fixture.selectAddress(5);
    fixture.window.setCurrentCommand(kOtherCode);
    fixture.type("lineshuliang", QString());
    boxes.clear();
}

QString RequestsTest::cell(int row, int column) const
{
    const QTableWidgetItem *item = fixture.child<QTableWidget>("tableWidget")->item(row, column);
    return item ? item->text() : QString();
}

// Every button that sends: what the fields hold and whether a gateway is
// chosen, against the bytes on the wire or the refusal that sends nothing.
void RequestsTest::requests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("address"); // -1: comdizhi empty
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("pulses"); // at sending; a Modbus request pulses on its reply
    QTest::addColumn<int>("code");   // awaited afterwards; -1: left as it was

    auto sends = [](const char *name, const char *button, int address, const QStringList &inputs, QByteArray frame,
                    int pulses, int code) {
        QTest::newRow(name) << QString::fromLatin1(button) << address << inputs << frame << QString() << pulses << code;
    };
    auto modbus = [&](const char *name, const char *button, const QStringList &inputs, const char *frame, int code,
                      int address = 5, int pulses = 0) { sends(name, button, address, inputs, rtu(frame), pulses, code); };
    auto loop = [&](const char *name, const char *button, const QStringList &inputs, const char *frame, int code = -1) {
        sends(name, button, -1, inputs, bytes(frame), 1, code);
    };
    auto cloud = [&](const char *name, const char *button, const QStringList &inputs, QByteArray frame, int code = 0x23) {
        sends(name, button, -1, inputs, frame, 0, code);
    };
    auto refused = [](const char *name, const char *button, const QStringList &inputs, const char *text) {
        QTest::newRow(name) << QString::fromLatin1(button) << 5 << inputs << QByteArray() << QString::fromUtf8(text) << 0
                            << -1;
    };

    modbus("parity read", "BtoduquJ", {}, "05 03 00 00 00 01", 0x04);
    modbus("baud read, no gateway: to 0", "BtoduquB", {}, "00 03 00 02 00 01", 0x05, -1);
    modbus("frequency read", "BtoduquHZ", {}, "05 03 00 03 00 01", 0x0B);
    modbus("spreading factor read", "BtoduquSF", {}, "05 03 03 EC 00 01", 0x14);
    modbus("mode read", "BtoJSQRead", {}, "05 03 03 F0 00 01", 0x24);
    modbus("transmitters read", "pushButton2", {}, "05 03 03 E8 00 01", 0x12);
    modbus("range read", "BtnRdRange", {}, "05 03 03 E9 00 02", 0x1E);
    modbus("platform frequency read", "btnReadFreq", {}, "05 03 00 03 00 01", 0x15);
    modbus("platform spreading factor read", "btnReadSF", {}, "05 03 03 EC 00 01", 0x14);
    modbus("platform transmitters read", "btnRdNum", {}, "05 03 03 E8 00 01", 0x1D);
    modbus("gateway ID read", "btnRdID", {}, "05 03 03 EB 00 01", 0x1F);
    modbus("firmware read", "btnRdFWV", {}, "05 03 03 ED 00 01", 0x20);
    modbus("sampling read", "btnRdSampleRate", {}, "05 03 03 EE 00 01", 0x21);
    modbus("analog output read", "btnRdAnologOut", {}, "05 03 03 EF 00 01", 0x22);
    modbus("broadcast read", "Btoguangbo", {}, "00 03 00 01 00 01", 0x02);
    for (const char *button : {"Btoxiugai", "BtoxiugaiJ", "BtoxiugaiB", "BtoxieruHZ", "BtoxieruSF",
                               "pushButtonJSQchange", "pushButton", "BtnWrRange", "btnWrFreq", "btnWrSF", "btnWrNum",
                               "btnWrID", "btnWrFWV", "btnWrSampleRate", "btnWrAnologOut", "BtoDL", "BtoTDxiugai"})
        QTest::addRow("no gateway: %s", button) << QString::fromLatin1(button) << -1 << QStringList{"linegaidizhi=9"}
                                                 << QByteArray() << kNoGateway << 0 << -1;
    modbus("address 5 to 9", "Btoxiugai", {"linegaidizhi=9"}, "05 10 00 01 00 01 02 00 09", 0x03);
    refused("address 248", "Btoxiugai", {"linegaidizhi=248"}, "地址应为1到247的整数");
    modbus("parity odd", "BtoxiugaiJ", {"comjiaoyanwei2=奇校验"}, "05 10 00 00 00 01 02 00 01", 0x06);
    modbus("baud 2400", "BtoxiugaiB", {"combotelv2=2400"}, "05 10 00 02 00 01 02 00 00", 0x07);
    // Nothing read or chosen: no line setting goes out by default.
    refused("baud, none chosen", "BtoxiugaiB", {"combotelv2="}, "请先读取或选择要写入的值");
    refused("parity, none chosen", "BtoxiugaiJ", {"comjiaoyanwei2="}, "请先读取或选择要写入的值");
    modbus("frequency 433, high byte FF", "BtoxieruHZ", {"linetongxin=433"}, "05 10 00 03 00 01 02 FF 0D", 0x08);
    modbus("platform frequency 675, high byte 00", "btnWrFreq", {"lineFreq=675", "linetongxin=470"},
           "05 10 00 03 00 01 02 00 FF", 0x16);
    refused("frequency 433.5", "BtoxieruHZ", {"linetongxin=433.5"}, "通信频率应为420到675的整数");
    refused("frequency 419", "btnWrFreq", {"lineFreq=419"}, "通信频率应为420到675的整数");
    refused("frequency beyond int", "BtoxieruHZ", {"linetongxin=2147483647"}, "通信频率应为420到675的整数");
    modbus("spreading factor 12", "BtoxieruSF", {"lineSF=12"}, "05 10 03 EC 00 01 02 00 0C", 0x09);
    modbus("platform spreading factor 0", "btnWrSF", {"lineSF2=0", "lineSF=9"}, "05 10 03 EC 00 01 02 00 00", 0x09);
    refused("spreading factor empty", "btnWrSF", {"lineSF2="}, "扩频因子应为0到255的整数");
    modbus("mode repeater", "pushButtonJSQchange", {"comboBoxJSQ=中继器"}, "05 10 03 F0 00 01 02 00 01", 0x25);
    modbus("transmitters 255", "pushButton", {"lineEdit=255", "lineTrNum=9"}, "05 10 03 E8 00 01 02 00 FF", 0x13);
    modbus("platform transmitters 7", "btnWrNum", {"lineTrNum=7"}, "05 10 03 E8 00 01 02 00 07", 0x17);
    refused("transmitters 256", "btnWrNum", {"lineTrNum=256"}, "发射器数量应为0到255的整数");
    modbus("range 4.0 to 20.0", "BtnWrRange", {"lineLower=4.0", "lineUpper=20.0"}, "01 10 03 E9 00 02 04 00 28 00 C8",
           0x18, 1);
    modbus("range 4.25 rounds half up, 20.7", "BtnWrRange", {"lineLower=4.25", "lineUpper=20.7"},
           "05 10 03 E9 00 02 04 00 2B 00 CF", 0x18);
    modbus("range 0 to 6553.5", "BtnWrRange", {"lineLower=0", "lineUpper=6553.5"}, "05 10 03 E9 00 02 04 00 00 FF FF", 0x18);
    refused("range lower -10, read back unsigned", "BtnWrRange", {"lineLower=-10", "lineUpper=85"}, "量程下限应为0到6553.5");
    refused("range upper 6553.6", "BtnWrRange", {"lineLower=1", "lineUpper=6553.6"}, "量程上限应为0到6553.5");
    refused("range 5 to 5", "BtnWrRange", {"lineLower=5", "lineUpper=5.0"}, "量程下限应小于上限");
    modbus("gateway ID 0xBEEF", "btnWrID", {"lineID=0xBEEF"}, "05 10 03 EB 00 01 02 BE EF", 0x19);
    refused("gateway ID 12345 hex", "btnWrID", {"lineID=12345"}, "网关ID应为0x0000到0xFFFF的整数");
    modbus("firmware 102 hex", "btnWrFWV", {"lineFWV=102"}, "05 10 03 ED 00 01 02 01 02", 0x1A);
    refused("firmware not hex", "btnWrFWV", {"lineFWV=v1.2"}, "固件版本应为0x0000到0xFFFF的整数");
    modbus("sampling 65535, address 300 taken low", "btnWrSampleRate", {"lineSampleRate=65535"},
           "2C 10 03 EE 00 01 02 FF FF", 0x1B, 300);
    refused("sampling 70000", "btnWrSampleRate", {"lineSampleRate=70000"}, "采集周期应为0到65535的整数");
    modbus("analog output 4096", "btnWrAnologOut", {"lineAnalogOut=4096"}, "05 10 03 EF 00 01 02 10 00", 0x1C);
    refused("analog output -1", "btnWrAnologOut", {"lineAnalogOut=-1"}, "模拟输出应为0到65535的整数");
    modbus("calibration enable", "BtoDL", {}, "01 10 00 04 00 01 02 9B 9B", 0x0C, 1, 1);
    modbus("channel 256", "BtoTDxiugai", {"lineTDxiugai=256"}, "01 10 00 06 00 01 02 00 FF", 0x0E, 1);
    refused("channel -2147483648", "BtoTDxiugai", {"lineTDxiugai=-2147483648"}, "通道应为1到256的整数");

    // The current-loop and cloud frames carry no address and need no gateway.
    loop("channel read", "BtoTDduqu", {}, "AA 04 0C AA", 0x0D);
    loop("loop range read", "BtoBSduqu", {}, "AA 04 08 AA", 0x0F);
    loop("loop range 4 to 20", "BtoBSxiugai", {"lineBSdown=4", "lineBSup=20"}, "AA 0D 01 00 00 00 80 40 00 00 A0 41 AA",
         0x10);
    refused("loop range lower empty", "BtoBSxiugai", {"lineBSdown=", "lineBSup=20"}, "变送下限应为-3.4e+38到3.4e+38");
    refused("loop range upper 1e-50, lost in a single", "BtoBSxiugai", {"lineBSdown=0", "lineBSup=1e-50"},
            "变送上限应为0或绝对值在1.17549435e-38到3.4e+38之间");
    refused("loop range 4 to 4", "BtoBSxiugai", {"lineBSdown=4", "lineBSup=4"}, "变送下限应小于上限");
    loop("calibrate 4 mA at 4.012", "BtoDLjiaozhun", {"lineshijizhi=4.012", "comDL=4mA"}, "AA 07 E7 28 AC 0F AA");
    loop("calibrate 20 mA at 19.98, cut", "BtoDLjiaozhun", {"lineshijizhi=19.98", "comDL=20mA"}, "AA 07 E7 C8 0C 4E AA");
    loop("calibrate at 65.535", "BtoDLjiaozhun", {"lineshijizhi=65.535", "comDL=4mA"}, "AA 07 E7 28 FF FF AA");
    for (const char *measured : {"", "4,012", "-1", "65.536", "1e30"})
        refused(qPrintable(QStringLiteral("calibrate at '%1'").arg(measured)), "BtoDLjiaozhun",
                {QStringLiteral("lineshijizhi=") + measured}, "实际值应为0到65.535");
    loop("custom current 12.59, cut", "BtoZDceshi", {"lineCEshuru=12.59"}, "AA 05 02 7D AA");
    loop("custom current 3.9", "BtoZDceshi", {"lineCEshuru=3.9"}, "AA 05 02 27 AA");
    loop("custom current 25.4", "BtoZDceshi", {"lineCEshuru=25.4"}, "AA 05 02 FE AA");
    for (const char *current : {"", "25.5", "30", "-1", "1e30"})
        refused(qPrintable(QStringLiteral("custom current '%1'").arg(current)), "BtoZDceshi",
                {QStringLiteral("lineCEshuru=") + current}, "自定义输入应为0到25.4");
    loop("leave the test", "Btotuichu", {}, "AA 05 02 FF AA");
    // 测试 sends the current of the radio checked at the press, whatever was sent since.
    sends("test, no current chosen", "Btoceshi", -1, {}, QByteArray(), 0, -1);
    loop("channel read after choosing 16 mA", "BtoTDduqu", {"radio16mA="}, "AA 04 0C AA", 0x0D);
    loop("test 16 mA, a read between", "Btoceshi", {}, "AA 05 02 A0 AA");
    for (const char *radio : {"radio39mA=27", "radio4mA=28", "radio8mA=50", "radio12mA=78", "radio20mA=C8", "radio208mA=D0"})
        QTest::addRow("test %s", radio) << "Btoceshi" << -1 << QStringList{QString::fromLatin1(radio).section('=', 0, 0) + '='}
                                        << bytes("AA 05 02") + QByteArray::fromHex(radio + strlen(radio) - 2) + bytes("AA")
                                        << QString() << 1 << -1;
    // A count the table cannot hold starts nothing: no timer, no lock, no poll.
    for (const char *meters : {"22", "-1", "0", "", "2.5"})
        refused(qPrintable(QStringLiteral("meters '%1'").arg(meters)), "Btocaiji", {QStringLiteral("lineshuliang=") + meters},
                "表数应为1到21的整数");

    cloud("region r1", "pushButton_AT1", {"lineEdit_AT1=r1"}, bytes("64 64 02 72 31"));
    cloud("property", "pushButton_AT2", {"lineEdit_AT2=p"}, bytes("64 64 03 70"));
    cloud("secret", "pushButton_AT3", {"lineEdit_AT3=s"}, bytes("64 64 04 73"));
    cloud("device name, two Chinese characters", "pushButton_AT4", {"lineEdit_AT4=网关"}, bytes("64 64 05 E7 BD 91 E5 85 B3"));
    cloud("empty device name", "pushButton_AT4", {"lineEdit_AT4="}, bytes("64 64 05"));
    cloud("publish with its own options", "pushButton_AT5", {"lineEdit_AT5=a/b,1,0"}, "\x64\x64\x06" "a/b,1,0,0,0");
    cloud("subscribe x", "pushButton_AT6", {"lineEdit_AT6=x"}, bytes("64 64 07 78 2C 30"));
    cloud("region, 67 bytes", "pushButton_AT1", {"lineEdit_AT1=" + QString(67, 'r')}, bytes("64 64 02") + QByteArray(67, 'r'));
    refused("region, 68 bytes", "pushButton_AT1", {"lineEdit_AT1=" + QString(68, 'r')}, "内容过长，最多67字节");
    refused("secret, 23 Chinese characters", "pushButton_AT3", {"lineEdit_AT3=" + QString(23, QChar(0x7F51))},
            "内容过长，最多67字节");
    refused("publish, 64 + 4 bytes", "pushButton_AT5", {"lineEdit_AT5=" + QString(64, 't')}, "内容过长，最多67字节");
    cloud("confirm the mode", "pushButton_Yes", {"comboBox_Mode=通用MQTT模式"}, bytes("64 64 01 01"));
    cloud("connect", "pushButton_connect", {}, bytes("64 C8"), -1);
    cloud("debugging on", "pushButton_OPaLI", {}, bytes("64 65 01"), -1);
    cloud("debugging off again", "pushButton_OPaLI", {}, bytes("64 65 00"), -1);
}

void RequestsTest::requests()
{
    QFETCH(QString, button);
    QFETCH(int, address);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArray, wire);
    QFETCH(QString, refusal);
    QFETCH(int, pulses);
    QFETCH(int, code);

    if (address < 0)
        fixture.child<QComboBox>("comdizhi")->clear();
    else
        fixture.selectAddress(address);
    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));

    QCOMPARE(fixture.pulsesDuring([&] { fixture.click(button.toLatin1().constData()); }), pulses);
    QCOMPARE((wire.isEmpty() ? line.readFor(100) : line.readFrame(wire.size())).toHex(' '), wire.toHex(' '));
    QCOMPARE(int(fixture.window.currentCommand()), code < 0 ? kOtherCode : code);
    QCOMPARE(boxes.texts(), refusal.isEmpty() ? QStringList() : QStringList{refusal});
    if (!refusal.isEmpty())
        QCOMPARE(boxes.boxes.first().title, QStringLiteral("提示"));
    QVERIFY(!fixture.window.acquireTimerObject()->isActive() && fixture.child<QWidget>("Btodakai")->isEnabled());
    // Whatever went out, nothing of it is left in the transmit buffer.
    QVERIFY(txFrameIsZero());
}

// What each reply shows and whether it pulses; the link's own table covers
// replies in pieces and each check a reply must pass.
void RequestsTest::replies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("pulses");
    QTest::addColumn<bool>("codeCleared"); // the cloud reply ends what is awaited
    QTest::addColumn<QString>("watch");     // the bar's text: the percentage, or what went wrong

    auto row = [](const char *name, const char *button, const QStringList &before, const QByteArray &reply,
                  const QStringList &after, int pulses = 1, const char *watch = "%p%") {
        QTest::newRow(name) << QString::fromLatin1(button) << before << reply << after << pulses << false
                            << QString::fromUtf8(watch);
    };
    // Frequency, spreading factor and transmitters show on both pages, read or written.
    auto both = [&](const char *name, const char *button, const QString &field, const char *typed, const QString &other,
                    const QByteArray &reply, const QString &value) {
        row(name, button, {field + '=' + typed, other + "=-"}, reply, {field + '=' + value, other + '=' + value});
    };
    const QStringList parityOdd{"comjiaoyanwei2=奇校验"};
    row("parity 2", "BtoduquJ", parityOdd, rtu("05 03 02 00 02"), {"comjiaoyanwei2=偶校验"});
    row("parity 3 out of range", "BtoduquJ", parityOdd, rtu("05 03 02 00 03"), parityOdd);
    row("parity, bad CRC", "BtoduquJ", parityOdd, bytes("05 03 02 00 02 00 00"), parityOdd, 0, "校验错误");
    row("parity, an exception", "BtoduquJ", parityOdd, rtu("05 83 02"), parityOdd, 0, "异常 02 非法数据地址");
    row("baud 2", "BtoduquB", {"combotelv2=4800"}, rtu("05 03 02 00 02"), {"combotelv2=9600"});
    row("baud 4 out of range", "BtoduquB", {"combotelv2=4800"}, rtu("05 03 02 00 04"), {"combotelv2=4800"});
    row("mode 0", "BtoJSQRead", {"comboBoxJSQ=中继器"}, rtu("05 03 02 00 00"), {"comboBoxJSQ=接收器"});
    row("mode 2 out of range", "BtoJSQRead", {"comboBoxJSQ=中继器"}, rtu("05 03 02 00 02"), {"comboBoxJSQ=中继器"});
    both("frequency read", "BtoduquHZ", "linetongxin", "", "lineFreq", rtu("05 03 02 FF 0D"), "433");
    both("platform frequency read", "btnReadFreq", "lineFreq", "", "linetongxin", rtu("05 03 02 00 0D"), "433");
    both("spreading factor read", "BtoduquSF", "lineSF", "", "lineSF2", rtu("05 03 02 00 0C"), "12");
    both("transmitters read, the low byte", "pushButton2", "lineEdit", "", "lineTrNum", rtu("05 03 02 01 05"), "5");
    both("platform transmitters read", "btnRdNum", "lineTrNum", "", "lineEdit", rtu("05 03 02 00 09"), "9");
    both("frequency written", "BtoxieruHZ", "linetongxin", "0433", "lineFreq", rtu("05 10 00 03 00 01"), "433");
    both("platform frequency written", "btnWrFreq", "lineFreq", "675", "linetongxin", rtu("05 10 00 03 00 01"), "675");
    both("spreading factor written", "BtoxieruSF", "lineSF", "12", "lineSF2", rtu("05 10 03 EC 00 01"), "12");
    both("platform spreading factor written", "btnWrSF", "lineSF2", "7", "lineSF", rtu("05 10 03 EC 00 01"), "7");
    both("transmitters written", "pushButton", "lineEdit", "255", "lineTrNum", rtu("05 10 03 E8 00 01"), "255");
    both("platform transmitters written", "btnWrNum", "lineTrNum", "7", "lineEdit", rtu("05 10 03 E8 00 01"), "7");
    // A write that fails leaves the other page as it was.
    row("frequency write, bad CRC", "BtoxieruHZ", {"linetongxin=433", "lineFreq=470"}, bytes("05 10 00 03 00 01 00 00"),
        {"lineFreq=470"}, 0, "校验错误");
    row("platform frequency write, an exception", "btnWrFreq", {"lineFreq=675", "linetongxin=470"}, rtu("05 90 04"),
        {"linetongxin=470"}, 0, "异常 04 从站设备故障");
    row("transmitters write, another register echoed", "pushButton", {"lineEdit=255", "lineTrNum=9"},
        rtu("05 10 03 E9 00 01"), {"lineTrNum=9"}, 0, "校验错误");
    row("sampling uses both bytes", "btnRdSampleRate", {}, rtu("05 03 02 01 05"), {"lineSampleRate=261"});
    row("analog output", "btnRdAnologOut", {}, rtu("05 03 02 FF FF"), {"lineAnalogOut=65535"});
    row("gateway ID", "btnRdID", {}, rtu("05 03 02 00 A5"), {"lineID=0x00A5"});
    row("firmware", "btnRdFWV", {}, rtu("05 03 02 01 02"), {"lineFWV=0x0102"});
    row("range is unsigned", "BtnRdRange", {}, rtu("05 03 04 FF F1 00 2A"), {"lineLower=6552.1", "lineUpper=4.2"});
    // The port follows an acknowledged line setting, and only that.
    row("baud write, an exception: the port stays", "BtoxiugaiB", {"combotelv2=4800"}, rtu("05 90 02"), {"combotelv=9600"},
        0, "异常 02 非法数据地址");
    row("baud 19200 acknowledged: the port follows", "BtoxiugaiB", {"combotelv2=19200"}, rtu("05 10 00 02 00 01"),
        {"combotelv=19200", "comjiaoyanwei=无校验"});
    row("parity even acknowledged", "BtoxiugaiJ", {"comjiaoyanwei2=偶校验"}, rtu("05 10 00 00 00 01"),
        {"combotelv=19200", "comjiaoyanwei=偶校验"});
    row("parity none acknowledged", "BtoxiugaiJ", {"comjiaoyanwei2=无校验"}, rtu("05 10 00 00 00 01"), {"comjiaoyanwei=无校验"});
    row("baud 9600 acknowledged", "BtoxiugaiB", {"combotelv2=9600"}, rtu("05 10 00 02 00 01"), {"combotelv=9600"});
    row("excess bytes dropped", "BtoxieruSF", {"lineSF=3"}, rtu("05 10 03 EC 00 01") + bytes("01 02 03"), {});
    row("address changed", "Btoxiugai", {"linegaidizhi=9"}, rtu("05 10 00 01 00 01"), {"comdizhi="});
    row("address change, bad CRC", "Btoxiugai", {"linegaidizhi=9"}, bytes("05 10 00 01 00 01 00 00"), {"comdizhi=5"}, 0,
        "校验错误");
    row("calibration enabled", "BtoDL", {"lineDL="}, rtu("05 10 00 04 00 01"), {"lineDL=开启成功"}, 0);
    row("calibration, another address", "BtoDL", {"lineDL="}, rtu("7F 10 00 04 00 01"), {"lineDL=开启失败"}, 0, "校验错误");
    row("channel 3", "BtoTDduqu", {"lineTDxiugai=-"}, bytes("AA 05 0C 02 AA"), {"lineTDxiugai=3"}, 0);
    row("channel byte FF", "BtoTDduqu", {"lineTDxiugai=-"}, bytes("AA 05 0C FF AA"), {"lineTDxiugai=256"}, 0);
    row("channel without its last delimiter", "BtoTDduqu", {"lineTDxiugai=-"}, bytes("AA 05 0C 02 AB"), {"lineTDxiugai=-"},
        0, "校验错误");
    row("channel written", "BtoTDxiugai", {"lineTDxiugai=2"}, rtu("05 10 00 06 00 01"), {});
    row("loop range 100 to 12.5", "BtoBSduqu", {"lineBSdown=", "lineBSup="},
        bytes("AA 0D 08 00 00 00 C8 42 00 00 48 41 AA"), {"lineBSdown=100", "lineBSup=12.5"}, 0);
    QTest::newRow("cloud OK") << "pushButton_AT1" << QStringList{"lineEdit_AT1=r1"} << QByteArray("OK\r\n") << QStringList{}
                              << 1 << true << "%p%";
    QTest::newRow("cloud ERROR is the gateway's refusal") << "pushButton_AT2" << QStringList{"lineEdit_AT2=p"}
                                                          << QByteArray("ERROR\r\n") << QStringList{} << 0 << false
                                                          << "网关应答 ERROR";
}

void RequestsTest::replies()
{
    QFETCH(QString, button);
    QFETCH(QStringList, before);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, after);
    QFETCH(int, pulses);
    QFETCH(bool, codeCleared);
    QFETCH(QString, watch);

    for (const QString &field : before)
        QVERIFY2(fixture.put(field), qPrintable(field));
    fixture.click(button.toLatin1().constData());
    QVERIFY(!line.read(1).isEmpty());
    line.drain();
    const int code = fixture.window.currentCommand();
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }, pulses ? 400 : 600), pulses);
    for (const QString &field : after)
        QCOMPARE(fixture.shown(field), WindowFixture::valueOf(field));
    QCOMPARE(int(fixture.window.currentCommand()), codeCleared ? 0 : code);
    QCOMPARE(fixture.window.link().pendingBytes(), 0);
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(bar()->text(), watch == QLatin1String("%p%") ? QStringLiteral("100%") : watch);
    // The port is open at the setting its boxes show.
    const QSerialPort &port = fixture.window.port();
    const QMap<int, QString> parities{{QSerialPort::NoParity, "无校验"}, {QSerialPort::OddParity, "奇校验"}, {QSerialPort::EvenParity, "偶校验"}};
    QVERIFY(port.isOpen());
    QCOMPARE(QString::number(port.baudRate()) + ' ' + parities.value(port.parity()),
             fixture.shown(QStringLiteral("combotelv")) + ' ' + fixture.shown(QStringLiteral("comjiaoyanwei")));
}

// Nothing accepted within a second shows as 无应答, the bar's value left alone;
// a late reply is still handled and brings the percentage back.
void RequestsTest::replyWatch()
{
    fixture.type("lineSampleRate", QString());
    const int value = bar()->value();
    fixture.click("btnRdSampleRate");
    line.drain();
    QTRY_COMPARE_WITH_TIMEOUT(bar()->text(), QStringLiteral("无应答"), 1500);
    QCOMPARE(bar()->value(), value);
    line.write(rtu("05 03 02 00 3C"));
    QTRY_COMPARE(fixture.shown(QStringLiteral("lineSampleRate")), QStringLiteral("60"));
    QCOMPARE(bar()->format(), QStringLiteral("%p%"));
}

// A gateway heard again by a broadcast becomes the only entry; a new one is added.
void RequestsTest::broadcastReplies()
{
    auto *addresses = fixture.child<QComboBox>("comdizhi");
    addresses->clear();
    addresses->addItems({"3", "7"});
    const struct {
        int address;
        QStringList listed;
    } steps[] = {{7, {"3", "7", "7"}}, {12, {"3", "7", "7", "12"}}, {7, {"7"}}};
    for (const auto &step : steps) {
        fixture.click("Btoguangbo");
        QVERIFY(line.expect(bytes("00 03 00 01 00 01 D4 1B")));
        const QByteArray answer = withCrc(char(step.address) + bytes("03 02 00") + char(step.address));
        QCOMPARE(fixture.pulsesDuring([&] { line.write(answer); }, 400), 1);
        QCOMPARE(fixture.shown(QStringLiteral("linedizhi")), QString::number(step.address));
        QCOMPARE(itemTexts(addresses), step.listed);
        QCOMPARE(addresses->currentText(), step.listed.first());
    }
}

// Picking a point of comDL outputs its current, by the item's place, not its text;
// with no item picked neither that nor the calibration sends anything.
void RequestsTest::calibrationPoint()
{
    auto *points = fixture.child<QComboBox>("comDL");
    points->setCurrentIndex(0);
    QCOMPARE(fixture.pulsesDuring([&] { QTest::keyClick(points, Qt::Key_Down); }), 1);
    QVERIFY(line.expect(bytes("AA 05 02 C8 AA")));
    points->setItemText(0, QStringLiteral("20mA"));
    points->setCurrentIndex(0);
    QCOMPARE(fixture.pulsesDuring([&] { emit points->activated(0); }), 1);
    QVERIFY(line.expect(bytes("AA 05 02 28 AA")));
    points->setItemText(0, QStringLiteral("4mA"));
    points->setCurrentIndex(-1);
    fixture.type("lineshijizhi", QStringLiteral("4"));
    QCOMPARE(fixture.pulsesDuring([&] { emit points->activated(-1); }), 1);
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("BtoDLjiaozhun"); }), 0);
    QVERIFY(line.expectSilence(150));
    points->setCurrentIndex(0);
}

// A poll a second after the start, then one a second; replies fill the table,
// a bad one keeps it, a short one is dropped by the next poll, and a request
// from a page that stays enabled does not stop it. The widgets it locks are
// unlocked at the stop, and the table is cleared at the next start. A value
// shows its time, and turns grey two polls after it came (on a fake clock);
// each poll is a line of the recording, which ends with the acquisition or
// with a write that fails, the acquisition going on.
void RequestsTest::acquisition()
{
    const QByteArray poll = bytes("01 03 00 04 00 04 05 C8");
    const QStringList locked = QStringLiteral("lineshuliang BtoBSduqu BtoBSxiugai Btoceshi Btodakai BtoDL BtoDLjiaozhun "
                                              "BtoduquB BtoduquHZ BtoduquJ BtoduquSF Btoguangbo Btosousuo BtoTDduqu "
                                              "BtoTDxiugai Btotuichu BtoxieruHZ BtoxieruSF Btoxiugai BtoxiugaiB BtoxiugaiJ "
                                              "BtoZDceshi comDL").split(' ');
    auto enabled = [&] {
        QStringList names;
        for (const QWidget *widget : fixture.window.findChildren<QWidget *>())
            if (widget->isEnabled() && !widget->objectName().isEmpty())
                names << widget->objectName();
        return names;
    };
    const QStringList before = enabled();
    fixture.selectAddress(1);
    fixture.type("lineshuliang", QStringLiteral("2"));
    fixture.click("Btocaiji");
    QStringList lost = before;
    for (const QString &name : enabled())
        lost.removeOne(name);
    QCOMPARE(QSet<QString>(lost.begin(), lost.end()), QSet<QString>(locked.begin(), locked.end()));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("meters.csv"));
    QDateTime now = QDateTime::fromString(QStringLiteral("2024-05-01T10:15:02.481+08:00"), Qt::ISODateWithMs);
    fixture.window.setClock([&now] { return now; });
    QVERIFY(fixture.window.startRecording(path));
    const auto valueCell = [&](int row, int column) { return fixture.child<QTableWidget>("tableWidget")->item(row, column); };
    const auto grey = [&] { return valueCell(0, 1)->data(Qt::BackgroundRole).isValid(); };
    QVERIFY(line.expectSilence(800));
    QByteArray sent;
    QCOMPARE(fixture.pulsesDuring([&] { sent = line.read(poll.size(), 500); }), 1);
    QCOMPARE(sent.toHex(' '), poll.toHex(' '));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(meterReply({23.5f, NAN})); }, 300), 0);
    QCOMPARE((QStringList{cell(0, 0), cell(0, 1), cell(1, 0), cell(1, 1)}), (QStringList{"1", "23.5000", "2", "超时"}));
    QCOMPARE(valueCell(1, 1)->toolTip(), QStringLiteral("读数时间 2024-05-01 10:15:02.481"));
    now = now.addMSecs(1000);
    QByteArray bad = meterReply({3, 4});
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x40);
    line.write(bad);
    line.write(meterReply({5, 6}).left(7));
    QVERIFY(line.expect(poll, 1500));
    QCOMPARE(cell(0, 1), QStringLiteral("23.5000"));
    QVERIFY(!grey());
    now = now.addMSecs(1001);
    fixture.click("btnRdSampleRate");
    QVERIFY(line.expect(rtu("01 03 03 EE 00 01")));
    line.write(rtu("01 03 02 00 3C"));
    QTRY_COMPARE(fixture.shown(QStringLiteral("lineSampleRate")), QStringLiteral("60"));
    QVERIFY(line.expect(poll, 1500));
    QVERIFY(grey());
    now = now.addMSecs(999);
    line.write(meterReply({-3.25f, -INFINITY})); // FF 80 00 00: a value, only FF FF FF FF is silence
    QTRY_COMPARE(cell(0, 1), QStringLiteral("-3.2500"));
    QVERIFY(!grey());
    // Another gateway chosen while recording: its lines follow a line that names it. The poll
    // before it goes unanswered, as the reply above was taken for the one before that.
    fixture.selectAddress(2);
    QVERIFY(line.expect(rtu("02 03 00 04 00 04"), 1500));
    const QByteArray same = meterReply({-3.25f, -INFINITY});
    line.write(withCrc(char(2) + same.mid(1, same.size() - 3)));
    QTRY_VERIFY(!fixture.window.link().busy());

    fixture.click("Btocaiji");
    QVERIFY(!fixture.window.isRecording());
    QFile recorded(path);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(recorded.readAll()).replace(line.path(), QStringLiteral("PTY")),
             QStringLiteral("# nvb8140t-tool " NVB_VERSION "\n# port PTY, 9600 8N1\n# gateway address 1\ntime,meter1,meter2\n"
                            "2024-05-01T10:15:02.481+08:00,23.5000,timeout\n" // a silent meter
                            "2024-05-01T10:15:04.482+08:00,no-reply,no-reply\n"
                            "2024-05-01T10:15:05.481+08:00,-3.2500,-inf\n" // the late answer to the unanswered poll
                            "2024-05-01T10:15:05.481+08:00,no-reply,no-reply\n# gateway address 2\n"
                            "2024-05-01T10:15:05.481+08:00,-3.2500,-inf\n"));
    QCOMPARE(enabled(), before);
    QVERIFY(line.expectSilence(1300));
    QCOMPARE(cell(1, 1), QStringLiteral("-inf"));
    fixture.selectAddress(1);
    fixture.type("lineshuliang", QStringLiteral("21"));
    fixture.click("Btocaiji");
    QCOMPARE(cell(0, 1), QString());
    // The disk is full once the header is written: the line is not half written, and the polls go on.
    QVERIFY(fixture.window.startRecording(path));
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY}, full{rlim_t(QFileInfo(path).size() + 40), RLIM_INFINITY};
    const QByteArray header = (recorded.seek(0), recorded.readAll());
    ::signal(SIGXFSZ, SIG_IGN);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    QVERIFY(line.expect(rtu("01 03 00 04 00 2A"), 1500));
    // A poll is unanswered when the next goes out without its reply.
    QVERIFY(line.expect(rtu("01 03 00 04 00 2A"), 1500));
    ::setrlimit(RLIMIT_FSIZE, &unlimited);
    QCOMPARE(bar()->format(), QStringLiteral("无应答"));
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("记录已停止：无法写入 %1：File too large。已写入的记录仍在文件中。").arg(path)});
    QVERIFY(!fixture.window.isRecording() && fixture.window.acquireTimerObject()->isActive());
    QVERIFY(recorded.seek(0));
    QCOMPARE(recorded.readAll(), header);
    QVector<float> values;
    for (int m = 1; m <= 21; ++m)
        values << m + 0.5f;
    line.write(meterReply(values));
    QTRY_COMPARE(cell(6, 5), QStringLiteral("21.5000"));
    QCOMPARE((QStringList{cell(6, 4), cell(0, 2), cell(0, 3), bar()->format()}), (QStringList{"21", "8", "8.5000", "%p%"}));
    fixture.click("Btocaiji");
    fixture.window.setClock(&QDateTime::currentDateTime);
}

// A search stopped after a few polls, a read in between, then one run over all
// 247 addresses with gateways at 3 and 200 answering.
void RequestsTest::searchStoppedThenRunToTheEnd()
{
    auto *addresses = fixture.child<QComboBox>("comdizhi");
    auto *progress = fixture.child<QProgressBar>("progressBar");
    QTimer *timer = fixture.window.searchTimerObject();
    auto pollOf = [](int address) { return withCrc(char(address) + bytes("03 00 01 00 01")); };
    auto buttonText = [this] { return fixture.child<QPushButton>("Btosousuo")->text(); };
    struct Seen {
        bool searching;
        int progress;
        qint64 at;
    };
    QVector<Seen> seen;
    QElapsedTimer clock;
    boxes.onBox = [&](const BoxRecorder::Box &) { seen.append({timer->isActive(), progress->value(), clock.elapsed()}); };

    fixture.click("Btosousuo");
    QCOMPARE(addresses->count(), 0);
    QCOMPARE(buttonText(), QStringLiteral("停止搜索"));
    QVERIFY(line.expect(pollOf(1)));
    QVERIFY(line.expect(pollOf(2)));
    QCOMPARE(progress->value(), 2);
    fixture.click("BtoduquJ");
    const QByteArray read = rtu("00 03 00 00 00 01");
    bool readSeen = false;
    for (int address = 3; address <= 4;) {
        const QByteArray frame = line.read(8);
        if (frame == read && !readSeen)
            readSeen = true;
        else
            QCOMPARE(frame.toHex(' '), pollOf(address++).toHex(' '));
    }
    QVERIFY(readSeen);
    fixture.click("Btosousuo");
    QCOMPARE(boxes.texts(), (QStringList{"正在搜索，请稍后", "已停止搜索"}));
    QVERIFY(!seen[0].searching && !seen[1].searching);
    QVERIFY(seen[1].progress >= 4);
    QCOMPARE(buttonText(), QStringLiteral("搜索地址"));
    QCOMPARE(progress->value(), 1);
    QVERIFY(txFrameIsZero());
    // The search's code again, and it stays: an answer to the last poll that
    // comes after the stop is still listed.
    QCOMPARE(int(fixture.window.currentCommand()), 0x01);
    line.write(rtu("04 03 02 00 04"));
    QTRY_COMPARE(itemTexts(addresses), QStringList{"4"});
    QVERIFY(line.readFor(300).size() <= 8);

    clock.start();
    fixture.click("Btosousuo");
    QCOMPARE(addresses->count(), 0);
    QCOMPARE(seen[2].progress, 1);
    int polled = 0;
    QByteArray pending;
    while (seen.size() < 4 && clock.elapsed() < 40000) {
        pending += line.readFor(10);
        for (; pending.size() >= 8; pending.remove(0, 8)) {
            QCOMPARE(pending.left(8).toHex(' '), pollOf(++polled).toHex(' '));
            if (polled == 3 || polled == 200)
                line.write(withCrc(char(polled) + bytes("03 02 00") + char(polled)));
        }
    }
    QVERIFY(line.readFor(300).isEmpty());
    QCOMPARE(polled, 247);
    QCOMPARE(boxes.texts().last(), QStringLiteral("搜索完成"));
    for (const BoxRecorder::Box &box : boxes.boxes)
        QCOMPARE(box.title, QStringLiteral("提示"));
    QVERIFY(!seen[3].searching);
    QCOMPARE(seen[3].progress, 247);
    QVERIFY2(seen[3].at > 20000 && seen[3].at < 35000, qPrintable(QString::number(seen[3].at)));
    QCOMPARE(itemTexts(addresses), (QStringList{"3", "200"}));
    QCOMPARE(buttonText(), QStringLiteral("搜索地址"));
    QVERIFY(txFrameIsZero());
    // After the replies still owed to the last polls, at most three of their time-outs.
    fixture.click("BtoduquB");
    QVERIFY(line.expect(rtu("03 03 00 02 00 01"), 3000));
    boxes.onBox = nullptr;
}

QTEST_MAIN(RequestsTest)
#include "tst_requests.moc"
