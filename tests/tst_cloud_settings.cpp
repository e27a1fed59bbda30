// The MQTT page: parameter frames, the refusal of text that does not fit,
// the debugging toggle and the handling of the cloud reply.
#include <QtTest>

#include <QPushButton>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {
constexpr int kOtherCode = 0x05;
constexpr int kCloudCode = 0x23;
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
    void debuggingToggles();
    void textThatDoesNotFit_data();
    void textThatDoesNotFit();
    void replyIsDroppedInSixtyFourByteSteps();

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
    boxes.clear();
}

void CloudSettingsTest::frames_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("region r1") << "pushButton_AT1" << "lineEdit_AT1" << "r1" << bytes("64 64 02 72 31");
    QTest::newRow("empty device name") << "pushButton_AT4" << "lineEdit_AT4" << "" << bytes("64 64 05");
    QTest::newRow("device name, two Chinese characters")
        << "pushButton_AT4" << "lineEdit_AT4" << QStringLiteral("网关") << bytes("64 64 05 E7 BD 91 E5 85 B3");
    QTest::newRow("publish a/b") << "pushButton_AT5" << "lineEdit_AT5" << "a/b"
                                 << bytes("64 64 06 61 2F 62 2C 30 2C 30");
    QTest::newRow("publish with its own options")
        << "pushButton_AT5" << "lineEdit_AT5" << "a/b,1,0" << bytes("64 64 06") + QByteArray("a/b,1,0,0,0");
    QTest::newRow("subscribe x") << "pushButton_AT6" << "lineEdit_AT6" << "x" << bytes("64 64 07 78 2C 30");
    QTest::newRow("confirm the mode") << "pushButton_Yes" << "" << "" << bytes("64 64 01 01");
    QTest::newRow("connect") << "pushButton_connect" << "" << "" << bytes("64 C8");
}

void CloudSettingsTest::frames()
{
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QByteArray, frame);
    if (!field.isEmpty())
        fixture.type(field.toLatin1().constData(), text);
    // Only the reply pulses.
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click(button.toLatin1().constData()); }), 0);
    QVERIFY(line.expect(frame));
    QVERIFY(line.expectSilence(100));
    QVERIFY(boxes.boxes.isEmpty());
}

// The label is the state: it flips with each click, and a translated label does nothing.
void CloudSettingsTest::debuggingToggles()
{
    auto *toggle = fixture.child<QPushButton>("pushButton_OPaLI");
    QCOMPARE(toggle->text(), kOff);
    fixture.click("pushButton_OPaLI");
    QCOMPARE(toggle->text(), kOn);
    QVERIFY(line.expect(bytes("64 65 01")));
    fixture.click("pushButton_OPaLI");
    QCOMPARE(toggle->text(), kOff);
    QVERIFY(line.expect(bytes("64 65 00")));
}

// A frame is 3 bytes before the text, so 67 bytes of text fill the 70-byte buffer.
void CloudSettingsTest::textThatDoesNotFit_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("frame"); // empty: refused

    QTest::newRow("region, 67 bytes") << "pushButton_AT1" << "lineEdit_AT1" << QString(67, 'r')
                                      << bytes("64 64 02") + QByteArray(67, 'r');
    QTest::newRow("region, 68 bytes") << "pushButton_AT1" << "lineEdit_AT1" << QString(68, 'r') << QByteArray();
    QTest::newRow("secret, 23 Chinese characters")
        << "pushButton_AT3" << "lineEdit_AT3" << QString(23, QChar(0x7F51)) << QByteArray();
    QTest::newRow("publish, 64 + 4 bytes") << "pushButton_AT5" << "lineEdit_AT5" << QString(64, 't')
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
        QCOMPARE(boxes.texts(), QStringList{"内容过长，最多67字节"});
        QCOMPARE(boxes.boxes.at(0).title, QStringLiteral("提示"));
        QVERIFY(line.expectSilence(200));
        QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
        return;
    }
    QVERIFY(line.expect(frame));
    QVERIFY(line.expectSilence(100));
    QVERIFY(boxes.boxes.isEmpty());
    QCOMPARE(int(fixture.window.currentCommand()), kCloudCode);
}

// The cloud reply is taken 64 bytes at a time; the code goes back to 0.
void CloudSettingsTest::replyIsDroppedInSixtyFourByteSteps()
{
    fixture.type("lineEdit_AT1", QStringLiteral("r1"));
    fixture.click("pushButton_AT1");
    QVERIFY(line.expect(bytes("64 64 02 72 31")));
    QByteArray reply;
    for (int i = 0; i < 100; ++i)
        reply.append(char('A' + i % 26));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }, 600), 1);
    QCOMPARE(int(fixture.window.queuedBytes()), 36);
    QCOMPARE(int(fixture.window.currentCommand()), 0);
}

QTEST_MAIN(CloudSettingsTest)
#include "tst_cloud_settings.moc"
