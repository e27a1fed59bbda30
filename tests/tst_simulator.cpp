// The gateway stand-in as a model: request bytes in, reply bytes out, no line.
#include <QtTest>

#include "crc.h"
#include "frames.h"
#include "gatewaysimulator.h"
#include "ptyline.h"

namespace {

using Values = QVector<int>;

QByteArray readRequest(int address, int first, int count)
{
    std::uint8_t frame[8];
    const int n = buildReadRequest(frame, static_cast<std::uint8_t>(address), static_cast<std::uint16_t>(first),
                                   static_cast<std::uint16_t>(count));
    return withCrc(QByteArray(reinterpret_cast<const char *>(frame), n));
}

QByteArray writeRequest(int address, int first, const Values &values)
{
    std::uint8_t frame[kTxFrameSize];
    std::uint16_t words[16];
    for (int i = 0; i < values.size(); ++i)
        words[i] = static_cast<std::uint16_t>(values[i]);
    const int n = buildWriteRequest(frame, static_cast<std::uint8_t>(address), static_cast<std::uint16_t>(first),
                                    words, values.size());
    return withCrc(QByteArray(reinterpret_cast<const char *>(frame), n));
}

// What the tool accepts as a read reply: address, 03, byte count, values high byte first, CRC.
QByteArray readReply(int address, const Values &values)
{
    QByteArray reply;
    reply.append(char(address));
    reply.append(char(0x03));
    reply.append(char(2 * values.size()));
    for (int v : values) {
        reply.append(char(v >> 8));
        reply.append(char(v & 0xFF));
    }
    return withCrc(reply);
}

QByteArray exceptionReply(int address, int function, int code)
{
    QByteArray reply;
    reply.append(char(address));
    reply.append(char(function | 0x80));
    reply.append(char(code));
    return withCrc(reply);
}

QByteArray littleEndianFloats(float a, float b)
{
    std::uint8_t bytes[8];
    putFloatLittleEndian(bytes, a);
    putFloatLittleEndian(bytes + 4, b);
    return QByteArray(reinterpret_cast<const char *>(bytes), 8);
}

bool crcGood(const QByteArray &frame)
{
    return crcTrailerMatches(reinterpret_cast<const std::uint8_t *>(frame.constData()), frame.size());
}

// Everything the bus says back to these bytes, silence after them included.
QByteArray answer(GatewaySimulator &sim, const QByteArray &request)
{
    QByteArray reply = GatewaySimulator::replyBytes(sim.feed(request));
    reply += GatewaySimulator::replyBytes(sim.lineIdle());
    return reply;
}

SimulatorSettings quietSettings()
{
    SimulatorSettings settings;
    settings.drift = 0.0f;
    return settings;
}

} // namespace

class SimulatorTest : public QObject
{
    Q_OBJECT
private slots:
    void modbusRequests_data();
    void modbusRequests();
    void addressChangeAnswersFromOldAddress();
    void calibrationEnable_data();
    void calibrationEnable();
    void meterBlock();
    void temperaturesDrift();
    void loopFrames_data();
    void loopFrames();
    void cloudFrames_data();
    void cloudFrames();
    void cloudWaitsForSilence();
    void piecesOfAFrame_data();
    void piecesOfAFrame();
    void resynchronises_data();
    void resynchronises();
    void noiseNeverWedges();
    void severalGateways_data();
    void severalGateways();
    void dropped();
    void corrupted_data();
    void corrupted();
    void splitAndDelayed();
    void seedRepeats();
    void faultRatesRoughlyHold_data();
    void faultRatesRoughlyHold();
};

void SimulatorTest::modbusRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray rangeWrite = bytes("01 10 03 E9 00 02 04 00 28 00 C8");
    QTest::newRow("search poll, address 1") << bytes("01 03 00 01 00 01 D5 CA") << readReply(1, {1});
    QTest::newRow("search poll, nobody at 2") << readRequest(2, 0x0001, 1) << QByteArray();
    QTest::newRow("broadcast read") << bytes("00 03 00 01 00 01 D4 1B") << readReply(1, {1});
    QTest::newRow("broadcast read of another register") << readRequest(0, 0x0002, 1) << QByteArray();
    QTest::newRow("first page") << readRequest(1, 0x0000, 4) << readReply(1, {0, 1, 2, 0x000D});
    QTest::newRow("platform page") << readRequest(1, 0x03E8, 9)
                                   << readReply(1, {3, 0, 1000, 0xA5, 7, 0x0102, 60, 0, 0});
    QTest::newRow("channel") << readRequest(1, 0x0006, 1) << readReply(1, {0});
    // A write is acknowledged by the 8-byte echo: address, 0x10, register, quantity, CRC.
    QTest::newRow("range write 4.0 to 20.0") << withCrc(rangeWrite) << withCrc(rangeWrite.left(6));
    QTest::newRow("frequency 433 from the first page") << withCrc(bytes("01 10 00 03 00 01 02 FF 0D"))
                                                       << withCrc(bytes("01 10 00 03 00 01"));
    QTest::newRow("channel 1") << bytes("01 10 00 06 00 01 02 00 00 A6 36") << withCrc(bytes("01 10 00 06 00 01"));

    QTest::newRow("unknown register 0x0005") << readRequest(1, 0x0005, 1) << exceptionReply(1, 0x03, 0x02);
    QTest::newRow("past the last register") << readRequest(1, 0x03F0, 2) << exceptionReply(1, 0x03, 0x02);
    QTest::newRow("read of nothing") << readRequest(1, 0x0002, 0) << exceptionReply(1, 0x03, 0x03);
    QTest::newRow("more meters than there are") << readRequest(1, 0x0004, 12) << exceptionReply(1, 0x03, 0x02);
    QTest::newRow("half a meter value") << readRequest(1, 0x0004, 3) << exceptionReply(1, 0x03, 0x02);
    QTest::newRow("write to unknown register") << writeRequest(1, 0x0100, {1}) << exceptionReply(1, 0x10, 0x02);
    QTest::newRow("parity 3 does not exist") << writeRequest(1, 0x0000, {3}) << exceptionReply(1, 0x10, 0x03);
    QTest::newRow("address 0 is the broadcast") << writeRequest(1, 0x0001, {0}) << exceptionReply(1, 0x10, 0x03);
    QTest::newRow("address 248") << writeRequest(1, 0x0001, {248}) << exceptionReply(1, 0x10, 0x03);
    QTest::newRow("calibration with a wrong key") << writeRequest(1, 0x0004, {0x1234})
                                                  << exceptionReply(1, 0x10, 0x03);
    QTest::newRow("single write, function 06") << withCrc(bytes("01 06 00 02 00 01")) << exceptionReply(1, 0x06, 0x01);
    QTest::newRow("CRC bytes swapped") << bytes("01 03 00 01 00 01 CA D5") << QByteArray();
    QTest::newRow("an exception of someone else") << exceptionReply(1, 0x03, 0x02) << QByteArray();
}

void SimulatorTest::modbusRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    GatewaySimulator sim(quietSettings());
    QCOMPARE(answer(sim, request).toHex(' '), reply.toHex(' '));
}

void SimulatorTest::addressChangeAnswersFromOldAddress()
{
    SimulatorSettings settings = quietSettings();
    settings.addresses = {5};
    GatewaySimulator sim(settings);

    const QByteArray change = withCrc(bytes("05 10 00 01 00 01 02 00 09"));
    QCOMPARE(answer(sim, change).toHex(' '), withCrc(bytes("05 10 00 01 00 01")).toHex(' '));
    QVERIFY(answer(sim, readRequest(5, 0x0002, 1)).isEmpty());
    QCOMPARE(answer(sim, readRequest(9, 0x0001, 1)), readReply(9, {9}));
    QCOMPARE(answer(sim, bytes("00 03 00 01 00 01 D4 1B")), readReply(9, {9}));
}

void SimulatorTest::calibrationEnable_data()
{
    QTest::addColumn<bool>("enableFirst");
    QTest::addColumn<int>("expected4mA");
    QTest::newRow("enabled: the point is taken") << true << 4012;
    QTest::newRow("not enabled: ignored") << false << -1;
}

void SimulatorTest::calibrationEnable()
{
    QFETCH(bool, enableFirst);
    QFETCH(int, expected4mA);
    GatewaySimulator sim(quietSettings());
    if (enableFirst) {
        QCOMPARE(answer(sim, writeRequest(1, 0x0004, {0x9B9B})), bytes("01 10 00 04 00 01 40 08"));
        QVERIFY(sim.gateway(0).calibrationEnabled);
    }
    // Calibrate at 4 mA with 4.012 mA measured; the tool expects no answer.
    QVERIFY(answer(sim, bytes("AA 07 E7 28 AC 0F AA")).isEmpty());
    QCOMPARE(sim.gateway(0).measuredAt4mA, expected4mA);
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
    float previous = sim.gateway(0).meters[0].temperature;
    for (int i = 0; i < 30; ++i) {
        const QByteArray reply = answer(sim, readRequest(1, 0x0004, 2));
        QVERIFY(crcGood(reply));
        const float now = floatFromBigEndian(reinterpret_cast<const std::uint8_t *>(reply.constData()) + 3);
        // The value sent is the one before this poll's step; steps are small.
        QCOMPARE(now, previous);
        previous = sim.gateway(0).meters[0].temperature;
        QVERIFY2(qAbs(previous - now) <= settings.drift * 1.5f, qPrintable(QString::number(double(previous - now))));
        seen.insert(now);
    }
    QVERIFY(seen.size() > 20);
}

void SimulatorTest::loopFrames_data()
{
    QTest::addColumn<QByteArray>("setup"); // Modbus or loop frame sent first, its answer not looked at
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("read channel, default") << QByteArray() << bytes("AA 04 0C AA") << bytes("AA 05 0C 00 AA");
    QTest::newRow("read channel after a Modbus write of 2")
        << writeRequest(1, 0x0006, {2}) << bytes("AA 04 0C AA") << bytes("AA 05 0C 02 AA");
    QTest::newRow("read range, default 0 to 100")
        << QByteArray() << bytes("AA 04 08 AA")
        << bytes("AA 0D 08 00") + littleEndianFloats(0.0f, 100.0f) + bytes("AA");
    QTest::newRow("read range after writing 4 to 20")
        << bytes("AA 0D 01 00") + littleEndianFloats(4.0f, 20.0f) + bytes("AA") << bytes("AA 04 08 AA")
        << bytes("AA 0D 08 00") + littleEndianFloats(4.0f, 20.0f) + bytes("AA");
    QTest::newRow("range write is not answered")
        << QByteArray() << bytes("AA 0D 01 00") + littleEndianFloats(12.5f, -3.0f) + bytes("AA") << QByteArray();
    QTest::newRow("output current is not answered") << QByteArray() << bytes("AA 05 02 78 AA") << QByteArray();
    QTest::newRow("unknown command") << QByteArray() << bytes("AA 04 33 AA") << QByteArray();
    QTest::newRow("no closing AA") << QByteArray() << bytes("AA 04 0C 55") << QByteArray();
}

void SimulatorTest::loopFrames()
{
    QFETCH(QByteArray, setup);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    GatewaySimulator sim(quietSettings());
    if (!setup.isEmpty())
        answer(sim, setup);
    // Answered as soon as the frame is complete, without waiting for silence.
    const QByteArray atOnce = GatewaySimulator::replyBytes(sim.feed(request));
    QCOMPARE(atOnce.toHex(' '), reply.toHex(' '));
    QVERIFY(GatewaySimulator::replyBytes(sim.lineIdle()).isEmpty());
}

void SimulatorTest::cloudFrames_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("parameter"); // 0: none
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray ok("OK\r\n");
    QTest::newRow("region r1") << bytes("64 64 02 72 31") << 2 << QStringLiteral("r1") << ok;
    QTest::newRow("publish topic a/b") << bytes("64 64 06 61 2F 62 2C 30 2C 30") << 6
                                       << QStringLiteral("a/b,0,0") << ok;
    QTest::newRow("subscribe topic x") << bytes("64 64 07 78 2C 30") << 7 << QStringLiteral("x,0") << ok;
    QTest::newRow("empty device name") << bytes("64 64 05") << 5 << QString() << ok;
    QTest::newRow("device name in Chinese")
        << QByteArray("\x64\x64\x05") + QStringLiteral("网关").toUtf8() << 5 << QStringLiteral("网关") << ok;
    QTest::newRow("confirm mode") << bytes("64 64 01 01") << 0 << QString() << ok;
    QTest::newRow("unknown parameter") << bytes("64 64 09 41") << 0 << QString() << QByteArray("ERROR\r\n");
    QTest::newRow("connect") << bytes("64 C8") << 0 << QString() << QByteArray();
    QTest::newRow("debugging on") << bytes("64 65 01") << 0 << QString() << QByteArray();
}

void SimulatorTest::cloudFrames()
{
    QFETCH(QByteArray, request);
    QFETCH(int, parameter);
    QFETCH(QString, text);
    QFETCH(QByteArray, reply);
    GatewaySimulator sim(quietSettings());
    QCOMPARE(answer(sim, request), reply);
    const GatewayState &state = sim.gateway(0);
    if (parameter != 0) {
        QVERIFY(state.cloudParameters.contains(parameter));
        QCOMPARE(state.cloudParameters.value(parameter), text);
    }
    const std::uint8_t command = std::uint8_t(request.at(1));
    QCOMPARE(state.connected, command == 0xC8);
    QCOMPARE(state.platformDebugging, command == 0x65);
    QCOMPARE(state.modeConfirmed, request.startsWith(bytes("64 64 01")));
}

void SimulatorTest::cloudWaitsForSilence()
{
    GatewaySimulator sim(quietSettings());
    // Nothing tells where the text ends but the pause after it.
    QVERIFY(GatewaySimulator::replyBytes(sim.feed(bytes("64 64 02 72"))).isEmpty());
    QVERIFY(GatewaySimulator::replyBytes(sim.feed(bytes("31 32"))).isEmpty());
    QCOMPARE(GatewaySimulator::replyBytes(sim.lineIdle()), QByteArray("OK\r\n"));
    QCOMPARE(sim.gateway(0).cloudParameters.value(2), QStringLiteral("r12"));

    QVERIFY(GatewaySimulator::replyBytes(sim.feed(bytes("64 65 01"))).isEmpty());
    QVERIFY(!sim.gateway(0).platformDebugging);
    sim.lineIdle();
    QVERIFY(sim.gateway(0).platformDebugging);
    answer(sim, bytes("64 65 00"));
    QVERIFY(!sim.gateway(0).platformDebugging);
}

void SimulatorTest::piecesOfAFrame_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<int>>("pieces");
    QTest::addColumn<QList<int>>("answeredBytes"); // reply bytes so far, after each piece
    QTest::addColumn<QByteArray>("reply");

    const QByteArray read = readRequest(1, 0x0002, 1);
    const QByteArray readAnswer = readReply(1, {2});
    const QByteArray write = writeRequest(1, 0x03E9, {40, 200}); // 13 bytes
    QTest::newRow("read, byte by byte") << read << QList<int>{1, 1, 1, 1, 1, 1, 1, 1}
                                        << QList<int>{0, 0, 0, 0, 0, 0, 0, 7} << readAnswer;
    QTest::newRow("read, 3 + 5") << read << QList<int>{3, 5} << QList<int>{0, 7} << readAnswer;
    QTest::newRow("range write, 7 + 5 + 1") << write << QList<int>{7, 5, 1} << QList<int>{0, 0, 8}
                                            << withCrc(write.left(6));
    QTest::newRow("loop frame, 1 + 3") << bytes("AA 04 0C AA") << QList<int>{1, 3} << QList<int>{0, 5}
                                       << bytes("AA 05 0C 00 AA");
    QTest::newRow("two reads in one piece") << read + readRequest(1, 0x03EC, 1) << QList<int>{16}
                                            << QList<int>{14} << readAnswer + readReply(1, {7});
    QTest::newRow("write and loop frame, cut across")
        << write + bytes("AA 04 0C AA") << QList<int>{10, 5, 2} << QList<int>{0, 8, 13}
        << withCrc(write.left(6)) + bytes("AA 05 0C 00 AA");
}

void SimulatorTest::piecesOfAFrame()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<int>, pieces);
    QFETCH(QList<int>, answeredBytes);
    QFETCH(QByteArray, reply);
    GatewaySimulator sim(quietSettings());
    QByteArray got;
    int at = 0;
    for (int i = 0; i < pieces.size(); ++i) {
        got += GatewaySimulator::replyBytes(sim.feed(stream.mid(at, pieces[i])));
        at += pieces[i];
        // Each frame is answered as soon as its last byte is in, not before and
        // without waiting for the line to go quiet.
        QCOMPARE(got.size(), answeredBytes[i]);
    }
    QCOMPARE(at, stream.size());
    QCOMPARE(got.toHex(' '), reply.toHex(' '));
    QVERIFY(GatewaySimulator::replyBytes(sim.lineIdle()).isEmpty());
}

void SimulatorTest::resynchronises_data()
{
    QTest::addColumn<QByteArray>("junk");
    QTest::addColumn<bool>("answeredAtOnce"); // or only once the line went quiet

    QByteArray badRead = readRequest(1, 0x0003, 1);
    badRead[6] = char(badRead[6] ^ 0x40);
    QTest::newRow("noise bytes") << bytes("11 22 33") << true;
    QTest::newRow("a read with a bad CRC") << badRead << true;
    QTest::newRow("half a frame") << readRequest(1, 0x0002, 1).left(5) << true;
    QTest::newRow("a lone AA") << bytes("AA") << true;
    QTest::newRow("AA with a long length") << bytes("AA 1F 0C") << false;
    QTest::newRow("a write header claiming 100 registers") << bytes("01 10 00 00 00 64 C8") << false;
    QTest::newRow("64 64 inside noise") << bytes("55 64 64 02") << true;
}

void SimulatorTest::resynchronises()
{
    QFETCH(QByteArray, junk);
    QFETCH(bool, answeredAtOnce);
    GatewaySimulator sim(quietSettings());
    const QByteArray read = readRequest(1, 0x03EC, 1);
    const QByteArray expected = readReply(1, {7});

    const QList<Exchange> first = sim.feed(junk + read);
    QCOMPARE(GatewaySimulator::replyBytes(first), answeredAtOnce ? expected : QByteArray());
    // A quiet line clears whatever was left, and nothing is answered twice.
    const QList<Exchange> atSilence = sim.lineIdle();
    QCOMPARE(GatewaySimulator::replyBytes(atSilence), answeredAtOnce ? QByteArray() : expected);
    const QList<Exchange> all = first + atSilence;
    QVERIFY(std::any_of(all.begin(), all.end(), [](const Exchange &e) { return !e.recognised; }));
    // The junk never wedges the parser: the next request is answered normally.
    QCOMPARE(GatewaySimulator::replyBytes(sim.feed(read)), expected);
    QVERIFY(!sim.gateway(0).cloudParameters.contains(2));
}

void SimulatorTest::noiseNeverWedges()
{
    GatewaySimulator sim(quietSettings());
    std::mt19937 random(99);
    const QByteArray read = readRequest(1, 0x0002, 1);
    for (int burst = 0; burst < 200; ++burst) {
        QByteArray noise;
        const int length = int(random() % 300);
        for (int i = 0; i < length; ++i)
            noise.append(char(random() % 4 == 0 ? 0xAA : random() % 4 == 0 ? 0x64 : random()));
        for (int at = 0, piece = 0; at < noise.size(); at += piece) {
            piece = 1 + int(random() % 20);
            sim.feed(noise.mid(at, piece));
        }
        sim.lineIdle();
        // After any burst and a pause, the next request is answered at once.
        QCOMPARE(GatewaySimulator::replyBytes(sim.feed(read)), readReply(1, {2}));
    }
}

void SimulatorTest::severalGateways_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("search poll at 3") << readRequest(3, 0x0001, 1) << readReply(3, {3});
    QTest::newRow("search poll at 200") << readRequest(200, 0x0001, 1) << readReply(200, {200});
    QTest::newRow("nobody at 1") << readRequest(1, 0x0001, 1) << QByteArray();
    QTest::newRow("broadcast: the first answers") << bytes("00 03 00 01 00 01 D4 1B") << readReply(3, {3});
    QTest::newRow("loop frame: one answer") << bytes("AA 04 0C AA") << bytes("AA 05 0C 00 AA");
    QTest::newRow("cloud frame: one answer") << bytes("64 64 02 72 31") << QByteArray("OK\r\n");
    // A broadcast write is carried out by all and answered by none.
    QTest::newRow("broadcast write, then read at 200")
        << writeRequest(0, 0x03EC, {9}) + readRequest(200, 0x03EC, 1) << readReply(200, {9});
}

void SimulatorTest::severalGateways()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    SimulatorSettings settings = quietSettings();
    settings.addresses = {3, 200};
    GatewaySimulator sim(settings);
    QCOMPARE(answer(sim, request).toHex(' '), reply.toHex(' '));
}

void SimulatorTest::dropped()
{
    SimulatorSettings settings = quietSettings();
    settings.dropRate = 1.0;
    GatewaySimulator sim(settings);
    const QList<Exchange> exchanges = sim.feed(writeRequest(1, 0x0002, {3}));
    QCOMPARE(exchanges.size(), 1);
    QVERIFY(exchanges.first().reply.isEmpty());
    QVERIFY(exchanges.first().faults.contains(QStringLiteral("dropped")));
    // Not heard at all: the write had no effect either.
    QCOMPARE(sim.gateway(0).baudCode, std::uint16_t(2));
    QVERIFY(answer(sim, bytes("AA 05 02 78 AA")).isEmpty());
    QCOMPARE(sim.gateway(0).testCurrent, std::uint8_t(0xFF));

    sim.settings().dropRate = 0.0;
    QCOMPARE(answer(sim, readRequest(1, 0x0002, 1)), readReply(1, {2}));
}

void SimulatorTest::corrupted_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("modbus");
    QTest::newRow("read reply") << readRequest(1, 0x0002, 1) << true;
    QTest::newRow("write echo") << writeRequest(1, 0x0006, {1}) << true;
    QTest::newRow("meter block") << readRequest(1, 0x0004, 4) << true;
    QTest::newRow("loop channel") << bytes("AA 04 0C AA") << false;
}

void SimulatorTest::corrupted()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, modbus);
    SimulatorSettings settings = quietSettings();
    settings.seed = 11;
    GatewaySimulator clean(settings);
    settings.corruptRate = 1.0;
    GatewaySimulator sim(settings);

    const QByteArray good = answer(clean, request);
    const QByteArray bad = answer(sim, request);
    QCOMPARE(bad.size(), good.size());
    QCOMPARE(bad.left(bad.size() - 1), good.left(good.size() - 1));
    QVERIFY(bad != good);
    if (modbus) {
        QVERIFY(crcGood(good));
        QVERIFY(!crcGood(bad));
    } else {
        QCOMPARE(std::uint8_t(good.back()), std::uint8_t(0xAA));
        QVERIFY(std::uint8_t(bad.back()) != 0xAA);
    }
}

void SimulatorTest::splitAndDelayed()
{
    SimulatorSettings settings = quietSettings();
    settings.split = true;
    settings.splitGapMs = 40;
    settings.delayMs = 30;
    settings.jitterMs = 20;
    GatewaySimulator sim(settings);
    GatewaySimulator clean(quietSettings());

    QSet<int> cuts;
    QSet<int> delays;
    for (int i = 0; i < 40; ++i) {
        const QByteArray request = readRequest(1, 0x03E8, 1 + i % 9);
        const QList<Exchange> exchanges = sim.feed(request);
        QCOMPARE(exchanges.size(), 1);
        const QList<ReplyPiece> &pieces = exchanges.first().reply;
        QCOMPARE(pieces.size(), 2);
        QVERIFY(!pieces[0].bytes.isEmpty() && !pieces[1].bytes.isEmpty());
        QCOMPARE(pieces[0].bytes + pieces[1].bytes, GatewaySimulator::replyBytes(clean.feed(request)));
        QVERIFY2(pieces[0].delayMs >= 30 && pieces[0].delayMs <= 50, qPrintable(QString::number(pieces[0].delayMs)));
        QCOMPARE(pieces[1].delayMs, 40);
        cuts.insert(pieces[0].bytes.size());
        delays.insert(pieces[0].delayMs);
    }
    // Cut and delay vary, so partial replies of many lengths and timings are tried.
    QVERIFY(cuts.size() >= 5);
    QVERIFY(delays.size() >= 5);
}

void SimulatorTest::seedRepeats()
{
    auto run = [](std::uint32_t seed) {
        SimulatorSettings settings;
        settings.seed = seed;
        settings.dropRate = 0.3;
        settings.corruptRate = 0.3;
        settings.exceptionRate = 0.2;
        settings.split = true;
        settings.jitterMs = 10;
        GatewaySimulator sim(settings);
        QList<QByteArray> pieces;
        QList<int> delays;
        for (int i = 0; i < 40; ++i) {
            for (const Exchange &exchange : sim.feed(readRequest(1, 0x0004, 10))) {
                for (const ReplyPiece &piece : exchange.reply) {
                    pieces << piece.bytes;
                    delays << piece.delayMs;
                }
            }
        }
        return qMakePair(pieces, delays);
    };
    QVERIFY(run(42) == run(42));
    QVERIFY(run(42) != run(43));
}

void SimulatorTest::faultRatesRoughlyHold_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<double>("rate");
    QTest::newRow("drop 0.3") << QStringLiteral("drop") << 0.3;
    QTest::newRow("corrupt 0.5") << QStringLiteral("corrupt") << 0.5;
    QTest::newRow("exception 0.1") << QStringLiteral("exception") << 0.1;
}

void SimulatorTest::faultRatesRoughlyHold()
{
    QFETCH(QString, fault);
    QFETCH(double, rate);
    SimulatorSettings settings = quietSettings();
    settings.seed = 2024;
    if (fault == QLatin1String("drop"))
        settings.dropRate = rate;
    else if (fault == QLatin1String("corrupt"))
        settings.corruptRate = rate;
    else
        settings.exceptionRate = rate;
    GatewaySimulator sim(settings);

    const QByteArray request = readRequest(1, 0x0002, 1);
    const QByteArray good = readReply(1, {2});
    const int total = 400;
    int hit = 0;
    for (int i = 0; i < total; ++i) {
        const QByteArray reply = answer(sim, request);
        if (fault == QLatin1String("drop"))
            hit += reply.isEmpty();
        else if (fault == QLatin1String("corrupt"))
            hit += reply.size() == good.size() && !crcGood(reply);
        else
            hit += reply == exceptionReply(1, 0x03, 0x04);
    }
    const double seen = double(hit) / total;
    QVERIFY2(qAbs(seen - rate) < 0.08, qPrintable(QString::number(seen)));
}

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_simulator.moc"
