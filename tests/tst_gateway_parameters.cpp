// The gateway's settings on both pages: every request on the wire, and the
// first page's replies on screen.
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
    void parityAndBaudFollowTheIndex_data();
    void parityAndBaudFollowTheIndex();
    void replies_data();
    void replies();

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
}

void GatewayParametersTest::requests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("address"); // -1: comdizhi empty
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("wire");

    auto row = [](const char *name, const char *button, int address, const QStringList &inputs, int code,
                  const char *frame) {
        QTest::newRow(name) << QString::fromLatin1(button) << address << inputs << code << withCrc(bytes(frame));
    };

    // First page.
    row("parity read", "BtoduquJ", 5, {}, 0x04, "05 03 00 00 00 01");
    row("parity write none", "BtoxiugaiJ", 5, {"comjiaoyanwei2=无校验"}, 0x06, "05 10 00 00 00 01 02 00 00");
    row("parity write odd", "BtoxiugaiJ", 5, {"comjiaoyanwei2=奇校验"}, 0x06, "05 10 00 00 00 01 02 00 01");
    row("parity write even", "BtoxiugaiJ", 5, {"comjiaoyanwei2=偶校验"}, 0x06, "05 10 00 00 00 01 02 00 02");
    row("baud read", "BtoduquB", 5, {}, 0x05, "05 03 00 02 00 01");
    row("baud write 2400", "BtoxiugaiB", 5, {"combotelv2=2400"}, 0x07, "05 10 00 02 00 01 02 00 00");
    row("baud write 4800", "BtoxiugaiB", 5, {"combotelv2=4800"}, 0x07, "05 10 00 02 00 01 02 00 01");
    row("baud write 9600", "BtoxiugaiB", 5, {"combotelv2=9600"}, 0x07, "05 10 00 02 00 01 02 00 02");
    row("baud write 19200", "BtoxiugaiB", 5, {"combotelv2=19200"}, 0x07, "05 10 00 02 00 01 02 00 03");
    row("frequency read", "BtoduquHZ", 5, {}, 0x0B, "05 03 00 03 00 01");
    row("frequency 433, high byte FF", "BtoxieruHZ", 5, {"linetongxin=433"}, 0x08, "05 10 00 03 00 01 02 FF 0D");
    row("frequency 420", "BtoxieruHZ", 5, {"linetongxin=420"}, 0x08, "05 10 00 03 00 01 02 FF 00");
    row("frequency 675", "BtoxieruHZ", 5, {"linetongxin=675"}, 0x08, "05 10 00 03 00 01 02 FF FF");
    row("frequency 676 wraps", "BtoxieruHZ", 5, {"linetongxin=676"}, 0x08, "05 10 00 03 00 01 02 FF 00");
    row("frequency not a number", "BtoxieruHZ", 5, {"linetongxin=MHz"}, 0x08, "05 10 00 03 00 01 02 FF 5C");
    row("spreading factor read", "BtoduquSF", 5, {}, 0x14, "05 03 03 EC 00 01");
    row("spreading factor from lineSF", "BtoxieruSF", 5, {"lineSF=7", "lineSF2=11"}, 0x09,
        "05 10 03 EC 00 01 02 00 07");
    row("spreading factor 300 wraps", "BtoxieruSF", 5, {"lineSF=300"}, 0x09, "05 10 03 EC 00 01 02 00 2C");
    row("spreading factor empty", "BtoxieruSF", 5, {"lineSF="}, 0x09, "05 10 03 EC 00 01 02 00 00");
    row("mode read", "BtoJSQRead", 5, {}, 0x24, "05 03 03 F0 00 01");
    row("mode receiver", "pushButtonJSQchange", 5, {"comboBoxJSQ=接收器"}, 0x25, "05 10 03 F0 00 01 02 00 00");
    row("mode repeater", "pushButtonJSQchange", 5, {"comboBoxJSQ=中继器"}, 0x25, "05 10 03 F0 00 01 02 00 01");
    row("transmitters read", "pushButton2", 5, {}, 0x12, "05 03 03 E8 00 01");
    row("transmitters 3", "pushButton", 5, {"lineEdit=3", "lineTrNum=9"}, 0x13, "05 10 03 E8 00 01 02 00 03");
    row("transmitters 257 wraps", "pushButton", 5, {"lineEdit=257"}, 0x13, "05 10 03 E8 00 01 02 00 01");

    // Platform-interface page.
    row("range read, two registers", "BtnRdRange", 5, {}, 0x1E, "05 03 03 E9 00 02");
    row("range 4.0 to 20.0", "BtnWrRange", 1, {"lineLower=4.0", "lineUpper=20.0"}, 0x18,
        "01 10 03 E9 00 02 04 00 28 00 C8");
    row("range 4.2 rounds up", "BtnWrRange", 5, {"lineLower=4.2", "lineUpper=2.3"}, 0x18,
        "05 10 03 E9 00 02 04 00 2A 00 17");
    row("range 0.7 and 1.9", "BtnWrRange", 5, {"lineLower=0.7", "lineUpper=1.9"}, 0x18,
        "05 10 03 E9 00 02 04 00 07 00 13");
    row("range 12.5 and 100", "BtnWrRange", 5, {"lineLower=12.5", "lineUpper=100"}, 0x18,
        "05 10 03 E9 00 02 04 00 7D 03 E8");
    row("range 0.3 and 6553.5", "BtnWrRange", 5, {"lineLower=0.3", "lineUpper=6553.5"}, 0x18,
        "05 10 03 E9 00 02 04 00 03 FF FF");
    row("range negative, two's complement", "BtnWrRange", 5, {"lineLower=-1.5", "lineUpper=-0.1"}, 0x18,
        "05 10 03 E9 00 02 04 FF F1 FF FF");
    row("range not a number, empty", "BtnWrRange", 5, {"lineLower=abc", "lineUpper="}, 0x18,
        "05 10 03 E9 00 02 04 00 00 00 00");
    row("range 6553.6 wraps to 0", "BtnWrRange", 5, {"lineLower=6553.6", "lineUpper=6553.7"}, 0x18,
        "05 10 03 E9 00 02 04 00 00 00 01");
    row("range overflowing a float", "BtnWrRange", 5, {"lineLower=1e39", "lineUpper=inf"}, 0x18,
        "05 10 03 E9 00 02 04 00 00 00 00");
    row("platform frequency read", "btnReadFreq", 5, {}, 0x15, "05 03 00 03 00 01");
    row("platform frequency 433, high byte 00", "btnWrFreq", 5, {"lineFreq=433", "linetongxin=470"}, 0x16,
        "05 10 00 03 00 01 02 00 0D");
    row("platform spreading factor read", "btnReadSF", 5, {}, 0x14, "05 03 03 EC 00 01");
    row("platform spreading factor from lineSF2", "btnWrSF", 5, {"lineSF2=9", "lineSF=7"}, 0x09,
        "05 10 03 EC 00 01 02 00 09");
    row("platform transmitters read", "btnRdNum", 5, {}, 0x1D, "05 03 03 E8 00 01");
    row("platform transmitters 12", "btnWrNum", 5, {"lineTrNum=12", "lineEdit=3"}, 0x17,
        "05 10 03 E8 00 01 02 00 0C");
    row("gateway ID read", "btnRdID", 5, {}, 0x1F, "05 03 03 EB 00 01");
    row("gateway ID 12345 is hex, cut", "btnWrID", 5, {"lineID=12345"}, 0x19, "05 10 03 EB 00 01 02 23 45");
    row("gateway ID with 0x prefix", "btnWrID", 5, {"lineID=0x00A5"}, 0x19, "05 10 03 EB 00 01 02 00 A5");
    row("gateway ID lower case", "btnWrID", 5, {"lineID=beef"}, 0x19, "05 10 03 EB 00 01 02 BE EF");
    row("gateway ID not hex", "btnWrID", 5, {"lineID=xyz"}, 0x19, "05 10 03 EB 00 01 02 00 00");
    row("firmware read", "btnRdFWV", 5, {}, 0x20, "05 03 03 ED 00 01");
    row("firmware 0x0102", "btnWrFWV", 5, {"lineFWV=0x0102"}, 0x1A, "05 10 03 ED 00 01 02 01 02");
    row("sampling read", "btnRdSampleRate", 5, {}, 0x21, "05 03 03 EE 00 01");
    row("sampling 60", "btnWrSampleRate", 5, {"lineSampleRate=60"}, 0x1B, "05 10 03 EE 00 01 02 00 3C");
    row("sampling 70000 cut to 16 bits", "btnWrSampleRate", 5, {"lineSampleRate=70000"}, 0x1B,
        "05 10 03 EE 00 01 02 11 70");
    row("sampling -1", "btnWrSampleRate", 5, {"lineSampleRate=-1"}, 0x1B, "05 10 03 EE 00 01 02 FF FF");
    row("analog output read", "btnRdAnologOut", 5, {}, 0x22, "05 03 03 EF 00 01");
    row("analog output 1000", "btnWrAnologOut", 5, {"lineAnalogOut=1000"}, 0x1C, "05 10 03 EF 00 01 02 03 E8");
    row("analog output hex text is not decimal", "btnWrAnologOut", 5, {"lineAnalogOut=0x10"}, 0x1C,
        "05 10 03 EF 00 01 02 00 00");

    // The target address.
    row("address 247", "BtoduquB", 247, {}, 0x05, "F7 03 00 02 00 01");
    row("no address chosen: broadcast", "BtoduquB", -1, {}, 0x05, "00 03 00 02 00 01");
    row("address 300 sent modulo 256", "btnWrSampleRate", 300, {"lineSampleRate=1"}, 0x1B,
        "2C 10 03 EE 00 01 02 00 01");
}

void GatewayParametersTest::requests()
{
    QFETCH(QString, button);
    QFETCH(int, address);
    QFETCH(QStringList, inputs);
    QFETCH(int, code);
    QFETCH(QByteArray, wire);

    if (address < 0)
        fixture.child<QComboBox>("comdizhi")->clear();
    else
        fixture.selectAddress(address);
    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));

    fixture.click(button.toLatin1().constData());
    QCOMPARE(int(fixture.window.currentCommand()), code);
    QCOMPARE(line.readFrame(wire.size()).toHex(' '), wire.toHex(' '));
}

void GatewayParametersTest::parityAndBaudFollowTheIndex_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("itemTexts"); // empty: the box has no item
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("written");

    const QStringList parity{"None", "Odd", "Even"};
    const QStringList baud{"2400 Bd", "4800 Bd", "9600 Bd", "19200 Bd"};
    QTest::newRow("parity None") << "comjiaoyanwei2" << "BtoxiugaiJ" << parity << 0 << 0;
    QTest::newRow("parity Odd") << "comjiaoyanwei2" << "BtoxiugaiJ" << parity << 1 << 1;
    QTest::newRow("parity Even") << "comjiaoyanwei2" << "BtoxiugaiJ" << parity << 2 << 2;
    QTest::newRow("parity, box empty") << "comjiaoyanwei2" << "BtoxiugaiJ" << QStringList() << -1 << 2;
    QTest::newRow("baud 2400 Bd") << "combotelv2" << "BtoxiugaiB" << baud << 0 << 0;
    QTest::newRow("baud 4800 Bd") << "combotelv2" << "BtoxiugaiB" << baud << 1 << 1;
    QTest::newRow("baud 9600 Bd") << "combotelv2" << "BtoxiugaiB" << baud << 2 << 2;
    QTest::newRow("baud 19200 Bd") << "combotelv2" << "BtoxiugaiB" << baud << 3 << 3;
    QTest::newRow("baud, box empty") << "combotelv2" << "BtoxiugaiB" << QStringList() << -1 << 3;
}

void GatewayParametersTest::parityAndBaudFollowTheIndex()
{
    QFETCH(QString, box);
    QFETCH(QString, button);
    QFETCH(QStringList, itemTexts);
    QFETCH(int, index);
    QFETCH(int, written);

    // A window of its own: the boxes are changed beyond what the form allows.
    PtyLine ownLine;
    WindowFixture own;
    QVERIFY(own.openOn(ownLine));
    own.selectAddress(1);
    auto *combo = own.window.findChild<QComboBox *>(box);
    QVERIFY(combo);
    if (itemTexts.isEmpty())
        combo->clear();
    for (int i = 0; i < itemTexts.size(); ++i)
        combo->setItemText(i, itemTexts.at(i));
    combo->setCurrentIndex(index);
    QCOMPARE(combo->currentIndex(), index);

    own.click(button.toLatin1().constData());
    const std::uint8_t reg = box == QLatin1String("combotelv2") ? 0x02 : 0x00;
    QByteArray frame = bytes("01 10 00 00 00 01 02 00 00");
    frame[3] = char(reg);
    frame[8] = char(written);
    QVERIFY(ownLine.expect(withCrc(frame)));
}

void GatewayParametersTest::replies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("pulseCount");

    auto row = [](const char *name, const char *button, const QByteArray &reply, const QStringList &before,
                  const QStringList &after, int pulseCount = 1) {
        QTest::newRow(name) << QString::fromLatin1(button) << reply << before << after << pulseCount;
    };
    const QStringList parityOdd{"comjiaoyanwei2=奇校验"};
    const QStringList baud4800{"combotelv2=4800"};
    const QStringList repeater{"comboBoxJSQ=中继器"};

    row("parity 0", "BtoduquJ", withCrc(bytes("05 03 02 00 00")), parityOdd, {"comjiaoyanwei2=无校验"});
    row("parity 2", "BtoduquJ", withCrc(bytes("05 03 02 00 02")), parityOdd, {"comjiaoyanwei2=偶校验"});
    row("parity, high byte ignored", "BtoduquJ", withCrc(bytes("05 03 02 01 00")), parityOdd,
        {"comjiaoyanwei2=无校验"});
    row("parity 3 out of range", "BtoduquJ", withCrc(bytes("05 03 02 00 03")), parityOdd, parityOdd);
    row("parity 255 out of range", "BtoduquJ", withCrc(bytes("05 03 02 00 FF")), parityOdd, parityOdd);
    row("parity, bad CRC", "BtoduquJ", bytes("05 03 02 00 02 00 00"), parityOdd, parityOdd, 0);
    row("baud 0", "BtoduquB", withCrc(bytes("05 03 02 00 00")), baud4800, {"combotelv2=2400"});
    row("baud 2", "BtoduquB", withCrc(bytes("05 03 02 00 02")), baud4800, {"combotelv2=9600"});
    row("baud 3", "BtoduquB", withCrc(bytes("05 03 02 00 03")), baud4800, {"combotelv2=19200"});
    row("baud 5 out of range", "BtoduquB", withCrc(bytes("05 03 02 00 05")), baud4800, baud4800);
    row("frequency 0x000D", "BtoduquHZ", withCrc(bytes("05 03 02 00 0D")), {"linetongxin=", "lineFreq=470"},
        {"linetongxin=433", "lineFreq=470"});
    row("frequency 0xFF0D, high byte ignored", "BtoduquHZ", withCrc(bytes("05 03 02 FF 0D")), {},
        {"linetongxin=433"});
    row("frequency 0", "BtoduquHZ", withCrc(bytes("05 03 02 00 00")), {}, {"linetongxin=420"});
    row("frequency 0x00FF", "BtoduquHZ", withCrc(bytes("05 03 02 00 FF")), {}, {"linetongxin=675"});
    row("spreading factor fills both pages", "BtoduquSF", withCrc(bytes("05 03 02 00 0C")),
        {"lineSF=", "lineSF2="}, {"lineSF=12", "lineSF2=12"});
    row("mode 0", "BtoJSQRead", withCrc(bytes("05 03 02 00 00")), repeater, {"comboBoxJSQ=接收器"});
    row("mode 1", "BtoJSQRead", withCrc(bytes("05 03 02 00 01")), {"comboBoxJSQ=接收器"}, repeater);
    row("mode 2 out of range", "BtoJSQRead", withCrc(bytes("05 03 02 00 02")), repeater, repeater);
    row("transmitters 0x0105 shows the low byte", "pushButton2", withCrc(bytes("05 03 02 01 05")),
        {"lineEdit=", "lineTrNum=8"}, {"lineEdit=5", "lineTrNum=8"});

    // A write acknowledgement shows nothing but the pulse; a broken one not even that.
    const QStringList fields{"comjiaoyanwei2=奇校验", "combotelv2=4800", "linetongxin=470", "lineSF=7",
                             "comboBoxJSQ=中继器", "lineEdit=3"};
    row("transmitters written", "pushButton", withCrc(bytes("05 10 03 E8 00 01")), fields, fields);
    row("acknowledgement with a bad CRC", "pushButton", bytes("05 10 03 E8 00 01 00 00"), fields, fields, 0);
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

QTEST_MAIN(GatewayParametersTest)
#include "tst_gateway_parameters.moc"
