// Byte-level code with no window: CRC, request layouts, reply lengths and checks.
#include <QtTest>

#include "crc.h"
#include "frames.h"
#include "replytable.h"

class WireTest : public QObject
{
    Q_OBJECT
private slots:
    void crc_data();
    void crc();
    void trailer_data();
    void trailer();
    void requestLayouts_data();
    void requestLayouts();
    void loopFrameAndFloats();
    void replyLengths_data();
    void replyLengths();
    void replyChecks_data();
    void replyChecks();
};

void WireTest::crc_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("expected");
    QTest::newRow("check value") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("empty") << QByteArray() << 0xFFFF;
    QTest::newRow("search poll, address 1") << QByteArray::fromHex("010300010001") << 0xCAD5;
    QTest::newRow("broadcast read") << QByteArray::fromHex("000300010001") << 0x1BD4;
    QTest::newRow("channel write") << QByteArray::fromHex("011000060001020000") << 0x36A6;
    QTest::newRow("acquisition poll, 2 meters") << QByteArray::fromHex("010300040004") << 0xC805;
    QTest::newRow("acquisition reply") << QByteArray::fromHex("01030841BC0000FFFFFFFF") << 0x742C;
    QTest::newRow("calibration acknowledgement") << QByteArray::fromHex("011000040001") << 0x0840;
}

void WireTest::crc()
{
    QFETCH(QByteArray, data);
    QFETCH(int, expected);
    QCOMPARE(int(crc16Modbus(reinterpret_cast<const std::uint8_t *>(data.constData()), data.size())),
             expected);
}

void WireTest::trailer_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("matches");
    QTest::newRow("good, low byte first") << QByteArray::fromHex("010300010001D5CA") << true;
    QTest::newRow("bytes swapped") << QByteArray::fromHex("010300010001CAD5") << false;
    QTest::newRow("one data bit flipped") << QByteArray::fromHex("010300010101D5CA") << false;
    QTest::newRow("acquisition reply") << QByteArray::fromHex("01030841BC0000FFFFFFFF2C74") << true;
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
    const std::uint16_t one = 0x1234;
    QTest::newRow("write one register 0x1234")
        << finish(frame, buildWriteRequest(frame, 0, 0x0000, &one, 1)).left(9)
        << QByteArray::fromHex("001000000001021234");
    const std::uint16_t channel = 0;
    QTest::newRow("channel 1 to address 1")
        << finish(frame, buildWriteRequest(frame, 1, 0x0006, &channel, 1))
        << QByteArray::fromHex("01 10 00 06 00 01 02 00 00 A6 36");
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

void WireTest::loopFrameAndFloats()
{
    std::uint8_t frame[kTxFrameSize] = {};
    std::uint8_t payload[9] = {0};
    putFloatLittleEndian(payload + 1, 4.0f);
    putFloatLittleEndian(payload + 5, 100.0f);
    const int n = buildLoopFrame(frame, 0x01, payload, 9);
    QCOMPARE(n, 13);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame), n).toHex(' '),
             QByteArray("aa 0d 01 00 00 00 80 40 00 00 c8 42 aa"));
    QCOMPARE(floatFromLittleEndian(frame + 8), 100.0f);

    std::uint8_t big[4];
    putFloatBigEndian(big, 23.5f);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(big), 4).toHex(), QByteArray("41bc0000"));
    QCOMPARE(floatFromBigEndian(big), 23.5f);
    QCOMPARE(buildLoopFrame(frame, 0x0C, nullptr, 0), 4);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(frame), 4).toHex(' '), QByteArray("aa 04 0c aa"));
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
    QTest::newRow("meters 1000000 held to 21") << 0x0A << 1000000 << 89;
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

QTEST_APPLESS_MAIN(WireTest)
#include "tst_wire.moc"
