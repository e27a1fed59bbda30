// The bus acquisition: polls on the wire, replies in the table, the widgets it locks.
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <cstring>

#include "boxrecorder.h"
#include "ptyline.h"
#include "windowfixture.h"

namespace {

constexpr int kOtherCode = 0x05;
constexpr int kAcquisitionCode = 0x0A;
const QByteArray kSilent = QByteArray::fromHex("FFFFFFFF");

QByteArray bigEndian(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    QByteArray out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(bits >> shift));
    return out;
}

// A read reply of gateway 1 carrying the given meter blocks.
QByteArray meterReply(const QByteArray &blocks)
{
    return withCrc(bytes("01 03") + QByteArray(1, char(blocks.size())) + blocks);
}

// The 42 cells row by row, "" for an empty cell.
using Grid = QVector<QString>;

void place(Grid &grid, int meter, const QString &value)
{
    const int row = (meter - 1) % 7;
    const int column = 2 * ((meter - 1) / 7);
    grid[row * 6 + column] = QString::number(meter);
    grid[row * 6 + column + 1] = value;
}

} // namespace

class BusAcquisitionTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void polls_data();
    void polls();
    void replies_data();
    void replies();
    void badOrShortRepliesKeepTheValues();
    void requestDuringTheAcquisition();
    void widgetsWhileRunning();
    void meterCountBounds_data();
    void meterCountBounds();

private:
    void start(const QString &meters);
    void stop() { fixture.click("Btocaiji"); }
    Grid table() const;
    QPushButton *button() const { return fixture.child<QPushButton>("Btocaiji"); }

    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void BusAcquisitionTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
}

void BusAcquisitionTest::init()
{
    QVERIFY(fixture.reopenOn(line));
    fixture.selectAddress(1);
    fixture.window.setCurrentCommand(kOtherCode);
    boxes.clear();
}

void BusAcquisitionTest::cleanup()
{
    if (button()->text() == QStringLiteral("停止采集"))
        stop();
}

void BusAcquisitionTest::start(const QString &meters)
{
    fixture.type("lineshuliang", meters);
    fixture.click("Btocaiji");
}

Grid BusAcquisitionTest::table() const
{
    auto *widget = fixture.child<QTableWidget>("tableWidget");
    Grid grid;
    for (int row = 0; row < widget->rowCount(); ++row)
        for (int column = 0; column < widget->columnCount(); ++column) {
            const QTableWidgetItem *item = widget->item(row, column);
            grid << (item ? item->text() : QString());
        }
    return grid;
}

void BusAcquisitionTest::polls_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<QByteArray>("poll");
    QTest::newRow("2 meters") << "2" << bytes("01 03 00 04 00 04 05 C8");
    QTest::newRow("21 meters") << "21" << withCrc(bytes("01 03 00 04 00 2A"));
}

// The first poll comes a second after the start, then one a second, each with a pulse.
void BusAcquisitionTest::polls()
{
    QFETCH(QString, meters);
    QFETCH(QByteArray, poll);
    start(meters);
    QVERIFY(line.expectSilence(900));
    QByteArray sent;
    QCOMPARE(fixture.pulsesDuring([&] { sent = line.read(poll.size(), 800); }), 1);
    QCOMPARE(sent.toHex(' '), poll.toHex(' '));
    QVERIFY(line.expect(poll, 1200));
    stop();
    QVERIFY(line.expectSilence(1300));
}

void BusAcquisitionTest::replies_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Grid>("shown");

    Grid example(42);
    place(example, 1, QStringLiteral("23.5000"));
    place(example, 2, QStringLiteral("超时"));
    QTest::newRow("two meters, one silent")
        << "2" << bytes("01 03 08 41 BC 00 00 FF FF FF FF 2C 74") << example;

    // Only all four bytes FF mark a silent meter.
    QByteArray blocks;
    Grid all(42);
    for (int meter = 1; meter <= 19; ++meter) {
        blocks += meter == 9 ? kSilent : bigEndian(meter + 0.5f);
        place(all, meter, meter == 9 ? QStringLiteral("超时") : QStringLiteral("%1.5000").arg(meter));
    }
    blocks += bigEndian(-3.25f) + bytes("FF FF FF FE");
    place(all, 20, QStringLiteral("-3.2500"));
    place(all, 21, QStringLiteral("nan"));
    QTest::newRow("21 meters, 89 bytes") << "21" << meterReply(blocks) << all;
}

void BusAcquisitionTest::replies()
{
    QFETCH(QString, meters);
    QFETCH(QByteArray, reply);
    QFETCH(Grid, shown);
    start(meters);
    QCOMPARE(reply.size(), 5 + 4 * meters.toInt());
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }), 0);
    QTRY_COMPARE(table(), shown);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
}

// A reply with a bad CRC is dropped; a short one is dropped by the next poll,
// whose reply is then taken whole.
void BusAcquisitionTest::badOrShortRepliesKeepTheValues()
{
    start(QStringLiteral("2"));
    line.write(meterReply(bigEndian(1.0f) + bigEndian(2.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("1.0000"));
    const Grid before = table();

    QByteArray bad = meterReply(bigEndian(3.0f) + bigEndian(4.0f));
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x40);
    line.write(bad);
    settle(500);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(table(), before);

    line.write(meterReply(bigEndian(3.0f) + bigEndian(4.0f)).left(7));
    QTRY_COMPARE(fixture.window.queuedBytes(), std::size_t(7));
    QVERIFY(line.expect(bytes("01 03 00 04 00 04 05 C8"), 1500));
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(table(), before);

    line.write(meterReply(bigEndian(7.0f) + bigEndian(8.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("7.0000"));
    QCOMPARE(table().at(7), QStringLiteral("8.0000"));
}

// A request from a page that stays enabled takes the reception for its own
// reply; the next poll takes it back, so the table goes on updating.
void BusAcquisitionTest::requestDuringTheAcquisition()
{
    const QByteArray poll = bytes("01 03 00 04 00 04 05 C8");
    start(QStringLiteral("2"));
    QVERIFY(line.expect(poll, 1500));
    line.write(meterReply(bigEndian(1.0f) + bigEndian(2.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("1.0000"));

    fixture.click("btnRdSampleRate");
    QVERIFY(line.expect(withCrc(bytes("01 03 03 EE 00 01"))));
    line.write(withCrc(bytes("01 03 02 00 3C")));
    QTRY_COMPARE(fixture.child<QLineEdit>("lineSampleRate")->text(), QStringLiteral("60"));

    QVERIFY(line.expect(poll, 1500));
    line.write(meterReply(bigEndian(3.0f) + bigEndian(4.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("3.0000"));
}

// Exactly these widgets are locked while the acquisition runs, and unlocked after.
void BusAcquisitionTest::widgetsWhileRunning()
{
    QStringList locked{"lineshuliang", "BtoBSduqu",  "BtoBSxiugai", "Btoceshi",   "Btodakai",   "BtoDL",
                       "BtoDLjiaozhun", "BtoduquB",  "BtoduquHZ",   "BtoduquJ",   "BtoduquSF",  "Btoguangbo",
                       "Btosousuo",    "BtoTDduqu",  "BtoTDxiugai", "Btotuichu",  "BtoxieruHZ", "BtoxieruSF",
                       "Btoxiugai",    "BtoxiugaiB", "BtoxiugaiJ",  "BtoZDceshi", "comDL"};
    auto enabled = [&] {
        QStringList names;
        for (const QWidget *widget : fixture.window.findChildren<QWidget *>())
            if (widget->isEnabled() && !widget->objectName().isEmpty())
                names << widget->objectName();
        return names;
    };
    const QStringList before = enabled();
    QVERIFY(before.size() > 60);
    start(QStringLiteral("1"));
    QStringList lost = before;
    for (const QString &name : enabled())
        lost.removeOne(name);
    lost.sort();
    locked.sort();
    QCOMPARE(lost, locked);
    stop();
    QCOMPARE(enabled(), before);
}

void BusAcquisitionTest::meterCountBounds_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("22") << "22" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("0") << "0" << true;
    QTest::newRow("21") << "21" << true;
}

// The table is cleared at a start, not at a stop. A refused count changes
// nothing: no timer, no lock, no cleared table, no poll.
void BusAcquisitionTest::meterCountBounds()
{
    QFETCH(QString, meters);
    QFETCH(bool, accepted);
    start(QStringLiteral("1"));
    line.write(meterReply(bigEndian(5.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("5.0000"));
    stop();
    const Grid filled = table();
    QCOMPARE(filled.mid(0, 2), (Grid{"1", "5.0000"}));
    fixture.window.setCurrentCommand(kOtherCode);

    start(meters);
    QCOMPARE(boxes.texts(), accepted ? QStringList() : QStringList{"表数应为0到21"});
    QCOMPARE(button()->text(), accepted ? QStringLiteral("停止采集") : QStringLiteral("开始采集"));
    QCOMPARE(fixture.window.acquireTimerObject()->isActive(), accepted);
    QCOMPARE(int(fixture.window.currentCommand()), accepted ? kAcquisitionCode : kOtherCode);
    QCOMPARE(fixture.child<QWidget>("Btodakai")->isEnabled(), !accepted);
    QCOMPARE(table(), accepted ? Grid(42) : filled);
    if (!accepted)
        QVERIFY(line.expectSilence(1300));
}

QTEST_MAIN(BusAcquisitionTest)
#include "tst_bus_acquisition.moc"
