// The platform-interface page: replies on screen, and values read that are
// written back unchanged.
#include <QtTest>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "windowfixture.h"

class PlatformParametersTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void replies_data();
    void replies();
    void readValueWrittenBack_data();
    void readValueWrittenBack();

private:
    // Clicks the button, takes its request off the line, answers it and returns
    // the pulses seen, waiting for the expected count or, for none, a while.
    int answer(const char *button, const QByteArray &reply, int pulseCount = 1);

    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void PlatformParametersTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
}

void PlatformParametersTest::init()
{
    line.drain();
    fixture.selectAddress(1);
}

int PlatformParametersTest::answer(const char *button, const QByteArray &reply, int pulseCount)
{
    fixture.click(button);
    line.readFrame(8);
    PulseCounter pulses(fixture);
    line.write(reply);
    return pulses.waitAndSettle(pulseCount);
}

void PlatformParametersTest::replies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<int>("pulseCount");

    auto row = [](const char *name, const char *button, const QByteArray &reply, const QStringList &before,
                  const QStringList &after, int pulseCount = 1) {
        QTest::newRow(name) << QString::fromLatin1(button) << reply << before << after << pulseCount;
    };

    row("range 4 to 20", "BtnRdRange", withCrc(bytes("01 03 04 00 28 00 C8")), {},
        {"lineLower=4", "lineUpper=20"});
    row("range 12.5 to 100", "BtnRdRange", withCrc(bytes("01 03 04 00 7D 03 E8")), {},
        {"lineLower=12.5", "lineUpper=100"});
    row("range 0xFFF1 is unsigned", "BtnRdRange", withCrc(bytes("01 03 04 FF F1 FF FF")), {},
        {"lineLower=6552.1", "lineUpper=6553.5"});
    row("range 4.2 and 0", "BtnRdRange", withCrc(bytes("01 03 04 00 2A 00 00")), {},
        {"lineLower=4.2", "lineUpper=0"});
    row("range, bad CRC", "BtnRdRange", bytes("01 03 04 00 2A 00 00 00 00"), {"lineLower=1", "lineUpper=2"},
        {"lineLower=1", "lineUpper=2"}, 0);
    row("frequency 0x000D leaves the first page", "btnReadFreq", withCrc(bytes("01 03 02 00 0D")),
        {"lineFreq=", "linetongxin=470"}, {"lineFreq=433", "linetongxin=470"});
    row("frequency 0xFF00", "btnReadFreq", withCrc(bytes("01 03 02 FF 00")), {}, {"lineFreq=420"});
    row("spreading factor fills both pages", "btnReadSF", withCrc(bytes("01 03 02 00 09")),
        {"lineSF2=", "lineSF=7"}, {"lineSF2=9", "lineSF=9"});
    row("transmitters 0x0105 shows the low byte", "btnRdNum", withCrc(bytes("01 03 02 01 05")),
        {"lineTrNum=", "lineEdit=8"}, {"lineTrNum=5", "lineEdit=8"});
    row("gateway ID 0x00A5", "btnRdID", withCrc(bytes("01 03 02 00 A5")), {}, {"lineID=0x00A5"});
    row("gateway ID 0xBEEF", "btnRdID", withCrc(bytes("01 03 02 BE EF")), {}, {"lineID=0xBEEF"});
    row("gateway ID 0", "btnRdID", withCrc(bytes("01 03 02 00 00")), {}, {"lineID=0x0000"});
    row("firmware 0x0102", "btnRdFWV", withCrc(bytes("01 03 02 01 02")), {"lineID=x"},
        {"lineFWV=0x0102", "lineID=x"});
    row("sampling 0x0105 uses both bytes", "btnRdSampleRate", withCrc(bytes("01 03 02 01 05")), {},
        {"lineSampleRate=261"});
    row("sampling 0xFFFF", "btnRdSampleRate", withCrc(bytes("01 03 02 FF FF")), {}, {"lineSampleRate=65535"});
    row("analog output 0x03E8", "btnRdAnologOut", withCrc(bytes("01 03 02 03 E8")), {},
        {"lineAnalogOut=1000"});
    row("analog output 0x8000", "btnRdAnologOut", withCrc(bytes("01 03 02 80 00")), {"lineSampleRate=1"},
        {"lineAnalogOut=32768", "lineSampleRate=1"});
}

void PlatformParametersTest::replies()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(int, pulseCount);

    for (const QString &field : before)
        QVERIFY2(fixture.put(field), qPrintable(field));
    QCOMPARE(answer(button.toLatin1().constData(), reply, pulseCount), pulseCount);
    for (const QString &field : after)
        QCOMPARE(fixture.shown(field), WindowFixture::valueOf(field));
}

void PlatformParametersTest::readValueWrittenBack_data()
{
    QTest::addColumn<QString>("readButton");
    QTest::addColumn<QString>("values"); // register values in the read reply
    QTest::addColumn<QString>("writeButton");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("gateway ID") << "btnRdID" << "00 A5" << "btnWrID"
                                << withCrc(bytes("01 10 03 EB 00 01 02 00 A5"));
    QTest::newRow("firmware") << "btnRdFWV" << "BE EF" << "btnWrFWV"
                              << withCrc(bytes("01 10 03 ED 00 01 02 BE EF"));
    QTest::newRow("range") << "BtnRdRange" << "FF F1 00 2A" << "BtnWrRange"
                           << withCrc(bytes("01 10 03 E9 00 02 04 FF F1 00 2A"));
    QTest::newRow("range, tenths that a float cannot hold") << "BtnRdRange" << "00 17 00 13" << "BtnWrRange"
                                                            << withCrc(bytes("01 10 03 E9 00 02 04 00 17 00 13"));
    QTest::newRow("frequency") << "btnReadFreq" << "00 0D" << "btnWrFreq"
                               << withCrc(bytes("01 10 00 03 00 01 02 00 0D"));
    QTest::newRow("spreading factor") << "btnReadSF" << "00 0C" << "btnWrSF"
                                      << withCrc(bytes("01 10 03 EC 00 01 02 00 0C"));
    QTest::newRow("transmitters lose the high byte") << "btnRdNum" << "01 05" << "btnWrNum"
                                                     << withCrc(bytes("01 10 03 E8 00 01 02 00 05"));
    QTest::newRow("sampling") << "btnRdSampleRate" << "FF FF" << "btnWrSampleRate"
                              << withCrc(bytes("01 10 03 EE 00 01 02 FF FF"));
    QTest::newRow("analog output") << "btnRdAnologOut" << "12 34" << "btnWrAnologOut"
                                   << withCrc(bytes("01 10 03 EF 00 01 02 12 34"));
}

void PlatformParametersTest::readValueWrittenBack()
{
    QFETCH(QString, readButton);
    QFETCH(QString, values);
    QFETCH(QString, writeButton);
    QFETCH(QByteArray, written);

    const QByteArray registers = bytes(values.toLatin1().constData());
    const QByteArray reply = withCrc(bytes("01 03") + QByteArray(1, char(registers.size())) + registers);
    QCOMPARE(answer(readButton.toLatin1().constData(), reply), 1);

    fixture.click(writeButton.toLatin1().constData());
    QCOMPARE(line.readFrame(written.size()).toHex(' '), written.toHex(' '));
}

QTEST_MAIN(PlatformParametersTest)
#include "tst_platform_parameters.moc"
