// Finding gateways: the search over all addresses, the broadcast read and the
// address change, with a pty line standing in for the bus.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <poll.h>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "transmit.h"
#include "windowfixture.h"

namespace {

constexpr int kCodeSearch = 0x01;

QByteArray pollOf(int address)
{
    return withCrc(QByteArray(1, char(address)) + bytes("03 00 01 00 01"));
}

// What a gateway at that address answers to a read of its address register.
QByteArray answerFrom(int address)
{
    return withCrc(QByteArray(1, char(address)) + bytes("03 02 00") + QByteArray(1, char(address)));
}

bool bytesWaiting(const PtyLine &line)
{
    pollfd p{line.masterFd(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

QByteArray txFrameHead(int n)
{
    return QByteArray(reinterpret_cast<const char *>(txFrame), n);
}

struct Fixture {
    PtyLine line;
    WindowFixture window;
    BoxRecorder boxes;
    QComboBox *addresses = window.child<QComboBox>("comdizhi");
    QProgressBar *progress = window.child<QProgressBar>("progressBar");
    QPushButton *searchButton = window.child<QPushButton>("Btosousuo");
    QTimer *timer = window.window.searchTimerObject();
};

} // namespace

class AddressSearchTest : public QObject
{
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void broadcastReplies_data();
    void broadcastReplies();
    void addressChangeReply_data();
    void addressChangeReply();
    void searchStoppedAndRestarted();
    void searchListsAnsweringGateways();
};

void AddressSearchTest::requests_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("address"); // -1: comdizhi empty
    QTest::addColumn<QString>("newAddress");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("wire");

    QTest::newRow("broadcast read ignores comdizhi") << "Btoguangbo" << 5 << "" << 0x02
                                                     << bytes("00 03 00 01 00 01 D4 1B");
    QTest::newRow("change 5 to 9") << "Btoxiugai" << 5 << "9" << 0x03
                                   << withCrc(bytes("05 10 00 01 00 01 02 00 09"));
    QTest::newRow("change to 247") << "Btoxiugai" << 1 << "247" << 0x03
                                   << withCrc(bytes("01 10 00 01 00 01 02 00 F7"));
    QTest::newRow("new address 300 sent modulo 256") << "Btoxiugai" << 5 << "300" << 0x03
                                                     << withCrc(bytes("05 10 00 01 00 01 02 00 2C"));
    QTest::newRow("new address -1") << "Btoxiugai" << 5 << "-1" << 0x03
                                    << withCrc(bytes("05 10 00 01 00 01 02 00 FF"));
    QTest::newRow("new address not a number") << "Btoxiugai" << 5 << "abc" << 0x03
                                              << withCrc(bytes("05 10 00 01 00 01 02 00 00"));
    QTest::newRow("no gateway chosen: broadcast") << "Btoxiugai" << -1 << "9" << 0x03
                                                  << withCrc(bytes("00 10 00 01 00 01 02 00 09"));
    QTest::newRow("gateway 300 addressed modulo 256") << "Btoxiugai" << 300 << "9" << 0x03
                                                      << withCrc(bytes("2C 10 00 01 00 01 02 00 09"));
}

void AddressSearchTest::requests()
{
    QFETCH(QString, button);
    QFETCH(int, address);
    QFETCH(QString, newAddress);
    QFETCH(int, code);
    QFETCH(QByteArray, wire);

    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    if (address >= 0)
        f.window.selectAddress(address);
    f.window.type("linegaidizhi", newAddress);

    f.window.click(button.toLatin1().constData());
    QCOMPARE(int(f.window.window.currentCommand()), code);
    QCOMPARE(f.line.readFrame(wire.size()).toHex(' '), wire.toHex(' '));
    QVERIFY(txFrameIsZero());
    QVERIFY(f.boxes.boxes.isEmpty());
}

void AddressSearchTest::broadcastReplies_data()
{
    QTest::addColumn<QList<int>>("searchAnswers");
    QTest::addColumn<QList<int>>("broadcastAnswers");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QString>("broadcastShown");

    QTest::newRow("7 first heard by broadcast joins 3 and 7") << QList<int>{3, 7} << QList<int>{7}
                                                              << QStringList{"3", "7", "7"} << "7";
    QTest::newRow("7 heard again replaces all") << QList<int>{3, 7} << QList<int>{7, 7} << QStringList{"7"}
                                                << "7";
    QTest::newRow("empty list") << QList<int>{} << QList<int>{9} << QStringList{"9"} << "9";
    QTest::newRow("two new gateways") << QList<int>{} << QList<int>{9, 12} << QStringList{"9", "12"} << "12";
    QTest::newRow("an earlier one again") << QList<int>{} << QList<int>{9, 12, 9} << QStringList{"9"} << "9";
    QTest::newRow("third time") << QList<int>{4} << QList<int>{9, 9, 9} << QStringList{"9"} << "9";
}

void AddressSearchTest::broadcastReplies()
{
    QFETCH(QList<int>, searchAnswers);
    QFETCH(QList<int>, broadcastAnswers);
    QFETCH(QStringList, listed);
    QFETCH(QString, broadcastShown);

    Fixture f;
    QVERIFY(f.window.openOn(f.line));

    // Answers to the polls of a search, without running one.
    f.window.window.setCurrentCommand(kCodeSearch);
    for (int address : searchAnswers) {
        const int before = f.addresses->count();
        f.line.write(answerFrom(address));
        QTRY_COMPARE_WITH_TIMEOUT(f.addresses->count(), before + 1, 2000);
    }

    for (int address : broadcastAnswers) {
        f.window.click("Btoguangbo");
        QVERIFY(f.line.expect(bytes("00 03 00 01 00 01 D4 1B")));
        PulseCounter pulses(f.window);
        f.line.write(answerFrom(address));
        QTRY_COMPARE_WITH_TIMEOUT(pulses.count(), 1, 2000);
        QCOMPARE(f.window.child<QLineEdit>("linedizhi")->text(), QString::number(address));
    }
    QCOMPARE(itemTexts(f.addresses), listed);
    QCOMPARE(f.window.child<QLineEdit>("linedizhi")->text(), broadcastShown);
    QCOMPARE(f.addresses->currentText(), listed.first());
}

void AddressSearchTest::addressChangeReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<int>("pulseCount");
    QTest::addColumn<QByteArray>("nextRequest");

    QTest::newRow("acknowledged: list empty, next request to 0")
        << withCrc(bytes("05 10 00 01 00 01")) << QStringList() << 1 << withCrc(bytes("00 03 00 02 00 01"));
    QTest::newRow("any valid 8 bytes acknowledge")
        << withCrc(bytes("09 10 00 01 00 01")) << QStringList() << 1 << withCrc(bytes("00 03 00 02 00 01"));
    QTest::newRow("bad CRC: list kept") << bytes("05 10 00 01 00 01 00 00") << QStringList{"5", "6"} << 0
                                        << withCrc(bytes("05 03 00 02 00 01"));
}

void AddressSearchTest::addressChangeReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, listed);
    QFETCH(int, pulseCount);
    QFETCH(QByteArray, nextRequest);

    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    f.addresses->addItems({"5", "6"});
    f.window.type("linegaidizhi", QStringLiteral("9"));
    f.window.click("Btoxiugai");
    QCOMPARE(f.line.read(11).size(), 11);

    PulseCounter pulses(f.window);
    f.line.write(reply);
    QCOMPARE(pulses.waitAndSettle(pulseCount), pulseCount);
    QCOMPARE(itemTexts(f.addresses), listed);

    f.window.click("BtoduquB");
    QVERIFY(f.line.expect(nextRequest));
}

void AddressSearchTest::searchStoppedAndRestarted()
{
    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    f.addresses->addItem(QStringLiteral("42"));

    struct Seen {
        QString text;
        bool searching;
        int progress;
        int count;
        QString buttonText;
    };
    QVector<Seen> seen;
    f.boxes.onBox = [&](const BoxRecorder::Box &box) {
        seen.append({box.text, f.timer->isActive(), f.progress->value(), f.window.window.searchCount(),
                     f.searchButton->text()});
    };

    f.window.click("Btosousuo");
    QCOMPARE(f.addresses->count(), 0);
    QCOMPARE(f.searchButton->text(), QStringLiteral("停止搜索"));
    for (int address = 1; address <= 5; ++address) {
        QVERIFY(f.line.expect(pollOf(address)));
        // Between ticks the poll stays in txFrame, the rest of it untouched.
        QCOMPARE(int(txFrame[0]), address);
        QCOMPARE(txFrameHead(8).toHex(' '), pollOf(address).toHex(' '));
        QVERIFY(std::all_of(txFrame + 8, txFrame + kTxFrameSize, [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(f.progress->value(), address);
        QCOMPARE(f.window.window.searchCount(), address);
    }

    f.window.click("Btosousuo");
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[1].text, QStringLiteral("已停止搜索"));
    QVERIFY(!seen[1].searching);
    QCOMPARE(seen[1].buttonText, QStringLiteral("搜索地址"));
    QCOMPARE(seen[1].progress, seen[1].count); // reset only after the box
    QVERIFY(seen[1].count >= 5);
    QCOMPARE(f.progress->value(), 1);
    QCOMPARE(f.window.window.searchCount(), 1);
    QVERIFY(txFrameIsZero());
    QCOMPARE(int(f.window.window.currentCommand()), kCodeSearch);
    QByteArray late = f.line.readFor(300);
    QVERIFY2(late.size() <= 8, late.toHex(' ').constData()); // at most a tick that ran before the click

    // A gateway answering a poll after the stop is still listed.
    f.line.write(answerFrom(4));
    QTRY_COMPARE_WITH_TIMEOUT(itemTexts(f.addresses), QStringList{"4"}, 2000);

    f.window.click("Btosousuo");
    QCOMPARE(f.addresses->count(), 0);
    QVERIFY(f.line.expect(pollOf(1)));
    QVERIFY(f.line.expect(pollOf(2)));
    f.window.click("Btosousuo");
    QCOMPARE(f.boxes.texts(), (QStringList{"正在搜索，请稍后", "已停止搜索", "正在搜索，请稍后", "已停止搜索"}));
    for (const BoxRecorder::Box &box : f.boxes.boxes)
        QCOMPARE(box.title, QStringLiteral("提示"));
    QCOMPARE(f.progress->value(), 1);
}

void AddressSearchTest::searchListsAnsweringGateways()
{
    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    f.addresses->addItem(QStringLiteral("42"));

    struct Seen {
        QString text;
        bool searching;
        int progress;
        int listed;
        bool pollOnWire;
        qint64 at;
    };
    QVector<Seen> seen;
    QElapsedTimer clock;
    f.boxes.onBox = [&](const BoxRecorder::Box &box) {
        seen.append({box.text, f.timer->isActive(), f.progress->value(), f.addresses->count(),
                     bytesWaiting(f.line), clock.elapsed()});
    };
    QSignalSpy values(f.progress, &QProgressBar::valueChanged);

    clock.start();
    f.window.click("Btosousuo");
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].text, QStringLiteral("正在搜索，请稍后"));
    QVERIFY(!seen[0].searching);
    QVERIFY(!seen[0].pollOnWire);
    QCOMPARE(seen[0].progress, 1);
    QCOMPARE(seen[0].listed, 0);
    QVERIFY(f.timer->isActive());
    clock.restart();

    // The gateways at 3 and 200 answer their polls; everything on the wire must be a poll.
    QList<int> polled;
    QByteArray pending;
    while (seen.size() < 2 && clock.elapsed() < 40000) {
        pending += f.line.readFor(10);
        while (pending.size() >= 8) {
            const QByteArray poll = pending.left(8);
            pending.remove(0, 8);
            const int address = quint8(poll[0]);
            QCOMPARE(poll.toHex(' '), pollOf(address).toHex(' '));
            polled << address;
            if (address == 3 || address == 200)
                f.line.write(answerFrom(address));
        }
        if (f.timer->isActive())
            QCOMPARE(f.window.window.searchCount(), f.progress->value());
    }
    pending += f.line.readFor(300);
    QVERIFY2(pending.isEmpty(), pending.toHex(' ').constData());

    QList<int> everyAddress;
    for (int address = 1; address <= 247; ++address)
        everyAddress << address;
    QCOMPARE(polled, everyAddress);
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen[1].text, QStringLiteral("搜索完成"));
    QVERIFY(!seen[1].searching);
    QCOMPARE(seen[1].progress, 247);
    QVERIFY2(seen[1].at > 20000 && seen[1].at < 35000, qPrintable(QString::number(seen[1].at)));
    for (const BoxRecorder::Box &box : f.boxes.boxes)
        QCOMPARE(box.title, QStringLiteral("提示"));

    QList<int> progressSteps;
    for (const QList<QVariant> &change : values)
        progressSteps << change.at(0).toInt();
    QCOMPARE(progressSteps, everyAddress);

    QCOMPARE(itemTexts(f.addresses), (QStringList{"3", "200"}));
    QCOMPARE(f.addresses->currentText(), QStringLiteral("3"));
    QCOMPARE(f.searchButton->text(), QStringLiteral("搜索地址"));
    QCOMPARE(f.progress->value(), 247);
    QCOMPARE(f.window.window.searchCount(), 1);
    QVERIFY(txFrameIsZero());
    QCOMPARE(int(f.window.window.currentCommand()), kCodeSearch);

    // The first listed gateway is the one the next request goes to.
    f.window.click("BtoduquB");
    QVERIFY(f.line.expect(withCrc(bytes("03 03 00 02 00 01"))));
}

QTEST_MAIN(AddressSearchTest)
#include "tst_address_search.moc"
