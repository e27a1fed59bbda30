// The bus acquisition: polls on the wire, replies in the table, the widgets it locks.
#include <QtTest>

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <cstring>

#include "boxrecorder.h"
#include "ptyline.h"
#include "transmit.h"
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
using Grid = QStringList;

Grid emptyGrid()
{
    Grid grid;
    for (int cell = 0; cell < 42; ++cell)
        grid << QString();
    return grid;
}

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
    void firstPollAfterOneInterval();
    void replies_data();
    void replies();
    void badCrcKeepsTheValues();
    void shortReplySpoilsOnePoll();
    void tableIsClearedAtStartNotAtStop();
    void lateReplyAfterStopStillFills();
    void emptyCountClearsTheTable();
    void widgetsWhileRunning_data();
    void widgetsWhileRunning();
    void pagesThatStayEnabled();
    void meterCountBounds_data();
    void meterCountBounds();
    void otherButtonTextDoesNothing();

private:
    void start(const QString &meters);
    void stop();
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
    button()->setText(QStringLiteral("开始采集"));
}

void BusAcquisitionTest::start(const QString &meters)
{
    fixture.type("lineshuliang", meters);
    fixture.click("Btocaiji");
}

void BusAcquisitionTest::stop()
{
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
    QTest::addColumn<int>("address");
    QTest::addColumn<QByteArray>("poll");
    QTest::newRow("2 meters") << "2" << 1 << bytes("01 03 00 04 00 04 05 C8");
    QTest::newRow("21 meters") << "21" << 1 << withCrc(bytes("01 03 00 04 00 2A"));
    QTest::newRow("0 meters") << "0" << 1 << withCrc(bytes("01 03 00 04 00 00"));
    QTest::newRow("not a number") << "x" << 9 << withCrc(bytes("09 03 00 04 00 00"));
    QTest::newRow("address 300") << "3" << 300 << withCrc(bytes("2C 03 00 04 00 06"));
}

// Each tick sends the poll again and leaves it in the transmit buffer.
void BusAcquisitionTest::polls()
{
    QFETCH(QString, meters);
    QFETCH(int, address);
    QFETCH(QByteArray, poll);
    fixture.selectAddress(address);
    start(meters);
    QCOMPARE(int(fixture.window.currentCommand()), kAcquisitionCode);
    QVERIFY(line.expect(poll, 1800));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(txFrame), poll.size()), poll);
    QVERIFY(line.expect(poll, 1800));
    stop();
    QVERIFY(txFrameIsZero());
    QVERIFY(line.expectSilence(1300));
    QCOMPARE(int(fixture.window.currentCommand()), kAcquisitionCode);
}

void BusAcquisitionTest::firstPollAfterOneInterval()
{
    QElapsedTimer clock;
    clock.start();
    start(QStringLiteral("2"));
    QCOMPARE(fixture.window.acquireTimerObject()->interval(), 1000);
    QVERIFY(line.expectSilence(900));
    QByteArray poll;
    const int pulses = fixture.pulsesDuring([&] { poll = line.read(8, 800); });
    QCOMPARE(poll, bytes("01 03 00 04 00 04 05 C8"));
    QVERIFY(clock.elapsed() >= 1000);
    QCOMPARE(pulses, 1);
}

void BusAcquisitionTest::replies_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Grid>("shown");

    Grid example = emptyGrid();
    place(example, 1, QStringLiteral("23.5000"));
    place(example, 2, QStringLiteral("超时"));
    QTest::newRow("two meters, one silent")
        << "2" << bytes("01 03 08 41 BC 00 00 FF FF FF FF 2C 74") << example;

    QByteArray blocks;
    Grid all = emptyGrid();
    for (int meter = 1; meter <= 21; ++meter) {
        if (meter == 9) {
            blocks += kSilent;
            place(all, meter, QStringLiteral("超时"));
        } else if (meter == 21) {
            blocks += bigEndian(-3.25f);
            place(all, meter, QStringLiteral("-3.2500"));
        } else {
            blocks += bigEndian(meter + 0.5f);
            place(all, meter, QStringLiteral("%1.5000").arg(meter));
        }
    }
    QTest::newRow("21 meters, 89 bytes") << "21" << meterReply(blocks) << all;

    Grid eighth = emptyGrid();
    for (int meter = 1; meter <= 8; ++meter)
        place(eighth, meter, QStringLiteral("0.0000"));
    QTest::newRow("meter 8 opens the second pair") << "8" << meterReply(QByteArray(32, '\0')) << eighth;

    Grid header = emptyGrid();
    place(header, 1, QStringLiteral("100.0000"));
    QTest::newRow("address, function and count not examined")
        << "1" << withCrc(bytes("F7 10 00") + bigEndian(100.0f)) << header;

    Grid rounded = emptyGrid();
    place(rounded, 1, QStringLiteral("0.1235"));
    place(rounded, 2, QStringLiteral("-1000.0000"));
    QTest::newRow("four decimals") << "2" << meterReply(bigEndian(0.12345678f) + bigEndian(-1000.0f))
                                   << rounded;

    Grid almostSilent = emptyGrid();
    place(almostSilent, 1, QStringLiteral("nan"));
    QTest::newRow("only all four FF is silent") << "1" << meterReply(bytes("FF FF FF FE")) << almostSilent;
}

void BusAcquisitionTest::replies()
{
    QFETCH(QString, meters);
    QFETCH(QByteArray, reply);
    QFETCH(Grid, shown);
    start(meters);
    QCOMPARE(fixture.pulsesDuring([&] { line.write(reply); }), 0);
    QTRY_COMPARE(table(), shown);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
}

void BusAcquisitionTest::badCrcKeepsTheValues()
{
    start(QStringLiteral("2"));
    line.write(bytes("01 03 08 41 BC 00 00 FF FF FF FF 2C 74"));
    QTRY_COMPARE(table().at(1), QStringLiteral("23.5000"));
    const Grid before = table();

    QByteArray bad = meterReply(bigEndian(1.0f) + bigEndian(2.0f));
    bad[bad.size() - 1] = char(bad[bad.size() - 1] ^ 0x40);
    line.write(bad);
    settle(500);
    QCOMPARE(fixture.window.queuedBytes(), std::size_t(0));
    QCOMPARE(table(), before);
}

void BusAcquisitionTest::shortReplySpoilsOnePoll()
{
    start(QStringLiteral("2"));
    line.write(meterReply(bigEndian(1.0f) + bigEndian(2.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("1.0000"));

    line.write(meterReply(bigEndian(3.0f) + bigEndian(4.0f)).left(7));
    QTRY_COMPARE(fixture.window.queuedBytes(), std::size_t(7));
    line.write(meterReply(bigEndian(5.0f) + bigEndian(6.0f)));
    QTRY_COMPARE(fixture.window.queuedBytes(), std::size_t(0));
    settle(100);
    QCOMPARE(table().at(1), QStringLiteral("1.0000"));

    line.write(meterReply(bigEndian(7.0f) + bigEndian(8.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("7.0000"));
    QCOMPARE(table().at(7), QStringLiteral("8.0000"));
}

void BusAcquisitionTest::tableIsClearedAtStartNotAtStop()
{
    start(QStringLiteral("1"));
    line.write(meterReply(bigEndian(42.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("42.0000"));
    stop();
    QCOMPARE(table().at(1), QStringLiteral("42.0000"));
    QCOMPARE(table().at(0), QStringLiteral("1"));
    start(QStringLiteral("1"));
    QCOMPARE(table(), emptyGrid());
    auto *widget = fixture.child<QTableWidget>("tableWidget");
    QCOMPARE(widget->horizontalHeaderItem(1)->text(), QStringLiteral("温度（℃）"));
}

void BusAcquisitionTest::lateReplyAfterStopStillFills()
{
    start(QStringLiteral("1"));
    stop();
    QCOMPARE(int(fixture.window.currentCommand()), kAcquisitionCode);
    line.write(meterReply(kSilent));
    QTRY_COMPARE(table().at(1), QStringLiteral("超时"));
}

// With no meter the reply is the header and CRC only, and still clears.
void BusAcquisitionTest::emptyCountClearsTheTable()
{
    start(QStringLiteral("2"));
    line.write(bytes("01 03 08 41 BC 00 00 FF FF FF FF 2C 74"));
    QTRY_COMPARE(table().at(7), QStringLiteral("超时"));
    stop();
    fixture.type("lineshuliang", QString());
    line.write(withCrc(bytes("01 03 00")));
    QTRY_COMPARE(table(), emptyGrid());
}

void BusAcquisitionTest::widgetsWhileRunning_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("locked");
    const char *locked[] = {"lineshuliang", "BtoBSduqu",  "BtoBSxiugai", "Btoceshi",   "Btodakai",   "BtoDL",
                            "BtoDLjiaozhun", "BtoduquB",  "BtoduquHZ",   "BtoduquJ",   "BtoduquSF",  "Btoguangbo",
                            "Btosousuo",    "BtoTDduqu",  "BtoTDxiugai", "Btotuichu",  "BtoxieruHZ", "BtoxieruSF",
                            "Btoxiugai",    "BtoxiugaiB", "BtoxiugaiJ",  "BtoZDceshi", "comDL"};
    for (const char *name : locked)
        QTest::newRow(name) << name << true;
    const char *open[] = {"Btocaiji",   "comdizhi",   "radio39mA",  "radio4mA",       "radio8mA",
                          "radio12mA",  "radio16mA",  "radio20mA",  "radio208mA",     "lineCEshuru",
                          "lineTDxiugai", "lineshijizhi", "BtoJSQRead", "pushButtonJSQchange", "pushButton",
                          "pushButton2", "Btoyuyan",  "tableWidget"};
    for (const char *name : open)
        QTest::newRow(name) << name << false;
}

void BusAcquisitionTest::widgetsWhileRunning()
{
    QFETCH(QString, name);
    QFETCH(bool, locked);
    auto *widget = fixture.window.findChild<QWidget *>(name);
    QVERIFY(widget);
    QVERIFY(widget->isEnabled());
    start(QStringLiteral("1"));
    QCOMPARE(widget->isEnabled(), !locked);
    stop();
    QVERIFY(widget->isEnabled());
}

void BusAcquisitionTest::pagesThatStayEnabled()
{
    start(QStringLiteral("1"));
    int buttons = 0;
    for (const char *page : {"tab_4", "tab_5"}) {
        for (QAbstractButton *pageButton : fixture.child<QWidget>(page)->findChildren<QAbstractButton *>()) {
            QVERIFY2(pageButton->isEnabled(), qPrintable(pageButton->objectName()));
            ++buttons;
        }
    }
    QVERIFY(buttons >= 20);
}

void BusAcquisitionTest::meterCountBounds_data()
{
    QTest::addColumn<QString>("meters");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("22") << "22" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("1000000") << "1000000" << false;
    QTest::newRow("0") << "0" << true;
    QTest::newRow("21") << "21" << true;
    QTest::newRow("empty") << "" << true;
}

void BusAcquisitionTest::meterCountBounds()
{
    QFETCH(QString, meters);
    QFETCH(bool, accepted);
    start(QStringLiteral("1"));
    line.write(meterReply(bigEndian(5.0f)));
    QTRY_COMPARE(table().at(1), QStringLiteral("5.0000"));
    stop();
    fixture.window.setCurrentCommand(kOtherCode);

    start(meters);
    QTimer *timer = fixture.window.acquireTimerObject();
    if (accepted) {
        QVERIFY(boxes.boxes.isEmpty());
        QCOMPARE(button()->text(), QStringLiteral("停止采集"));
        QVERIFY(timer->isActive());
        QCOMPARE(int(fixture.window.currentCommand()), kAcquisitionCode);
        QVERIFY(!fixture.child<QWidget>("Btodakai")->isEnabled());
        QCOMPARE(table(), emptyGrid());
        return;
    }
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.at(0).title, QStringLiteral("提示"));
    QCOMPARE(boxes.boxes.at(0).text, QStringLiteral("表数应为0到21"));
    QCOMPARE(button()->text(), QStringLiteral("开始采集"));
    QVERIFY(!timer->isActive());
    QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
    QVERIFY(fixture.child<QWidget>("Btodakai")->isEnabled());
    QCOMPARE(table().at(1), QStringLiteral("5.0000"));
    QVERIFY(line.expectSilence(1300));
}

// After a switch to a language that translates the button, it does nothing.
void BusAcquisitionTest::otherButtonTextDoesNothing()
{
    button()->setText(QStringLiteral("Start"));
    start(QStringLiteral("2"));
    QVERIFY(!fixture.window.acquireTimerObject()->isActive());
    QCOMPARE(button()->text(), QStringLiteral("Start"));
    QCOMPARE(int(fixture.window.currentCommand()), kOtherCode);
    QVERIFY(fixture.child<QWidget>("Btodakai")->isEnabled());
}

QTEST_MAIN(BusAcquisitionTest)
#include "tst_bus_acquisition.moc"
