// The reception: replies measured against the pending code, checked, handled
// and pulsed, on a real pty line.
#include <QtTest>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {
// The write acknowledgements have no handler: the pulse is their only trace.
constexpr std::uint8_t kParityWritten = 0x06;
const QByteArray kAck = QByteArray::fromHex("01 10 00 00 00 01 01 C9");
}

class ReceptionTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void acknowledgementInPieces_data();
    void acknowledgementInPieces();
    void badCrcIsSilent();
    void excessBytesAreDropped();
    void leftoversNeverSpoilTheNextReply_data();
    void leftoversNeverSpoilTheNextReply();
    void cloudReplyDropsSixtyFourBytes();
    void codeIsKeptAfterAReply();
    void meterCountNeverOverrunsTheReply_data();
    void meterCountNeverOverrunsTheReply();
    void openAndCloseEmptyTheQueue();

private:
    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void ReceptionTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
    QCOMPARE(withCrc(bytes("01 10 00 00 00 01")), kAck);
}

void ReceptionTest::init()
{
    settle(50);
    QVERIFY(fixture.reopenOn(line));
    fixture.type("lineshuliang", QString());
    fixture.window.setCurrentCommand(kParityWritten);
    boxes.clear();
}

void ReceptionTest::acknowledgementInPieces_data()
{
    QTest::addColumn<QList<int>>("pieces");
    QTest::newRow("whole") << QList<int>{8};
    QTest::newRow("3 + 5") << QList<int>{3, 5};
    QTest::newRow("byte by byte") << QList<int>{1, 1, 1, 1, 1, 1, 1, 1};
    QTest::newRow("7 + 1") << QList<int>{7, 1};
}

void ReceptionTest::acknowledgementInPieces()
{
    QFETCH(QList<int>, pieces);
    const int pulses = fixture.pulsesDuring([&] { line.writeInPieces(kAck, pieces, 60); }, 500);
    QCOMPARE(pulses, 1);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
}

void ReceptionTest::badCrcIsSilent()
{
    QByteArray bad = kAck;
    bad[7] = char(bad[7] ^ 0x01);
    QCOMPARE(fixture.pulsesDuring([&] { line.write(bad); }, 500), 0);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QVERIFY(boxes.boxes.isEmpty());
}

void ReceptionTest::excessBytesAreDropped()
{
    QCOMPARE(fixture.pulsesDuring([&] { line.write(kAck + bytes("01 02 03")); }, 500), 1);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(kAck); }, 500), 1);
}

// What an earlier exchange leaves behind never spoils the next reply: an
// exception is a reply of its own, bytes nobody awaits are read and dropped,
// and a request drops whatever is still queued.
void ReceptionTest::leftoversNeverSpoilTheNextReply_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("leftover");
    QTest::addColumn<int>("queued"); // after the leftover has arrived
    QTest::addColumn<QString>("request"); // sent before the reply; empty: none

    QTest::newRow("exception") << 0x06 << withCrc(bytes("01 90 02")) << 0 << QString();
    QTest::newRow("exception, then a request") << 0x06 << withCrc(bytes("01 83 04")) << 0 << "BtoxiugaiJ";
    QTest::newRow("stray bytes, nothing pending") << 0x00 << bytes("55 AA 55") << 0 << "BtoxiugaiJ";
    QTest::newRow("stray bytes, loop range write") << 0x10 << bytes("AA 04 01 AA") << 0 << "BtoxiugaiJ";
    QTest::newRow("partial reply") << 0x06 << kAck.left(5) << 5 << "BtoxiugaiJ";
}

void ReceptionTest::leftoversNeverSpoilTheNextReply()
{
    QFETCH(int, code);
    QFETCH(QByteArray, leftover);
    QFETCH(int, queued);
    QFETCH(QString, request);

    fixture.selectAddress(1);
    fixture.window.setCurrentCommand(std::uint8_t(code));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(leftover); }, 300), 0);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(queued));
    QCOMPARE(fixture.window.port().bytesAvailable(), qint64(0));
    if (!request.isEmpty()) {
        fixture.click(request.toLatin1().constData());
        line.drain();
    }
    QCOMPARE(fixture.pulsesDuring([&] { line.write(kAck); }, 500), 1);
    QCOMPARE(fixture.window.currentCommand(), kParityWritten);
}

void ReceptionTest::cloudReplyDropsSixtyFourBytes()
{
    fixture.window.setCurrentCommand(0x23);
    QCOMPARE(fixture.pulsesDuring([&] { line.write(QByteArray(100, 'x')); }, 500), 1);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(36));
    QCOMPARE(fixture.window.currentCommand(), std::uint8_t(0));

    // With the code back at 0, later bytes are read and dropped.
    QCOMPARE(fixture.pulsesDuring([&] { line.write(bytes("4F 4B")); }, 500), 0);
    QCOMPARE(fixture.window.port().bytesAvailable(), qint64(0));
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(36));
}

void ReceptionTest::codeIsKeptAfterAReply()
{
    QCOMPARE(fixture.pulsesDuring([&] { line.write(kAck); }, 500), 1);
    QCOMPARE(fixture.window.currentCommand(), kParityWritten);
    // A second reply to the same request is handled under the same code.
    QCOMPARE(fixture.pulsesDuring([&] { line.write(kAck); }, 500), 1);
}

void ReceptionTest::meterCountNeverOverrunsTheReply_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << QString() << 5;
    QTest::newRow("not a number") << QStringLiteral("abc") << 5;
    QTest::newRow("negative") << QStringLiteral("-4") << 5;
    QTest::newRow("21") << QStringLiteral("21") << 89;
    QTest::newRow("22") << QStringLiteral("22") << 89;
    QTest::newRow("1000000") << QStringLiteral("1000000") << 89;
}

void ReceptionTest::meterCountNeverOverrunsTheReply()
{
    QFETCH(QString, meters);
    QFETCH(int, length);
    fixture.type("lineshuliang", meters);
    fixture.window.setCurrentCommand(0x0A);
    line.write(QByteArray(length - 1, '\xFF'));
    settle(150);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(length - 1));
    line.write(QByteArray(300, '\xFF'));
    settle(150);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
}

void ReceptionTest::openAndCloseEmptyTheQueue()
{
    line.write(kAck.left(4));
    settle(150);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(4));
    fixture.closePort();
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));

    QVERIFY(fixture.openOn(line));
    fixture.window.receiveBytes(kAck.left(4));
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(4));
    fixture.closePort();
    QVERIFY(fixture.openOn(line));
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(fixture.pulsesDuring([&] { line.write(kAck); }, 500), 1);
}

QTEST_MAIN(ReceptionTest)
#include "tst_reception.moc"
