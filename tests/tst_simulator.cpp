// The byte-level code and the gateway simulator, no window: what frames mean, what the simulated
// gateways answer, and the nvb8140t-sim program, its frames checked also by libmodbus.
#include <QtTest>

#include "decoder.h"
#include "gatewaysimulator.h"
#include "lineserver.h"
#include "options.h"
#include "ptyline.h"
#include "settings.h"

#include <modbus.h>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace {

// CPU time a running process has used, in clock ticks: fields 14 and 15 of /proc/PID/stat.
int cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    const auto fields = stat.open(QIODevice::ReadOnly) ? stat.readAll().split(')').last().split(' ') : QList<QByteArray>();
    return fields.size() > 13 ? fields[12].toInt() + fields[13].toInt() : -1;
}

// nvb8140t-sim with these arguments.
struct Sim
{
    explicit Sim(const QStringList &arguments) { process.start(NVB_PROGRAM_DIR "/nvb8140t-sim", arguments); }
    // True once stdout or stderr holds the text.
    bool has(const char *text)
    {
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
        return out.contains(text) || err.contains(text);
    }
    // Its exit status, after the signal if one is given; -1 when it crashed or went on.
    int end(int signal = 0)
    {
        // Not once it has ended: a pid of 0 would signal the test's own process group.
        if (signal && process.processId() > 0)
            ::kill(pid_t(process.processId()), signal);
        const bool ended = process.waitForFinished(3000);
        has("");
        return ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QProcess process;
    QByteArray out, err;
};

// Runs the program to its end: the status, and the message on stdout for status 0, else on stderr.
void expectExit(const QStringList &arguments, int status, const QString &message)
{
    Sim sim(arguments);
    QCOMPARE(sim.end(), status);
    QVERIFY2((status ? sim.err : sim.out).contains(message.toLocal8Bit()), sim.out + sim.err);
    // A usage error is one line and a pointer to --help, and nothing a script could take for a port path.
    if (status == 2)
        QVERIFY2(sim.err.count('\n') == 2 && sim.err.contains("--help") && sim.out.isEmpty(), sim.out + sim.err);
}

// The request written on a pty whose slave the simulator serves as a serial port, through
// QSerialPort or termios: the bytes that came back, and the server's log, which ends with
// the far end hung up.
QByteArray servedOn(const QString &backend, const SimulatorSettings &settings, const QByteArray &request, QString *log)
{
    GatewaySimulator simulator(settings);
    LineServer server(simulator);
    PtyLine far;
    QString error;
    const bool opened = backend == "QSerialPort" ? server.openQtSerialPort(far.path(), SerialSettings(), &error)
                                                 : server.openSerialPort(far.path(), SerialSettings(), &error);
    if (!opened) {
        *log = error;
        return {};
    }
    server.setTrafficLog([log](const QString &line) { *log += line + '\n'; });
    far.write(request);
    QByteArray got;
    // Past the idle gap and the gap of a split reply.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 300) {
        server.serveOnce(5);
        got += far.read(-1, 1);
    }
    far.hangUp();
    for (int round = 0; round < 3; ++round)
        server.serveOnce(10);
    return got;
}

} // namespace

class SimulatorTest : public QObject
{
    Q_OBJECT
private slots:
    void meanings_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply"); // empty: none
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("answered");
        QTest::addColumn<QString>("shown"); // the hex when it is not the frame's bytes: the secret masked
        const auto row = [](const char *name, const QByteArray &request, const QByteArray &reply, const char *asked,
                            const char *answered, const char *shown = "") {
            QTest::newRow(name) << request << reply << QString(asked) << QString(answered) << QString(shown);
        };
        row("read a choice", rtu("01 03 00 02 00 01"), rtu("01 03 02 00 02"), "read 0x0002 baud rate", "baud rate = 9600");
        row("read a frequency", rtu("01 03 00 03 00 01"), rtu("01 03 02 00 0D"), "read 0x0003 frequency", "frequency = 433");
        row("read a hex word", rtu("01 03 03 EB 00 01"), rtu("01 03 02 00 A5"), "read 0x03EB gateway ID", "gateway ID = 0x00A5");
        row("read a pair", rtu("01 03 03 E9 00 02"), rtu("01 03 04 00 2D 00 C8"), "read 0x03E9 range", "range = 4.5,20");
        row("read half a pair", rtu("01 03 03 E9 00 01"), rtu("01 03 02 00 2D"), "read 0x03E9 range, 1 register", "0x03E9 = 4.5");
        row("settings", rtu("01 03 00 01 00 02"), rtu("01 03 04 00 05 00 02"), "read 0x0001 address, 2 registers",
            "address = 5, baud rate = 9600");
        row("no registers", rtu("01 03 00 05 00 00"), rtu("01 03 00"), "read 0x0005, 0 registers", "no registers");
        row("meters", rtu("01 03 00 04 00 04"), rtu("01 03 08 41 BC 00 00 FF FF FF FF"), "read meters 1..2", "meters: 23.5000, timeout");
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
        // The mark tells nothing of the secret's length.
        row("cloud secret", bytes("64 64 04") + "s3", "OK\r\n", "cloud: device secret (hidden)", "cloud: \"OK\"", "64 64 04 <secret>");
        // Eleven bytes and more: still a cloud frame, not taken for a write.
        row("cloud long secret", bytes("64 64 04") + QByteArray(67, 'k'), "OK\r\n", "cloud: device secret (hidden)", "cloud: \"OK\"", "64 64 04 <secret>");
        row("cloud empty secret", bytes("64 64 04"), "OK\r\n", "cloud: device secret (hidden)", "cloud: \"OK\"", "64 64 04 <secret>");
        row("cloud unknown", bytes("64 64 09 41"), "ERROR\r\n", "cloud: unknown parameter 0x09", "cloud: \"ERROR\"");
        row("cloud mode", bytes("64 64 01"), "OK\r\n", "cloud: confirm mode", "cloud: \"OK\"");
        row("cloud region", bytes("64 64 02") + "cn", "OK\r\n", "cloud: region = \"cn\"", "cloud: \"OK\"");
        row("cloud debugging on", bytes("64 65 01"), {}, "cloud: platform debugging on", "");
        row("cloud debugging off", bytes("64 65 00"), {}, "cloud: platform debugging off", "");
        row("cloud connect", bytes("64 C8"), {}, "cloud: connect", "");
    }
    void meanings()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(QString, asked);
        QFETCH(QString, answered);
        QFETCH(QString, shown);
        QCOMPARE(describeRequest(request), asked);
        QCOMPARE(describeReply(request, reply), answered);
        QCOMPARE(maskedHex(request), shown.isEmpty() ? QString(request.toHex(' ').toUpper()) : shown);
    }

    // Every setting's bounds, and the values around them, through the settings table: what is taken for
    // writing reads back from its registers as it was typed (numbers as the tool shows them); the rest is
    // refused with the reason, before anything could be sent.
    void settingValues_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("readBack"); // empty: refused
        QTest::addColumn<QString>("reason"); // part of the refusal; empty: any
        const auto row = [](const char *name, const QString &typed, const QString &back, const QString &reason = {}) {
            QTest::addRow("%s=%s", name, qPrintable(typed)) << QString(name) << typed << back << reason;
        };
        // A bound as a person types it, and the text it reads back as.
        const auto typed = [](const ValueRule &rule, double value) {
            return rule.kind == ValueKind::Hex ? QString::asprintf("%s0x%04X", value < 0 ? "-" : "", unsigned(std::fabs(value)))
                                               : QString::number(value, 'g', 10);
        };
        const auto shown = [&](const ValueRule &rule, double value) {
            return rule.kind == ValueKind::Hex ? typed(rule, value) : QString::number(value, 'g', 6);
        };
        // Just outside: one step of what the field holds, or a thousandth beyond a single's limit.
        const auto step = [](const ValueRule &rule, double bound) {
            return rule.kind == ValueKind::Float ? std::fabs(bound) / 1000 : 1.0 / rule.scale;
        };
        for (const Setting &s : gatewaySettings()) {
            if (s.encoding == Encoding::Choice) {
                for (const QString &word : s.choices)
                    row(s.name, word, word);
                row(s.name, s.choices.join('|'), "", "expected " + s.choices.join(", "));
                continue;
            }
            const ValueRule &low = *s.rule;
            if (!s.second) {
                for (const double value : {low.low, low.high, low.low + step(low, low.low)})
                    row(s.name, typed(low, value), shown(low, value));
                for (const double value : {low.low - step(low, low.low), low.high + step(low, low.high)})
                    row(s.name, typed(low, value), "");
                continue;
            }
            const ValueRule &high = *s.second;
            const auto text = [&](double a, double b) { return typed(low, a) + ',' + typed(high, b); };
            const auto back = [&](double a, double b) { return shown(low, a) + ',' + shown(high, b); };
            // The lower limit as high as it goes below the upper, the upper as low above the lower.
            const double lower = low.kind == ValueKind::Float ? 0 : high.high - step(high, high.high);
            const double upper = low.kind == ValueKind::Float ? 0 : low.low + step(low, low.low);
            for (const auto &pair : {qMakePair(low.low, high.high), qMakePair(lower, high.high), qMakePair(low.low, upper)})
                row(s.name, text(pair.first, pair.second), back(pair.first, pair.second));
            row(s.name, text(low.low - step(low, low.low), high.high), "");
            row(s.name, text(low.low, high.high + step(high, high.high)), "");
        }
        row("range", "-10,85", "", "expected 0 to 6553.5");
        row("range", "4.25,20", "4.3,20"); // tenths, rounded half up
        row("range", "5,5", "", "expected LOWER below UPPER");
        row("range", "20,4", "", "expected LOWER below UPPER");
        row("range", "4.21,4.24", "", "expected LOWER below UPPER"); // both go out as 42
        row("loop-range", "20,4", "", "expected LOWER below UPPER");
        row("loop-range", "4,4", "", "expected LOWER below UPPER");
        row("loop-range", "4.2,-20", "", "expected LOWER below UPPER");
        row("loop-range", "1e-50,1", "", "expected 0 or a magnitude from 1.17549435e-38 to 3.4e+38");
        row("loop-range", "-1,-1e-40", "", "expected 0 or a magnitude from 1.17549435e-38 to 3.4e+38");
        row("loop-range", "0,1.17549435e-38", "0,1.17549e-38"); // the smallest full single
        row("frequency", "433.5", "", "expected a whole number from 420 to 675");
        row("gateway-id", "12345", "", "expected a whole number from 0x0000 to 0xFFFF");
    }
    void settingValues()
    {
        QFETCH(QString, setting);
        QFETCH(QString, typed);
        QFETCH(QString, readBack);
        QFETCH(QString, reason);
        const Setting &s = *findSetting(setting);
        QString refusal;
        const auto values = parseSetting(s, typed, &refusal);
        QVERIFY2(bool(values) != readBack.isEmpty() && refusal.isEmpty() == bool(values), qPrintable(refusal));
        if (!values) {
            QVERIFY2(refusal.contains(reason), qPrintable(refusal));
            return;
        }
        // As the gateway holds them: each value a 16-bit register, or the loop range's two singles.
        QVector<std::uint32_t> held;
        for (const std::uint32_t value : *values)
            held << (s.encoding == Encoding::LoopFloats ? value : std::uint16_t(value));
        QCOMPARE(valueText(s, held), readBack);
        if (registerCount(s) == 1)
            QCOMPARE(registerText(s, std::uint16_t(held.first())), readBack);
    }

    // A single beyond 64 bits has no integer on the wire, rather than one converted out of range.
    void noWireValueBeyond64Bits()
    {
        QVERIFY(!wireValue(Rule::LoopUpper, QStringLiteral("3e38")) && floatValue(Rule::LoopUpper, QStringLiteral("3e38")));
        QVERIFY(!wireValue(Rule::LoopLower, QStringLiteral("-3e38")) && floatValue(Rule::LoopLower, QStringLiteral("-3e38")));
    }

    // The model, set up by the program's options: bytes in, in pieces if given; what the bus says back by the
    // time the line has gone quiet, and what the gateways made of each frame.
    void exchanges_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<QString>("log"); // part of the frames' meanings and [faults]
        QTest::addColumn<QList<int>>("pieces"); // pairs: bytes fed, reply bytes by then; none: all at once
        QTest::addColumn<QString>("served"); // through this serial backend on a pty; empty: the model alone
        const auto row = [](const char *name, const char *options, const QByteArray &request, const QByteArray &reply,
                            const char *log = "", const QList<int> &pieces = {}, const char *served = "") {
            QTest::newRow(name) << QString(options) << request << reply << QString::fromUtf8(log) << pieces << QString(served);
        };
        const QByteArray poll = bytes("00 03 00 01 00 01 D4 1B"), read = rtu("01 03 03 EC 00 01"), answer = rtu("01 03 02 00 07");
        const QByteArray point = bytes("AA 07 E7 28 AC 0F AA"), baud = rtu("01 10 00 02 00 01 02 00 03"); // 4 mA, 4.012 measured
        const QByteArray range = bytes("00 00 80 40 00 00 A0 41 AA"); // 4 and 20, least significant byte first
        row("platform page", "", rtu("01 03 03 E8 00 09"), rtu("01 03 12 00 03 00 00 03 E8 00 A5 00 07 01 02 00 3C 00 00 00 00"));
        row("past the end, across calibration", "", rtu("01 03 03 F0 00 02") + rtu("01 03 00 03 00 02"), rtu("01 83 02").repeated(2));
        row("more meters than there are", "", rtu("01 03 00 04 00 0C"), rtu("01 83 02"), ", there are 5 meters");
        row("a silent meter", "--meters 1 --silent-meters 1", rtu("01 03 00 04 00 02"), rtu("01 03 04 FF FF FF FF"));
        row("mode 2 does not exist", "", rtu("01 10 03 F0 00 01 02 00 02"), rtu("01 90 03"));
        row("address 0 is the broadcast", "", rtu("01 10 00 01 00 01 02 00 00"), rtu("01 90 03"));
        row("function 06", "", rtu("01 06 00 02 00 01"), rtu("01 86 01"), "function 0x06 -> exception 01 illegal function");
        // The change is acknowledged from the old address; then only the new one answers.
        row("address 5 to 9", "--address 5", rtu("05 10 00 01 00 01 02 00 09") + rtu("05 03 00 02 00 01") + poll,
            rtu("05 10 00 01 00 01") + rtu("09 03 02 00 09"), ", answering at 9 from now on");
        // The first gateway answers the broadcast read and the cloud; a broadcast write is done by all, answered by none.
        row("two gateways", "--address 3,200", poll + rtu("00 10 03 EC 00 01 02 00 09") + rtu("C8 03 03 EC 00 01")
            + bytes("64 64 02 72 31"), rtu("03 03 02 00 03") + rtu("C8 03 02 00 09") + "OK\r\n");
        // Current-loop and cloud frames: only reads and cloud parameters are answered.
        row("channel written twice, read in a loop frame", "", rtu("01 10 00 06 00 01 02 00 00") + rtu("01 10 00 06 00 01 02 00 02")
            + bytes("AA 04 0C AA"), rtu("01 10 00 06 00 01").repeated(2) + bytes("AA 05 0C 02 AA"));
        row("loop range written and read", "", bytes("AA 0D 01 00") + range + bytes("AA 04 08 AA"), bytes("AA 0D 08 00") + range);
        row("calibration disabled", "", rtu("01 10 00 04 00 01 02 00 00"), rtu("01 10 00 04 00 01"), ", calibration disabled");
        row("calibration without the key", "", point + rtu("01 10 00 04 00 01 02 12 34"), rtu("01 90 03"),
            ", ignored, calibration not enabled");
        row("calibration after the key", "", rtu("01 10 00 04 00 01 02 9B 9B") + point + bytes("AA 07 E7 30 AC 0F AA"),
            bytes("01 10 00 04 00 01 40 08"), "enabled []\ncurrent-loop calibrate 4.0 mA, measured 4.012 mA []\n"
            "current-loop calibrate 4.8 mA, measured 4.012 mA, ignored, no such point");
        // Faults: a dropped frame has no effect, nor has one answered with exception 04.
        row("dropped", "--drop 1", baud + rtu("01 03 00 02 00 01"), {}, ": not heard [dropped]\nread 0x0002 baud rate: not heard");
        row("exception", "--exception-rate 1", baud + rtu("01 03 00 02 00 01"), rtu("01 90 04") + rtu("01 83 04"), "[exception]");
        row("corrupted", "--corrupt 1", rtu("01 03 00 02 00 01"), bytes("01 03 02 00 02 39 7A"), "[corrupted]");
        row("split and jittered", "--split --jitter 20", read.repeated(20), answer.repeated(20), "[delayed ");
        // A frame is answered as soon as its last byte is in; a cloud text only at the pause, as nothing else ends it.
        row("read, byte by byte", "", read, answer, "", {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 7});
        row("write and loop frame, cut across", "", rtu("01 10 03 E9 00 02 04 00 28 00 C8") + bytes("AA 04 0C AA"),
            rtu("01 10 03 E9 00 02") + bytes("AA 05 0C 00 AA"), "", {10, 0, 5, 8, 2, 13});
        row("cloud text in two pieces", "", bytes("64 64 02 72 31 32"), "OK\r\n", "", {4, 0, 2, 0});
        // Junk is skipped and the read after it found, at once or at the pause.
        row("noise bytes", "", bytes("11 22 33") + read, answer, "ignored 3 byte(s): no known frame", {11, 7});
        row("a read with a bad CRC", "", bytes("01 03 00 03 00 01 74 4A") + read, answer, "ignored 8 byte(s): bad CRC", {16, 7});
        row("no closing AA", "", bytes("AA 04 0C 55") + read, answer, "", {12, 7});
        // The same bytes on a serial port, as the program serves one: QSerialPort (Windows' only way) and termios.
        // Each ends with the far end gone, which the log says once.
        const char *readLog = "rx 01 03 03 EC 00 01 45 BB  read 0x03EC spreading factor -> spreading factor = 7\n";
        row("read, QSerialPort", "", read, answer, readLog, {}, "QSerialPort");
        row("write and read back, QSerialPort", "", rtu("01 10 03 E9 00 02 04 00 28 00 C8") + rtu("01 03 03 E9 00 02"),
            rtu("01 10 03 E9 00 02") + rtu("01 03 04 00 28 00 C8"), "range written", {}, "QSerialPort");
        row("split reply, QSerialPort", "--split", read, answer, "[split ", {}, "QSerialPort");
        row("cloud text at the pause, QSerialPort", "", bytes("64 64 02 72 31 32"), "OK\r\n", "tx 4F 4B 0D 0A\n", {}, "QSerialPort");
        row("read, termios", "", read, answer, readLog, {}, "termios");
    }
    void exchanges()
    {
        QFETCH(QString, options);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(QString, log);
        QFETCH(QList<int>, pieces);
        QFETCH(QString, served);
        SimOptions parsed;
        QString error;
        QCOMPARE(int(parseCommandLine(("sim " + options).split(' ', Qt::SkipEmptyParts), &parsed, &error)), int(ParseOutcome::Run));
        if (!served.isEmpty()) {
            QString traffic;
            QCOMPARE(servedOn(served, parsed.simulator, request, &traffic).toHex(' '), reply.toHex(' '));
            QVERIFY2(traffic.contains(log) && traffic.count(" -- line hung up") == 1, qPrintable(traffic));
            return;
        }
        GatewaySimulator sim(parsed.simulator);
        QList<Exchange> exchanges;
        for (int i = 0, at = 0; i < qMax(1, pieces.size() / 2); at += pieces.value(2 * i++)) {
            exchanges += sim.feed(pieces.isEmpty() ? request : request.mid(at, pieces[2 * i]));
            QVERIFY(pieces.isEmpty() || GatewaySimulator::replyBytes(exchanges).size() == pieces[2 * i + 1]);
        }
        exchanges += sim.lineIdle();
        QCOMPARE(GatewaySimulator::replyBytes(exchanges).toHex(' '), reply.toHex(' '));
        QString meanings;
        for (const Exchange &exchange : exchanges) {
            meanings += exchange.meaning + " [" + exchange.faults.join(", ") + "]\n";
            // A reply goes whole or cut in two, neither part empty: the first after the delay and up to the jitter
            // (none at all, were the jitter lost), the second after the gap.
            for (int i = 0; i < exchange.reply.size(); ++i) {
                const int delay = exchange.reply[i].delayMs, latest = parsed.simulator.delayMs + parsed.simulator.jitterMs;
                QVERIFY(!exchange.reply[i].bytes.isEmpty() && exchange.reply.size() == 1 + parsed.simulator.split);
                QVERIFY(i ? delay == parsed.simulator.splitGapMs : delay >= parsed.simulator.delayMs && delay <= latest);
            }
        }
        QVERIFY2(meanings.contains(log), qPrintable(meanings));
        // Whatever came before, after a pause the next request is answered at once.
        if (!pieces.isEmpty())
            QCOMPARE(GatewaySimulator::replyBytes(sim.feed(rtu("01 03 00 02 00 01"))), rtu("01 03 02 00 02"));
    }

    // A flood of requests while the replies wait out a long delay: the replies beyond the bound are
    // dropped and each drop logged, so the queue cannot grow without end.
    void replyQueueBound_data()
    {
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("dropped");
        QTest::newRow("up to the bound") << LineServer::kMaxPendingReplies << 0;
        QTest::newRow("beyond it") << LineServer::kMaxPendingReplies + 5 << 5;
    }
    void replyQueueBound()
    {
        QFETCH(int, requests);
        QFETCH(int, dropped);
        SimulatorSettings settings;
        settings.delayMs = 60000;
        GatewaySimulator simulator(settings);
        LineServer server(simulator);
        QString error;
        QVERIFY2(server.openPseudoTerminal(&error), qPrintable(error));
        QStringList log;
        server.setTrafficLog([&log](const QString &line) { log << line; });
        const int client = ::open(qPrintable(server.path()), O_RDWR | O_NOCTTY);
        QVERIFY(client >= 0);
        const QByteArray flood = rtu("01 03 00 02 00 01").repeated(requests);
        QCOMPARE(::write(client, flood.constData(), size_t(flood.size())), ssize_t(flood.size()));
        for (int round = 0; round < 50 && log.filter(" rx ").size() < requests; ++round)
            server.serveOnce(10);
        ::close(client);
        QCOMPARE(log.filter(" rx ").size(), requests);
        const QStringList drops = log.filter(" tx 01 03 02 00 02 ");
        QCOMPARE(drops.size(), dropped);
        for (const QString &drop : drops)
            QVERIFY2(drop.endsWith(QStringLiteral("  not sent: %1 replies already waiting").arg(LineServer::kMaxPendingReplies)), qPrintable(drop));
    }

    // libmodbus as the master on the program's own pseudo-terminal, where the program announces it.
    void modbusMaster_data()
    {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("first");
        QTest::addColumn<QVector<int>>("values"); // read: what comes back; written: what goes
        QTest::addColumn<int>("error"); // errno of the request; 0 for none
        QTest::newRow("read") << 3 << 0x03E9 << QVector<int>{0, 1000} << 0;
        QTest::newRow("write") << 16 << 0x03EB << QVector<int>{0xBEEF, 10} << 0;
        QTest::newRow("a register it lacks") << 3 << 0x0005 << QVector<int>{0} << int(EMBXILADD);
    }
    void modbusMaster()
    {
        QFETCH(int, function);
        QFETCH(int, first);
        QFETCH(QVector<int>, values);
        QFETCH(int, error);
        Sim sim({});
        QTRY_VERIFY2(sim.has("NVB_EXTRA_PORTS="), sim.err);
        const QString path = QString(sim.out).section('\n', 0, 0);
        QVERIFY2(path.startsWith("/dev/") && sim.out == (path + "\nNVB_EXTRA_PORTS=" + path + '\n').toLocal8Bit(), sim.out);
        std::unique_ptr<modbus_t, void (*)(modbus_t *)> master(modbus_new_rtu(qPrintable(path), 9600, 'N', 8, 1),
                                                              [](modbus_t *m) { modbus_close(m); modbus_free(m); });
        QVERIFY(modbus_set_slave(master.get(), 1) == 0 && modbus_connect(master.get()) == 0);
        QVector<uint16_t> words(values.begin(), values.end());
        const int result = function == 3 ? modbus_read_registers(master.get(), first, words.size(), words.fill(0).data())
                                         : modbus_write_registers(master.get(), first, words.size(), words.data());
        QVERIFY2(error ? result == -1 && errno == error : result == words.size(), modbus_strerror(errno));
        // What was written is read back.
        if (function == 16)
            QCOMPARE(modbus_read_registers(master.get(), first, words.size(), words.fill(0).data()), words.size());
        QCOMPARE(QVector<int>(words.begin(), words.end()), values);
        master.reset();
        const qint64 pid = sim.process.processId();
        const int ticks = cpuTicks(pid);
        QTest::qWait(300); // nobody has the line open: the program must wait, not spin
        QVERIFY2(ticks >= 0 && cpuTicks(pid) - ticks < 5, qPrintable(QString::number(cpuTicks(pid) - ticks)));
        QCOMPARE(sim.end(SIGINT), 0);
    }

    void exitsAtOnce_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // see expectExit
        QTest::newRow("version") << QStringList{"--version"} << 0 << "nvb8140t-sim " NVB_VERSION "\n";
        QTest::newRow("address twice") << QStringList{"--address", "3,3"} << 2 << "given twice";
        QTest::newRow("silent 7 of 5") << QStringList{"--silent-meters=2,7"} << 2 << "meter 7, but there are only 5";
        QTest::newRow("parity, no port") << QStringList{"--parity", "E"} << 2 << "--parity only applies to a serial port";
        QTest::newRow("baud no gateway has") << QStringList{"--baud", "1200"} << 2 << "runs at 2400, 4800, 9600, 19200 baud, not 1200";
        QTest::newRow("no such device") << QStringList{"--port", "/nonexistent/tty"} << 1 << "cannot open /nonexistent/tty";
        QTest::newRow("not a terminal") << QStringList{"--port", "/dev/null", "--baud", "4800"} << 1 << "not a serial port";
    }
    void exitsAtOnce()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        expectExit(arguments, status, message);
    }

    void everyOption_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("value"); // none for a flag; PTY is the test's line
        QTest::addColumn<QString>("shown"); // on stderr once it has served a request
        QTest::addColumn<QString>("outOfRange");
        QTest::addColumn<QString>("range"); // as the error gives it
        QTest::newRow("port") << "--port" << "PTY" << "at 9600 8N1;" << "" << "expected a device path";
        QTest::newRow("baud") << "--baud" << "4800" << "at 4800 8N1;" << "1000" << "expected 1200, 2400, 4800, 9600";
        QTest::newRow("parity") << "--parity" << "o" << "at 9600 8O1;" << "X" << "expected N, O or E";
        QTest::newRow("data bits") << "--data" << "7" << "at 9600 7N1;" << "9" << "expected 7 or 8";
        QTest::newRow("stop bits") << "--stop" << "2" << "at 9600 8N2;" << "0" << "expected 1 or 2";
        QTest::newRow("address") << "--address" << "1,200" << " 1,200," << "3,248" << "expected bus addresses 1..247";
        QTest::newRow("meters") << "--meters" << "12" << " 12 meter(s)" << "63" << "expected a number of meters 0..62";
        QTest::newRow("silent meters") << "--silent-meters" << "2,5" << "" << "0" << "expected meter numbers 1..62";
        QTest::newRow("delay") << "--delay" << "10" << "[delayed 10 ms]" << "60001" << "expected milliseconds 0..60000";
        QTest::newRow("jitter") << "--jitter" << "10" << "" << "-1" << "expected milliseconds 0..60000";
        QTest::newRow("drop") << "--drop" << "0" << "" << "1.5" << "expected a rate from 0 to 1";
        QTest::newRow("corrupt") << "--corrupt" << "0" << "" << "-0.1" << "expected a rate from 0 to 1";
        QTest::newRow("exception rate") << "--exception-rate" << "0" << "" << "x" << "expected a rate from 0 to 1";
        QTest::newRow("seed") << "--seed" << "7" << "seed 7\n" << "-1" << "expected a whole number 0..4294967295";
        QTest::newRow("split") << "--split" << "" << "-> address = 1 [split " << "" << "";
    }
    void everyOption()
    {
        QFETCH(QString, option);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QFETCH(QString, outOfRange);
        QFETCH(QString, range);
        // --opt value with -v, then --opt=value with --verbose (a flag stands alone), each serving a read on a line
        // of its own: a pseudo-terminal set up once refuses parity or 7 data bits again (EINVAL). The last --port counts.
        for (int form = 0; form < 2; ++form) {
            PtyLine line;
            const QString given = QString(value).replace("PTY", line.path());
            const QStringList forms = given.isEmpty() ? QStringList{option} : form ? QStringList{option + '=' + given}
                                                                                   : QStringList{option, given};
            Sim sim(QStringList{form ? "--verbose" : "-v", "--port", line.path()} + forms);
            QTRY_VERIFY2(sim.has("Ctrl-C stops"), sim.err);
            line.write(rtu("01 03 00 01 00 01"));
            QCOMPARE(line.read(7), rtu("01 03 02 00 01"));
            QCOMPARE(sim.end(SIGTERM), 0);
            QVERIFY2(sim.err.contains(" rx 01 03 00 01 00 01 D5 CA  read 0x0001 address -> address = 1")
                     && sim.err.contains(shown.toLocal8Bit()), sim.err);
        }
        expectExit({"--help"}, 0, "\n  " + option + ' ');
        // A value out of range, even when a valid one follows, stops the program before it opens the port.
        if (!range.isEmpty())
            expectExit({"--port", "/dev/null", option, outOfRange, option, QString(value).replace("PTY", "/dev/null")}, 2,
                       QStringLiteral("invalid value '%1' for %2: %3").arg(outOfRange, option, range));
    }
};

QTEST_GUILESS_MAIN(SimulatorTest)
#include "tst_simulator.moc"
