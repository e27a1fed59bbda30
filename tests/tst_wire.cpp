// Byte-level code with no window: CRC trailers, request layouts, reply lengths and
// checks, and what the frames mean in words.
#include <QtTest>

#include "crc.h"
#include "decoder.h"
#include "frames.h"
#include "ptyline.h"
#include "replytable.h"

class WireTest : public QObject
{
    Q_OBJECT
private slots:
    void trailer_data();
    void trailer();
    void requestLayouts_data();
    void requestLayouts();
    void replyLengths_data();
    void replyLengths();
    void replyChecks_data();
    void replyChecks();
    void meanings_data();
    void meanings();
};

void WireTest::trailer_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("matches");
    QTest::newRow("check value") << QByteArray("123456789\x37\x4B") << true;
    QTest::newRow("good, low byte first") << QByteArray::fromHex("010300010001D5CA") << true;
    QTest::newRow("acquisition reply") << QByteArray::fromHex("01030841BC0000FFFFFFFF2C74") << true;
    QTest::newRow("bytes swapped") << QByteArray::fromHex("010300010001CAD5") << false;
    QTest::newRow("one data bit flipped") << QByteArray::fromHex("010300010101D5CA") << false;
    QTest::newRow("too short") << QByteArray::fromHex("D5") << false;
    QTest::newRow("crc of nothing") << QByteArray::fromHex("FFFF") << true;
}

void WireTest::trailer()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, matches);
    QCOMPARE(crcTrailerMatches(reinterpret_cast<const std::uint8_t *>(frame.constData()), frame.size()),
             matches);
}

void WireTest::requestLayouts_data()
{
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("wire");

    auto finish = [](std::uint8_t *frame, int n) {
        appendCrc(frame, n);
        return QByteArray(reinterpret_cast<const char *>(frame), n + 2);
    };
    std::uint8_t frame[kTxFrameSize] = {};
    QTest::newRow("read, one register")
        << finish(frame, buildReadRequest(frame, 1, 0x0001, 1)) << QByteArray::fromHex("010300010001D5CA");
    const std::uint16_t range[2] = {40, 200};
    QTest::newRow("range 4.0 to 20.0, two registers")
        << finish(frame, buildWriteRequest(frame, 1, 0x03E9, range, 2)).left(11)
        << QByteArray::fromHex("01 10 03 E9 00 02 04 00 28 00 C8");
    QTest::newRow("register number high byte first")
        << finish(frame, buildReadRequest(frame, 0xF7, 0x03F0, 0x2A)).left(6)
        << QByteArray::fromHex("F70303F0002A");
}

void WireTest::requestLayouts()
{
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, wire);
    QCOMPARE(built.toHex(' '), wire.toHex(' '));
}

void WireTest::replyLengths_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("meters");
    QTest::addColumn<int>("length");
    const int readOne[] = {0x01, 0x02, 0x04, 0x05, 0x0B, 0x12, 0x14, 0x15, 0x1D, 0x1F, 0x20, 0x21, 0x22, 0x24};
    for (int code : readOne)
        QTest::addRow("read 0x%02X", code) << code << 0 << 7;
    const int writes[] = {0x03, 0x06, 0x07, 0x08, 0x09, 0x0C, 0x0E, 0x13, 0x16, 0x17, 0x18, 0x19, 0x1A,
                          0x1B, 0x1C, 0x25};
    for (int code : writes)
        QTest::addRow("write 0x%02X", code) << code << 0 << 8;
    QTest::newRow("range read, two registers") << 0x1E << 0 << 9;
    QTest::newRow("channel read") << 0x0D << 0 << 5;
    QTest::newRow("loop range read") << 0x0F << 0 << 13;
    QTest::newRow("meters 0") << 0x0A << 0 << 5;
    QTest::newRow("meters 2") << 0x0A << 2 << 13;
    QTest::newRow("meters 21") << 0x0A << 21 << 89;
    QTest::newRow("meters 22 held to 21") << 0x0A << 22 << 89;
    QTest::newRow("meters -3 held to 0") << 0x0A << -3 << 5;
    QTest::newRow("meters ignored elsewhere") << 0x05 << 21 << 7;
}

void WireTest::replyLengths()
{
    QFETCH(int, code);
    QFETCH(int, meters);
    QFETCH(int, length);
    QCOMPARE(replyLength(std::uint8_t(code), meters), length);
    QVERIFY(length <= kMaxReplyLength);
}

void WireTest::replyChecks_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("passes");
    QTest::newRow("CRC good") << 0x05 << QByteArray::fromHex("01 03 02 00 02 39 85") << true;
    QTest::newRow("CRC bad") << 0x05 << QByteArray::fromHex("0103020002FFFF") << false;
    QTest::newRow("delimiters good") << 0x0D << QByteArray::fromHex("AA050C02AA") << true;
    QTest::newRow("delimiters, byte 4 wrong") << 0x0D << QByteArray::fromHex("AA050C0200") << false;
    QTest::newRow("delimiters, byte 0 wrong") << 0x0D << QByteArray::fromHex("00050C02AA") << false;
    QTest::newRow("no check on the loop range") << 0x0F << QByteArray(13, '\x55') << true;
}

void WireTest::replyChecks()
{
    QFETCH(int, code);
    QFETCH(QByteArray, reply);
    QFETCH(bool, passes);
    const ReplyRule *rule = replyRule(std::uint8_t(code));
    QVERIFY(rule);
    QCOMPARE(replyPasses(rule->check, reinterpret_cast<const std::uint8_t *>(reply.constData()), reply.size()),
             passes);
}

void WireTest::meanings_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply"); // empty: none
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("answered");
    QTest::addColumn<QString>("shown"); // the hex when it is not the frame's bytes: the secret masked

    const auto row = [](const char *name, const QByteArray &request, const QByteArray &reply, const char *asked,
                        const char *answered, const char *shown = "") {
        QTest::newRow(name) << request << reply << QString::fromUtf8(asked) << QString::fromUtf8(answered) << shown;
    };
    const auto rtu = [](const char *hex) { return withCrc(bytes(hex)); };
    row("read a choice", rtu("01 03 00 02 00 01"), rtu("01 03 02 00 02"), "read 0x0002 baud rate", "baud rate = 9600");
    row("read a frequency", rtu("01 03 00 03 00 01"), rtu("01 03 02 00 0D"), "read 0x0003 frequency", "frequency = 433");
    row("read a hex word", rtu("01 03 03 EB 00 01"), rtu("01 03 02 00 A5"), "read 0x03EB gateway ID", "gateway ID = 0x00A5");
    row("read a pair", rtu("01 03 03 E9 00 02"), rtu("01 03 04 00 2D 00 C8"), "read 0x03E9 range", "range = 4.5,20");
    row("settings", rtu("01 03 00 01 00 02"), rtu("01 03 04 00 05 00 02"), "read 0x0001 address, 2 registers",
        "address = 5, baud rate = 9600");
    row("meters", rtu("01 03 00 04 00 04"), rtu("01 03 08 41 BC 00 00 FF FF FF FF"), "read meters 1..2",
        "meters: 23.50, timeout");
    row("broadcast", rtu("00 03 00 01 00 01"), rtu("05 03 02 00 05"), "broadcast read 0x0001 address", "address = 5");
    row("write", rtu("01 10 00 01 00 01 02 00 05"), rtu("01 10 00 01 00 01"), "write address = 5", "address written");
    row("write a pair", rtu("01 10 03 E9 00 02 04 00 28 00 C8"), rtu("01 10 03 E9 00 02"), "write range = 4,20", "range written");
    row("calibrate", rtu("01 10 00 04 00 01 02 9B 9B"), rtu("01 10 00 04 00 01"), "write calibration enable", "written");
    row("unknown register", rtu("01 03 00 05 00 01"), rtu("01 83 02"), "read 0x0005", "exception 02 illegal data address");
    row("bad CRC", rtu("01 10 00 05 00 01 02 12 34"), bytes("01 90 02 00 00"), "write 0x0005 = 0x1234",
        "5 bytes, not the reply to this write");
    row("loop test", bytes("AA 05 02 78 AA"), {}, "current-loop test 12.0 mA", "");
    row("loop leave test", bytes("AA 05 02 FF AA"), {}, "current-loop leave test", "");
    row("loop channel", bytes("AA 04 0C AA"), bytes("AA 05 0C 02 AA"), "current-loop read channel", "current-loop channel = 3");
    row("loop range", bytes("AA 04 08 AA"), bytes("AA 0D 08 00 00 00 80 40 00 00 A0 41 AA"), "current-loop read range",
        "current-loop range = 4,20");
    row("loop write range", bytes("AA 0D 01 00 00 00 00 3F 00 00 C8 42 AA"), {}, "current-loop write range = 0.5,100", "");
    row("loop calibrate", bytes("AA 07 E7 C8 AC 4E AA"), {}, "current-loop calibrate 20.0 mA, measured 20.140 mA", "");
    row("loop unknown", bytes("AA 04 33 AA"), {}, "current-loop command 0x33", "");
    row("cloud parameter", bytes("64 64 06") + "a/b,0,0", "OK\r\n", "cloud: publish topic = \"a/b,0,0\"", "cloud: \"OK\"");
    row("cloud secret", bytes("64 64 04") + "s3", "OK\r\n", "cloud: device secret (hidden)", "cloud: \"OK\"", "64 64 04 ** **");
    row("cloud unknown", bytes("64 64 09 41"), "ERROR\r\n", "cloud: unknown parameter 0x09", "cloud: \"ERROR\"");
    row("cloud mode", bytes("64 64 01"), "OK\r\n", "cloud: confirm mode", "cloud: \"OK\"");
    row("cloud debugging on", bytes("64 65 01"), {}, "cloud: platform debugging on", "");
    row("cloud debugging off", bytes("64 65 00"), {}, "cloud: platform debugging off", "");
    row("cloud connect", bytes("64 C8"), {}, "cloud: connect", "");
}

void WireTest::meanings()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QFETCH(QString, asked);
    QFETCH(QString, answered);
    QFETCH(QString, shown);
    QCOMPARE(describeRequest(request), asked);
    QCOMPARE(describeReply(request, reply), answered);
    QCOMPARE(maskedHex(request), shown.isEmpty() ? QString(request.toHex(' ').toUpper()) : shown);
    QCOMPARE(carriesSecret(request), !shown.isEmpty());
}

QTEST_APPLESS_MAIN(WireTest)
#include "tst_wire.moc"
