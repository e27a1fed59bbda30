// The current-loop page: calibration, channel, range and test currents, on a pty line.
#include <QtTest>

#include <QComboBox>
#include <QRadioButton>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

class CurrentLoopTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void replies_data();
    void replies();
    void pickingAPointOutputsIt();
    void pointIsTakenByIndex_data();
    void pointIsTakenByIndex();
    void testSendsTheCheckedCurrent_data();
    void testSendsTheCheckedCurrent();
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
    points()->setItemText(0, QStringLiteral("4mA"));
    points()->setItemText(1, QStringLiteral("20mA"));
    points()->setCurrentIndex(0);
    // A checked button can only be unchecked with the group's exclusivity off.
    fixture.window.radioButtons()->setExclusive(false);
    for (QAbstractButton *radio : fixture.window.radioButtons()->buttons())
        radio->setChecked(false);
    fixture.window.radioButtons()->setExclusive(true);
}

void CurrentLoopTest::replies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown"); // "lineName=text ..."

    QTest::newRow("calibration, any address and function")
        << "BtoDL" << withCrc(bytes("7F 03 12 34 56 78")) << QStringLiteral("lineDL=开启成功");
    QTest::newRow("calibration, bad CRC")
        << "BtoDL" << bytes("01 10 00 04 00 01 40 09") << QStringLiteral("lineDL=开启失败");
    QTest::newRow("channel 3") << "BtoTDduqu" << bytes("AA 05 0C 02 AA") << "lineTDxiugai=3";
    QTest::newRow("channel byte FF") << "BtoTDduqu" << bytes("AA 05 0C FF AA") << "lineTDxiugai=256";
    QTest::newRow("range 100 to 12.5") << "BtoBSduqu" << bytes("AA 0D 08 00 00 00 C8 42 00 00 48 41 AA")
                                       << "lineBSdown=100 lineBSup=12.5";
}

void CurrentLoopTest::replies()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);

    for (const char *field : {"lineTDxiugai", "lineDL", "lineBSdown", "lineBSup"})
        fixture.type(field, QStringLiteral("-"));
    fixture.click(button.toLatin1().constData());
    line.drain();

    // These replies show a value but do not pulse.
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }, 300), 0);
    for (const QString &field : shown.split(' '))
        QCOMPARE(fixture.shown(field), WindowFixture::valueOf(field));
}

// Down on the closed box picks 20 mA; Return in the open list picks it again,
// and that too sends.
void CurrentLoopTest::pickingAPointOutputsIt()
{
    QComboBox *combo = points();
    QCOMPARE(fixture.pulsesDuring([&] { QTest::keyClick(combo, Qt::Key_Down); }), 1);
    QVERIFY(line.expect(bytes("AA 05 02 C8 AA")));

    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    combo->view()->setCurrentIndex(combo->model()->index(1, 0));
    QCOMPARE(fixture.pulsesDuring([&] { QTest::keyClick(combo->view(), Qt::Key_Return); }), 1);
    QVERIFY(line.expect(bytes("AA 05 02 C8 AA")));
    QVERIFY(line.expectSilence(100));
}

// A translation may rename the items; the point follows the item's place.
void CurrentLoopTest::pointIsTakenByIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("itemText");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("calibration");
    QTest::newRow("20mA renamed") << 1 << "20 mA" << bytes("AA 05 02 C8 AA") << bytes("AA 07 E7 C8 A0 0F AA");
    QTest::newRow("4mA renamed 20mA") << 0 << "20mA" << bytes("AA 05 02 28 AA") << bytes("AA 07 E7 28 A0 0F AA");
    QTest::newRow("no item") << -1 << "" << QByteArray() << QByteArray();
}

void CurrentLoopTest::pointIsTakenByIndex()
{
    QFETCH(int, index);
    QFETCH(QString, itemText);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, calibration);

    QComboBox *combo = points();
    if (index >= 0)
        combo->setItemText(index, itemText);
    combo->setCurrentIndex(index);
    fixture.type("lineshijizhi", QStringLiteral("4"));

    // Activation of "no item" cannot come from the user; the slot must still pulse.
    QCOMPARE(fixture.pulsesDuring([&] { emit combo->activated(index); }), 1);
    QVERIFY(output.isEmpty() ? line.expectSilence(150) : line.expect(output));
    // Without a point, calibration sends nothing and claims nothing.
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("BtoDLjiaozhun"); }), calibration.isEmpty() ? 0 : 1);
    QVERIFY(calibration.isEmpty() ? line.expectSilence(150) : line.expect(calibration));
}

// 测试 sends the current of the radio checked at the press, whatever was sent
// in between; a radio click itself sends nothing.
void CurrentLoopTest::testSendsTheCheckedCurrent_data()
{
    QTest::addColumn<QString>("radio"); // empty: none checked
    QTest::addColumn<QString>("between");
    QTest::addColumn<QByteArray>("betweenFrame");
    QTest::addColumn<QByteArray>("frame"); // empty: nothing sent
    QTest::newRow("3.9mA after a channel read") << "radio39mA" << "BtoTDduqu" << bytes("AA 04 0C AA")
                                                << bytes("AA 05 02 27 AA");
    QTest::newRow("20.8mA after calibration enable") << "radio208mA" << "BtoDL"
                                                     << withCrc(bytes("01 10 00 04 00 01 02 9B 9B"))
                                                     << bytes("AA 05 02 D0 AA");
    QTest::newRow("12mA after the test itself") << "radio12mA" << "Btoceshi" << bytes("AA 05 02 78 AA")
                                                << bytes("AA 05 02 78 AA");
    QTest::newRow("16mA after leaving the test") << "radio16mA" << "Btotuichu" << bytes("AA 05 02 FF AA")
                                                 << bytes("AA 05 02 A0 AA");
    QTest::newRow("none checked") << "" << "BtoTDduqu" << bytes("AA 04 0C AA") << QByteArray();
}

void CurrentLoopTest::testSendsTheCheckedCurrent()
{
    QFETCH(QString, radio);
    QFETCH(QString, between);
    QFETCH(QByteArray, betweenFrame);
    QFETCH(QByteArray, frame);
    if (!radio.isEmpty())
        QCOMPARE(fixture.pulsesDuring([&] { fixture.click(radio.toLatin1().constData()); }), 0);
    fixture.click(between.toLatin1().constData());
    QVERIFY(line.expect(betweenFrame));
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("Btoceshi"); }), frame.isEmpty() ? 0 : 1);
    QVERIFY(frame.isEmpty() ? line.expectSilence(300) : line.expect(frame));
    QVERIFY(line.expectSilence(100));
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
