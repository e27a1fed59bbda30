// What the user sees of the line: the reply watch in the progress bar and the
// traffic monitor, against the simulator on a pseudo-terminal.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "boxrecorder.h"
#include "ptyline.h"
#include "simulatedbus.h"
#include "traffic_monitor.h"
#include "windowfixture.h"

namespace {

constexpr std::uint8_t kAddress = 5;

// The simulated gateway with every fault off.
SimulatorSettings clean()
{
    SimulatorSettings settings = SimulatedBus::settingsFor(kAddress);
    settings.drift = 0.0f;
    return settings;
}

} // namespace

class TrafficTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void replyWatch_data();
    void replyWatch();
    void lateReplyIsHandledAndRestoresThePercentage();
    void monitorShowsTheExchange();
    void monitorKeepsTheLastTenThousand();

private:
    QProgressBar *bar() const { return fixture.child<QProgressBar>("progressBar"); }
    QString viewText() const { return fixture.window.monitor()->findChild<QPlainTextEdit *>()->toPlainText(); }

    SimulatedBus bus{clean()};
    WindowFixture fixture;
    BoxRecorder boxes;
};

void TrafficTest::initTestCase()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR)));
    QVERIFY2(bus.opened, qPrintable(bus.error));
    QVERIFY(bus.connect(fixture));
}

void TrafficTest::init()
{
    bus.simulator.settings() = clean();
    fixture.selectAddress(kAddress);
    fixture.type("lineSampleRate", QString());
    // A good reply first, so each row starts from the percentage.
    fixture.click("btnRdSampleRate");
    QTRY_COMPARE(fixture.child<QLineEdit>("lineSampleRate")->text(), QStringLiteral("60"));
    QCOMPARE(bar()->format(), QStringLiteral("%p%"));
}

void TrafficTest::replyWatch_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("english");
    QTest::addColumn<QString>("shown");

    QTest::newRow("silent gateway") << "drop" << "BtoduquB" << false << "无应答";
    QTest::newRow("exception") << "exception" << "btnRdID" << false << "异常 04 从站设备故障";
    QTest::newRow("bad CRC") << "corrupt" << "BtoduquHZ" << false << "校验错误";
    QTest::newRow("silent, in English") << "drop" << "BtoduquB" << true << "No reply";
    QTest::newRow("exception, in English") << "exception" << "BtnRdRange" << true
                                           << "Exception 04 server device failure";
    QTest::newRow("bad CRC, in English") << "corrupt" << "BtoxieruSF" << true << "Check failed";
    QTest::newRow("acquisition poll without reply") << "drop" << "Btocaiji" << false << "无应答";
}

// The first outcome of a request shows in the bar's text and stays; the bar's
// value is left alone.
void TrafficTest::replyWatch()
{
    QFETCH(QString, fault);
    QFETCH(QString, button);
    QFETCH(bool, english);
    QFETCH(QString, shown);

    if (english)
        fixture.click("Btoyuyan");
    SimulatorSettings &settings = bus.simulator.settings();
    settings.dropRate = fault == QLatin1String("drop") ? 1.0 : 0.0;
    settings.exceptionRate = fault == QLatin1String("exception") ? 1.0 : 0.0;
    settings.corruptRate = fault == QLatin1String("corrupt") ? 1.0 : 0.0;
    fixture.type("lineSF", QStringLiteral("7"));
    fixture.type("lineshuliang", QStringLiteral("2"));
    const int value = bar()->value();

    fixture.click(button.toLatin1().constData());
    QTRY_COMPARE_WITH_TIMEOUT(bar()->format(), shown, 3000);
    QCOMPARE(bar()->text(), shown);
    if (button == QLatin1String("Btocaiji"))
        fixture.click("Btocaiji");
    settle(1200);
    QCOMPARE(bar()->format(), shown);
    QCOMPARE(bar()->value(), value);
    if (english)
        fixture.click("Btoyuyan");
}

void TrafficTest::lateReplyIsHandledAndRestoresThePercentage()
{
    bus.simulator.settings().delayMs = 1500;
    fixture.type("lineSampleRate", QString());
    bus.gateway().samplingPeriod = 90;
    fixture.click("btnRdSampleRate");
    QTRY_COMPARE_WITH_TIMEOUT(bar()->format(), QStringLiteral("无应答"), 1400);
    QTRY_COMPARE_WITH_TIMEOUT(fixture.child<QLineEdit>("lineSampleRate")->text(), QStringLiteral("90"), 2000);
    QCOMPARE(bar()->format(), QStringLiteral("%p%"));
    bus.gateway().samplingPeriod = 60;
}

void TrafficTest::monitorShowsTheExchange()
{
    fixture.window.traffic().clear();
    QTest::keyClick(&fixture.window, Qt::Key_F12);
    TrafficMonitor *monitor = fixture.window.monitor();
    QVERIFY(monitor && monitor->isVisible());
    fixture.click("monitorButton");
    QCOMPARE(fixture.window.findChildren<TrafficMonitor *>().size(), 1);

    fixture.click("BtoduquB");
    QTRY_COMPARE(fixture.window.traffic().count(TrafficEvent::Reply), 1);
    fixture.type("lineEdit_AT3", QStringLiteral("s3cr3t"));
    fixture.click("pushButton_AT3");
    QTRY_COMPARE(fixture.window.traffic().count(TrafficEvent::Reply), 2);
    fixture.type("lineCEshuru", QStringLiteral("12"));
    fixture.click("BtoZDceshi");

    const QStringList expected = {
        "-> 05 03 00 02 00 01 24 4E  read 0x0002 baud rate",
        "<- 05 03 02 00 02 C8 45  baud rate = 9600  (",
        "-> 64 64 04 ** ** ** ** ** **  cloud: device secret (hidden)",
        "<- 4F 4B 0D 0A  cloud: \"OK\"  (",
        "-> AA 05 02 78 AA  current-loop test 12.0 mA",
    };
    QTRY_COMPARE(viewText().split(QLatin1Char('\n')).size(), expected.size());
    const QStringList lines = viewText().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ")).match(lines[i]).hasMatch(),
                 qPrintable(lines[i]));
        QVERIFY2(lines[i].mid(13).startsWith(expected[i]), qPrintable(lines[i]));
    }
    QCOMPARE(monitor->findChild<QLabel *>(QStringLiteral("trafficCounts"))->text(),
             QStringLiteral("请求 3   应答 2   无应答 0   校验错误 0   异常 0"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("traffic.txt"));
    QVERIFY(monitor->saveTo(path));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QString file = QString::fromUtf8(saved.readAll());
    QCOMPARE(file, viewText() + QLatin1Char('\n'));
    for (const QString &text : {viewText(), file}) {
        QVERIFY(!text.contains(QStringLiteral("s3cr3t")));
        QVERIFY(!text.contains(QStringLiteral("73 33 63 72 33 74")));
    }

    // Paused, the view stands still; resumed, it shows what came meanwhile.
    QPushButton *pause = monitor->findChildren<QPushButton *>().at(0);
    pause->click();
    fixture.click("Btotuichu");
    settle(300);
    QCOMPARE(viewText().split(QLatin1Char('\n')).size(), expected.size());
    pause->click();
    QVERIFY(viewText().endsWith(QStringLiteral("current-loop leave test")));

    monitor->findChildren<QPushButton *>().at(1)->click();
    QCOMPARE(viewText(), QString());
    QCOMPARE(fixture.window.traffic().count(TrafficEvent::Request), 0);
    monitor->close();
}

void TrafficTest::monitorKeepsTheLastTenThousand()
{
    TrafficRecord &record = fixture.window.traffic();
    record.clear();
    fixture.window.openMonitor();
    for (int i = 1; i <= TrafficRecord::kCapacity + 1; ++i)
        record.add(TrafficEvent::Stray, QByteArray(1, char(i)), QString::number(i));
    QCOMPARE(record.events().size(), std::size_t(TrafficRecord::kCapacity));
    QCOMPARE(record.events().front().meaning, QStringLiteral("2"));
    QTRY_VERIFY(viewText().endsWith(QStringLiteral("  10001")));
    QCOMPARE(fixture.window.monitor()->findChild<QPlainTextEdit *>()->blockCount(), TrafficRecord::kCapacity);
    QVERIFY(viewText().section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral("  2")));
    fixture.window.monitor()->close();
}

QTEST_MAIN(TrafficTest)
#include "tst_traffic.moc"
