// The nvb8140t-ctl program as a script runs it, against the simulator on a pseudo-terminal.
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>

#include "decoder.h"
#include "gatewaysimulator.h"
#include "lineserver.h"
#include "ptyline.h"
#include "settings.h"

namespace {

const QString kProgram = QStringLiteral(NVB_PROGRAM_DIR "/nvb8140t-ctl");
const QString kLine = QStringLiteral("--port PTY --timeout 150 ");
const QByteArray kSecret = "s3cr3t-Key";

struct Run
{
    int status = -1;
    QString out;
    QString err;
    QStringList heard; // frames the simulator took off the line, in hex
};

// The simulator serves on a thread of its own while the program runs; its state
// is looked at only once the program has ended and the thread has stopped.
struct Bus
{
    explicit Bus(const SimulatorSettings &settings = SimulatorSettings()) : simulator(settings), server(simulator)
    {
        server.openPseudoTerminal(&error);
        server.setTrafficLog([this](const QString &line) {
            static const QRegularExpression received(QStringLiteral(" rx ((?:(?:[0-9A-F]{2}|\\*\\*) ?)+)"));
            const QRegularExpressionMatch match = received.match(line);
            if (match.hasMatch())
                heard << match.captured(1).trimmed();
        });
    }

    // Arguments split at spaces; PTY and SECRET stand for the line and a file holding `secret`.
    // With stopAfter, SIGINT follows that many lines on stdout.
    Run run(const QString &line, const QByteArray &input = {}, const QByteArray &secret = kSecret, int stopAfter = 0)
    {
        QTemporaryFile secretFile;
        secretFile.open();
        secretFile.write(secret);
        secretFile.flush();
        QStringList arguments = line.split(' ', Qt::SkipEmptyParts);
        arguments.replaceInStrings(QStringLiteral("PTY"), server.path());
        arguments.replaceInStrings(QStringLiteral("SECRET"), secretFile.fileName());

        std::atomic<bool> stop{false};
        std::thread serving([&] { server.serve(stop); });
        QProcess process;
        process.start(kProgram, arguments);
        process.write(input);
        process.closeWriteChannel();
        Run run;
        while (stopAfter > 0 && run.out.count('\n') < stopAfter && process.waitForReadyRead(5000))
            run.out += QString::fromLocal8Bit(process.readAllStandardOutput());
        if (stopAfter > 0)
            ::kill(pid_t(process.processId()), SIGINT);
        const bool ended = process.waitForFinished(40000);
        stop = true;
        serving.join();
        run.status = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out += QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        run.heard = heard;
        return run;
    }

    GatewayState &gateway() { return simulator.gateway(0); }

    GatewaySimulator simulator;
    LineServer server;
    QStringList heard; // frames taken off the line, in hex
    QString error;
};

// A gateway whose values show the encodings: a frequency with the first page's
// 0xFF high byte, a spreading factor above its low byte, a channel counted from 0.
void prepare(GatewayState &g)
{
    g.parity = 2; g.baudCode = 3; g.frequency = 0xFF1E; g.transmitters = 200; g.rangeLower = 25; g.rangeUpper = 65535;
    g.gatewayId = 0x1A2B; g.spreadingFactor = 0x0109; g.firmware = 0x0203; g.samplingPeriod = 300;
    g.analogOutput = 4095; g.mode = 1; g.loopChannel = 4; g.loopLower = 4.0f; g.loopUpper = 20.5f;
}

// What the gateway holds, as "field=value" words.
QStringList held(const GatewayState &g)
{
    QStringList words{QStringLiteral("parity=%1 baudCode=%2 rangeLower=%3 rangeUpper=%4 spreadingFactor=%5 "
                                     "loopChannel=%6 mode=%7 samplingPeriod=%8")
                          .arg(g.parity).arg(g.baudCode).arg(g.rangeLower).arg(g.rangeUpper).arg(g.spreadingFactor)
                          .arg(g.loopChannel).arg(g.mode).arg(g.samplingPeriod)
                          .split(' ')};
    words << QString::asprintf("frequency=0x%04X", g.frequency) << QString::asprintf("gatewayId=0x%04X", g.gatewayId)
          << QStringLiteral("loop=%1,%2").arg(double(g.loopLower)).arg(double(g.loopUpper));
    for (auto p = g.cloudParameters.begin(); p != g.cloudParameters.end(); ++p)
        words << QStringLiteral("cloud%1=%2").arg(p.key()).arg(p.value());
    if (g.connected)
        words << QStringLiteral("connected");
    return words;
}

// Frames as the log shows them, from hex separated by commas; Modbus frames without their CRC.
QStringList wire(const char *frames)
{
    QStringList out;
    for (const QString &hex : QString::fromLatin1(frames).split(QLatin1Char(','))) {
        const QByteArray frame = QByteArray::fromHex(hex.toLatin1());
        const bool modbus = !frame.startsWith('\xAA') && !frame.startsWith('\x64');
        out << QString::fromLatin1((modbus ? withCrc(frame) : frame).toHex(' ').toUpper());
    }
    return out;
}

// As the simulator logs it: the device secret masked.
QString cloudFrame(int parameter, const QByteArray &text)
{
    return maskedHex(QByteArray("\x64\x64") + char(parameter) + text);
}

QString errorLine(const QString &text)
{
    return text.isEmpty() ? QString() : QStringLiteral("nvb8140t-ctl: ") + text + QLatin1Char('\n');
}

enum Fault { NoFault, Exceptions, WritesIgnored };

} // namespace

class CtlTest : public QObject
{
    Q_OBJECT
private slots:
    void settings_data(); void settings();
    void failures_data(); void failures();
    void scan_data(); void scan();
    void poll_data(); void poll();
    void cloud_data(); void cloud();
    void everyOption_data(); void everyOption();
    void commandLine_data(); void commandLine();
};

void CtlTest::settings_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("frames"); // what went on the line
    QTest::addColumn<QString>("held"); // words of held() afterwards

    const QString all = "parity=even\nbaud=19200\nfrequency=450\nloop-channel=5\ntransmitters=200\nrange=2.5,6553.5\n"
                        "gateway-id=0x1A2B\nspreading-factor=9\nfirmware=0x0203\nsampling-period=300\n"
                        "analog-output=4095\nmode=repeater\nloop-range=4,20.5\n";
    const QStringList frames = wire("01 03 00 00 00 01,01 03 00 02 00 01,01 03 00 03 00 01,AA 04 0C AA,"
                                    "01 03 03 E8 00 01,01 03 03 E9 00 02,01 03 03 EB 00 01,01 03 03 EC 00 01,"
                                    "01 03 03 ED 00 01,01 03 03 EE 00 01,01 03 03 EF 00 01,01 03 03 F0 00 01,"
                                    "AA 04 08 AA");
    QTest::newRow("get all") << "get" << all << frames << "frequency=0xFF1E";
    QTest::newRow("get json") << "get --json"
                              << "{\"parity\":\"even\",\"baud\":\"19200\",\"frequency\":450,\"loop-channel\":5,"
                                 "\"transmitters\":200,\"range\":[2.5,6553.5],\"gateway-id\":\"0x1A2B\","
                                 "\"spreading-factor\":9,\"firmware\":\"0x0203\",\"sampling-period\":300,"
                                 "\"analog-output\":4095,\"mode\":\"repeater\",\"loop-range\":[4,20.5]}\n"
                              << frames << "frequency=0xFF1E";
    QTest::newRow("get in the order asked") << "get mode parity" << "mode=repeater\nparity=even\n"
                                            << QStringList{frames.at(11), frames.at(0)} << "mode=1";
    const QStringList lines = all.split('\n', Qt::SkipEmptyParts);
    for (int i = 0; i < lines.size(); ++i) {
        const QString name = lines.at(i).section('=', 0, 0);
        QTest::newRow(qPrintable("get " + name)) << "get " + name << lines.at(i) + '\n' << QStringList(frames.mid(i, 1)) << "mode=1";
    }
    QTest::newRow("set frequency, high byte 00") << "set frequency=433" << "frequency=433\n"
                                                 << wire("01 10 00 03 00 01 02 00 0D,01 03 00 03 00 01")
                                                 << "frequency=0x000D";
    QTest::newRow("set pair, negative lower") << "set range=-1,100.5" << "range=6552.6,100.5\n"
                                              << wire("01 10 03 E9 00 02 04 FF F6 03 ED,01 03 03 E9 00 02")
                                              << "rangeLower=65526 rangeUpper=1005";
    QTest::newRow("set choices") << "set parity=odd baud=4800" << "parity=odd\nbaud=4800\n"
                                 << wire("01 10 00 00 00 01 02 00 01,01 03 00 00 00 01,01 10 00 02 00 01 02 00 01,"
                                         "01 03 00 02 00 01")
                                 << "parity=1 baudCode=1";
    QTest::newRow("set hex, low byte") << "set gateway-id=beef spreading-factor=12"
                                       << "gateway-id=0xBEEF\nspreading-factor=12\n"
                                       << wire("01 10 03 EB 00 01 02 BE EF,01 03 03 EB 00 01,01 10 03 EC 00 01 02 00 0C,"
                                               "01 03 03 EC 00 01")
                                       << "gatewayId=0xBEEF spreadingFactor=12";
    QTest::newRow("set loop channel") << "set loop-channel=7" << "loop-channel=7\n"
                                      << wire("01 10 00 06 00 01 02 00 06,AA 04 0C AA") << "loopChannel=6";
    QTest::newRow("set loop range") << "set loop-range=4.2,-20" << "loop-range=4.2,-20\n"
                                    << wire("AA 0D 01 00 66 66 86 40 00 00 A0 C1 AA,AA 04 08 AA")
                                    << QString("loop=%1,-20").arg(double(4.2f));
}

void CtlTest::settings()
{
    QFETCH(QString, arguments);
    QFETCH(QString, out);
    QFETCH(QStringList, frames);
    QFETCH(QString, held);
    Bus bus;
    prepare(bus.gateway());
    const Run run = bus.run(kLine + arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.out, out);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.heard, frames);
    for (const QString &word : held.split(' '))
        QVERIFY2(::held(bus.gateway()).contains(word), qPrintable(::held(bus.gateway()).join(' ')));
}

void CtlTest::failures_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // the one line on stderr
    QTest::addColumn<QString>("out");
    QTest::addColumn<int>("heard"); // requests on the line

    QTest::newRow("silent, 1 + 2 tries") << "--address 9 get frequency" << int(NoFault) << 1
                                         << "gateway 9: frequency: no answer after 3 tries" << "" << 3;
    QTest::newRow("silent, no retries") << "--address 9 --retries 0 set mode=repeater" << int(NoFault) << 1
                                        << "gateway 9: mode: no answer after 1 try" << "" << 1;
    QTest::newRow("silent poll") << "--address 9 poll --meters 2" << int(NoFault) << 1
                                 << "gateway 9: meters: no answer after 3 tries" << "time,meter1,meter2\n" << 3;
    QTest::newRow("meters it lacks") << "poll --meters 6" << int(NoFault) << 3
                                     << "gateway 1: meters: exception 02 illegal data address"
                                     << "time,meter1,meter2,meter3,meter4,meter5,meter6\n" << 1;
    QTest::newRow("exception on read") << "get gateway-id" << int(Exceptions) << 3
                                       << "gateway 1: gateway-id: exception 04 server device failure" << "" << 1;
    QTest::newRow("exception on write") << "set mode=repeater" << int(Exceptions) << 3
                                        << "gateway 1: mode: exception 04 server device failure" << "" << 1;
    QTest::newRow("read back differs") << "set loop-range=1,2 sampling-period=30" << int(WritesIgnored) << 4
                                       << "gateway 1: sampling-period: wrote 30, read back 60" << "loop-range=1,2\n" << 4;
}

void CtlTest::failures()
{
    QFETCH(QString, arguments);
    QFETCH(int, fault);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QString, out);
    QFETCH(int, heard);
    SimulatorSettings settings;
    settings.exceptionRate = fault == Exceptions ? 1.0 : 0.0;
    settings.ignoreWrites = fault == WritesIgnored;
    Bus bus(settings);
    const Run run = bus.run(kLine + arguments);
    QCOMPARE(run.err, errorLine(err));
    QCOMPARE(run.out, out);
    QCOMPARE(run.status, status);
    QCOMPARE(run.heard.size(), heard);
    QCOMPARE(bus.gateway().samplingPeriod, std::uint16_t(60));
    QCOMPARE(bus.gateway().mode, std::uint16_t(0));
}

void CtlTest::scan_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("two gateways") << 2 << 201 << 0 << "3\n200\n" << "";
    QTest::newRow("none") << 4 << 6 << 1 << "" << "no gateway answered at addresses 4 to 6";
}

void CtlTest::scan()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    SimulatorSettings settings;
    settings.addresses = {3, 200};
    Bus bus(settings);
    const Run run = bus.run(QStringLiteral("--port PTY --timeout 50 --retries 0 scan --from %1 --to %2").arg(from).arg(to));
    QCOMPARE(run.err, errorLine(err));
    QCOMPARE(run.out, out);
    QCOMPARE(run.status, status);
    QCOMPARE(run.heard.size(), to - from + 1);
    QCOMPARE(run.heard.value(0), wire(qPrintable(QString::asprintf("%02X 03 00 01 00 01", from))).value(0));
}

void CtlTest::poll_data()
{
    QTest::addColumn<int>("count"); // 0: until SIGINT, after two polls
    QTest::addColumn<int>("delay"); // of every reply
    QTest::addColumn<int>("heard"); // requests; -1: one a poll

    QTest::newRow("two polls") << 2 << 0 << -1;
    QTest::newRow("until SIGINT") << 0 << 0 << -1;
    // Each first try times out; the reply to the second poll's first try arrives only
    // after the late reply to the first poll's second try has been dropped, not taken for it.
    QTest::newRow("late replies") << 2 << 200 << 4;
}

void CtlTest::poll()
{
    QFETCH(int, count);
    QFETCH(int, delay);
    QFETCH(int, heard);
    SimulatorSettings settings;
    settings.silentMeters = {2};
    settings.delayMs = delay;
    settings.drift = 0.0f; // so the values shown are the ones the gateway holds at the end
    Bus bus(settings);
    const QString counted = count > 0 ? QStringLiteral(" --count %1").arg(count) : QString();
    const Run run = bus.run(kLine + "poll --meters 4 --retries 1" + counted, {}, {}, count > 0 ? 0 : 3);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(count > 0 ? lines.size() == count + 1 : lines.size() >= 3, qPrintable(run.out));
    QCOMPARE(lines.at(0), QString("time,meter1,meter2,meter3,meter4"));
    const QVector<Meter> &meters = bus.gateway().meters;
    const QString values = QStringLiteral(",%1,timeout,%2,%3")
                               .arg(double(meters[0].temperature), 0, 'f', 4)
                               .arg(double(meters[2].temperature), 0, 'f', 4)
                               .arg(double(meters[3].temperature), 0, 'f', 4);
    QDateTime previous;
    for (const QString &line : lines.mid(1)) {
        const QDateTime stamp = QDateTime::fromString(line.section(',', 0, 0), Qt::ISODateWithMs);
        QVERIFY2(stamp.isValid() && line.endsWith(values), qPrintable(line + " / " + values));
        QVERIFY2(previous.isNull() || qAbs(previous.msecsTo(stamp) - 1000) < 200, qPrintable(run.out));
        previous = stamp;
    }
    QCOMPARE(run.heard.size(), heard < 0 ? lines.size() - 1 : heard);
}

void CtlTest::cloud_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("held");

    const QString secret = kSecret;
    QTest::newRow("all, secret from a file")
        << "-v --region cn --subscribe down --secret-file SECRET --property pk --name dev --publish up --connect"
        << QByteArray()
        << QStringList{cloudFrame(2, "cn"), cloudFrame(3, "pk"), cloudFrame(4, kSecret), cloudFrame(5, "dev"),
                       cloudFrame(6, "up,0,0"), cloudFrame(7, "down,0"), "64 C8"}
        << "cloud2=cn cloud3=pk cloud4=" + secret + " cloud5=dev cloud6=up,0,0 cloud7=down,0 connected";
    QTest::newRow("secret from stdin") << "--verbose --secret-file -" << kSecret + "\n"
                                       << QStringList{cloudFrame(4, kSecret)} << "cloud4=" + secret;
    QTest::newRow("connect only") << "--connect" << QByteArray() << QStringList{"64 C8"} << "connected";
}

void CtlTest::cloud()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, input);
    QFETCH(QStringList, frames);
    QFETCH(QString, held);
    Bus bus;
    const Run run = bus.run(kLine + "cloud " + arguments, input, kSecret + "\n");
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.heard, frames);
    QCOMPARE(::held(bus.gateway()).filter(QRegularExpression("^(cloud|connected)")).join(' '), held);
    // Neither the secret nor its bytes show anywhere, even in the trace of its frame.
    const QString inHex = QString::fromLatin1(kSecret.toHex(' ').toUpper());
    QVERIFY2(!run.err.contains(kSecret) && !run.err.contains(inHex.mid(3)) && !run.out.contains(kSecret),
             qPrintable(run.err));
    const bool verbose = arguments.startsWith("-v") || arguments.startsWith("--verbose");
    QVERIFY2(verbose ? run.err.contains("-> 64 64 04 ** ") : run.err.isEmpty(), qPrintable(run.err));
}

void CtlTest::everyOption_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value"); // none for a flag
    QTest::addColumn<QString>("command");

    QTest::newRow("port") << "--port" << "PTY" << "get frequency";
    QTest::newRow("baud") << "--baud" << "19200" << "get frequency";
    QTest::newRow("parity") << "--parity" << "O" << "get frequency"; // a pseudo-terminal refuses even parity
    QTest::newRow("address") << "--address" << "1" << "get frequency";
    QTest::newRow("timeout") << "--timeout" << "150" << "get frequency";
    QTest::newRow("retries") << "--retries" << "0" << "get frequency";
    QTest::newRow("verbose") << "--verbose" << "" << "get frequency";
    QTest::newRow("v") << "-v" << "" << "get frequency";
    QTest::newRow("json") << "--json" << "" << "get frequency";
    QTest::newRow("from") << "--from" << "1" << "scan --to 1";
    QTest::newRow("to") << "--to" << "1" << "scan";
    QTest::newRow("meters") << "--meters" << "1" << "poll --count 1";
    QTest::newRow("count") << "--count" << "1" << "poll --meters 1";
    for (const char *option : {"region", "property", "name", "publish", "subscribe"})
        QTest::newRow(option) << QStringLiteral("--%1").arg(option) << "a/b" << "cloud";
    QTest::newRow("secret-file") << "--secret-file" << "SECRET" << "cloud";
    QTest::newRow("connect") << "--connect" << "" << "cloud";
}

void CtlTest::everyOption()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, command);
    // The option under test takes the place of the line's own.
    const QString line = QString(kLine).remove(QRegularExpression(option + " \\S+ "));
    for (const QString &form : value.isEmpty() ? QStringList{option} : QStringList{option + ' ' + value, option + '=' + value}) {
        Bus bus;
        const Run run = bus.run(line + form + ' ' + command);
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.isEmpty() == (form != "-v" && form != "--verbose"), qPrintable(run.err));
        QVERIFY(!run.heard.isEmpty());
    }
}

void CtlTest::commandLine_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err"); // the one line on stderr
    QTest::addColumn<QStringList>("shown"); // on stdout

    QStringList help{"scan [--from A] [--to A]", "get [NAME...] [--json]", "set NAME=VALUE...", "poll --meters N [--count K]",
                     "cloud [--region R]", "--timeout 100 --retries 0", "  -v, --verbose ", "  --version ", "--help ",
                     "frequency           420 to 675 MHz", "range               LOWER,UPPER, each -3276.8 to 6553.5"};
    for (const char *option : {"port", "baud", "parity", "address", "timeout", "retries", "from", "to", "json", "meters",
                               "count", "region", "property", "secret-file", "name", "publish", "subscribe", "connect"})
        help << QStringLiteral("--%1 ").arg(option);
    for (const Setting &setting : gatewaySettings()) {
        if (setting.encoding == Encoding::Choice)
            help << QStringLiteral("  %1 ").arg(setting.name, -19) + setting.choices.join(", ");
        else if (QLatin1String(setting.name) != QLatin1String("address"))
            help << QStringLiteral("  %1 ").arg(setting.name);
    }
    QTest::newRow("help") << "--help" << 0 << "" << help;
    QTest::newRow("version") << "--version" << 0 << "" << QStringList{"nvb8140t-ctl " NVB_VERSION "\n"};

    const auto refused = [](const char *name, const QString &arguments, const QString &err) {
        QTest::newRow(name) << "--port PTY " + arguments << 2 << err << QStringList();
    };
    const auto invalid = [&](const char *name, const QString &arguments, const QString &option, const QString &value,
                             const QString &range) {
        refused(name, arguments.arg(option, value),
                QStringLiteral("invalid value '%1' for %2: expected %3").arg(value, option, range));
    };
    invalid("baud", "get %1 %2", "--baud", "1200", "2400, 4800, 9600 or 19200");
    invalid("parity", "get %1=%2", "--parity", "X", "N, O or E");
    invalid("address 0", "get %1 %2", "--address", "0", "1 to 247");
    invalid("address 248", "get %1=%2", "--address", "248", "1 to 247");
    invalid("timeout", "get %1 %2", "--timeout", "9", "10 to 60000");
    invalid("retries", "get %1 %2", "--retries", "11", "0 to 10");
    invalid("from", "scan %1 %2", "--from", "0", "1 to 247");
    invalid("to", "scan %1 %2", "--to", "248", "1 to 247");
    invalid("meters 0", "poll %1 %2", "--meters", "0", "1 to 21");
    invalid("meters 22", "poll %1 %2", "--meters", "22", "1 to 21");
    invalid("count", "poll --meters 1 %1 %2", "--count", "0", "1 to 1000000");
    invalid("empty region", "cloud %1=%2", "--region", "", "1 to 67 bytes of UTF-8");
    invalid("topic too long", "cloud --connect %1 %2", "--publish", QString(64, 'x'),
            "1 to 63 bytes of UTF-8 (67 with ',0,0' appended)");
    invalid("secret too long", "cloud --connect %1 %2", "--secret-file", "-", "a secret of 1 to 67 bytes, found 68");
    refused("set out of range", "set frequency=700", "invalid value '700' for frequency: expected 420 to 675");
    refused("set valid, then invalid", "set mode=repeater transmitters=256",
            "invalid value '256' for transmitters: expected 0 to 255");
    refused("set not a pair", "set range=5", "invalid value '5' for range: expected LOWER,UPPER, each -3276.8 to 6553.5");
    refused("set not a choice", "set parity=maybe", "invalid value 'maybe' for parity: expected none, odd, even");
    refused("set channel 0", "set loop-channel=0", "invalid value '0' for loop-channel: expected 1 to 256");
    refused("set name twice", "set mode=receiver mode=repeater", "mode is given twice");
    refused("set no value", "set frequency", "expected NAME=VALUE, got 'frequency'");
    refused("set address", "set address=5", "'address' is not a setting here; the gateway is chosen with --address");
    refused("unknown setting", "get colour", "unknown setting 'colour' (see --help)");
    refused("from above to", "scan --from 5 --to 4", "--from 5 is above --to 4");
    refused("no meters", "poll", "poll needs --meters N, 1 to 21");
    refused("nothing for cloud", "cloud", "cloud needs at least one of --region, --property, --secret-file, --name, "
                                          "--publish, --subscribe or --connect");
    refused("unknown option", "get --frobnicate=1", "unknown option '--frobnicate'");
    refused("missing value", "get --address", "missing value after '--address'");
    refused("option twice", "get --address 1 --address=2", "--address is given twice");
    refused("option of another command", "set mode=receiver --json", "--json applies to get only");
    refused("no command", "", "no command given (expected scan, get, set, poll or cloud)");
    refused("unknown command", "reboot", "unknown command 'reboot' (expected scan, get, set, poll or cloud)");
    refused("argument too many", "scan 7", "unexpected argument '7' after scan");
    QTest::newRow("empty port") << "--port= get" << 2 << "invalid value '' for --port: expected a device path" << QStringList();
    QTest::newRow("no port") << "get" << 2 << "--port PATH is required" << QStringList();
}

void CtlTest::commandLine()
{
    QFETCH(QString, arguments);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QStringList, shown);
    Bus bus;
    const Run run = bus.run(arguments, QByteArray(68, 's'));
    QCOMPARE(run.err, errorLine(err));
    QCOMPARE(run.status, status);
    for (const QString &text : shown)
        QVERIFY2(run.out.contains(text), qPrintable(text + " not in:\n" + run.out));
    QCOMPARE(run.heard, QStringList());
}

QTEST_GUILESS_MAIN(CtlTest)
#include "tst_ctl.moc"
