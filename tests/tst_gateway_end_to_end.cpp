// The window against the gateway simulator on a pseudo-terminal: finding the
// gateway, moving it to another address, every setting written and read back,
// the current loop, the acquisition and the cloud parameters.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTableWidget>

#include <memory>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "simulatedbus.h"
#include "windowfixture.h"

namespace {

constexpr std::uint8_t kAddress = 3;
constexpr std::uint8_t kOtherAddress = 200;
constexpr int kMeters = 5;

// A second gateway shares the bus; it must never take what was meant for the first.
SimulatorSettings settings()
{
    SimulatorSettings settings = SimulatedBus::settingsFor(kAddress);
    settings.addresses << kOtherAddress;
    settings.meters = kMeters;
    settings.silentMeters = {3};
    settings.drift = 0.0f;
    return settings;
}

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

// Empties the field named in "field=text", so a read has to fill it.
void blank(WindowFixture &fixture, const QString &assignment)
{
    QWidget *widget = fixture.window.findChild<QWidget *>(assignment.section(QLatin1Char('='), 0, 0));
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->clear();
    else if (auto *box = qobject_cast<QComboBox *>(widget))
        box->setCurrentIndex(-1);
}

} // namespace

class GatewayEndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void settingsRoundTrip_data();
    void settingsRoundTrip();
    void channelAndRangeWrittenAndReadBack();
    void calibrationEnabledAndPointSent();
    void acquisitionFillsTheTable();
    void cloudParametersAreHeld();
    void findAndMoveTheGateway();

private:
    QString text(const char *lineEdit) const { return fixture->child<QLineEdit>(lineEdit)->text(); }
    QString cell(int row, int column) const;

    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<WindowFixture> fixture;
    BoxRecorder boxes;
};

void GatewayEndToEndTest::initTestCase()
{
    bus = std::make_unique<SimulatedBus>(settings());
    QVERIFY2(bus->opened, qPrintable(bus->error));
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(bus->connect(*fixture));
}

void GatewayEndToEndTest::init()
{
    fixture->selectAddress(kAddress);
}

QString GatewayEndToEndTest::cell(int row, int column) const
{
    const QTableWidgetItem *item = fixture->child<QTableWidget>("tableWidget")->item(row, column);
    return item ? item->text() : QString();
}

void GatewayEndToEndTest::settingsRoundTrip_data()
{
    addRoundTripColumns();
    addRoundTrip("BtoxiugaiJ", "comjiaoyanwei2=奇校验", "0000=0001", "BtoduquJ");
    addRoundTrip("BtoxiugaiB", "combotelv2=4800", "0002=0001", "BtoduquB");
    addRoundTrip("BtoxieruHZ", "linetongxin=433", "0003=FF0D", "BtoduquHZ");
    addRoundTrip("BtoxieruSF", "lineSF=9 lineSF2=3", "03EC=0009", "BtoduquSF", "lineSF=9 lineSF2=9");
    addRoundTrip("pushButtonJSQchange", "comboBoxJSQ=中继器", "03F0=0001", "BtoJSQRead");
    addRoundTrip("pushButton", "lineEdit=8", "03E8=0008", "pushButton2");
    addRoundTrip("BtnWrRange", "lineLower=-1.5 lineUpper=2.3", "03E9=FFF1 03EA=0017", "BtnRdRange",
        "lineLower=6552.1 lineUpper=2.3");
    addRoundTrip("btnWrFreq", "lineFreq=490", "0003=0046", "btnReadFreq");
    addRoundTrip("btnWrSF", "lineSF2=11 lineSF=3", "03EC=000B", "btnReadSF", "lineSF2=11 lineSF=11");
    addRoundTrip("btnWrNum", "lineTrNum=21", "03E8=0015", "btnRdNum");
    addRoundTrip("btnWrID", "lineID=0x1A2B", "03EB=1A2B", "btnRdID");
    addRoundTrip("btnWrFWV", "lineFWV=203", "03ED=0203", "btnRdFWV", "lineFWV=0x0203");
    addRoundTrip("btnWrSampleRate", "lineSampleRate=300", "03EE=012C", "btnRdSampleRate");
    addRoundTrip("btnWrAnologOut", "lineAnalogOut=4096", "03EF=1000", "btnRdAnologOut");
}

void GatewayEndToEndTest::settingsRoundTrip()
{
    QFETCH(QString, writeButton);
    QFETCH(QStringList, inputs);
    QFETCH(QString, stored);
    QFETCH(QString, readButton);
    QFETCH(QStringList, readBack);

    for (const QString &input : inputs)
        QVERIFY2(fixture->put(input), qPrintable(input));
    QVERIFY(answered(*fixture, writeButton.toLatin1().constData()));
    for (const QString &reg : stored.split(' ')) {
        std::uint16_t value = 0;
        QVERIFY(bus->gateway().readRegister(std::uint16_t(reg.left(4).toUInt(nullptr, 16)), &value));
        QCOMPARE(int(value), reg.mid(5).toInt(nullptr, 16));
    }

    for (const QString &field : readBack)
        blank(*fixture, field);
    QVERIFY(answered(*fixture, readButton.toLatin1().constData()));
    for (const QString &field : readBack)
        QCOMPARE(fixture->shown(field), WindowFixture::valueOf(field));
}

void GatewayEndToEndTest::channelAndRangeWrittenAndReadBack()
{
    fixture->type("lineTDxiugai", QStringLiteral("256"));
    QVERIFY(answered(*fixture, "BtoTDxiugai"));
    QCOMPARE(int(bus->gateway().loopChannel), 255);
    fixture->type("lineTDxiugai", QString());
    fixture->click("BtoTDduqu");
    QTRY_COMPARE(text("lineTDxiugai"), QStringLiteral("256"));

    fixture->type("lineBSdown", QStringLiteral("-12.5"));
    fixture->type("lineBSup", QStringLiteral("1234.56"));
    fixture->click("BtoBSxiugai");
    QTRY_COMPARE(bus->gateway().loopUpper, 1234.56f);
    QCOMPARE(bus->gateway().loopLower, -12.5f);
    fixture->type("lineBSdown", QString());
    fixture->type("lineBSup", QString());
    fixture->click("BtoBSduqu");
    QTRY_COMPARE(text("lineBSup"), QStringLiteral("1234.56"));
    QCOMPARE(text("lineBSdown"), QStringLiteral("-12.5"));
}

void GatewayEndToEndTest::calibrationEnabledAndPointSent()
{
    fixture->type("lineDL", QString());
    fixture->click("BtoDL");
    QTRY_COMPARE(text("lineDL"), QStringLiteral("开启成功"));
    QVERIFY(bus->gateway().calibrationEnabled);

    auto *points = fixture->child<QComboBox>("comDL");
    points->setCurrentIndex(0);
    QTest::keyClick(points, Qt::Key_Down);
    QTRY_COMPARE(int(bus->gateway().testCurrent), 0xC8);
    fixture->type("lineshijizhi", QStringLiteral("19.98"));
    fixture->click("BtoDLjiaozhun");
    QTRY_COMPARE(bus->gateway().measuredAt20mA, 19980);
}

void GatewayEndToEndTest::acquisitionFillsTheTable()
{
    const float temperatures[kMeters] = {21.5f, -4.25f, 0.0f, 99.125f, 18.0f};
    const QString shown[kMeters] = {"21.5000", "-4.2500", "超时", "99.1250", "18.0000"};
    for (int m = 0; m < kMeters; ++m)
        bus->gateway().meters[m].temperature = temperatures[m];

    fixture->type("lineshuliang", QString::number(kMeters));
    fixture->click("Btocaiji");
    auto stop = qScopeGuard([this] {
        fixture->click("Btocaiji");
        settle(1300);
    });
    QTRY_COMPARE_WITH_TIMEOUT(cell(kMeters - 1, 1), shown[kMeters - 1], 4000);
    for (int m = 0; m < kMeters; ++m) {
        QCOMPARE(cell(m, 0), QString::number(m + 1));
        QCOMPARE(cell(m, 1), shown[m]);
    }
    QCOMPARE(cell(kMeters, 0), QString());
}

void GatewayEndToEndTest::cloudParametersAreHeld()
{
    const struct {
        const char *button;
        const char *field;
        int parameter;
        QString held; // the text typed, with the options the window appends
    } writes[] = {
        {"pushButton_AT1", "lineEdit_AT1", CloudParameter::Region, QStringLiteral("cn-shanghai")},
        {"pushButton_AT2", "lineEdit_AT2", CloudParameter::DeviceProperty, QStringLiteral("a1B2c3")},
        {"pushButton_AT3", "lineEdit_AT3", CloudParameter::DeviceSecret, QStringLiteral("s3cr3t")},
        {"pushButton_AT4", "lineEdit_AT4", CloudParameter::DeviceName, QStringLiteral("网关一号")},
        {"pushButton_AT5", "lineEdit_AT5", CloudParameter::PublishTopic, QStringLiteral("/sys/up,0,0")},
        {"pushButton_AT6", "lineEdit_AT6", CloudParameter::SubscribeTopic, QStringLiteral("/sys/down,0")},
    };
    for (const auto &write : writes) {
        fixture->type(write.field, write.held.section(QLatin1Char(','), 0, 0));
        QVERIFY2(answered(*fixture, write.button), write.button);
        QCOMPARE(bus->gateway().cloudParameters.value(write.parameter), write.held);
    }
    QVERIFY(answered(*fixture, "pushButton_Yes"));
    QVERIFY(bus->gateway().modeConfirmed);

    fixture->click("pushButton_connect");
    QTRY_VERIFY(bus->gateway().connected);
    fixture->click("pushButton_OPaLI");
    QTRY_VERIFY(bus->gateway().platformDebugging);
    fixture->click("pushButton_OPaLI");
    QTRY_VERIFY(!bus->gateway().platformDebugging);
}

// Last, as it moves the gateway away.
void GatewayEndToEndTest::findAndMoveTheGateway()
{
    auto *addresses = fixture->child<QComboBox>("comdizhi");
    auto *broadcastShown = fixture->child<QLineEdit>("linedizhi");

    QCOMPARE(searchUntilFound(*fixture), QStringList{"3"});
    QVERIFY(answered(*fixture, "Btoguangbo"));
    QCOMPARE(broadcastShown->text(), QStringLiteral("3"));
    QCOMPARE(itemTexts(addresses), (QStringList{"3", "3"}));

    fixture->type("linegaidizhi", QStringLiteral("9"));
    QVERIFY(answered(*fixture, "Btoxiugai"));
    QCOMPARE(int(bus->gateway().address), 9);
    QCOMPARE(addresses->count(), 0);

    // With no gateway chosen, a change would go to every gateway on the bus.
    GatewayState &other = *bus->simulator.gatewayAt(kOtherAddress);
    const std::uint16_t baudBefore = bus->gateway().baudCode;
    const std::uint16_t otherBaudBefore = other.baudCode;
    fixture->put(QStringLiteral("combotelv2=2400"));
    boxes.clear();
    fixture->click("BtoxiugaiB");
    settle(300);
    QCOMPARE(boxes.texts(), QStringList{"请先搜索或广播读取网关地址"});
    QCOMPARE(bus->gateway().baudCode, baudBefore);
    QCOMPARE(other.baudCode, otherBaudBefore);

    QVERIFY(answered(*fixture, "Btoguangbo"));
    QCOMPARE(broadcastShown->text(), QStringLiteral("9"));
    QCOMPARE(itemTexts(addresses), QStringList{"9"});
    QCOMPARE(searchUntilFound(*fixture), QStringList{"9"});

    // The gateway answers under its new address only.
    fixture->type("lineSampleRate", QString());
    QVERIFY(answered(*fixture, "btnRdSampleRate"));
    QCOMPARE(text("lineSampleRate"), QString::number(bus->gateway().samplingPeriod));
}

QTEST_MAIN(GatewayEndToEndTest)
#include "tst_gateway_end_to_end.moc"
