// The MQTT page: parameter frames, the refusal of text that does not fit,
// the debugging toggle and the handling of the cloud reply.
#include <QtTest>

#include <QComboBox>
#include <QPushButton>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {
constexpr int kOtherCode = 0x05;
constexpr int kCloudCode = 0x23;
constexpr int kUnchanged = -1;
const QString kOff = QStringLiteral("打开平台调试");
const QString kOn = QStringLiteral("关闭平台调试");
}

class CloudSettingsTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void frames_data();
    void frames();
    void modeConfirmationIgnoresTheMode_data();
    void modeConfirmationIgnoresTheMode();
    void debuggingToggles();
    void debuggingWithAnotherLabelDoesNothing();
    void textThatDoesNotFit_data();
    void textThatDoesNotFit();
    void replyIsDroppedInSixtyFourByteSteps_data();
    void replyIsDroppedInSixtyFourByteSteps();
    void laterBytesWaitForTheNextRequest();

private:
    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void CloudSettingsTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
}

void CloudSettingsTest::init()
{
    QVERIFY(fixture.reopenOn(line));
    fixture.window.setCurrentCommand(kOtherCode);
    fixture.child<QPushButton>("pushButton_OPaLI")->setText(kOff);
    boxes.clear();
}

void CloudSettingsTest::frames_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("code");

    QTest::newRow("region r1") << "pushButton_AT1" << "lineEdit_AT1" << "r1" << bytes("64 64 02 72 31") << kCloudCode;
    QTest::newRow("device property") << "pushButton_AT2" << "lineEdit_AT2" << "p"
                                     << bytes("64 64 03 70") << kCloudCode;
    QTest::newRow("device secret") << "pushButton_AT3" << "lineEdit_AT3" << "s3"
                                   << bytes("64 64 04 73 33") << kCloudCode;
    QTest::newRow("empty device name") << "pushButton_AT4" << "lineEdit_AT4" << "" << bytes("64 64 05")
                                       << kCloudCode;
    QTest::newRow("device name, two Chinese characters")
        << "pushButton_AT4" << "lineEdit_AT4" << QStringLiteral("网关") << bytes("64 64 05 E7 BD 91 E5 85 B3")
        << kCloudCode;
    QTest::newRow("publish a/b") << "pushButton_AT5" << "lineEdit_AT5" << "a/b"
                                 << bytes("64 64 06 61 2F 62 2C 30 2C 30") << kCloudCode;
    QTest::newRow("publish with its own options")
        << "pushButton_AT5" << "lineEdit_AT5" << "a/b,1,0"
        << bytes("64 64 06") + QByteArray("a/b,1,0,0,0") << kCloudCode;
    QTest::newRow("empty publish topic") << "pushButton_AT5" << "lineEdit_AT5" << ""
                                         << bytes("64 64 06 2C 30 2C 30") << kCloudCode;
    QTest::newRow("subscribe x") << "pushButton_AT6" << "lineEdit_AT6" << "x" << bytes("64 64 07 78 2C 30")
                                 << kCloudCode;
    QTest::newRow("connect") << "pushButton_connect" << "" << "" << bytes("64 C8") << kUnchanged;
}

void CloudSettingsTest::frames()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    QFETCH(int, code);
    if (!field.isEmpty())
        fixture.type(field.toLatin1().constData(), text);
    // Only the reply pulses.
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click(button.toLatin1().constData()); }), 0);
    QVERIFY(line.expect(frame));
    QVERIFY(line.expectSilence(100));
    QCOMPARE(int(fixture.window.currentCommand()), code == kUnchanged ? kOtherCode : code);
    QVERIFY(boxes.boxes.isEmpty());
}

void CloudSettingsTest::modeConfirmationIgnoresTheMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("Alibaba Cloud") << 0;
    QTest::newRow("generic MQTT") << 1;
}

void CloudSettingsTest::modeConfirmationIgnoresTheMode()
{
    QFETCH(int, mode);
    fixture.child<QComboBox>("comboBox_Mode")->setCurrentIndex(mode);
    fixture.click("pushButton_Yes");
    QVERIFY(line.expect(bytes("64 64 01 01")));
    QVERIFY(line.expectSilence(100));
    QCOMPARE(int(fixture.window.currentCommand()), kCloudCode);
}

void CloudSettingsTest::debuggingToggles()
{
    auto *toggle = fixture.child<QPushButton>("pushButton_OPaLI");
    fixture.click("pushButton_OPaLI");
    QCOMPARE(toggle->text(), kOn);
    QVERIFY(line.expect(bytes("64 65 01")));
    fixture.click("pushButton_OPaLI");
    QCOMPARE(toggle->text(), kOff);
    QVERIFY(line.expect(bytes("64 65 00")));
    QVERIFY(line.expectSilence(100));
    QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
}

// After a switch to a language that translates the label.
void CloudSettingsTest::debuggingWithAnotherLabelDoesNothing()
{
    auto *toggle = fixture.child<QPushButton>("pushButton_OPaLI");
    toggle->setText(QStringLiteral("Open platform debugging"));
    fixture.click("pushButton_OPaLI");
    QCOMPARE(toggle->text(), QStringLiteral("Open platform debugging"));
    QVERIFY(line.expectSilence(200));
}

// A frame is 3 bytes before the text, so 67 bytes of text fill the 70-byte buffer.
void CloudSettingsTest::textThatDoesNotFit_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame"); // empty: refused

    const QString chinese22 = QString(22, QChar(0x7F51)); // 66 bytes
    QTest::newRow("region, 67 bytes") << "pushButton_AT1" << "lineEdit_AT1" << QString(67, 'r')
                                      << bytes("64 64 02") + QByteArray(67, 'r');
    QTest::newRow("region, 68 bytes") << "pushButton_AT1" << "lineEdit_AT1" << QString(68, 'r') << QByteArray();
    QTest::newRow("secret, 66 + 1 bytes") << "pushButton_AT3" << "lineEdit_AT3" << chinese22 + "s"
                                          << bytes("64 64 04") + chinese22.toUtf8() + "s";
    QTest::newRow("secret, 23 Chinese characters")
        << "pushButton_AT3" << "lineEdit_AT3" << chinese22 + QChar(0x5173) << QByteArray();
    QTest::newRow("publish, 63 + 4 bytes") << "pushButton_AT5" << "lineEdit_AT5" << QString(63, 't')
                                           << bytes("64 64 06") + QByteArray(63, 't') + ",0,0";
    QTest::newRow("publish, 64 + 4 bytes") << "pushButton_AT5" << "lineEdit_AT5" << QString(64, 't')
                                           << QByteArray();
    QTest::newRow("subscribe, 65 + 2 bytes") << "pushButton_AT6" << "lineEdit_AT6" << QString(65, 'u')
                                             << bytes("64 64 07") + QByteArray(65, 'u') + ",0";
    QTest::newRow("subscribe, 66 + 2 bytes") << "pushButton_AT6" << "lineEdit_AT6" << QString(66, 'u')
                                             << QByteArray();
}

void CloudSettingsTest::textThatDoesNotFit()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    fixture.type(field.toLatin1().constData(), text);
    fixture.click(button.toLatin1().constData());
    if (frame.isEmpty()) {
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QCOMPARE(boxes.boxes.at(0).title, QStringLiteral("提示"));
        QCOMPARE(boxes.boxes.at(0).text, QStringLiteral("内容过长，最多67字节"));
        QVERIFY(line.expectSilence(200));
        QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
        return;
    }
    QCOMPARE(frame.size(), 70);
    QVERIFY(line.expect(frame));
    QVERIFY(line.expectSilence(100));
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(int(fixture.window.currentCommand()), kCloudCode);
}

void CloudSettingsTest::replyIsDroppedInSixtyFourByteSteps_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("left");
    QTest::newRow("100 bytes") << 100 << 36;
    QTest::newRow("64 bytes") << 64 << 0;
    QTest::newRow("one byte") << 1 << 0;
    QTest::newRow("65 bytes") << 65 << 1;
}

void CloudSettingsTest::replyIsDroppedInSixtyFourByteSteps()
{
    QFETCH(int, size);
    QFETCH(int, left);
    fixture.type("lineEdit_AT1", QStringLiteral("r1"));
    fixture.click("pushButton_AT1");
    QVERIFY(line.expect(bytes("64 64 02 72 31")));
    QByteArray reply;
    for (int i = 0; i < size; ++i)
        reply.append(char('A' + i % 26));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }, 600), 1);
    QCOMPARE(int(fixture.window.queuedBytes()), left);
    QCOMPARE(int(fixture.window.currentCommand()), 0);
}

// With the code back at 0, bytes that come later stay in the port.
void CloudSettingsTest::laterBytesWaitForTheNextRequest()
{
    fixture.click("pushButton_Yes");
    QVERIFY(line.expect(bytes("64 64 01 01")));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(QByteArray("OK")); }, 500), 1);
    QCOMPARE(fixture.pulsesDuring([&] { line.write(QByteArray("\r\n")); }, 300), 0);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(fixture.window.port().bytesAvailable(), qint64(2));
}

QTEST_MAIN(CloudSettingsTest)
#include "tst_cloud_settings.moc"
