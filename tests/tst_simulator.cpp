// The gateway stand-in as a model: request bytes in, reply bytes out, no line.
#include <QtTest>

#include "frames.h" // the float byte orders
#include "gatewaysimulator.h"
#include "ptyline.h"

namespace {

using Values = QVector<int>;

// 16-bit words, high byte first.
QByteArray words(const Values &values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v >> 8)).append(char(v & 0xFF));
    return out;
}

QByteArray readRequest(int address, int first, int count)
{
    return withCrc(QByteArray(1, char(address)) + char(0x03) + words({first, count}));
}

QByteArray writeRequest(int address, int first, const Values &values)
{
    return withCrc(QByteArray(1, char(address)) + char(0x10) + words({first, int(values.size())})
                   + char(2 * values.size()) + words(values));
}

// What the tool accepts as a read reply: address, 03, byte count, values, CRC.
QByteArray readReply(int address, const Values &values)
{
    return withCrc(QByteArray(1, char(address)) + char(0x03) + char(2 * values.size()) + words(values));
}

QByteArray exceptionReply(int address, int function, int code)
{
    return withCrc(QByteArray(1, char(address)) + char(function | 0x80) + char(code));
}

// A current-loop range frame body: two floats, least significant byte first.
QByteArray loopRange(const char *head, float lower, float upper)
{
    std::uint8_t floats[8];
    putFloatLittleEndian(floats, lower);
    putFloatLittleEndian(floats + 4, upper);
    return bytes(head) + QByteArray(reinterpret_cast<const char *>(floats), 8) + bytes("AA");
}

// Everything the bus says back to these bytes, silence after them included.
QByteArray answer(GatewaySimulator &sim, const QByteArray &request)
{
    const QByteArray atOnce = GatewaySimulator::replyBytes(sim.feed(request));
    return atOnce + GatewaySimulator::replyBytes(sim.lineIdle());
}

SimulatorSettings quietSettings()
{
    SimulatorSettings settings;
    settings.drift = 0.0f;
    return settings;
}

void row(const char *name, const QByteArray &request, const QByteArray &reply, const Values &addresses = {1})
{
    QTest::newRow(name) << addresses << request << reply;
}

} // namespace

class SimulatorTest : public QObject
{
    Q_OBJECT
private slots:
    void exchanges_data();
    void exchanges();
    void calibrationNeedsTheKey();
    void meterBlock();
    void temperaturesDrift();
    void framing_data();
    void framing();
    void noiseNeverWedges();
    void droppedFramesHaveNoEffect();
    void splitAndDelayed();
    void faultRates_data();
    void faultRates();
};

void SimulatorTest::exchanges_data()
{
    QTest::addColumn<Values>("addresses"); // one gateway per address
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray broadcastPoll = bytes("00 03 00 01 00 01 D4 1B");
    const QByteArray rangeWrite = bytes("01 10 03 E9 00 02 04 00 28 00 C8");
    row("search poll, address 1", bytes("01 03 00 01 00 01 D5 CA"), readReply(1, {1}));
    row("broadcast read", broadcastPoll, readReply(1, {1}));
    row("broadcast read of another register", readRequest(0, 0x0002, 1), {});
    row("platform page", readRequest(1, 0x03E8, 9), readReply(1, {3, 0, 1000, 0xA5, 7, 0x0102, 60, 0, 0}));
    // A write is acknowledged by the 8-byte echo: address, 0x10, register, quantity, CRC.
    row("range write 4.0 to 20.0", withCrc(rangeWrite), withCrc(rangeWrite.left(6)));
    row("channel 1", bytes("01 10 00 06 00 01 02 00 00 A6 36"), withCrc(bytes("01 10 00 06 00 01")));

    row("past the last register", readRequest(1, 0x03F0, 2), exceptionReply(1, 0x03, 0x02));
    row("read of nothing", readRequest(1, 0x0002, 0), exceptionReply(1, 0x03, 0x03));
    row("more meters than there are", readRequest(1, 0x0004, 12), exceptionReply(1, 0x03, 0x02));
    row("half a meter value", readRequest(1, 0x0004, 3), exceptionReply(1, 0x03, 0x02));
    row("mode 2 does not exist", writeRequest(1, 0x03F0, {2}), exceptionReply(1, 0x10, 0x03));
    row("address 0 is the broadcast", writeRequest(1, 0x0001, {0}), exceptionReply(1, 0x10, 0x03));
    row("address 248", writeRequest(1, 0x0001, {248}), exceptionReply(1, 0x10, 0x03));
    row("calibration with a wrong key", writeRequest(1, 0x0004, {0x1234}), exceptionReply(1, 0x10, 0x03));
    row("an exception of someone else", exceptionReply(1, 0x03, 0x02), {});

    // The change is acknowledged from the old address; then only the new one answers.
    const QByteArray change = withCrc(bytes("05 10 00 01 00 01 02 00 09"));
    const QByteArray ack = withCrc(bytes("05 10 00 01 00 01"));
    row("address change 5 to 9, nobody at 5", change + readRequest(5, 0x0002, 1), ack, {5});
    row("address change 5 to 9, poll at 9", change + readRequest(9, 0x0001, 1), ack + readReply(9, {9}), {5});
    row("address change 5 to 9, broadcast", change + broadcastPoll, ack + readReply(9, {9}), {5});

    // Current-loop frames; a range write is not answered.
    row("read channel after a Modbus write of 2", writeRequest(1, 0x0006, {2}) + bytes("AA 04 0C AA"),
        withCrc(bytes("01 10 00 06 00 01")) + bytes("AA 05 0C 02 AA"));
    row("read range, default 0 to 100", bytes("AA 04 08 AA"), loopRange("AA 0D 08 00", 0.0f, 100.0f));
    row("read range after writing 4 to 20", loopRange("AA 0D 01 00", 4.0f, 20.0f) + bytes("AA 04 08 AA"),
        loopRange("AA 0D 08 00", 4.0f, 20.0f));
    row("output current is not answered", bytes("AA 05 02 78 AA"), {});
    row("unknown command", bytes("AA 04 33 AA"), {});
    row("no closing AA", bytes("AA 04 0C 55"), {});

    // Cloud frames, answered after the pause that ends them.
    row("cloud: device name in Chinese", bytes("64 64 05") + QStringLiteral("网关").toUtf8(), QByteArray("OK\r\n"));
    row("cloud: unknown parameter", bytes("64 64 09 41"), QByteArray("ERROR\r\n"));
    row("cloud: connect is not answered", bytes("64 C8"), {});

    const Values two{3, 200};
    row("two gateways: poll at 200", readRequest(200, 0x0001, 1), readReply(200, {200}), two);
    row("two gateways: the first answers the broadcast", broadcastPoll, readReply(3, {3}), two);
    row("two gateways: one cloud answer", bytes("64 64 02 72 31"), QByteArray("OK\r\n"), two);
    // A broadcast write is carried out by all and answered by none.
    row("two gateways: broadcast write", writeRequest(0, 0x03EC, {9}) + readRequest(200, 0x03EC, 1),
        readReply(200, {9}), two);
}

void SimulatorTest::exchanges()
{
    QFETCH(Values, addresses);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    SimulatorSettings settings = quietSettings();
    settings.addresses.clear();
    for (int address : addresses)
        settings.addresses << std::uint8_t(address);
    GatewaySimulator sim(settings);
    QCOMPARE(answer(sim, request).toHex(' '), reply.toHex(' '));
}

void SimulatorTest::calibrationNeedsTheKey()
{
    GatewaySimulator sim(quietSettings());
    const QByteArray point = bytes("AA 07 E7 28 AC 0F AA"); // 4 mA, 4.012 mA measured; never answered
    QVERIFY(answer(sim, point).isEmpty());
    QCOMPARE(sim.gateway(0).measuredAt4mA, -1);
    QCOMPARE(answer(sim, writeRequest(1, 0x0004, {0x9B9B})), bytes("01 10 00 04 00 01 40 08"));
    QVERIFY(answer(sim, point).isEmpty());
    QCOMPARE(sim.gateway(0).measuredAt4mA, 4012);
    QCOMPARE(sim.gateway(0).measuredAt20mA, -1);
}

void SimulatorTest::meterBlock()
{
    GatewaySimulator sim(quietSettings());
    sim.gateway(0).meters[0].temperature = 23.5f;
    sim.gateway(0).meters[1].silent = true;
    QCOMPARE(answer(sim, bytes("01 03 00 04 00 04 05 C8")).toHex(' '),
             bytes("01 03 08 41 BC 00 00 FF FF FF FF 2C 74").toHex(' '));
}

void SimulatorTest::temperaturesDrift()
{
    SimulatorSettings settings;
    settings.meters = 1;
    settings.seed = 7;
    GatewaySimulator sim(settings);
    QSet<float> seen;
    for (int i = 0; i < 30; ++i) {
        const float before = sim.gateway(0).meters[0].temperature;
        const QByteArray reply = answer(sim, readRequest(1, 0x0004, 2));
        // The value sent is the one before this poll's step; steps are small.
        QCOMPARE(floatFromBigEndian(reinterpret_cast<const std::uint8_t *>(reply.constData()) + 3), before);
        QVERIFY(qAbs(sim.gateway(0).meters[0].temperature - before) <= settings.drift * 1.5f);
        seen.insert(before);
    }
    QVERIFY(seen.size() > 20);
}

void SimulatorTest::framing_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<QList<int>>("answeredBytes"); // reply bytes so far, after each piece
    QTest::addColumn<QByteArray>("reply"); // after the pause that follows

    const QByteArray read = readRequest(1, 0x03EC, 1);
    const QByteArray answered = readReply(1, {7});
    const QByteArray write = writeRequest(1, 0x03E9, {40, 200}); // 13 bytes
    QByteArray badRead = readRequest(1, 0x0003, 1);
    badRead[6] = char(badRead[6] ^ 0x40);
    // A frame is answered as soon as its last byte is in, without waiting for the pause.
    QTest::newRow("read, byte by byte") << read << QList<int>{1, 1, 1, 1, 1, 1, 1, 1}
                                        << QList<int>{0, 0, 0, 0, 0, 0, 0, 7} << answered;
    QTest::newRow("loop frame, 1 + 3") << bytes("AA 04 0C AA") << QList<int>{1, 3} << QList<int>{0, 5}
                                       << bytes("AA 05 0C 00 AA");
    QTest::newRow("write and loop frame, cut across")
        << write + bytes("AA 04 0C AA") << QList<int>{10, 5, 2} << QList<int>{0, 8, 13}
        << withCrc(write.left(6)) + bytes("AA 05 0C 00 AA");
    // Nothing tells where a cloud text ends but the pause after it.
    QTest::newRow("cloud text in two pieces") << bytes("64 64 02 72 31 32") << QList<int>{4, 2} << QList<int>{0, 0}
                                              << QByteArray("OK\r\n");
    // Junk is skipped and the read after it found, at once or at the pause.
    QTest::newRow("noise bytes") << bytes("11 22 33") + read << QList<int>{11} << QList<int>{7} << answered;
    QTest::newRow("a read with a bad CRC") << badRead + read << QList<int>{16} << QList<int>{7} << answered;
    QTest::newRow("AA with a long length") << bytes("AA 1F 0C") + read << QList<int>{11} << QList<int>{0} << answered;
    QTest::newRow("a write header claiming 100 registers")
        << bytes("01 10 00 00 00 64 C8") + read << QList<int>{15} << QList<int>{0} << answered;
    QTest::newRow("64 64 inside noise") << bytes("55 64 64 02") + read << QList<int>{12} << QList<int>{7} << answered;
}

void SimulatorTest::framing()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, pieces);
    QFETCH(QList<int>, answeredBytes);
    QFETCH(QByteArray, reply);
    GatewaySimulator sim(quietSettings());
    QByteArray got;
    for (int i = 0, at = 0; i < pieces.size(); at += pieces[i++]) {
        got += GatewaySimulator::replyBytes(sim.feed(stream.mid(at, pieces[i])));
        QCOMPARE(got.size(), answeredBytes[i]);
    }
    got += GatewaySimulator::replyBytes(sim.lineIdle());
    QCOMPARE(got.toHex(' '), reply.toHex(' '));
    // Whatever came before, after a pause the next request is answered at once.
    QCOMPARE(GatewaySimulator::replyBytes(sim.feed(readRequest(1, 0x0002, 1))), readReply(1, {2}));
}

void SimulatorTest::noiseNeverWedges()
{
    GatewaySimulator sim(quietSettings());
    std::mt19937 random(99);
    for (int burst = 0; burst < 200; ++burst) {
        // Up to 300 bytes, rich in frame starts, fed in pieces of 1 to 20.
        for (int length = int(random() % 300), piece = 0; length > 0; length -= piece) {
            QByteArray noise;
            for (piece = qMin(length, 1 + int(random() % 20)); noise.size() < piece;)
                noise.append(char(random() % 4 == 0 ? 0xAA : random() % 4 == 0 ? 0x64 : random()));
            sim.feed(noise);
        }
        sim.lineIdle();
        // After any burst and a pause, the next request is answered at once.
        QCOMPARE(GatewaySimulator::replyBytes(sim.feed(readRequest(1, 0x0002, 1))), readReply(1, {2}));
    }
}

void SimulatorTest::droppedFramesHaveNoEffect()
{
    SimulatorSettings settings = quietSettings();
    settings.dropRate = 1.0;
    GatewaySimulator sim(settings);
    const QList<Exchange> exchanges = sim.feed(writeRequest(1, 0x0002, {3}) + bytes("AA 05 02 78 AA"));
    QCOMPARE(exchanges.size(), 2);
    for (const Exchange &exchange : exchanges)
        QVERIFY(exchange.reply.isEmpty() && exchange.faults.contains(QStringLiteral("dropped")));
    QCOMPARE(sim.gateway(0).baudCode, std::uint16_t(2));
    QCOMPARE(sim.gateway(0).testCurrent, std::uint8_t(0xFF));
}

void SimulatorTest::splitAndDelayed()
{
    SimulatorSettings settings = quietSettings();
    settings.split = true;
    settings.splitGapMs = 40;
    settings.delayMs = 30;
    settings.jitterMs = 20;
    settings.seed = 42;
    GatewaySimulator sim(settings), twin(settings), clean(quietSettings());
    QSet<int> cuts, delays;
    for (int i = 0; i < 40; ++i) {
        const QByteArray request = readRequest(1, 0x03E8, 1 + i % 9);
        const QList<Exchange> exchanges = sim.feed(request);
        QCOMPARE(exchanges.size(), 1);
        const QList<ReplyPiece> &pieces = exchanges.first().reply;
        QCOMPARE(pieces.size(), 2);
        // The same seed cuts and delays the same way.
        const QList<ReplyPiece> again = twin.feed(request).value(0).reply;
        QVERIFY(again.size() == 2 && again[0].bytes == pieces[0].bytes && again[0].delayMs == pieces[0].delayMs);
        QVERIFY(!pieces[0].bytes.isEmpty() && !pieces[1].bytes.isEmpty());
        QCOMPARE(pieces[0].bytes + pieces[1].bytes, GatewaySimulator::replyBytes(clean.feed(request)));
        QVERIFY2(pieces[0].delayMs >= 30 && pieces[0].delayMs <= 50, qPrintable(QString::number(pieces[0].delayMs)));
        QCOMPARE(pieces[1].delayMs, 40);
        cuts << pieces[0].bytes.size();
        delays << pieces[0].delayMs;
    }
    // Cut and delay vary, so partial replies of many lengths and timings are tried.
    QVERIFY(cuts.size() >= 5 && delays.size() >= 5);
}

void SimulatorTest::faultRates_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<double>("rate");
    QTest::newRow("drop 0.3") << "drop" << 0.3;
    QTest::newRow("corrupt 0.5") << "corrupt" << 0.5; // the last byte inverted: a bad CRC
    QTest::newRow("exception 0.1") << "exception" << 0.1;
}

// Each fault hits about its share of frames, the same ones for the same seed.
void SimulatorTest::faultRates()
{
    QFETCH(QString, fault);
    QFETCH(double, rate);
    const QByteArray good = readReply(1, {2});
    const QByteArray faulty = fault == QLatin1String("drop") ? QByteArray()
                              : fault == QLatin1String("exception") ? exceptionReply(1, 0x03, 0x04)
                                                                    : good.chopped(1) + char(~good.back());
    auto run = [&](std::uint32_t seed) {
        SimulatorSettings settings = quietSettings();
        settings.seed = seed;
        (fault == QLatin1String("drop") ? settings.dropRate
         : fault == QLatin1String("corrupt") ? settings.corruptRate : settings.exceptionRate) = rate;
        GatewaySimulator sim(settings);
        QVector<bool> hits;
        for (int i = 0; i < 400; ++i) {
            const QByteArray reply = answer(sim, readRequest(1, 0x0002, 1));
            hits << (reply == faulty);
            if (reply != faulty && reply != good)
                return QVector<bool>();
        }
        return hits;
    };
    const QVector<bool> hits = run(2024);
    QCOMPARE(hits.size(), 400);
    QVERIFY2(qAbs(hits.count(true) / 400.0 - rate) < 0.08, qPrintable(QString::number(hits.count(true))));
    QCOMPARE(run(2024), hits);
    QVERIFY(run(2025) != hits);
}

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_simulator.moc"
