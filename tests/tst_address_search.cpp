// Finding gateways: the search over all addresses, the broadcast read and the
// address change, with a pty line standing in for the bus.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
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
    void broadcastReplies();
    void addressChange();
    void searchStoppedThenRunToTheEnd();
};

// A gateway heard again by a broadcast becomes the only entry; a new one is added.
void AddressSearchTest::broadcastReplies()
{
    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    // Answers to the polls of a search, without running one; the broadcast ignores them.
    f.window.window.setCurrentCommand(kCodeSearch);
    for (int address : {3, 7}) {
        f.line.write(answerFrom(address));
        QTRY_COMPARE_WITH_TIMEOUT(f.addresses->itemText(f.addresses->count() - 1), QString::number(address), 2000);
    }
    const struct {
        int address;
        QStringList listed;
    } steps[] = {{7, {"3", "7", "7"}}, {12, {"3", "7", "7", "12"}}, {7, {"7"}}};
    for (const auto &step : steps) {
        f.window.click("Btoguangbo");
        QVERIFY(f.line.expect(bytes("00 03 00 01 00 01 D4 1B")));
        PulseCounter pulses(f.window);
        f.line.write(answerFrom(step.address));
        QTRY_COMPARE_WITH_TIMEOUT(pulses.count(), 1, 2000);
        QCOMPARE(f.window.child<QLineEdit>("linedizhi")->text(), QString::number(step.address));
        QCOMPARE(itemTexts(f.addresses), step.listed);
        QCOMPARE(f.addresses->currentText(), step.listed.first());
    }
}

// A broken acknowledgement changes nothing; a good one from any address empties
// the list, as the gateway has to be found again, so the next request is broadcast.
void AddressSearchTest::addressChange()
{
    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    f.addresses->addItems({"5", "6"});
    f.window.type("linegaidizhi", QStringLiteral("9"));
    f.window.click("Btoxiugai");
    QVERIFY(f.line.expect(withCrc(bytes("05 10 00 01 00 01 02 00 09"))));

    PulseCounter pulses(f.window);
    f.line.write(bytes("05 10 00 01 00 01 00 00"));
    QCOMPARE(pulses.waitAndSettle(0), 0);
    QCOMPARE(itemTexts(f.addresses), (QStringList{"5", "6"}));
    f.line.write(withCrc(bytes("09 10 00 01 00 01")));
    QCOMPARE(pulses.waitAndSettle(1), 1);
    QCOMPARE(f.addresses->count(), 0);
    f.window.click("BtoduquB");
    QVERIFY(f.line.expect(withCrc(bytes("00 03 00 02 00 01"))));
}

// A search stopped after a few polls, then one run over all 247 addresses
// with gateways at 3 and 200 answering.
void AddressSearchTest::searchStoppedThenRunToTheEnd()
{
    Fixture f;
    QVERIFY(f.window.openOn(f.line));
    f.addresses->addItem(QStringLiteral("42"));
    struct Seen {
        bool searching;
        int progress;
        qint64 at;
    };
    QVector<Seen> seen;
    QElapsedTimer clock;
    f.boxes.onBox = [&](const BoxRecorder::Box &) {
        seen.append({f.timer->isActive(), f.progress->value(), clock.elapsed()});
    };

    f.window.click("Btosousuo");
    QCOMPARE(f.addresses->count(), 0);
    QCOMPARE(f.searchButton->text(), QStringLiteral("停止搜索"));
    for (int address = 1; address <= 2; ++address) {
        QVERIFY(f.line.expect(pollOf(address)));
        QCOMPARE(f.progress->value(), address);
    }
    // A read in between goes out as itself, and the polls around it keep counting.
    f.window.click("BtoduquJ");
    const QByteArray read = withCrc(bytes("00 03 00 00 00 01"));
    bool readSeen = false;
    for (int address = 3; address <= 4;) {
        const QByteArray frame = f.line.read(8);
        if (frame == read && !readSeen)
            readSeen = true;
        else
            QCOMPARE(frame.toHex(' '), pollOf(address++).toHex(' '));
    }
    QVERIFY(readSeen);
    f.window.click("Btosousuo");
    QCOMPARE(f.boxes.texts(), (QStringList{"正在搜索，请稍后", "已停止搜索"}));
    QVERIFY(!seen[0].searching && !seen[1].searching); // the box before the timer starts, after it stops
    QVERIFY(seen[1].progress >= 4);                    // reset only after the box
    QCOMPARE(f.searchButton->text(), QStringLiteral("搜索地址"));
    QCOMPARE(f.progress->value(), 1);
    QVERIFY(txFrameIsZero());
    QByteArray late = f.line.readFor(300);
    QVERIFY2(late.size() <= 8, late.toHex(' ').constData()); // at most a tick that ran before the click
    // The code is the search's again, and stays: a gateway answering a poll
    // after the stop is still listed.
    QCOMPARE(int(f.window.window.currentCommand()), kCodeSearch);
    f.line.write(answerFrom(4));
    QTRY_COMPARE_WITH_TIMEOUT(itemTexts(f.addresses), QStringList{"4"}, 2000);

    clock.start();
    f.window.click("Btosousuo");
    QCOMPARE(f.addresses->count(), 0);
    QCOMPARE(seen[2].progress, 1);
    QVERIFY(!seen[2].searching);
    QVERIFY(f.timer->isActive());

    // Everything on the wire must be the next poll.
    int polled = 0;
    QByteArray pending;
    while (seen.size() < 4 && clock.elapsed() < 40000) {
        pending += f.line.readFor(10);
        while (pending.size() >= 8) {
            QCOMPARE(pending.left(8).toHex(' '), pollOf(++polled).toHex(' '));
            pending.remove(0, 8);
            if (polled == 3 || polled == 200)
                f.line.write(answerFrom(polled));
        }
    }
    pending += f.line.readFor(300);
    QVERIFY2(pending.isEmpty(), pending.toHex(' ').constData());

    QCOMPARE(polled, 247);

    QCOMPARE(f.boxes.texts().last(), QStringLiteral("搜索完成"));
    for (const BoxRecorder::Box &box : f.boxes.boxes)
        QCOMPARE(box.title, QStringLiteral("提示"));
    QVERIFY(!seen[3].searching);
    QCOMPARE(seen[3].progress, 247);
    QVERIFY2(seen[3].at > 20000 && seen[3].at < 35000, qPrintable(QString::number(seen[3].at)));
    QCOMPARE(itemTexts(f.addresses), (QStringList{"3", "200"}));
    QCOMPARE(f.searchButton->text(), QStringLiteral("搜索地址"));
    QCOMPARE(f.progress->value(), 247);
    QVERIFY(txFrameIsZero());

    // The first listed gateway is the one the next request goes to.
    f.window.click("BtoduquB");
    QVERIFY(f.line.expect(withCrc(bytes("03 03 00 02 00 01"))));
}

QTEST_MAIN(AddressSearchTest)
#include "tst_address_search.moc"
