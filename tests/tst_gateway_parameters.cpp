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
}

void GatewayParametersTest::requests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("address"); // -1: comdizhi empty
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QByteArray>("wire");

    auto row = [](const char *name, const char *button, int address, const QStringList &inputs, const char *frame) {
        QTest::newRow(name) << QString::fromLatin1(button) << address << inputs << withCrc(bytes(frame));
    };
    row("read", "BtoduquJ", 5, {}, "05 03 00 00 00 01");
    row("read of two registers", "BtnRdRange", 5, {}, "05 03 03 E9 00 02");
    row("no address chosen: broadcast", "BtoduquB", -1, {}, "00 03 00 02 00 01");
    row("frequency 433, high byte FF", "BtoxieruHZ", 5, {"linetongxin=433"}, "05 10 00 03 00 01 02 FF 0D");
    row("platform frequency 433, high byte 00", "btnWrFreq", 5, {"lineFreq=433", "linetongxin=470"},
        "05 10 00 03 00 01 02 00 0D");
    row("transmitters 257 keep the low byte", "pushButton", 5, {"lineEdit=257", "lineTrNum=9"},
        "05 10 03 E8 00 01 02 00 01");
    row("range 4.0 to 20.0", "BtnWrRange", 1, {"lineLower=4.0", "lineUpper=20.0"}, "01 10 03 E9 00 02 04 00 28 00 C8");
    row("range 4.2 rounds up, 12.5", "BtnWrRange", 5, {"lineLower=4.2", "lineUpper=12.5"},
        "05 10 03 E9 00 02 04 00 2A 00 7D");
    row("range 2.3 and 0.7 keep their tenth", "BtnWrRange", 5, {"lineLower=2.3", "lineUpper=0.7"},
        "05 10 03 E9 00 02 04 00 17 00 07");
    row("range -1.5, not a number", "BtnWrRange", 5, {"lineLower=-1.5", "lineUpper=abc"},
        "05 10 03 E9 00 02 04 FF F1 00 00");
    row("range 6553.7 wraps, overflow", "BtnWrRange", 5, {"lineLower=6553.7", "lineUpper=1e39"},
        "05 10 03 E9 00 02 04 00 01 00 00");
    row("gateway ID 12345 is hex, cut", "btnWrID", 5, {"lineID=12345"}, "05 10 03 EB 00 01 02 23 45");
    row("sampling 70000 cut, address 300 too", "btnWrSampleRate", 300, {"lineSampleRate=70000"},
        "2C 10 03 EE 00 01 02 11 70");
}

void GatewayParametersTest::requests()
{
    QFETCH(QString, button);
    QFETCH(int, address);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArray, wire);

    if (address < 0)
        fixture.child<QComboBox>("comdizhi")->clear();
    else
        fixture.selectAddress(address);
    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));

    fixture.click(button.toLatin1().constData());
    QCOMPARE(line.readFrame(wire.size()).toHex(' '), wire.toHex(' '));
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
