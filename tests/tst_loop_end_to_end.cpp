// The current-loop, acquisition and cloud pages against the gateway simulator:
// what the window writes is what the simulated gateway holds, and what it reads
// back is what the gateway answered.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <memory>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "simulatedbus.h"
#include "windowfixture.h"

namespace {

constexpr std::uint8_t kAddress = 6;
constexpr int kMeters = 5;
constexpr int kSilentMeter = 3;

SimulatorSettings loopSettings()
{
    SimulatorSettings settings = SimulatedBus::settingsFor(kAddress);
    settings.meters = kMeters;
    settings.silentMeters = {kSilentMeter};
    settings.drift = 0.0f;
    return settings;
}

} // namespace

class LoopEndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void channelWrittenAndReadBack_data();
    void channelWrittenAndReadBack();
    void rangeWrittenAndReadBack();
    void calibrationEnabledAndPointsSent();
    void testCurrentsReachTheGateway();
    void acquisitionFillsTheTable();
    void cloudParametersAreHeld();

private:
    QString text(const char *lineEdit) const { return fixture->child<QLineEdit>(lineEdit)->text(); }
    bool clickAndAwaitPulse(const char *button);
    QString cell(int row, int column) const;

    std::unique_ptr<SimulatedBus> bus;
    std::unique_ptr<WindowFixture> fixture;
    BoxRecorder boxes;
};

void LoopEndToEndTest::initTestCase()
{
    bus = std::make_unique<SimulatedBus>(loopSettings());
    QVERIFY2(bus->opened, qPrintable(bus->error));
    fixture = std::make_unique<WindowFixture>();
    QVERIFY(bus->connect(*fixture));
}

void LoopEndToEndTest::init()
{
    fixture->selectAddress(kAddress);
}

// Clicks and waits for a pulse beyond the one the request itself may run.
bool LoopEndToEndTest::clickAndAwaitPulse(const char *button)
{
    PulseCounter pulses(*fixture);
    fixture->click(button);
    const int afterSending = pulses.count();
    return pulses.waitFor(afterSending + 1, 3000) == afterSending + 1;
}

QString LoopEndToEndTest::cell(int row, int column) const
{
    const QTableWidgetItem *item = fixture->child<QTableWidget>("tableWidget")->item(row, column);
    return item ? item->text() : QString();
}

void LoopEndToEndTest::channelWrittenAndReadBack_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<int>("stored");
    QTest::newRow("channel 4") << "4" << 3;
    QTest::newRow("channel 1") << "1" << 0;
    QTest::newRow("channel 256") << "256" << 255;
}

void LoopEndToEndTest::channelWrittenAndReadBack()
{
    QFETCH(QString, channel);
    QFETCH(int, stored);
    fixture->type("lineTDxiugai", channel);
    QVERIFY(clickAndAwaitPulse("BtoTDxiugai"));
    QCOMPARE(int(bus->gateway().loopChannel), stored);

    fixture->type("lineTDxiugai", QString());
    fixture->click("BtoTDduqu");
    QTRY_COMPARE(text("lineTDxiugai"), channel);
}

void LoopEndToEndTest::rangeWrittenAndReadBack()
{
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

void LoopEndToEndTest::calibrationEnabledAndPointsSent()
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

    QTest::keyClick(points, Qt::Key_Up);
    QTRY_COMPARE(int(bus->gateway().testCurrent), 0x28);
    fixture->type("lineshijizhi", QStringLiteral("4.012"));
    fixture->click("BtoDLjiaozhun");
    QTRY_COMPARE(bus->gateway().measuredAt4mA, 4012);
}

void LoopEndToEndTest::testCurrentsReachTheGateway()
{
    fixture->click("radio16mA");
    fixture->click("BtoTDduqu");
    fixture->click("Btoceshi");
    QTRY_COMPARE(int(bus->gateway().testCurrent), 0xA0);
    fixture->type("lineCEshuru", QStringLiteral("12.5"));
    fixture->click("BtoZDceshi");
    QTRY_COMPARE(int(bus->gateway().testCurrent), 0x7D);
    fixture->click("Btotuichu");
    QTRY_COMPARE(int(bus->gateway().testCurrent), 0xFF);
}

void LoopEndToEndTest::acquisitionFillsTheTable()
{
    const float temperatures[kMeters] = {21.5f, -4.25f, 0.0f, 99.125f, 18.0f};
    const QString shown[kMeters] = {"21.5000", "-4.2500", "超时", "99.1250", "18.0000"};
    for (int m = 0; m < kMeters; ++m)
        bus->gateway().meters[m].temperature = temperatures[m];

    fixture->type("lineshuliang", QString::number(kMeters));
    fixture->click("Btocaiji");
    QTRY_COMPARE_WITH_TIMEOUT(cell(kMeters - 1, 1), shown[kMeters - 1], 4000);
    for (int m = 0; m < kMeters; ++m) {
        QCOMPARE(cell(m, 0), QString::number(m + 1));
        QCOMPARE(cell(m, 1), shown[m]);
    }
    QCOMPARE(cell(kMeters, 0), QString());

    // The next poll brings the changed value.
    bus->gateway().meters[0].temperature = 30.0f;
    QTRY_COMPARE_WITH_TIMEOUT(cell(0, 1), QStringLiteral("30.0000"), 3000);
    fixture->click("Btocaiji");
    QCOMPARE(fixture->child<QPushButton>("Btocaiji")->text(), QStringLiteral("开始采集"));
    QVERIFY(fixture->child<QWidget>("Btodakai")->isEnabled());
    settle(1300);
}

void LoopEndToEndTest::cloudParametersAreHeld()
{
    const struct {
        const char *button;
        const char *field;
        QString text;
        int parameter;
        QString held;
    } writes[] = {
        {"pushButton_AT1", "lineEdit_AT1", QStringLiteral("cn-shanghai"), CloudParameter::Region,
         QStringLiteral("cn-shanghai")},
        {"pushButton_AT2", "lineEdit_AT2", QStringLiteral("a1B2c3"), CloudParameter::DeviceProperty,
         QStringLiteral("a1B2c3")},
        {"pushButton_AT3", "lineEdit_AT3", QStringLiteral("s3cr3t"), CloudParameter::DeviceSecret,
         QStringLiteral("s3cr3t")},
        {"pushButton_AT4", "lineEdit_AT4", QStringLiteral("网关一号"), CloudParameter::DeviceName,
         QStringLiteral("网关一号")},
        {"pushButton_AT5", "lineEdit_AT5", QStringLiteral("/sys/up"), CloudParameter::PublishTopic,
         QStringLiteral("/sys/up,0,0")},
        {"pushButton_AT6", "lineEdit_AT6", QStringLiteral("/sys/down"), CloudParameter::SubscribeTopic,
         QStringLiteral("/sys/down,0")},
    };
    for (const auto &write : writes) {
        fixture->type(write.field, write.text);
        QVERIFY2(clickAndAwaitPulse(write.button), write.button);
        QCOMPARE(bus->gateway().cloudParameters.value(write.parameter), write.held);
        QCOMPARE(int(fixture->window.currentCommand()), 0);
    }
    QVERIFY(clickAndAwaitPulse("pushButton_Yes"));
    QVERIFY(bus->gateway().modeConfirmed);

    fixture->click("pushButton_connect");
    QTRY_VERIFY(bus->gateway().connected);
    fixture->click("pushButton_OPaLI");
    QTRY_VERIFY(bus->gateway().platformDebugging);
    fixture->click("pushButton_OPaLI");
    QTRY_VERIFY(!bus->gateway().platformDebugging);

    // A refused text leaves the gateway's value as it was.
    fixture->type("lineEdit_AT1", QString(68, QLatin1Char('r')));
    fixture->click("pushButton_AT1");
    QTRY_COMPARE(boxes.texts().value(boxes.texts().size() - 1), QStringLiteral("内容过长，最多67字节"));
    settle(200);
    QCOMPARE(bus->gateway().cloudParameters.value(CloudParameter::Region), QStringLiteral("cn-shanghai"));
}

QTEST_MAIN(LoopEndToEndTest)
#include "tst_loop_end_to_end.moc"
