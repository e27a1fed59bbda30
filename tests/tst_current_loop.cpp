// The current-loop page: calibration, channel, range and test currents, on a pty line.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {
// A code none of these slots sets, so "unchanged" can be told from "set".
constexpr int kOtherCode = 0x05;
constexpr int kUnchanged = -1;
}

class CurrentLoopTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void requests_data();
    void requests();
    void replies_data();
    void replies();
    void channelAcknowledgementPulses_data();
    void channelAcknowledgementPulses();
    void pickingAPointOutputsIt();
    void pointIsTakenByIndex_data();
    void pointIsTakenByIndex();
    void fixedCurrents_data();
    void fixedCurrents();
    void testSendsTheCheckedCurrentEveryTime_data();
    void testSendsTheCheckedCurrentEveryTime();
    void testWithNothingCheckedSendsNothing();
    void radioClickSendsNothing();
    void radioClickLeavesTheSearchPollAlone();

private:
    QComboBox *points() const { return fixture.child<QComboBox>("comDL"); }

    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void CurrentLoopTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
}

void CurrentLoopTest::init()
{
    settle(20);
    QVERIFY(fixture.reopenOn(line));
    fixture.selectAddress(1);
    fixture.window.setCurrentCommand(kOtherCode);
    points()->setItemText(0, QStringLiteral("4mA"));
    points()->setItemText(1, QStringLiteral("20mA"));
    points()->setCurrentIndex(0);
    // A checked button can only be unchecked with the group's exclusivity off.
    fixture.window.radioButtons()->setExclusive(false);
    for (QAbstractButton *radio : fixture.window.radioButtons()->buttons())
        radio->setChecked(false);
    fixture.window.radioButtons()->setExclusive(true);
}

void CurrentLoopTest::requests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("inputs"); // "lineName=text"
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("pulses");

    QTest::newRow("enable calibration") << "BtoDL" << QStringList()
                                        << withCrc(bytes("01 10 00 04 00 01 02 9B 9B")) << 0x0C << 1;
    QTest::newRow("read channel") << "BtoTDduqu" << QStringList() << bytes("AA 04 0C AA") << 0x0D << 1;

    const struct {
        const char *text;
        const char *byte;
    } channels[] = {{"1", "00"}, {"0", "FF"}, {"256", "FF"}, {"257", "00"}, {"", "FF"}, {"8", "07"}};
    for (const auto &channel : channels)
        QTest::addRow("channel '%s'", channel.text)
            << "BtoTDxiugai" << QStringList{QStringLiteral("lineTDxiugai=") + channel.text}
            << withCrc(bytes("01 10 00 06 00 01 02 00") + bytes(channel.byte)) << 0x0E << 0;

    QTest::newRow("read range") << "BtoBSduqu" << QStringList() << bytes("AA 04 08 AA") << 0x0F << 1;
    QTest::newRow("range 4 to 20")
        << "BtoBSxiugai" << QStringList{"lineBSdown=4", "lineBSup=20"}
        << bytes("AA 0D 01 00 00 00 80 40 00 00 A0 41 AA") << 0x10 << 1;
    QTest::newRow("range lower above upper, sent as typed")
        << "BtoBSxiugai" << QStringList{"lineBSdown=100", "lineBSup=-0.5"}
        << bytes("AA 0D 01 00 00 00 C8 42 00 00 00 BF AA") << 0x10 << 1;
    QTest::newRow("range empty") << "BtoBSxiugai" << QStringList{"lineBSdown=", "lineBSup=x"}
                                 << bytes("AA 0D 01 00 00 00 00 00 00 00 00 00 AA") << 0x10 << 1;

    const struct {
        const char *text;
        const char *measured;
    } calibrations[] = {{"4.012", "AC 0F"}, {"19.98", "0C 4E"}, {"-1", "18 FC"},
                        {"4.1", "04 10"},   {"", "00 00"},      {"65.537", "01 00"},
                        {"4.0126", "AC 0F"}, {"-0.0019", "FF FF"}, {"1e30", "00 00"}};
    for (const auto &calibration : calibrations)
        QTest::addRow("calibrate 4 mA at '%s'", calibration.text)
            << "BtoDLjiaozhun" << QStringList{QStringLiteral("lineshijizhi=") + calibration.text}
            << bytes("AA 07 E7 28") + bytes(calibration.measured) + bytes("AA") << kUnchanged << 1;

    const struct {
        const char *text;
        const char *byte;
    } customs[] = {{"12.5", "7D"}, {"25.5", "FF"}, {"30", "2C"}, {"-1", "F6"},
                   {"", "00"},     {"3.9", "27"},  {"25.6", "00"},
                   {"12.59", "7D"}, {"-0.19", "FF"},   {"1e30", "00"}};
    for (const auto &custom : customs)
        QTest::addRow("custom current '%s'", custom.text)
            << "BtoZDceshi" << QStringList{QStringLiteral("lineCEshuru=") + custom.text}
            << bytes("AA 05 02") + bytes(custom.byte) + bytes("AA") << kUnchanged << 1;

    QTest::newRow("leave the test") << "Btotuichu" << QStringList() << bytes("AA 05 02 FF AA") << kUnchanged << 1;
}

void CurrentLoopTest::requests()
{
    QFETCH(QString, button);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    QFETCH(int, pulses);

    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click(button.toLatin1().constData()); }), pulses);
    QVERIFY(line.expect(frame));
    QVERIFY(line.expectSilence(100));
    QCOMPARE(int(fixture.window.currentCommand()), code == kUnchanged ? kOtherCode : code);
    QVERIFY(txFrameIsZero());
}

void CurrentLoopTest::replies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");

    QTest::newRow("calibration acknowledged")
        << "BtoDL" << bytes("01 10 00 04 00 01 40 08") << "lineDL" << QStringLiteral("开启成功");
    QTest::newRow("calibration, any address and function")
        << "BtoDL" << withCrc(bytes("7F 03 12 34 56 78")) << "lineDL" << QStringLiteral("开启成功");
    QTest::newRow("calibration, bad CRC")
        << "BtoDL" << bytes("01 10 00 04 00 01 40 09") << "lineDL" << QStringLiteral("开启失败");
    QTest::newRow("channel 3") << "BtoTDduqu" << bytes("AA 05 0C 02 AA") << "lineTDxiugai" << "3";
    QTest::newRow("channel byte FF") << "BtoTDduqu" << bytes("AA 05 0C FF AA") << "lineTDxiugai" << "256";
    QTest::newRow("channel, bytes 1 and 2 not examined")
        << "BtoTDduqu" << bytes("AA 00 00 04 AA") << "lineTDxiugai" << "5";
    QTest::newRow("channel without delimiters is dropped")
        << "BtoTDduqu" << bytes("AA 05 0C 02 AB") << "lineTDxiugai" << "1";
    QTest::newRow("range lower 100")
        << "BtoBSduqu" << bytes("AA 0D 08 00 00 00 C8 42 00 00 48 41 AA") << "lineBSdown" << "100";
    QTest::newRow("range upper 12.5")
        << "BtoBSduqu" << bytes("AA 0D 08 00 00 00 C8 42 00 00 48 41 AA") << "lineBSup" << "12.5";
    QTest::newRow("range six significant digits")
        << "BtoBSduqu" << bytes("00 00 00 00 38 B4 96 49 00 00 00 00 00") << "lineBSdown" << "1.23457e+06";
    QTest::newRow("range zero, no test of the frame")
        << "BtoBSduqu" << bytes("55 55 55 55 00 00 00 00 00 00 00 00 55") << "lineBSup" << "0";
}

void CurrentLoopTest::replies()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QFETCH(QString, field);
    QFETCH(QString, shown);

    fixture.type("lineTDxiugai", QStringLiteral("1"));
    fixture.type("lineDL", QString());
    fixture.type("lineBSdown", QStringLiteral("-"));
    fixture.type("lineBSup", QStringLiteral("-"));
    fixture.click(button.toLatin1().constData());
    line.drain();

    // These replies show a value but do not pulse.
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }, 300), 0);
    QCOMPARE(fixture.child<QLineEdit>(field.toLatin1().constData())->text(), shown);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
}

void CurrentLoopTest::channelAcknowledgementPulses_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("pulses");
    QTest::newRow("good CRC") << withCrc(bytes("01 10 00 06 00 01")) << 1;
    QTest::newRow("bad CRC") << bytes("01 10 00 06 00 01 00 00") << 0;
}

void CurrentLoopTest::channelAcknowledgementPulses()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, pulses);
    fixture.type("lineTDxiugai", QStringLiteral("4"));
    fixture.click("BtoTDxiugai");
    line.drain();
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }, 500), pulses);
    QCOMPARE(fixture.child<QLineEdit>("lineTDxiugai")->text(), QStringLiteral("4"));
}

// Down and Up on the closed box pick an item; Return in the open list picks
// the item already shown again, and that too sends.
void CurrentLoopTest::pickingAPointOutputsIt()
{
    QComboBox *combo = points();
    QCOMPARE(fixture.pulsesDuring([&] { QTest::keyClick(combo, Qt::Key_Down); }), 1);
    QCOMPARE(combo->currentIndex(), 1);
    QVERIFY(line.expect(bytes("AA 05 02 C8 AA")));

    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    combo->view()->setCurrentIndex(combo->model()->index(1, 0));
    QCOMPARE(fixture.pulsesDuring([&] { QTest::keyClick(combo->view(), Qt::Key_Return); }), 1);
    QCOMPARE(combo->currentIndex(), 1);
    QVERIFY(line.expect(bytes("AA 05 02 C8 AA")));

    QCOMPARE(fixture.pulsesDuring([&] { QTest::keyClick(combo, Qt::Key_Up); }), 1);
    QVERIFY(line.expect(bytes("AA 05 02 28 AA")));
    QVERIFY(line.expectSilence(100));
    QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
}

// A translation may rename the items; the point follows the item's place.
void CurrentLoopTest::pointIsTakenByIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("itemText");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("calibration");
    QTest::addColumn<int>("calibrationPulses");
    QTest::newRow("4mA") << 0 << "4mA" << bytes("AA 05 02 28 AA") << bytes("AA 07 E7 28 A0 0F AA") << 1;
    QTest::newRow("20mA") << 1 << "20mA" << bytes("AA 05 02 C8 AA") << bytes("AA 07 E7 C8 A0 0F AA") << 1;
    QTest::newRow("20mA renamed") << 1 << "20 mA" << bytes("AA 05 02 C8 AA") << bytes("AA 07 E7 C8 A0 0F AA") << 1;
    QTest::newRow("4mA renamed") << 0 << "20mA" << bytes("AA 05 02 28 AA") << bytes("AA 07 E7 28 A0 0F AA") << 1;
    QTest::newRow("no item") << -1 << "" << QByteArray() << QByteArray() << 0;
}

void CurrentLoopTest::pointIsTakenByIndex()
{
    QFETCH(int, index);
    QFETCH(QString, itemText);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, calibration);
    QFETCH(int, calibrationPulses);

    QComboBox *combo = points();
    if (index >= 0)
        combo->setItemText(index, itemText);
    combo->setCurrentIndex(index);
    fixture.type("lineshijizhi", QStringLiteral("4"));

    // Activation of "no item" cannot come from the user; the slot must still pulse.
    QCOMPARE(fixture.pulsesDuring([&] { emit combo->activated(index); }), 1);
    if (output.isEmpty())
        QVERIFY(line.expectSilence(150));
    else
        QVERIFY(line.expect(output));

    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("BtoDLjiaozhun"); }), calibrationPulses);
    if (calibration.isEmpty())
        QVERIFY(line.expectSilence(150));
    else
        QVERIFY(line.expect(calibration));
}

void CurrentLoopTest::fixedCurrents_data()
{
    QTest::addColumn<QString>("radio");
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("3.9mA") << "radio39mA" << 0 << bytes("AA 05 02 27 AA");
    QTest::newRow("4mA") << "radio4mA" << 1 << bytes("AA 05 02 28 AA");
    QTest::newRow("8mA") << "radio8mA" << 2 << bytes("AA 05 02 50 AA");
    QTest::newRow("12mA") << "radio12mA" << 3 << bytes("AA 05 02 78 AA");
    QTest::newRow("16mA") << "radio16mA" << 4 << bytes("AA 05 02 A0 AA");
    QTest::newRow("20mA") << "radio20mA" << 5 << bytes("AA 05 02 C8 AA");
    QTest::newRow("20.8mA") << "radio208mA" << 6 << bytes("AA 05 02 D0 AA");
}

void CurrentLoopTest::fixedCurrents()
{
    QFETCH(QString, radio);
    QFETCH(int, id);
    QFETCH(QByteArray, frame);
    fixture.click(radio.toLatin1().constData());
    QCOMPARE(fixture.window.radioButtons()->checkedId(), id);
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("Btoceshi"); }), 1);
    QVERIFY(line.expect(frame));
    QVERIFY(line.expectSilence(100));
    QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
}

// Requests in between used to consume the chosen current.
void CurrentLoopTest::testSendsTheCheckedCurrentEveryTime_data()
{
    QTest::addColumn<QString>("between");
    QTest::addColumn<QByteArray>("betweenFrame");
    QTest::newRow("channel read") << "BtoTDduqu" << bytes("AA 04 0C AA");
    QTest::newRow("calibration enable") << "BtoDL" << withCrc(bytes("01 10 00 04 00 01 02 9B 9B"));
    QTest::newRow("test itself") << "Btoceshi" << bytes("AA 05 02 78 AA");
    QTest::newRow("leave the test") << "Btotuichu" << bytes("AA 05 02 FF AA");
}

void CurrentLoopTest::testSendsTheCheckedCurrentEveryTime()
{
    QFETCH(QString, between);
    QFETCH(QByteArray, betweenFrame);
    fixture.click("radio12mA");
    fixture.click(between.toLatin1().constData());
    QVERIFY(line.expect(betweenFrame));
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("Btoceshi"); }), 1);
    QVERIFY(line.expect(bytes("AA 05 02 78 AA")));
}

void CurrentLoopTest::testWithNothingCheckedSendsNothing()
{
    QCOMPARE(fixture.window.radioButtons()->checkedId(), -1);
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("Btoceshi"); }), 0);
    QVERIFY(line.expectSilence(300));
}

void CurrentLoopTest::radioClickSendsNothing()
{
    QCOMPARE(fixture.pulsesDuring([&] {
                 for (QAbstractButton *radio : fixture.window.radioButtons()->buttons())
                     radio->click();
             }),
             0);
    QVERIFY(line.expectSilence(300));
    QCOMPARE(fixture.window.radioButtons()->checkedId(), 6);
}

// The search keeps its poll in the transmit buffer between ticks; byte 3 is
// the low byte of the register it reads.
void CurrentLoopTest::radioClickLeavesTheSearchPollAlone()
{
    fixture.click("Btosousuo");
    QVERIFY(line.expect(withCrc(bytes("01 03 00 01 00 01"))));
    fixture.click("radio16mA");
    fixture.click("radio39mA");
    for (int address = 2; address <= 4; ++address) {
        const QByteArray poll = QByteArray(1, char(address)) + bytes("03 00 01 00 01");
        QVERIFY(line.expect(withCrc(poll)));
    }
    fixture.click("Btosousuo");
    QTRY_VERIFY(!fixture.window.searchTimerObject()->isActive());
    line.drain();
}

QTEST_MAIN(CurrentLoopTest)
#include "tst_current_loop.moc"
