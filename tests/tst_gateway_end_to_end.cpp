// The window against the gateway simulator on a pseudo-terminal: finding the
// gateway, moving it to another address, and every setting written and read back.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>

#include <memory>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "simulatedbus.h"
#include "windowfixture.h"

namespace {

// Clicks the button and waits for the pulse that an accepted answer ends with.
bool answered(WindowFixture &fixture, const char *button)
{
    PulseCounter pulses(fixture);
    fixture.click(button);
    return pulses.waitFor(1, 3000) == 1;
}

// Runs a search until the first gateway is listed, then stops it.
QStringList searchUntilFound(WindowFixture &fixture)
{
    auto *addresses = fixture.child<QComboBox>("comdizhi");
    fixture.click("Btosousuo");
    QElapsedTimer clock;
    clock.start();
    while (addresses->count() == 0 && clock.elapsed() < 30000)
        settle(10);
    fixture.click("Btosousuo");
    settle(200);
    return itemTexts(addresses);
}

} // namespace

class GatewayEndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void findAndMoveTheGateway();
    void settingsRoundTrip_data();
    void settingsRoundTrip();

private:
    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<WindowFixture> fixture;
    BoxRecorder boxes;
};

void GatewayEndToEndTest::initTestCase()
{
    bus = std::make_unique<SimulatedBus>(SimulatedBus::settingsFor(3));
    QVERIFY2(bus->opened, qPrintable(bus->error));
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(bus->connect(*fixture));
}

void GatewayEndToEndTest::findAndMoveTheGateway()
{
    SimulatedBus ownBus(SimulatedBus::settingsFor(4));
    QVERIFY2(ownBus.opened, qPrintable(ownBus.error));
    WindowFixture own;
    QVERIFY(ownBus.connect(own));
    auto *addresses = own.child<QComboBox>("comdizhi");
    auto *broadcastShown = own.child<QLineEdit>("linedizhi");

    QCOMPARE(searchUntilFound(own), QStringList{"4"});
    QCOMPARE(boxes.texts().mid(boxes.texts().size() - 2), (QStringList{"正在搜索，请稍后", "已停止搜索"}));

    QVERIFY(answered(own, "Btoguangbo"));
    QCOMPARE(broadcastShown->text(), QStringLiteral("4"));
    QCOMPARE(itemTexts(addresses), (QStringList{"4", "4"}));
    QVERIFY(answered(own, "Btoguangbo"));
    QCOMPARE(itemTexts(addresses), QStringList{"4"});

    own.type("linegaidizhi", QStringLiteral("9"));
    QVERIFY(answered(own, "Btoxiugai"));
    QCOMPARE(int(ownBus.gateway().address), 9);
    QCOMPARE(addresses->count(), 0);

    QVERIFY(answered(own, "Btoguangbo"));
    QCOMPARE(broadcastShown->text(), QStringLiteral("9"));
    QCOMPARE(itemTexts(addresses), QStringList{"9"});
    QCOMPARE(searchUntilFound(own), QStringList{"9"});

    // The gateway answers under its new address only.
    own.type("lineSampleRate", QString());
    QVERIFY(answered(own, "btnRdSampleRate"));
    QCOMPARE(own.child<QLineEdit>("lineSampleRate")->text(), QString::number(ownBus.gateway().samplingPeriod));
}

void GatewayEndToEndTest::settingsRoundTrip_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("writeButton");
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QStringList>("meanwhile");
    QTest::addColumn<QString>("readButton");
    QTest::addColumn<QStringList>("readBack");

    QTest::newRow("parity odd") << QStringList{"comjiaoyanwei2=奇校验"} << "BtoxiugaiJ" << 0x0000 << 1
                                << QStringList{"comjiaoyanwei2=无校验"} << "BtoduquJ"
                                << QStringList{"comjiaoyanwei2=奇校验"};
    QTest::newRow("baud 4800") << QStringList{"combotelv2=4800"} << "BtoxiugaiB" << 0x0002 << 1
                               << QStringList{"combotelv2=19200"} << "BtoduquB" << QStringList{"combotelv2=4800"};
    QTest::newRow("frequency 433") << QStringList{"linetongxin=433"} << "BtoxieruHZ" << 0x0003 << 0xFF0D
                                   << QStringList{"linetongxin="} << "BtoduquHZ" << QStringList{"linetongxin=433"};
    QTest::newRow("spreading factor 9") << QStringList{"lineSF=9"} << "BtoxieruSF" << 0x03EC << 9
                                        << QStringList{"lineSF=", "lineSF2="} << "BtoduquSF"
                                        << QStringList{"lineSF=9", "lineSF2=9"};
    QTest::newRow("mode repeater") << QStringList{"comboBoxJSQ=中继器"} << "pushButtonJSQchange" << 0x03F0 << 1
                                   << QStringList{"comboBoxJSQ=接收器"} << "BtoJSQRead"
                                   << QStringList{"comboBoxJSQ=中继器"};
    QTest::newRow("transmitters 8") << QStringList{"lineEdit=8"} << "pushButton" << 0x03E8 << 8
                                    << QStringList{"lineEdit="} << "pushButton2" << QStringList{"lineEdit=8"};
    QTest::newRow("range lower 4.2") << QStringList{"lineLower=4.2", "lineUpper=20"} << "BtnWrRange" << 0x03E9 << 42
                                     << QStringList{"lineLower=", "lineUpper="} << "BtnRdRange"
                                     << QStringList{"lineLower=4.2", "lineUpper=20"};
    QTest::newRow("range upper 2.3") << QStringList{"lineLower=-1.5", "lineUpper=2.3"} << "BtnWrRange" << 0x03EA
                                     << 23 << QStringList{"lineLower=", "lineUpper="} << "BtnRdRange"
                                     << QStringList{"lineLower=6552.1", "lineUpper=2.3"};
    QTest::newRow("platform frequency 490") << QStringList{"lineFreq=490"} << "btnWrFreq" << 0x0003 << 0x0046
                                            << QStringList{"lineFreq=", "linetongxin=1"} << "btnReadFreq"
                                            << QStringList{"lineFreq=490", "linetongxin=1"};
    QTest::newRow("platform spreading factor 11") << QStringList{"lineSF2=11"} << "btnWrSF" << 0x03EC << 11
                                                  << QStringList{"lineSF2=", "lineSF="} << "btnReadSF"
                                                  << QStringList{"lineSF2=11", "lineSF=11"};
    QTest::newRow("platform transmitters 21") << QStringList{"lineTrNum=21"} << "btnWrNum" << 0x03E8 << 21
                                              << QStringList{"lineTrNum="} << "btnRdNum"
                                              << QStringList{"lineTrNum=21"};
    QTest::newRow("gateway ID") << QStringList{"lineID=0x1A2B"} << "btnWrID" << 0x03EB << 0x1A2B
                                << QStringList{"lineID="} << "btnRdID" << QStringList{"lineID=0x1A2B"};
    QTest::newRow("firmware") << QStringList{"lineFWV=203"} << "btnWrFWV" << 0x03ED << 0x0203
                              << QStringList{"lineFWV="} << "btnRdFWV" << QStringList{"lineFWV=0x0203"};
    QTest::newRow("sampling period") << QStringList{"lineSampleRate=300"} << "btnWrSampleRate" << 0x03EE << 300
                                     << QStringList{"lineSampleRate="} << "btnRdSampleRate"
                                     << QStringList{"lineSampleRate=300"};
    QTest::newRow("analog output") << QStringList{"lineAnalogOut=4096"} << "btnWrAnologOut" << 0x03EF << 4096
                                   << QStringList{"lineAnalogOut="} << "btnRdAnologOut"
                                   << QStringList{"lineAnalogOut=4096"};
}

void GatewayEndToEndTest::settingsRoundTrip()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, writeButton);
    QFETCH(int, reg);
    QFETCH(int, stored);
    QFETCH(QStringList, meanwhile);
    QFETCH(QString, readButton);
    QFETCH(QStringList, readBack);

    fixture->selectAddress(3);
    for (const QString &input : inputs)
        QVERIFY2(fixture->put(input), qPrintable(input));
    QVERIFY(answered(*fixture, writeButton.toLatin1().constData()));
    std::uint16_t value = 0;
    QVERIFY(bus->gateway().readRegister(std::uint16_t(reg), &value));
    QCOMPARE(int(value), stored);

    for (const QString &field : meanwhile)
        QVERIFY2(fixture->put(field), qPrintable(field));
    QVERIFY(answered(*fixture, readButton.toLatin1().constData()));
    for (const QString &field : readBack)
        QCOMPARE(fixture->shown(field), WindowFixture::valueOf(field));
}

QTEST_MAIN(GatewayEndToEndTest)
#include "tst_gateway_end_to_end.moc"
