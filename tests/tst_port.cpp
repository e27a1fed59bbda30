// Opening and closing the serial port, what a closed or vanished line does,
// and the traffic log.
#include <QtTest>

#include <sys/resource.h>
#include <unistd.h>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

QStringList captured;

void captureMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    captured << message;
}

qint64 cpuMicroseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000
           + usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
}

const char *const kSettingBoxes[] = {"comchuankou", "combotelv", "comjiaoyanwei", "comshujuwei", "comstop"};

} // namespace

class PortTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();

    void openAndClose();
    void openFailureChangesNothing_data();
    void openFailureChangesNothing();
    void lineSettingsFollowTheItemIndex_data();
    void lineSettingsFollowTheItemIndex();
    void closedPortSendsNothing();
    void requestsGoOutOnTheWire();
    void requestLeavesBeforeThePulse();
    void vanishingLineClosesThePortOnce();
    void trafficLogIsOffByDefault();
    void trafficLogMasksTheDeviceSecret();

private:
    bool settingBoxesEnabled(bool enabled) const;

    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void PortTest::initTestCase()
{
    qRegisterMetaType<QSerialPort::SerialPortError>();
    QVERIFY(line.isValid());
}

void PortTest::cleanup()
{
    fixture.closePort();
    boxes.clear();
    QLoggingCategory::setFilterRules(QString());
}

bool PortTest::settingBoxesEnabled(bool enabled) const
{
    for (const char *name : kSettingBoxes) {
        if (fixture.child<QComboBox>(name)->isEnabled() != enabled)
            return false;
    }
    return true;
}

void PortTest::openAndClose()
{
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^成功打开串口 .*%1").arg(line.path())));
    QVERIFY(fixture.openOn(line));
    QCOMPARE(fixture.child<QPushButton>("Btodakai")->text(), QStringLiteral("关闭串口"));
    QVERIFY(settingBoxesEnabled(false));
    QVERIFY(fixture.window.port().isOpen());

    fixture.click("Btodakai");
    QVERIFY(!fixture.window.isPortOpen());
    QVERIFY(!fixture.window.port().isOpen());
    QCOMPARE(fixture.child<QPushButton>("Btodakai")->text(), QStringLiteral("打开串口"));
    QVERIFY(settingBoxesEnabled(true));
    QVERIFY(boxes.boxes.isEmpty());
}

void PortTest::openFailureChangesNothing_data()
{
    QTest::addColumn<QString>("portName");
    QTest::newRow("no port at all") << QString();
    QTest::newRow("missing device") << QStringLiteral("/dev/nvb-no-such-port");
}

void PortTest::openFailureChangesNothing()
{
    QFETCH(QString, portName);
    auto *ports = fixture.child<QComboBox>("comchuankou");
    ports->clear();
    if (!portName.isEmpty())
        ports->addItem(portName);
    fixture.window.setCurrentCommand(0x05);
    fixture.window.receiveBytes(bytes("01 03"));
    const std::size_t queued = fixture.window.queuedBytes();

    fixture.click("Btodakai");
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("打开失败"));
    QCOMPARE(boxes.boxes[0].text, QStringLiteral("串口错误或被占用"));
    QVERIFY(!fixture.window.isPortOpen());
    QCOMPARE(fixture.child<QPushButton>("Btodakai")->text(), QStringLiteral("打开串口"));
    QVERIFY(settingBoxesEnabled(true));
    QCOMPARE(fixture.window.queuedBytes(), queued);
    QCOMPARE(fixture.window.currentCommand(), std::uint8_t(0x05));
}

void PortTest::lineSettingsFollowTheItemIndex_data()
{
    QTest::addColumn<int>("baudIndex");
    QTest::addColumn<int>("parityIndex");
    QTest::addColumn<int>("dataIndex");
    QTest::addColumn<int>("stopIndex");
    QTest::addColumn<bool>("translated");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("first items") << 0 << 0 << 0 << 0 << false << 9600 << int(QSerialPort::NoParity) << 8
                                 << int(QSerialPort::OneStop);
    QTest::newRow("2400 odd 7 2") << 1 << 1 << 1 << 1 << false << 2400 << int(QSerialPort::OddParity) << 7
                                  << int(QSerialPort::TwoStop);
    QTest::newRow("4800 even, translated") << 2 << 2 << 0 << 0 << true << 4800 << int(QSerialPort::EvenParity)
                                           << 8 << int(QSerialPort::OneStop);
    QTest::newRow("19200 odd, translated") << 3 << 1 << 0 << 1 << true << 19200 << int(QSerialPort::OddParity)
                                           << 8 << int(QSerialPort::TwoStop);
}

void PortTest::lineSettingsFollowTheItemIndex()
{
    QFETCH(int, baudIndex);
    QFETCH(int, parityIndex);
    QFETCH(int, dataIndex);
    QFETCH(int, stopIndex);
    QFETCH(bool, translated);
    QFETCH(int, baud);
    QFETCH(int, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);

    auto *parityBox = fixture.child<QComboBox>("comjiaoyanwei");
    const QStringList formTexts = {parityBox->itemText(0), parityBox->itemText(1), parityBox->itemText(2)};
    if (translated) {
        parityBox->setItemText(0, QStringLiteral("None"));
        parityBox->setItemText(1, QStringLiteral("Odd"));
        parityBox->setItemText(2, QStringLiteral("Even"));
    }
    fixture.child<QComboBox>("combotelv")->setCurrentIndex(baudIndex);
    parityBox->setCurrentIndex(parityIndex);
    fixture.child<QComboBox>("comshujuwei")->setCurrentIndex(dataIndex);
    fixture.child<QComboBox>("comstop")->setCurrentIndex(stopIndex);
    const bool opened = fixture.openOn(line);
    for (int i = 0; i < formTexts.size(); ++i)
        parityBox->setItemText(i, formTexts[i]);
    for (const char *name : kSettingBoxes)
        fixture.child<QComboBox>(name)->setEnabled(true);
    QVERIFY(opened);

    QSerialPort &port = fixture.window.port();
    QCOMPARE(int(port.baudRate(QSerialPort::Input)), baud);
    QCOMPARE(int(port.baudRate(QSerialPort::Output)), baud);
    QCOMPARE(int(port.parity()), parity);
    QCOMPARE(int(port.dataBits()), dataBits);
    QCOMPARE(int(port.stopBits()), stopBits);
    QCOMPARE(int(port.flowControl()), int(QSerialPort::NoFlowControl));
    fixture.closePort();
    for (const char *name : kSettingBoxes)
        fixture.child<QComboBox>(name)->setCurrentIndex(0);
}

void PortTest::closedPortSendsNothing()
{
    fixture.closePort();
    line.drain();
    fixture.window.setCurrentCommand(0);
    fixture.click("BtoduquB");
    QCOMPARE(fixture.window.currentCommand(), std::uint8_t(0x05));
    QVERIFY(line.expectSilence(200));
    QVERIFY(boxes.boxes.isEmpty());
}

void PortTest::requestsGoOutOnTheWire()
{
    QVERIFY(fixture.openOn(line));
    line.drain();
    fixture.selectAddress(1);
    fixture.click("BtoduquB");
    QVERIFY(line.expect(withCrc(bytes("01 03 00 02 00 01"))));
    // The buffer was zeroed after the first request: no byte of it leaks into the next.
    fixture.click("Btoguangbo");
    QVERIFY(line.expect(bytes("00 03 00 01 00 01 D4 1B")));
    fixture.click("Btotuichu");
    QVERIFY(line.expect(bytes("AA 05 02 FF AA")));
    QVERIFY(line.expectSilence(100));
}

// The pulse after a request blocks the event loop for 300 ms; the frame must
// already be on the line by then, not wait for the loop.
void PortTest::requestLeavesBeforeThePulse()
{
    QVERIFY(fixture.openOn(line));
    line.drain();
    fixture.click("Btotuichu");
    char got[16] = {};
    const ssize_t n = ::read(line.masterFd(), got, sizeof got);
    QCOMPARE(QByteArray(got, int(qMax<ssize_t>(n, 0))), bytes("AA 05 02 FF AA"));
}

void PortTest::vanishingLineClosesThePortOnce()
{
    PtyLine doomed;
    QVERIFY(fixture.openOn(doomed));
    QSignalSpy errors(&fixture.window.port(), &QSerialPort::errorOccurred);
    QVERIFY(errors.isValid());
    fixture.window.setCurrentCommand(0x05);
    fixture.window.receiveBytes(bytes("01"));

    doomed.hangUp();
    QTRY_VERIFY_WITH_TIMEOUT(!fixture.window.isPortOpen(), 1000);
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes[0].title, QStringLiteral("提示"));
    QCOMPARE(boxes.boxes[0].text, QStringLiteral("串口已断开"));
    QVERIFY(!fixture.window.port().isOpen());
    QCOMPARE(fixture.child<QPushButton>("Btodakai")->text(), QStringLiteral("打开串口"));
    QVERIFY(settingBoxesEnabled(true));
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(fixture.window.currentCommand(), std::uint8_t(0x05));

    // Idle afterwards: no more errors, no spinning.
    const int errorsSoFar = errors.count();
    QVERIFY2(errorsSoFar <= 5, qPrintable(QString::number(errorsSoFar)));
    const qint64 before = cpuMicroseconds();
    settle(500);
    const qint64 used = cpuMicroseconds() - before;
    QCOMPARE(errors.count(), errorsSoFar);
    QVERIFY2(used < 150000, qPrintable(QStringLiteral("%1 us of CPU in 500 ms").arg(used)));
    QCOMPARE(boxes.boxes.size(), 1);
}

void PortTest::trafficLogIsOffByDefault()
{
    captured.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    const bool opened = fixture.openOn(line);
    fixture.selectAddress(1);
    fixture.click("BtoxiugaiJ");
    line.read(11);
    line.write(withCrc(bytes("01 10 00 00 00 01")));
    settle(500);
    qInstallMessageHandler(previous);
    QVERIFY(opened);
    QCOMPARE(captured.size(), 1);
    QVERIFY(captured[0].startsWith(QStringLiteral("成功打开串口")));
}

void PortTest::trafficLogMasksTheDeviceSecret()
{
    QVERIFY(fixture.openOn(line));
    line.drain();
    QLoggingCategory::setFilterRules(QStringLiteral("nvb.link.debug=true"));
    captured.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    fixture.type("lineEdit_AT3", QStringLiteral("s3cret"));
    fixture.click("pushButton_AT3");
    fixture.type("lineEdit_AT4", QStringLiteral("dev"));
    fixture.click("pushButton_AT4");
    const QByteArray secretFrame = line.read(9 + 6);
    line.write(bytes("4F 4B"));
    settle(500);
    qInstallMessageHandler(previous);

    QCOMPARE(secretFrame, bytes("64 64 04") + "s3cret" + bytes("64 64 05") + "dev");
    QCOMPARE(captured.filter(QStringLiteral("-> 64 64 04 ** ** ** ** ** **")).size(), 1);
    QCOMPARE(captured.filter(QStringLiteral("-> 64 64 05 64 65 76")).size(), 1);
    QCOMPARE(captured.filter(QStringLiteral("<- 4F 4B")).size(), 1);
    QVERIFY(captured.filter(QStringLiteral("73 33 63")).isEmpty());
}

QTEST_MAIN(PortTest)
#include "tst_port.moc"
