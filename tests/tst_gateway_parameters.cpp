// The gateway's settings on both pages: the encodings on the wire, and the
// replies on screen. Every button also round-trips against the simulator and
// a libmodbus slave in the end-to-end tests.
#include <QtTest>

#include <QComboBox>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "windowfixture.h"

class GatewayParametersTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void requests_data();
    void requests();
    void replies_data();
    void replies();
    void parityAndBaudFollowTheIndex_data();
    void parityAndBaudFollowTheIndex();

private:
    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void GatewayParametersTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
}

void GatewayParametersTest::init()
{
    line.drain();
    fixture.selectAddress(5);
    boxes.clear();
}

// Every button that sends a request: what the fields hold and whether a gateway
// is chosen, against the bytes on the wire or the refusal that sends nothing.
void GatewayParametersTest::requests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("address"); // -1: comdizhi empty
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<int>("pulses"); // at sending; a Modbus request pulses on its reply

    // Current-loop frames pulse as they go out.
    auto sends = [](const char *name, const char *button, int address, const QStringList &inputs, QByteArray frame,
                    int pulses = 1) {
        QTest::newRow(name) << QString::fromLatin1(button) << address << inputs << frame << QString() << pulses;
    };
    auto modbus = [&](const char *name, const char *button, int address, const QStringList &inputs, const char *frame,
                      int pulses = 0) { sends(name, button, address, inputs, withCrc(bytes(frame)), pulses); };
    auto refused = [](const char *name, const char *button, const QStringList &inputs, const char *text) {
        QTest::newRow(name) << QString::fromLatin1(button) << 5 << inputs << QByteArray() << QString::fromUtf8(text)
                            << 0;
    };

    modbus("read", "BtoduquJ", 5, {}, "05 03 00 00 00 01");
    modbus("read of two registers", "BtnRdRange", 5, {}, "05 03 03 E9 00 02");
    modbus("a read without a gateway goes to 0", "BtoduquB", -1, {}, "00 03 00 02 00 01");
    for (const char *button : {"Btoxiugai", "BtoxiugaiJ", "BtoxiugaiB", "BtoxieruHZ", "BtoxieruSF",
                               "pushButtonJSQchange", "pushButton", "BtnWrRange", "btnWrFreq", "btnWrSF", "btnWrNum",
                               "btnWrID", "btnWrFWV", "btnWrSampleRate", "btnWrAnologOut", "BtoDL", "BtoTDxiugai"})
        QTest::addRow("no gateway: %s", button) << QString::fromLatin1(button) << -1 << QStringList{"linegaidizhi=9"}
                                                 << QByteArray() << QStringLiteral("请先搜索或广播读取网关地址") << 0;

    modbus("address 5 to 9", "Btoxiugai", 5, {"linegaidizhi=9"}, "05 10 00 01 00 01 02 00 09");
    modbus("address 247", "Btoxiugai", 5, {"linegaidizhi=247"}, "05 10 00 01 00 01 02 00 F7");
    for (const char *address : {"", "abc", "0", "248", "300", "2.5"})
        refused(qPrintable(QStringLiteral("address '%1'").arg(address)), "Btoxiugai",
                {QStringLiteral("linegaidizhi=") + address}, "地址应为1到247");
    modbus("frequency 433, high byte FF", "BtoxieruHZ", 5, {"linetongxin=433"}, "05 10 00 03 00 01 02 FF 0D");
    modbus("platform frequency 675, high byte 00", "btnWrFreq", 5, {"lineFreq=675", "linetongxin=470"},
        "05 10 00 03 00 01 02 00 FF");
    refused("frequency 433.5", "BtoxieruHZ", {"linetongxin=433.5"}, "通信频率应为420到675");
    refused("frequency 419", "btnWrFreq", {"lineFreq=419"}, "通信频率应为420到675");
    refused("frequency beyond int", "BtoxieruHZ", {"linetongxin=2147483647"}, "通信频率应为420到675");
    modbus("spreading factor 12", "BtoxieruSF", 5, {"lineSF=12"}, "05 10 03 EC 00 01 02 00 0C");
    refused("spreading factor empty", "btnWrSF", {"lineSF2="}, "扩频因子应为0到255");
    modbus("transmitters 255", "pushButton", 5, {"lineEdit=255", "lineTrNum=9"}, "05 10 03 E8 00 01 02 00 FF");
    refused("transmitters empty", "pushButton", {"lineEdit="}, "发射器数量应为0到255");
    refused("transmitters 256", "btnWrNum", {"lineTrNum=256"}, "发射器数量应为0到255");
    modbus("parity by index", "BtoxiugaiJ", 5, {"comjiaoyanwei2=偶校验"}, "05 10 00 00 00 01 02 00 02");
    modbus("mode by index", "pushButtonJSQchange", 5, {"comboBoxJSQ=中继器"}, "05 10 03 F0 00 01 02 00 01");
    modbus("range 4.0 to 20.0", "BtnWrRange", 1, {"lineLower=4.0", "lineUpper=20.0"}, "01 10 03 E9 00 02 04 00 28 00 C8");
    modbus("range 4.2 rounds up, 12.5", "BtnWrRange", 5, {"lineLower=4.2", "lineUpper=12.5"},
        "05 10 03 E9 00 02 04 00 2A 00 7D");
    modbus("range 4.25 rounds half up, 0.7", "BtnWrRange", 5, {"lineLower=4.25", "lineUpper=0.7"},
        "05 10 03 E9 00 02 04 00 2B 00 07");
    modbus("range -3276.8 to 6553.5", "BtnWrRange", 5, {"lineLower=-3276.8", "lineUpper=6553.5"},
        "05 10 03 E9 00 02 04 80 00 FF FF");
    refused("range lower not a number", "BtnWrRange", {"lineLower=abc", "lineUpper=20"}, "量程下限应为-3276.8到6553.5");
    refused("range upper 6553.6", "BtnWrRange", {"lineLower=1", "lineUpper=6553.6"}, "量程上限应为-3276.8到6553.5");
    modbus("gateway ID 0xBEEF", "btnWrID", 5, {"lineID=0xBEEF"}, "05 10 03 EB 00 01 02 BE EF");
    refused("gateway ID 12345 hex", "btnWrID", {"lineID=12345"}, "网关ID应为0x0000到0xFFFF");
    modbus("firmware 102 hex", "btnWrFWV", 5, {"lineFWV=102"}, "05 10 03 ED 00 01 02 01 02");
    refused("firmware not hex", "btnWrFWV", {"lineFWV=v1.2"}, "固件版本应为0x0000到0xFFFF");
    modbus("sampling 65535, address 300 taken low", "btnWrSampleRate", 300, {"lineSampleRate=65535"},
        "2C 10 03 EE 00 01 02 FF FF");
    refused("sampling 70000", "btnWrSampleRate", {"lineSampleRate=70000"}, "采集周期应为0到65535");
    refused("analog output -1", "btnWrAnologOut", {"lineAnalogOut=-1"}, "模拟输出应为0到65535");
    modbus("calibration enable", "BtoDL", 1, {}, "01 10 00 04 00 01 02 9B 9B", 1);
    modbus("channel 1", "BtoTDxiugai", 1, {"lineTDxiugai=1"}, "01 10 00 06 00 01 02 00 00");
    modbus("channel 256", "BtoTDxiugai", 1, {"lineTDxiugai=256"}, "01 10 00 06 00 01 02 00 FF");
    for (const char *channel : {"", "0", "257", "-2147483648"})
        refused(qPrintable(QStringLiteral("channel '%1'").arg(channel)), "BtoTDxiugai",
                {QStringLiteral("lineTDxiugai=") + channel}, "通道应为1到256");

    // The current-loop frames carry no address and need no gateway.
    sends("loop range 4 to 20", "BtoBSxiugai", -1, {"lineBSdown=4", "lineBSup=20"},
          bytes("AA 0D 01 00 00 00 80 40 00 00 A0 41 AA"));
    refused("loop range lower empty", "BtoBSxiugai", {"lineBSdown=", "lineBSup=20"}, "变送下限应为-3.4e+38到3.4e+38");
    refused("loop range upper 1e39", "BtoBSxiugai", {"lineBSdown=0", "lineBSup=1e39"}, "变送上限应为-3.4e+38到3.4e+38");
    sends("calibrate 4 mA at 4.012", "BtoDLjiaozhun", -1, {"lineshijizhi=4.012"}, bytes("AA 07 E7 28 AC 0F AA"));
    sends("calibrate at 19.98, cut", "BtoDLjiaozhun", 1, {"lineshijizhi=19.98"}, bytes("AA 07 E7 28 0C 4E AA"));
    sends("calibrate at 65.535", "BtoDLjiaozhun", 1, {"lineshijizhi=65.535"}, bytes("AA 07 E7 28 FF FF AA"));
    for (const char *measured : {"", "4,012", "-1", "65.536", "1e30"})
        refused(qPrintable(QStringLiteral("calibrate at '%1'").arg(measured)), "BtoDLjiaozhun",
                {QStringLiteral("lineshijizhi=") + measured}, "实际值应为0到65.535");
    sends("custom current 12.59, cut", "BtoZDceshi", -1, {"lineCEshuru=12.59"}, bytes("AA 05 02 7D AA"));
    sends("custom current 3.9", "BtoZDceshi", 1, {"lineCEshuru=3.9"}, bytes("AA 05 02 27 AA"));
    sends("custom current 25.4", "BtoZDceshi", 1, {"lineCEshuru=25.4"}, bytes("AA 05 02 FE AA"));
    for (const char *current : {"", "25.5", "30", "-1", "1e30"})
        refused(qPrintable(QStringLiteral("custom current '%1'").arg(current)), "BtoZDceshi",
                {QStringLiteral("lineCEshuru=") + current}, "自定义输入应为0到25.4");
}

void GatewayParametersTest::requests()
{
    QFETCH(QString, button);
    QFETCH(int, address);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArray, wire);
    QFETCH(QString, refusal);
    QFETCH(int, pulses);

    if (address < 0)
        fixture.child<QComboBox>("comdizhi")->clear();
    else
        fixture.selectAddress(address);
    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));
    constexpr std::uint8_t kBefore = 0x21;
    fixture.window.setCurrentCommand(kBefore);

    QCOMPARE(fixture.pulsesDuring([&] { fixture.click(button.toLatin1().constData()); }), pulses);
    if (refusal.isEmpty()) {
        QCOMPARE(line.readFrame(wire.size()).toHex(' '), wire.toHex(' '));
        QVERIFY(boxes.boxes.isEmpty());
        return;
    }
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().title, QStringLiteral("提示"));
    QCOMPARE(boxes.boxes.first().text, refusal);
    QVERIFY(line.expectSilence(100));
    QCOMPARE(fixture.window.currentCommand(), kBefore);
}

void GatewayParametersTest::replies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("pulseCount");

    auto row = [](const char *name, const char *button, const char *reply, const QStringList &before,
                  const QStringList &after, int pulseCount = 1) {
        QTest::newRow(name) << QString::fromLatin1(button) << withCrc(bytes(reply)) << before << after << pulseCount;
    };
    const QStringList parityOdd{"comjiaoyanwei2=奇校验"};
    const QStringList baud4800{"combotelv2=4800"};
    const QStringList repeater{"comboBoxJSQ=中继器"};

    // Out-of-range values leave a box as it was, but the reply still pulses.
    row("parity 2", "BtoduquJ", "05 03 02 00 02", parityOdd, {"comjiaoyanwei2=偶校验"});
    row("parity 3 out of range", "BtoduquJ", "05 03 02 00 03", parityOdd, parityOdd);
    row("baud 4 out of range", "BtoduquB", "05 03 02 00 04", baud4800, baud4800);
    row("mode 2 out of range", "BtoJSQRead", "05 03 02 00 02", repeater, repeater);
    row("frequency 0x000D, not the other page", "BtoduquHZ", "05 03 02 00 0D", {"linetongxin=", "lineFreq=470"},
        {"linetongxin=433", "lineFreq=470"});
    row("platform frequency, not the first page", "btnReadFreq", "05 03 02 00 0D",
        {"lineFreq=", "linetongxin=470"}, {"lineFreq=433", "linetongxin=470"});
    row("spreading factor fills both pages", "BtoduquSF", "05 03 02 00 0C", {"lineSF=", "lineSF2="},
        {"lineSF=12", "lineSF2=12"});
    row("transmitters 0x0105 show the low byte", "pushButton2", "05 03 02 01 05", {"lineEdit=", "lineTrNum=8"},
        {"lineEdit=5", "lineTrNum=8"});
    row("sampling 0x0105 uses both bytes", "btnRdSampleRate", "05 03 02 01 05", {}, {"lineSampleRate=261"});
    row("range 0xFFF1 is unsigned", "BtnRdRange", "05 03 04 FF F1 00 2A", {}, {"lineLower=6552.1", "lineUpper=4.2"});
    QTest::newRow("bad CRC") << "BtoduquJ" << bytes("05 03 02 00 02 00 00") << parityOdd << parityOdd << 0;
}

void GatewayParametersTest::replies()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(int, pulseCount);

    for (const QString &field : before)
        QVERIFY2(fixture.put(field), qPrintable(field));
    fixture.click(button.toLatin1().constData());
    QVERIFY(!line.read(8).isEmpty());
    line.readFor(20);

    PulseCounter pulses(fixture);
    line.write(reply);
    QCOMPARE(pulses.waitAndSettle(pulseCount), pulseCount);
    for (const QString &field : after)
        QCOMPARE(fixture.shown(field), WindowFixture::valueOf(field));
}

// A translation renames the items; the code written is the item's place.
// Last, as it changes the boxes beyond what the form allows.
void GatewayParametersTest::parityAndBaudFollowTheIndex_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("itemTexts"); // empty: the box has no item
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("parity Odd") << "comjiaoyanwei2" << "BtoxiugaiJ" << QStringList{"None", "Odd", "Even"} << 1
                                << withCrc(bytes("05 10 00 00 00 01 02 00 01"));
    QTest::newRow("baud 4800 Bd") << "combotelv2" << "BtoxiugaiB"
                                  << QStringList{"2400 Bd", "4800 Bd", "9600 Bd", "19200 Bd"} << 1
                                  << withCrc(bytes("05 10 00 02 00 01 02 00 01"));
    QTest::newRow("parity, box empty") << "comjiaoyanwei2" << "BtoxiugaiJ" << QStringList() << -1
                                       << withCrc(bytes("05 10 00 00 00 01 02 00 02"));
    QTest::newRow("baud, box empty") << "combotelv2" << "BtoxiugaiB" << QStringList() << -1
                                     << withCrc(bytes("05 10 00 02 00 01 02 00 03"));
}

void GatewayParametersTest::parityAndBaudFollowTheIndex()
{
    QFETCH(QString, box);
    QFETCH(QString, button);
    QFETCH(QStringList, itemTexts);
    QFETCH(int, index);
    QFETCH(QByteArray, wire);

    auto *combo = fixture.window.findChild<QComboBox *>(box);
    if (itemTexts.isEmpty())
        combo->clear();
    for (int i = 0; i < itemTexts.size(); ++i)
        combo->setItemText(i, itemTexts.at(i));
    combo->setCurrentIndex(index);
    fixture.click(button.toLatin1().constData());
    QVERIFY(line.expect(wire));
}

QTEST_MAIN(GatewayParametersTest)
#include "tst_gateway_parameters.moc"
