// The link on its own, against a pty that plays the gateway: what goes on the
// wire for each request, what each reply comes to, the queue, frames that await
// nothing, time-outs, retries and replies that come late.
#include <QtTest>

#include <cmath>
#include <random>

#include "commissionreport.h"
#include "profile.h"
#include "detector.h"
#include "link.h"
#include "ptyline.h"
#include "trendstore.h"

namespace {

LinkRequest request(const QByteArray &frame, int timeoutMs = 300, int retries = 0, bool anySender = false)
{
    return {frame, 0, timeoutMs, retries, anySender};
}

} // namespace

class LinkTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void replies_data();
    void replies();
    void queue_data();
    void queue();
    void lateReplies_data();
    void lateReplies();
    void lineGoesAway();
    void trendColumns_data();
    void trendColumns();
    void detection_data();
    void detection();
    void reasonsInChinese_data();
    void reasonsInChinese();

private:
    // The outcomes reported within the time, in order.
    QVector<LinkResult> results(int count, int timeoutMs = 2000);

    std::unique_ptr<PtyLine> line;
    std::unique_ptr<Link> link;
};

void LinkTest::init()
{
    line = std::make_unique<PtyLine>();
    link = std::make_unique<Link>();
    link->port().setPortName(line->path());
    QVERIFY(link->open());
}

void LinkTest::cleanup()
{
    link.reset();
    line.reset();
}

QVector<LinkResult> LinkTest::results(int count, int timeoutMs)
{
    QVector<LinkResult> got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        for (const LinkResult &result : link->takeResults())
            got << result;
    }
    return got;
}

// Each request as it goes out and each reply as it comes back, in the pieces given.
void LinkTest::replies_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<bool>("anySender");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("pieces");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("taken"); // bytes of the reply the outcome holds

    auto row = [](const char *name, const QByteArray &frame, const QByteArray &reply, LinkResult::Outcome outcome,
                  int taken = -1, const char *pieces = "", bool anySender = false) {
        QTest::newRow(name) << frame << anySender << reply << QString::fromLatin1(pieces) << int(outcome)
                            << (taken < 0 ? int(reply.size()) : taken);
    };
    const QByteArray read = rtu("05 03 00 02 00 01");
    row("read", read, rtu("05 03 02 00 02"), LinkResult::Accepted);
    row("read in pieces", read, rtu("05 03 02 00 02"), LinkResult::Accepted, -1, "1+2+3");
    row("read, another address", read, rtu("06 03 02 00 02"), LinkResult::CheckFailed);
    row("read, another function", read, rtu("05 04 02 00 02"), LinkResult::CheckFailed);
    row("read, another count", read, rtu("05 03 04 00 02 00 03"), LinkResult::CheckFailed, 7);
    row("read, bad CRC", read, bytes("05 03 02 00 02 00 00"), LinkResult::CheckFailed);
    row("read, exception", read, rtu("05 83 02"), LinkResult::Exception);
    row("read, another gateway's exception", read, rtu("06 83 02"), LinkResult::CheckFailed);
    row("read, exception to another function", read, rtu("05 90 02"), LinkResult::CheckFailed);
    row("two registers", rtu("05 03 03 E9 00 02"), rtu("05 03 04 00 28 00 C8"), LinkResult::Accepted);
    row("address 0x64, not a cloud frame", rtu("64 03 00 01 00 01"), rtu("64 03 02 00 64"), LinkResult::Accepted);
    row("address 0xAA, not a loop frame", rtu("AA 03 00 01 00 01"), rtu("AA 03 02 00 AA"), LinkResult::Accepted);
    row("broadcast read: the reply names its sender", rtu("00 03 00 01 00 01"), rtu("07 03 02 00 07"), LinkResult::Accepted);
    row("search: the reply names its sender", rtu("09 03 00 01 00 01"), rtu("03 03 02 00 03"), LinkResult::Accepted, -1, "",
        true);
    const QByteArray write = rtu("05 10 00 02 00 01 02 00 03");
    row("write acknowledged", write, rtu("05 10 00 02 00 01"), LinkResult::Accepted);
    row("write, another register acknowledged", write, rtu("05 10 00 03 00 01"), LinkResult::CheckFailed);
    row("write, another address acknowledged", write, rtu("7F 10 00 02 00 01"), LinkResult::CheckFailed);
    row("write, exception", write, rtu("05 90 03"), LinkResult::Exception);
    row("channel", bytes("AA 04 0C AA"), bytes("AA 05 0C 02 AA"), LinkResult::Accepted);
    row("channel, another command byte", bytes("AA 04 0C AA"), bytes("AA 05 08 09 AA"), LinkResult::CheckFailed);
    row("channel, another length byte", bytes("AA 04 0C AA"), bytes("AA 22 0C 09 AA"), LinkResult::CheckFailed);
    row("channel, no last delimiter", bytes("AA 04 0C AA"), bytes("AA 05 0C 02 AB"), LinkResult::CheckFailed);
    row("loop range", bytes("AA 04 08 AA"), bytes("AA 0D 08 00 00 00 C8 42 00 00 48 41 AA"), LinkResult::Accepted);
    row("cloud OK", bytes("64 64 02 72 31"), "OK\r\n", LinkResult::Accepted, -1, "2+2");
    row("cloud ERROR is a refusal", bytes("64 64 02 72 31"), "ERROR\r\n", LinkResult::Refused);
    row("no reply", read, QByteArray(), LinkResult::NoReply);
    row("a read cut short", read, rtu("05 03 02 00 02").left(5), LinkResult::NoReply);
    row("loop range write awaits nothing", bytes("AA 0D 01 00 00 00 80 40 00 00 A0 41 AA"), QByteArray(), LinkResult::Sent);
    row("test current awaits nothing", bytes("AA 05 02 78 AA"), QByteArray(), LinkResult::Sent);
    row("cloud connect awaits nothing", bytes("64 C8"), QByteArray(), LinkResult::Sent);
}

void LinkTest::replies()
{
    QFETCH(QByteArray, frame);
    QFETCH(bool, anySender);
    QFETCH(QByteArray, reply);
    QFETCH(QString, pieces);
    QFETCH(int, outcome);
    QFETCH(int, taken);

    link->submit(request(frame, 300, 0, anySender));
    QVERIFY(line->expect(frame));
    int at = 0;
    for (const QString &size : pieces.split(QLatin1Char('+'), Qt::SkipEmptyParts)) {
        line->write(reply.mid(at, size.toInt()));
        at += size.toInt();
        settle(20);
    }
    line->write(reply.mid(at));
    const QVector<LinkResult> got = results(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(int(got[0].outcome), outcome);
    QCOMPARE(got[0].request, frame);
    // A reply cut short is kept with its outcome too: it tells that something is there.
    QCOMPARE(got[0].reply.toHex(' '), reply.left(taken).toHex(' '));
    QVERIFY(!got[0].late);
    settle(60);
    QCOMPARE(link->pendingBytes(), 0);
    QVERIFY(link->takeResults().empty());
}

// No request goes out while another awaits its reply; a frame that awaits
// nothing is followed by a quiet gap only.
void LinkTest::queue_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("answer"); // to the first; empty: none comes
    QTest::addColumn<int>("firstOutcome");
    QTest::addColumn<int>("gapMs"); // at least, before the second goes out

    const QByteArray read = rtu("05 03 00 02 00 01");
    QTest::newRow("after the reply") << read << rtu("05 03 02 00 02") << int(LinkResult::Accepted) << 150;
    QTest::newRow("after the time-out") << read << QByteArray() << int(LinkResult::NoReply) << 300;
    QTest::newRow("after an exception") << read << rtu("05 83 02") << int(LinkResult::Exception) << 150;
    QTest::newRow("after a frame that awaits nothing") << bytes("AA 05 02 78 AA") << QByteArray() << int(LinkResult::Sent)
                                                        << 40;
}

void LinkTest::queue()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, answer);
    QFETCH(int, firstOutcome);
    QFETCH(int, gapMs);

    const QByteArray second = rtu("05 03 03 EE 00 01");
    QElapsedTimer clock;
    clock.start();
    link->submit(request(first));
    link->submit(request(second));
    QVERIFY(line->expect(first));
    QCOMPARE(link->queuedCount(), 1);
    if (!answer.isEmpty()) {
        QVERIFY(line->expectSilence(150));
        line->write(answer);
    }
    QVERIFY(line->expect(second));
    QVERIFY2(clock.elapsed() >= gapMs, qPrintable(QString::number(clock.elapsed())));
    line->write(rtu("05 03 02 00 3C"));
    const QVector<LinkResult> got = results(2);
    QCOMPARE(got.size(), 2);
    QCOMPARE(int(got[0].outcome), firstOutcome);
    QCOMPARE(got[1].reply, rtu("05 03 02 00 3C"));
    QCOMPARE(int(got[1].outcome), int(LinkResult::Accepted));
}

// A reply is taken by the oldest attempt still unanswered; the next request
// waits for the replies owed to the attempts before it when they could be taken for its own.
void LinkTest::lateReplies_data()
{
    QTest::addColumn<int>("retries");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<int>("waitMs");       // after the last attempt went out
    QTest::addColumn<int>("replies");      // to the first request's attempts
    QTest::addColumn<int>("nextAfterMs");  // the next request is on the wire no sooner
    QTest::addColumn<QString>("outcomes"); // of the first and the next, late ones marked

    const QByteArray sameShape = rtu("05 03 00 03 00 01");
    QTest::newRow("time-out, then a late reply") << 0 << QByteArray() << 300 << 1 << 0 << "NoReply, Accepted late";
    QTest::newRow("a retry's reply is late") << 1 << sameShape << 0 << 2 << 100 << "Accepted, Accepted";
    QTest::newRow("an owed reply never comes: the next waits its bound") << 1 << sameShape << 0 << 1 << 550
                                                                           << "Accepted, Accepted";
    QTest::newRow("another gateway's request does not wait") << 1 << rtu("06 03 00 02 00 01") << 0 << 1 << 0
                                                               << "Accepted, Accepted";
}

void LinkTest::lateReplies()
{
    QFETCH(int, retries);
    QFETCH(QByteArray, next);
    QFETCH(int, waitMs);
    QFETCH(int, replies);
    QFETCH(int, nextAfterMs);
    QFETCH(QString, outcomes);

    const QByteArray first = rtu("05 03 00 02 00 01");
    const QByteArray firstAnswer = rtu("05 03 02 00 02");
    link->submit(request(first, 200, retries));
    for (int attempt = 0; attempt <= retries; ++attempt)
        QVERIFY(line->expect(first, 400));
    if (!next.isEmpty())
        link->submit(request(next, 200));
    QElapsedTimer clock;
    clock.start();
    settle(waitMs);
    // The second reply a little after the next request would have been free to go.
    for (int i = 0; i < replies; ++i) {
        if (i == 1)
            QVERIFY(line->expectSilence(100));
        line->write(firstAnswer);
    }
    QStringList seen;
    if (!next.isEmpty()) {
        QVERIFY(line->expect(next, 1500));
        QVERIFY2(clock.elapsed() >= nextAfterMs, qPrintable(QString::number(clock.elapsed())));
        // Its answer is the same shape as the first's: only the order tells them apart.
        line->write(withCrc(next.left(2) + bytes("02 00 07")));
    }
    const char *const names[] = {"Accepted", "CheckFailed", "Exception", "Refused", "NoReply"};
    for (const LinkResult &result : results(2, 2500))
        seen << QString::fromLatin1(names[result.outcome]) + (result.late ? " late" : "");
    QCOMPARE(seen.join(", "), outcomes);
    if (replies > 1)
        QCOMPARE(link->traffic().count(TrafficEvent::Late), 1);
}

// The line vanishes while a reply is awaited: the request ends at once, and so does the queue.
void LinkTest::lineGoesAway()
{
    QSignalSpy lost(link.get(), &Link::lineLost);
    link->submit(request(rtu("05 03 00 02 00 01"), 5000));
    link->submit(request(rtu("05 03 00 03 00 01"), 5000));
    QVERIFY(line->expect(rtu("05 03 00 02 00 01")));
    line->hangUp();
    const QVector<LinkResult> got = results(2, 1000);
    QCOMPARE(got.size(), 2);
    QCOMPARE(int(got[0].outcome), int(LinkResult::LineLost));
    QCOMPARE(int(got[1].outcome), int(LinkResult::LineLost));
    QCOMPARE(lost.size(), 1);
    QVERIFY(!link->isOpen());
    link->submit(request(rtu("05 03 00 02 00 01")));
    QCOMPARE(int(results(1).value(0).outcome), int(LinkResult::NotSent));
}

// The trend's columns and their minimum and maximum against one plain pass
// over every poll: random values with gaps, polls with fewer meters, stops of
// an hour and a clock set back now and then.
void LinkTest::trendColumns_data()
{
    QTest::addColumn<int>("polls");
    QTest::addColumn<double>("gaps"); // the share of values missing
    QTest::addColumn<double>("from"); // the columns' span in shares of the time held
    QTest::addColumn<double>("to");
    QTest::addColumn<int>("columns");
    QTest::newRow("a day in 800 columns") << 86400 << 0.05 << 0.0 << 1.0 << 800;
    QTest::newRow("ten minutes of a day") << 86400 << 0.05 << 0.9 << 0.907 << 800;
    QTest::newRow("fewer polls than columns") << 50 << 0.2 << 0.0 << 1.0 << 800;
    QTest::newRow("one column") << 5000 << 0.5 << 0.0 << 1.0 << 1;
    QTest::newRow("nothing but gaps") << 3000 << 1.0 << 0.0 << 1.0 << 333;
    QTest::newRow("beyond what is held") << 3000 << 0.1 << -0.5 << 1.5 << 97;
}

void LinkTest::trendColumns()
{
    QFETCH(int, polls);
    QFETCH(double, gaps);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(int, columns);
    std::mt19937 random(std::uint32_t(polls + columns));
    std::uniform_real_distribution<float> unit(0, 1);
    TrendStore store;
    QVector<qint64> times;
    QVector<std::array<float, kMaxMeters>> values;
    qint64 time = 1700000000000;
    for (int i = 0; i < polls; ++i) {
        time += unit(random) < 0.001f ? 3600000 : qint64(unit(random) * 1550) - 50;
        const int meters = unit(random) < 0.1f ? 3 : kMaxMeters;
        std::array<float, kMaxMeters> poll;
        for (int m = 0; m < kMaxMeters; ++m)
            poll[std::size_t(m)] = m < meters && unit(random) >= gaps ? unit(random) * 200 - 50 : NAN;
        store.append(time, poll.data(), meters);
        times << (times.isEmpty() ? time : std::max(time, times.last()));
        values << poll;
    }
    const qint64 start = times.first() + qint64((times.last() - times.first()) * from);
    const qint64 end = times.first() + qint64((times.last() - times.first()) * to);
    const std::vector<TrendStore::Column> got = store.columns(start, end, columns);
    QCOMPARE(int(got.size()), columns);

    // Every poll into the column it falls in, by a walk along the boundaries.
    QVector<int> first(columns, -1), last(columns, -1);
    QVector<float> low(columns * kMaxMeters, NAN), high(columns * kMaxMeters, NAN);
    int column = 0;
    for (int i = 0; i < polls; ++i) {
        if (times[i] < start || times[i] >= end)
            continue;
        while (column + 1 < columns && start + (end - start) * (column + 1) / columns <= times[i])
            ++column;
        first[column] = first[column] < 0 ? i : first[column];
        last[column] = i;
        for (int m = 0; m < kMaxMeters; ++m) {
            const float v = values[i][std::size_t(m)];
            if (!std::isnan(v)) {
                low[column * kMaxMeters + m] = std::isnan(low[column * kMaxMeters + m]) ? v : std::min(low[column * kMaxMeters + m], v);
                high[column * kMaxMeters + m] = std::isnan(high[column * kMaxMeters + m]) ? v : std::max(high[column * kMaxMeters + m], v);
            }
        }
    }
    const auto same = [](float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (int c = 0; c < columns; ++c) {
        const TrendStore::Column &g = got[std::size_t(c)];
        QVERIFY2(first[c] < 0 ? g.begin == g.end : g.begin == first[c] && g.end == last[c] + 1, qPrintable(QString::number(c)));
        for (int m = 0; m < kMaxMeters; ++m) {
            const TrendStore::Range r = store.range(m, g.begin, g.end);
            QVERIFY2(same(r.min, low[c * kMaxMeters + m]) && same(r.max, high[c * kMaxMeters + m]),
                     qPrintable(QStringLiteral("column %1 meter %2: %3..%4").arg(c).arg(m).arg(double(r.min)).arg(double(r.max))));
        }
    }
}

// The detection against a stand-in for the line that sees parity, as a
// pseudo-terminal cannot: the settings in their order, each verdict, a stop.
void LinkTest::detection_data()
{
    QTest::addColumn<QString>("gateway"); // the setting it answers at; empty: nobody
    QTest::addColumn<QString>("answer");  // good; collision: two gateways at once; late: begun as the wait ends
    QTest::addColumn<int>("stopAfter");   // frames sent before a stop; 0: none
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<int>("tried");
    const QString at4800 = "baud=4800 parity=even", at9600 = "baud=9600 parity=none";
    QTest::newRow("found at 4800 even") << at4800 << "good" << 0 << "found " + at4800 + " address=7" << 9;
    QTest::newRow("two gateways at once") << at9600 << "collision" << 0 << "something " + at9600 << 12;
    QTest::newRow("reply begun as the wait ends") << at9600 << "late" << 0 << "found " + at9600 + " address=7" << 1;
    QTest::newRow("nobody") << "" << "" << 0 << "nobody" << 12;
    QTest::newRow("stopped") << "" << "" << 3 << "stopped" << 3;
}

void LinkTest::detection()
{
    QFETCH(QString, gateway);
    QFETCH(QString, answer);
    QFETCH(int, stopAfter);
    QFETCH(QString, verdict);
    QFETCH(int, tried);
    Link stand;
    QStringList sent;
    std::atomic<bool> stop{false};
    const QByteArray good = rtu("07 03 02 00 07"), other = rtu("09 03 02 00 09");
    stand.setWire([&](const QByteArray &frame) {
        sent << lineSettingText({stand.port().baudRate(), stand.port().parity()});
        stop = sent.size() == stopAfter;
        if (sent.last() != gateway || frame != rtu("00 03 00 01 00 01"))
            return;
        QByteArray reply = good; // the line holds low where either gateway sends a 0 bit
        for (int i = 0; answer == "collision" && i < reply.size(); ++i)
            reply[i] = char(good[i] & other[i]);
        const int wait = replyWaitMs(frame, stand.port().baudRate());
        const int split = answer == "late" ? 2 : 0;
        QTimer::singleShot(answer == "late" ? wait - 5 : 20, &stand, [&stand, reply, split] { stand.receive(reply.left(split)); });
        QTimer::singleShot(answer == "late" ? wait + 15 : 20, &stand, [&stand, reply, split] { stand.receive(reply.mid(split)); });
    });
    const Detection found = detectLine(stand, &stop);
    const char *const verdicts[] = {"found", "something", "nobody", "stopped", "port failed"};
    QStringList said{verdicts[found.verdict]};
    for (const LineSetting &setting : found.verdict == Detection::Found ? QVector<LineSetting>{found.setting} : found.heardAt)
        said << lineSettingText(setting);
    QCOMPARE(said.join(' ') + (found.verdict == Detection::Found ? QString(" address=%1").arg(found.address) : QString()), verdict);
    settle(300);
    QCOMPARE(sent.size(), tried);
    for (int i = 0; i < tried; ++i)
        QCOMPARE(sent[i], lineSettingText(detectionOrder()[i]));
}

// A commissioning reason as the Chinese window and report show it: forms within
// forms, the more particular form first, values kept, an exception named in Chinese.
void LinkTest::reasonsInChinese_data()
{
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("nested, plural") << reasonOf(Reason::DidNotAnswer, {reasonOf(Reason::NoAnswer, {reasonOf(Reason::Tries, {"3"})})})
                                    << QString("未执行：网关无应答（尝试 3 次均无应答）");
    QTest::newRow("cut short before no valid answer") << reasonOf(Reason::CutShort, {reasonOf(Reason::Try, {"1"})})
                                                      << QString("尝试 1 次均无有效应答（最后一次应答不完整）");
    QTest::newRow("values with a %") << reasonOf(Reason::WroteReadBack, {"%2", "4,20"}) << QString("写入 %2，读回 4,20");
    QTest::newRow("an exception, within a form") << reasonOf(Reason::ReadFailed, {"3", "mode", "exception 0B gateway target device failed to respond"})
                                                 << QString("网关 3：mode：异常 0B 网关目标设备响应失败");
    // Refused profiles, as the parser words them.
    const auto refused = [](const char *name, const QByteArray &json, const char *chinese) {
        QString error;
        QVERIFY(!parseProfile(json, "b.json", &error));
        QTest::newRow(name) << error << QString::fromUtf8(chinese);
    };
    refused("range of a setting", R"({"frequency": 700})", "b.json：frequency：应为420到675的整数");
    refused("not JSON", "{", "b.json：不是有效的 JSON（第 1 字节：unterminated object）");
    refused("wrong type", R"({"range": 5})", "b.json：range：应为 [下限, 上限]，各为0到6553.5");
    refused("a choice", R"({"baud": "1"})", "b.json：baud：应为2400, 4800, 9600, 19200");
    refused("topic", R"({"format": 1, "cloud": {"publish": ""}})", "b.json：cloud.publish：应为 1 到 63 字节的 UTF-8 文本（加上“,0,0”共 67 字节）");
}

void LinkTest::reasonsInChinese()
{
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QCOMPARE(reasonText(english, ReportLanguage::Chinese), chinese);
    QCOMPARE(reasonText(english, ReportLanguage::English), english);
}

QTEST_GUILESS_MAIN(LinkTest)
#include "tst_link.moc"
