// The nvb8140t-ctl program as a script runs it, against the simulator on a pseudo-terminal.
#include <QtTest>

#include <atomic>
#include <csignal>
#include <thread>

#include "gatewaysimulator.h"
#include "lineserver.h"
#include "settings.h"

namespace {

const QString kLine = QStringLiteral("--port PTY --timeout 150 ");
const QByteArray kSecret = "s3cr3t-Key";

// What the test does besides running the program.
enum Setup { Plain, Exceptions, WritesIgnored, TwoGateways, LateReplies, Interrupted, OutputFull, InputLeftOpen, Vanishing,
             Jittery, At2400, TwoStopBits, Garbled, Killed, Arriving };
// Jittery: replies late by 120..270 ms, the simulator seeded with this.
std::uint32_t g_seed = 1;
// The file PROFILE stands for.
QByteArray g_profile;

// The text with each \0ooo (octal) as that byte, for bytes that are not UTF-8.
QByteArray raw(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    for (int at; (at = bytes.indexOf("\\0")) >= 0;)
        bytes.replace(at, 5, QByteArray(1, char(bytes.mid(at + 2, 3).toInt(nullptr, 8))));
    return bytes;
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
    QStringList heard; // frames the simulator took off the line, in hex, the device secret masked
    QStringList held; // what the first gateway holds afterwards, as "field=value" words
    qint64 took = 0; // Vanishing: from the line's end to the program's
    QByteArray report; // the files REPORT and PDF stand for, the PDF also as pdftotext reads it
    QByteArray pdf;
    QByteArray pdfText;
};

// The program against a gateway whose values show the encodings: a frequency with the first page's
// 0xFF high byte, a spreading factor above its low byte, a channel counted from 0; its meters hold
// -5, 5.25, 15.5 and so on, the second silent. The line is split at spaces, PTY and SECRET standing
// for the line and a file holding kSecret, and " < TEXT" at its end is standard input; \0ooo in
// either is that byte.
Run ctl(const QString &line, Setup setup = Plain)
{
    SimulatorSettings settings;
    settings.silentMeters = {2};
    settings.drift = 0.0f;
    settings.exceptionRate = setup == Exceptions ? 1.0 : 0.0;
    settings.ignoreWrites = setup == WritesIgnored;
    settings.delayMs = setup == LateReplies ? 200 : setup == Vanishing ? 5000 : setup == Jittery ? 120 : 0;
    settings.jitterMs = setup == Jittery ? 150 : 0;
    settings.seed = g_seed;
    settings.addresses = setup == TwoGateways ? QVector<std::uint8_t>{3, 200}
                         : setup == Arriving  ? QVector<std::uint8_t>{1, 1}
                                              : QVector<std::uint8_t>{1};
    settings.arriveMs = setup == Arriving ? 1000 : -1;
    settings.baud = setup == At2400 ? 2400 : 9600;
    settings.stopBits = setup == TwoStopBits ? 2 : 1;
    settings.corruptRate = setup == Garbled ? 1.0 : 0.0;
    GatewaySimulator simulator(settings);
    GatewayState &g = simulator.gateway(0);
    g.parity = 2; g.frequency = 0xFF1E; g.transmitters = 200; g.rangeLower = 25; g.rangeUpper = 65535;
    g.gatewayId = 0x1A2B; g.spreadingFactor = 0x0109; g.firmware = 0x0203; g.samplingPeriod = 300;
    g.analogOutput = 4095; g.mode = 1; g.loopChannel = 4; g.loopLower = 4.0f; g.loopUpper = 20.5f;
    for (int m = 0; m < g.meters.size(); ++m)
        g.meters[m].temperature = m * 10.25f - 5.0f;
    // A pseudo-terminal refuses even parity, which a profile from this gateway would move the line to.
    if (setup == TwoGateways)
        g.parity = 1;
    auto server = std::make_unique<LineServer>(simulator);
    Run run;
    server->openPseudoTerminal(&run.err);
    std::atomic<int> heard{0};
    server->setTrafficLog([&run, &heard](const QString &log) { // "03:05:19.123 rx 01 03 00 00 00 01 84 0A  read ..."
        if (log.mid(13, 3) == QLatin1String("rx ")) {
            run.heard << log.mid(16).section(QStringLiteral("  "), 0, 0);
            ++heard;
        }
    });
    QTemporaryFile secret;
    secret.open();
    secret.write(kSecret + '\n');
    secret.close();
    QTemporaryDir files;
    QFile profile(files.filePath("profile.json"));
    if (profile.open(QIODevice::WriteOnly))
        profile.write(g_profile);
    profile.close();
    QStringList arguments = line.section(" < ", 0, 0).split(' ', Qt::SkipEmptyParts);
    arguments.replaceInStrings(QStringLiteral("PTY"), server->path());
    arguments.replaceInStrings(QStringLiteral("SECRET"), secret.fileName());
    arguments.replaceInStrings(QStringLiteral("PROFILE"), profile.fileName());
    arguments.replaceInStrings(QStringLiteral("REPORT"), files.filePath("report.json"));
    arguments.replaceInStrings(QStringLiteral("PDF"), files.filePath("report.pdf"));

    // The simulator serves on a thread of its own while the program runs; its state is
    // looked at only once the thread has stopped.
    std::atomic<bool> stop{false};
    std::thread serving([&] { server->serve(stop); });
    const QString pty = server->path();
    QProcess process;
    if (setup == OutputFull)
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    QTemporaryFile written; // Killed: the output, as a file that outlives the program
    if (setup == Killed && written.open())
        process.setStandardOutputFile(written.fileName());
    // Arguments holding bytes that are not UTF-8 are made by the shell's printf.
    const QString program = QStringLiteral(NVB_PROGRAM_DIR "/nvb8140t-ctl");
    if (line.contains("\\0"))
        process.start("/bin/sh", QStringList{"-c", "n=$#; for a; do set -- \"$@\" \"$(printf '%b' \"$a\")\"; done; shift $n; exec \"$0\" \"$@\"", program} + arguments);
    else
        process.start(program, arguments);
    process.write(line.contains(" < ") ? raw(line.section(" < ", 1)) + '\n' : QByteArray());
    if (setup != InputLeftOpen)
        process.closeWriteChannel();
    while (setup == Interrupted && run.out.count('\n') < 6 && process.waitForReadyRead(5000))
        run.out += QString::fromLocal8Bit(process.readAllStandardOutput());
    // The far end goes away while the first request awaits its answer.
    for (QElapsedTimer waited; setup == Vanishing && heard == 0 && waited.elapsed() < 5000;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    QElapsedTimer sinceVanished;
    sinceVanished.start();
    if (setup == Vanishing) {
        stop = true;
        serving.join();
        server.reset();
    }
    // Killed once the comments, the header and two polls are in the file.
    QElapsedTimer waited;
    waited.start();
    while (setup == Killed && run.out.count('\n') < 6 && waited.elapsed() < 5000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        run.out += QString::fromUtf8(written.readAll());
    }
    if ((setup == Interrupted || setup == Killed) && process.processId() > 0) // kill(0) would hit the test
        ::kill(pid_t(process.processId()), setup == Killed ? SIGKILL : SIGINT);
    const bool ended = process.waitForFinished(40000);
    run.took = sinceVanished.elapsed();
    stop = true;
    if (serving.joinable())
        serving.join();
    run.status = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out += QString::fromLocal8Bit(process.readAllStandardOutput());
    if (setup == Killed)
        run.out += QString::fromUtf8(written.readAll());
    run.out.replace(pty, QStringLiteral("PTY"));
    run.err = QString::fromLocal8Bit(process.readAllStandardError()).replace(profile.fileName(), QStringLiteral("PROFILE"));
    for (auto [name, into] : {std::pair{"report.json", &run.report}, std::pair{"report.pdf", &run.pdf}}) {
        QFile file(files.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            *into = file.readAll();
    }
    QProcess text;
    if (!run.pdf.isEmpty())
        text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), files.filePath("report.pdf"), QStringLiteral("-")});
    if (!run.pdf.isEmpty() && text.waitForFinished(20000))
        run.pdfText = text.readAllStandardOutput();
    else if (!run.pdf.isEmpty())
        run.pdfText = "pdftotext (poppler-utils) did not run: " + text.errorString().toUtf8();
    run.held = QString::asprintf("parity=%d baudCode=%d frequency=0x%04X rangeLower=%d rangeUpper=%d gatewayId=0x%04X "
                                 "spreadingFactor=%d loopChannel=%d loop=%.9g,%.9g connected=%d", g.parity, g.baudCode,
                                 g.frequency, g.rangeLower, g.rangeUpper, g.gatewayId, g.spreadingFactor, g.loopChannel,
                                 double(g.loopLower), double(g.loopUpper), g.connected).split(' ');
    for (auto p = g.cloudParameters.begin(); p != g.cloudParameters.end(); ++p)
        run.held << QStringLiteral("cloud%1=%2").arg(p.key()).arg(p.value());
    return run;
}

} // namespace

class CtlTest : public QObject
{
    Q_OBJECT
private slots:
    void commands_data(); void commands();
    void everyOption_data(); void everyOption();
    void help();
    void lineGoesAway_data(); void lineGoesAway();
    void neverAWrongValue_data(); void neverAWrongValue();
    void apply_data(); void apply();
};

// A profile applied to gateways, or to each one plugged in: the lines printed, the exit
// status, what went on the line and what the gateway holds afterwards, and the report files.
void CtlTest::apply_data()
{
    QTest::addColumn<QByteArray>("profile"); // "GET 3": what get --json prints of gateway 3
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("lines"); // on stdout, in this order; for status 2 the one line on stderr
    QTest::addColumn<QString>("held");

    const QString apply = kLine + "--address %1 apply PROFILE ";
    // Current-loop frames carry no address; on this bus gateway 3 answers them.
    QTest::newRow("get --json of one, applied to another") << QByteArray("GET 3") << apply.arg(200) << int(TwoGateways) << 0
        << QStringList{"200 frequency 433 -> 450 verified", "200 loop-channel 5 unchanged", "200 range 0,100 -> 2.5,6553.5 verified",
                       "200 gateway-id 0x00A5 -> 0x1A2B verified", "200 firmware 0x0102 -> 0x0203 verified", "200 mode receiver -> repeater verified",
                       "200 loop-range 4,20.5 unchanged", "200 parity none -> odd verified", "200 baud 9600 unchanged", "1 gateway, 1 fully verified"} << "";
    QTest::newRow("keeps nothing: differs") << QByteArray(R"({"format": 1, "settings": {"sampling-period": 30}})") << apply.arg(1) << int(WritesIgnored) << 4
        << QStringList{"1 sampling-period 300 -> 300 differs: wrote 30, read back 300", "1 gateway, 0 fully verified"} << "";
    const QString identity = "identity is never shared, and the profile goes to several gateways";
    QTest::newRow("two targets: identity and unaddressed frames skipped")
        << QByteArray(R"({"format": 1, "settings": {"gateway-id": "0xBEEF", "address": 5, "loop-range": [1, 2], "frequency": 470}, "cloud": {"region": "cn"}})")
        << apply.arg("3,200") << int(TwoGateways) << 0
        << QStringList{"3 frequency 450 -> 470 verified", "3 gateway-id skipped: " + identity, "3 loop-range skipped: its frames carry no bus address, so every gateway on the line would take them",
                       "3 address skipped: one address given to several gateways would put them all at that address",
                       "3 cloud region skipped: cloud frames carry no bus address, so every gateway on the line would take them",
                       "200 frequency 433 -> 470 verified", "200 gateway-id skipped: " + identity, "2 gateways, 0 fully verified"} << "gatewayId=0x1A2B loop=4,20.5";
    // Identity left out by design does not count against a gateway; unaddressed frames skipped do.
    QTest::newRow("two targets: identity skipped, fully verified") << QByteArray(R"({"gateway-id": "0xBEEF", "frequency": 470})")
        << apply.arg("3,200") << int(TwoGateways) << 0 << QStringList{"3 gateway-id skipped: " + identity, "2 gateways, 2 fully verified"} << "gatewayId=0x1A2B";
    // Line settings last, the port following the gateway to its new baud rate for the read-back.
    QTest::newRow("baud last and followed") << QByteArray(R"({"baud": "4800", "frequency": 470, "sampling-period": 300})") << apply.arg(1) << 0 << 0
        << QStringList{"1 frequency 450 -> 470 verified", "1 sampling-period 300 unchanged", "1 baud 9600 -> 4800 verified"} << "baudCode=1 frequency=0x0032";
    QTest::newRow("one at a time, two gateways plugged in in turn")
        << QByteArray(R"({"format": 1, "settings": {"frequency": 470}, "cloud": {"publish": "up", "connect": true}, "meters": 2})")
        << kLine + "commission PROFILE --start 10 --count 2 --secret-file SECRET --report REPORT --pdf PDF" << int(Arriving) << 0
        << QStringList{"10 address 1 -> 10 verified", "10 frequency 450 -> 470 verified", "10 cloud secret **** verified", "10 cloud publish up,0,0 verified",
                       "10 cloud connect sent", "10 meters -5.0000 timeout", "11 address 1 -> 11 verified", "11 frequency 433 -> 470 verified",
                       "2 gateways, 2 fully verified"} << "frequency=0x0032 cloud6=up,0,0 connected=1";

    // Waiting for the next gateway ends at SIGINT, the report saying it was stopped.
    QTest::newRow("one at a time until SIGINT") << QByteArray(R"({"frequency": 470, "sampling-period": 60, "mode": "receiver"})")
        << kLine + "commission PROFILE --start 10 --report REPORT" << int(Interrupted) << 0
        << QStringList{"10 address 1 -> 10 verified", "10 still on the line; waiting for the next gateway", "1 gateway, 1 fully verified"} << "";
    // Refused before the port is opened: nothing goes on the line.
    const auto refused = [&](const char *name, const QByteArray &profile, const QString &err) {
        QTest::newRow(name) << profile << apply.arg(1) << 0 << 2 << QStringList{"nvb8140t-ctl: PROFILE: " + err} << "";
    };
    refused("not JSON", "{\"format\": 1,", "not valid JSON: unterminated object at byte 13");
    refused("unknown format", R"({"format": 2, "settings": {}})", "format: unknown format version 2 (expected 1)");
    refused("unknown setting", R"({"colour": "red"})", "colour: unknown setting");
    refused("out of range", R"({"format": 1, "settings": {"frequency": 700}})", "frequency: expected a whole number from 420 to 675");
    refused("wrong type", R"({"format": 1, "settings": {"baud": 9600}})", "baud: expected a JSON string, 2400, 4800, 9600, 19200");
    refused("pair out of order", R"({"range": [5, 1]})", "range: expected LOWER below UPPER");
    refused("a secret", R"({"format": 1, "cloud": {"region": "cn", "secret": "k"}})",
            "cloud.secret: the device secret is never kept in a profile; it is given when the profile is applied");
    // An endless file is read no further than a profile could be long.
    QTest::newRow("endless file") << QByteArray() << kLine + "--address 1 apply /dev/zero" << 0 << 2
        << QStringList{"nvb8140t-ctl: /dev/zero: cannot read: larger than 1048576 bytes, not a profile"} << "";
    refused("topic too long", R"({"format": 1, "cloud": {"publish": ")" + QByteArray(64, 'x') + R"("}})",
            "cloud.publish: expected 1 to 63 bytes of UTF-8 (67 with ',0,0' appended)");
}

void CtlTest::apply()
{
    QFETCH(QByteArray, profile);
    QFETCH(QString, arguments);
    QFETCH(int, setup);
    QFETCH(int, status);
    QFETCH(QStringList, lines);
    QFETCH(QString, held);
    g_profile = profile == "GET 3" ? ctl(kLine + "--address 3 get --json", TwoGateways).out.toUtf8() : profile;
    const Run run = ctl(arguments, Setup(setup));
    QCOMPARE(run.status, status);
    const QString shown = status == 2 ? run.err : run.out;
    int at = 0;
    for (const QString &line : lines) {
        at = shown.indexOf(line + '\n', at);
        QVERIFY2(at >= 0, qPrintable(line + "\n---\n" + shown + run.err));
    }
    if (status == 2)
        QCOMPARE(run.heard.size(), 0);
    for (const QString &word : held.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(run.held.contains(word), qPrintable(run.held.join(' ')));
    if (!arguments.contains("REPORT"))
        return;
    // The report tells what stdout told, and neither file holds the secret.
    const QJsonObject report = QJsonDocument::fromJson(run.report).object();
    QCOMPARE(report.value("summary").toString() + '\n', run.out.section('\n', -2));
    QCOMPARE(report.value("stopped").toBool(), setup == Interrupted);
    if (setup == Interrupted)
        return;
    const QJsonArray gateways = report.value("gateways").toArray();
    QCOMPARE(gateways.size(), 2);
    for (const QJsonValue &gateway : gateways) {
        const QJsonObject first = gateway["settings"].toArray().first().toObject();
        QVERIFY(run.out.contains(QStringLiteral("%1 address %2 -> %3 %4\n").arg(gateway["address"].toInt()).arg(first["before"].toString(),
                                 first["after"].toString(), first["result"].toString())));
        QCOMPARE(gateway["cloud"].toArray().at(0)["wanted"].toString(), QStringLiteral("****"));
        const int requests = gateway["traffic"]["requests"].toInt();
        QVERIFY(requests > 0 && run.out.contains(QStringLiteral("%1 traffic requests=%2 ").arg(gateway["address"].toInt()).arg(requests)));
    }
    for (const QString &shownInPdf : {"Gateway commissioning report", "Gateway at address 10 (found at 1)", "Gateway at address 11", "2 gateways, 2 fully verified"})
        QVERIFY2(run.pdfText.contains(shownInPdf.toUtf8()), run.pdfText.constData());
    QVERIFY2(QRegularExpression("\n\\s+1\\s*\n").match(QString::fromUtf8(run.pdfText)).hasMatch(), run.pdfText.constData()); // the page number
    for (const QByteArray *file : {&run.report, &run.pdf, &run.pdfText})
        QVERIFY(!file->contains(kSecret) && !file->contains(kSecret.toHex()));
}

// Replies later than the time-out, by varying delays: each is taken by the
// attempt it answers, so a run prints the true values or fails, never a wrong value.
void CtlTest::neverAWrongValue_data()
{
    QTest::addColumn<int>("seed");
    for (int seed = 1; seed <= 6; ++seed)
        QTest::addRow("seed %d", seed) << seed;
}

void CtlTest::neverAWrongValue()
{
    QFETCH(int, seed);
    const QString get = QStringLiteral("get parity baud frequency transmitters gateway-id spreading-factor");
    static const QStringList truth = ctl(kLine + get).out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(truth.size(), 6);
    g_seed = std::uint32_t(seed);
    const Run run = ctl(QStringLiteral("--port PTY --timeout 100 --retries 2 ") + get, Jittery);
    g_seed = 1;
    const QStringList printed = run.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(printed, truth.mid(0, printed.size()));
    QVERIFY2(run.status == 0 ? printed.size() == 6 : run.status == 1, qPrintable(run.err));
}

// A line that goes away while a request awaits its answer stops the program at once.
void CtlTest::lineGoesAway_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("get") << "--port PTY --timeout 10000 get parity baud";
    QTest::newRow("scan") << "--port PTY --timeout 10000 scan --from 1 --to 5";
    QTest::newRow("cloud") << "--port PTY --timeout 10000 cloud --region r --property p";
    QTest::newRow("poll") << "--port PTY --timeout 10000 poll --meters 2 --count 5";
}

void CtlTest::lineGoesAway()
{
    QFETCH(QString, arguments);
    const Run run = ctl(arguments, Vanishing);
    QCOMPARE(run.status, 1);
    QVERIFY2(run.took < 2000, qPrintable(QString::number(run.took)));
    QVERIFY2(run.err.contains(QStringLiteral(": the line went away")), qPrintable(run.err));
    QCOMPARE(run.heard.size(), 1);
}

void CtlTest::commands_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("setup");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // a poll's time stamp as T+ the seconds since the one before, to the half
    QTest::addColumn<QString>("err"); // the one line on stderr, after the program's name
    QTest::addColumn<QString>("heard"); // how many requests went on the line, or the frames themselves
    QTest::addColumn<QString>("held"); // words the gateway's state shows afterwards

    const QString all = "parity=even\nbaud=9600\nfrequency=450\nloop-channel=5\ntransmitters=200\nrange=2.5,6553.5\n"
                        "gateway-id=0x1A2B\nspreading-factor=9\nfirmware=0x0203\nsampling-period=300\n"
                        "analog-output=4095\nmode=repeater\nloop-range=4,20.5\n";
    const QString json = "{\"parity\":\"even\",\"baud\":\"9600\",\"frequency\":450,\"loop-channel\":5,\"transmitters\":200,"
                         "\"range\":[2.5,6553.5],\"gateway-id\":\"0x1A2B\",\"spreading-factor\":9,\"firmware\":\"0x0203\","
                         "\"sampling-period\":300,\"analog-output\":4095,\"mode\":\"repeater\",\"loop-range\":[4,20.5]}\n";
    const auto csv = [](int address) { return QStringLiteral("# nvb8140t-ctl " NVB_VERSION "\n# port PTY, 9600 8N1\n# gateway address %1\n").arg(address); };
    const QString polls = csv(1) + "time,meter1,meter2,meter3,meter4\nT+0,-5.0000,timeout,15.5000,25.7500\nT+1,-5.0000,timeout,15.5000,25.7500\n";
    const QString secretFrame = "64 64 04 <secret>"; // as the simulator logs it, masked
    const QString cloudFrames = "64 64 02 63 6E, 64 64 03 70 6B, " + secretFrame + ", 64 64 05 64 65 76, 64 64 06 75 70 2C 30 2C 30, 64 64 07 64 6F 77 6E 2C 30, 64 C8";
    QTest::newRow("get all") << kLine + "get" << 0 << 0 << all << "" << "13" << "";
    QTest::newRow("get json") << kLine + "get --json" << 0 << 0 << json << "" << "13" << "";
    QTest::newRow("get in the order asked") << kLine + "get mode parity" << 0 << 0 << "mode=repeater\nparity=even\n" << "" << "2" << "";
    QTest::newRow("set frequency") << kLine + "set frequency=433" << 0 << 0 << "frequency=433\n" << "" << "2" << "frequency=0x000D";
    QTest::newRow("set pair, rounded") << kLine + "set range=0.25,100.5" << 0 << 0 << "range=0.3,100.5\n" << "" << "2" << "rangeLower=3 rangeUpper=1005";
    // The gateway answers at 4800 from the acknowledgement on: the read-back goes there.
    QTest::newRow("set choices") << kLine + "set parity=odd baud=4800" << 0 << 0 << "parity=odd\nbaud=4800\n" << "" << "4" << "parity=1 baudCode=1";
    QTest::newRow("detect at 2400, tried last") << "--port PTY detect" << int(At2400) << 0 << "baud=2400 parity=none address=1\n" << "" << "10" << "";
    QTest::newRow("detect, nobody hears 1 stop bit") << "--port PTY detect" << int(TwoStopBits) << 1 << "" << "no gateway answered at any line setting" << "12" << "";
    QTest::newRow("detect, --baud refused") << "--port PTY --baud 4800 detect" << 0 << 2 << "" << "--baud is not for detect, which tries every line setting with a broadcast read" << "0" << "";
    // A garbled answer is asked once more; silent addresses are not.
    QTest::newRow("scan, garbled") << "--port PTY scan --from 1 --to 3" << int(Garbled) << 1 << ""
                                   << "gateway 1: address: no valid answer after 2 tries (last: 7 byte(s) that are not the answer)\nnvb8140t-ctl: no gateway answered at addresses 1 to 3"
                                   << "01 03 00 01 00 01 D5 CA, 01 03 00 01 00 01 D5 CA, 02 03 00 01 00 01 D5 F9, 03 03 00 01 00 01 D4 28" << "";
    QTest::newRow("set hex, low byte") << kLine + "set gateway-id=beef spreading-factor=12" << 0 << 0 << "gateway-id=0xBEEF\nspreading-factor=12\n" << "" << "4" << "gatewayId=0xBEEF spreadingFactor=12";
    QTest::newRow("set loop channel") << kLine + "set loop-channel=7" << 0 << 0 << "loop-channel=7\n" << "" << "2" << "loopChannel=6";
    QTest::newRow("set loop range") << kLine + "set loop-range=-20,4.2" << 0 << 0 << "loop-range=-20,4.2\n" << "" << "2" << "loop=-20,4.19999981";
    QTest::newRow("poll, a silent meter") << kLine + "poll --meters 4 --count 2" << 0 << 0 << polls << "" << "2" << "";
    QTest::newRow("poll until SIGINT") << kLine + "poll --meters 4" << int(Interrupted) << 0 << polls << "" << "2" << "";
    // Each line is in the file as soon as it is written: a crash loses at most the line in progress.
    QTest::newRow("poll until SIGKILL") << kLine + "poll --meters 4" << int(Killed) << -1 << polls << "" << "2" << "";
    // Each first try times out; the reply to the second poll's first try arrives only
    // after the late reply to the first poll's second try has been dropped, not taken for it.
    QTest::newRow("poll, late replies") << kLine + "--retries 1 poll --meters 4 --count 2" << int(LateReplies) << 0 << polls << "" << "4" << "";
    QTest::newRow("cloud, secret from a file") << kLine + "cloud --region cn --subscribe down --secret-file SECRET --property pk --name dev --publish up --connect"
                                               << 0 << 0 << "" << "" << cloudFrames << "cloud2=cn cloud3=pk cloud4=s3cr3t-Key cloud5=dev cloud6=up,0,0 cloud7=down,0 connected=1";
    QTest::newRow("cloud, secret from stdin") << kLine + "cloud --secret-file - < " + kSecret << 0 << 0 << "" << "" << secretFrame << "cloud4=s3cr3t-Key connected=0";
    QTest::newRow("version") << "--version" << 0 << 0 << "nvb8140t-ctl " NVB_VERSION "\n" << "" << "0" << "";

    QTest::newRow("silent, 1 + 2 tries") << kLine + "--address 9 get frequency" << 0 << 1 << "" << "gateway 9: frequency: no answer after 3 tries" << "3" << "";
    QTest::newRow("silent, no retries") << kLine + "--address 9 --retries 0 set mode=repeater" << 0 << 1 << "" << "gateway 9: mode: no answer after 1 try" << "1" << "";
    QTest::newRow("meters it lacks") << kLine + "poll --meters 6 --count 1" << 0 << 3 << csv(1) + "time,meter1,meter2,meter3,meter4,meter5,meter6\nT+0" + QString(",illegal data address").repeated(6) + "\n" << "gateway 1: meters: exception 02 illegal data address" << "1" << "";
    // An unanswered poll is a row of its own, and the run goes on to its count.
    QTest::newRow("poll, nobody answers") << "--port PTY --timeout 100 --retries 0 --address 9 poll --meters 2 --count 2" << 0 << 1
                                          << csv(9) + "time,meter1,meter2\nT+0,no-reply,no-reply\nT+1,no-reply,no-reply\n"
                                          << "gateway 9: meters: no answer after 1 try\nnvb8140t-ctl: gateway 9: meters: no answer after 1 try" << "2" << "";
    QTest::newRow("exception on read") << kLine + "get gateway-id mode" << int(Exceptions) << 3 << "" << "gateway 1: gateway-id: exception 04 server device failure" << "1" << "";
    QTest::newRow("exception on write") << kLine + "set mode=repeater" << int(Exceptions) << 3 << "" << "gateway 1: mode: exception 04 server device failure" << "1" << "";
    QTest::newRow("read back differs") << kLine + "set loop-range=1,2 sampling-period=30" << int(WritesIgnored) << 4 << "loop-range=1,2\n" << "gateway 1: sampling-period: wrote 30, read back 300" << "4" << "";
    QTest::newRow("scan") << "--port PTY --timeout 50 --retries 0 scan --from 2 --to 201" << int(TwoGateways) << 0 << "3\n200\n" << "" << "200" << "";
    QTest::newRow("scan, none") << "--port PTY --timeout 50 --retries 0 scan --from 4 --to 6" << int(TwoGateways) << 1 << "" << "no gateway answered at addresses 4 to 6" << "04 03 00 01 00 01 D5 9F, 05 03 00 01 00 01 D4 4E, 06 03 00 01 00 01 D4 7D" << "";

    // Refused before anything goes on the line.
    const auto refused = [](const char *name, const QString &arguments, const QString &err) {
        QTest::newRow(name) << "--port PTY " + arguments << 0 << 2 << "" << err << "0" << "";
    };
    const auto invalid = [&](const char *name, const QString &arguments, const QString &option, const QString &value, const QString &range) {
        refused(name, arguments.arg(option, value), QStringLiteral("invalid value '%1' for %2: expected %3").arg(value, option, range));
    };
    invalid("baud", "get %1 %2", "--baud", "1200", "2400, 4800, 9600 or 19200");
    invalid("parity", "get %1=%2", "--parity", "X", "N, O or E");
    invalid("address 0", "get %1 %2", "--address", "0", "a whole number from 1 to 247");
    invalid("timeout", "get %1 %2", "--timeout", "9", "a whole number from 10 to 60000");
    invalid("retries", "get %1 %2", "--retries", "11", "a whole number from 0 to 10");
    invalid("from", "scan %1 %2", "--from", "0", "a whole number from 1 to 247");
    invalid("meters 0", "poll %1 %2", "--meters", "0", "a whole number from 1 to 21");
    invalid("count", "poll --meters 1 %1 %2", "--count", "0", "a whole number from 1 to 1000000");
    invalid("empty region", "cloud %1=%2", "--region", "", "1 to 67 bytes of UTF-8");
    invalid("topic too long", "cloud --connect %1 %2", "--publish", QString(64, 'x'), "1 to 63 bytes of UTF-8 (67 with ',0,0' appended)");
    invalid("secret too long", "cloud --connect %1 %2 < " + QString(68, 's'), "--secret-file", "-", "a secret of 1 to 67 bytes, found 68");
    refused("set out of range", "set frequency=700", "invalid value '700' for frequency: expected a whole number from 420 to 675");
    refused("set valid, then invalid", "set mode=repeater transmitters=256", "invalid value '256' for transmitters: expected a whole number from 0 to 255");
    refused("set not a pair", "set range=5", "invalid value '5' for range: expected LOWER,UPPER, each 0 to 6553.5");
    refused("set name twice", "set mode=receiver mode=repeater", "mode is given twice");
    refused("set no value", "set frequency", "expected NAME=VALUE, got 'frequency'");
    refused("set nothing", "set", "set needs at least one NAME=VALUE");
    refused("set address", "set address=5", "'address' is not a setting here; the gateway is chosen with --address");
    refused("get name twice", "get mode parity mode", "mode is named twice");
    refused("unknown setting", "get colour", "unknown setting 'colour' (see --help)");
    refused("from above to", "scan --from 5 --to 4", "--from 5 is above --to 4");
    refused("no meters", "poll", "poll needs --meters N, 1 to 21");
    refused("nothing for cloud", "cloud", "cloud needs at least one of --region, --property, --secret-file, --name, --publish, --subscribe or --connect");
    refused("unknown option", "get --frobnicate=1", "unknown option '--frobnicate'");
    refused("missing value", "get --address", "missing value after '--address'");
    refused("option twice", "get --address 1 --address=2", "--address is given twice");
    refused("option of another command", "set mode=receiver --json", "--json applies to get only");
    refused("no command", "", "no command given (expected detect, scan, get, set, poll, cloud, apply or commission)");
    refused("unknown command", "reboot", "unknown command 'reboot' (expected detect, scan, get, set, poll, cloud, apply or commission)");
    refused("argument too many", "scan 7", "unexpected argument '7' after scan");
    QTest::newRow("empty port") << "--port= get" << 0 << 2 << "" << "invalid value '' for --port: expected a device path" << "0" << "";
    QTest::newRow("no port") << "get" << 0 << 2 << "" << "--port PATH is required" << "0" << "";
    for (const char *command : {"get", "detect"}) // the port named by its path
        QTest::addRow("no such port, %s", command) << QString("--port nvb-none ") + command << 0 << 1 << "" << "cannot open /dev/nvb-none at baud=9600 parity=none: No such file or directory" << "0" << "";
    refused("region not UTF-8", "cloud --region cn\\0377", "invalid value 'cn\uFFFD' for --region: expected valid UTF-8 text");
    refused("secret not UTF-8", "cloud --secret-file - < k\\0351y", "invalid value '-' for --secret-file: expected a secret in valid UTF-8");
    refused("secret file empty", "cloud --secret-file=", "invalid value '' for --secret-file: expected a readable file or '-' for standard input");
    refused("timeout without a value", "--timeout get", "invalid value 'get' for --timeout: expected a whole number from 10 to 60000");
    // Only a secret's length and a line end are read, however much more would come.
    QTest::newRow("secret longer, input left open") << "--port PTY cloud --secret-file - < " + QString(200, 's') << int(InputLeftOpen) << 2 << ""
                                                    << "invalid value '-' for --secret-file: expected a secret of 1 to 67 bytes, found more" << "0" << "";
    QTest::newRow("secret from /dev/zero") << "--port PTY cloud --secret-file /dev/zero" << 0 << 2 << ""
                                           << "invalid value '/dev/zero' for --secret-file: expected a secret of 1 to 67 bytes, found more" << "0" << "";
    // Output a script cannot read is a failure, and nothing more is asked of the gateway.
    QTest::newRow("get, output lost") << kLine + "get" << int(OutputFull) << 1 << "" << "cannot write output" << "1" << "";
    QTest::newRow("poll, output lost") << kLine + "poll --meters 4 --count 2" << int(OutputFull) << 1 << "" << "cannot write output" << "0" << "";
    QTest::newRow("version, output lost") << "--version" << int(OutputFull) << 1 << "" << "cannot write output" << "0" << "";
}

void CtlTest::commands()
{
    QFETCH(QString, arguments);
    QFETCH(int, setup);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, heard);
    QFETCH(QString, held);
    const Run run = ctl(arguments, Setup(setup));
    QStringList lines = run.out.split('\n');
    QDateTime previous;
    for (QString &line : lines) {
        const QDateTime stamp = QDateTime::fromString(line.section(',', 0, 0), Qt::ISODateWithMs);
        if (stamp.isValid())
            line = QStringLiteral("T+%1,").arg(previous.isValid() ? qRound(previous.msecsTo(stamp) / 500.0) / 2.0 : 0.0) + line.section(',', 1);
        previous = stamp;
    }
    QCOMPARE(lines.join('\n'), out);
    QCOMPARE(run.err, err.isEmpty() ? QString() : "nvb8140t-ctl: " + err + '\n');
    QCOMPARE(run.status, status);
    QCOMPARE(heard.contains(' ') ? run.heard.join(", ") : QString::number(run.heard.size()), heard);
    for (const QString &word : held.split(' ', Qt::SkipEmptyParts))
        QVERIFY2(run.held.contains(word), qPrintable(run.held.join(' ')));
}

void CtlTest::everyOption_data()
{
    // "--name=value" or a flag, then the command it goes with; each must be listed in --help too.
    QTest::addColumn<QString>("option");
    for (const QString &row : QStringList{"--port=PTY get frequency", "--baud=9600 get frequency", "--parity=O get frequency", // a pseudo-terminal refuses even parity
                            "--address=1 get frequency", "--timeout=150 get frequency", "--retries=10 get frequency", "--json get frequency",
                            "--from=1 scan --to 1", "--to=1 scan", "--meters=1 poll --count 1", "--count=1 poll --meters 1",
                            "--region=a/b cloud", "--property=a/b cloud", "--name=a/b cloud", "--publish=a/b cloud", "--subscribe=a/b cloud",
                            "--connect cloud", "--secret-file=SECRET cloud", "--verbose cloud --secret-file - < " + QString(kSecret), "-v cloud --secret-file SECRET"})
        QTest::newRow(qPrintable(row)) << row;
}

void CtlTest::everyOption()
{
    QFETCH(QString, option);
    QVERIFY(ctl("--help").out.contains(QRegularExpression("\\s" + option.section(QRegularExpression("[= ]"), 0, 0) + "[ ,]")));
    // The option under test takes the place of the line's own; a value is given both ways.
    const QString line = QString(kLine).remove(QRegularExpression(option.section('=', 0, 0) + " \\S+ "));
    for (const QString &form : QSet<QString>{option, QString(option).replace('=', ' ')}) {
        const Run run = ctl(line + form);
        QVERIFY2(run.status == 0 && !run.heard.isEmpty(), qPrintable(run.err));
        // Only a trace goes to stderr; it shows the secret's frame and the answer to it, but neither the secret nor its bytes.
        const bool traced = form.startsWith("-v ") || form.startsWith("--verbose ");
        QVERIFY2((traced ? run.err.contains(QRegularExpression("-> 64 64 04 <secret>  .*\\n.* <- <secret>  cloud: \"OK\"")) : run.err.isEmpty()) && !run.err.contains(kSecret)
                     && !run.err.contains(kSecret.toHex(' ').toUpper().mid(3)), qPrintable(run.err));
    }
}

void CtlTest::help()
{
    const Run run = ctl("--help");
    QVERIFY2(run.status == 0 && run.err.isEmpty() && run.heard.isEmpty(), qPrintable(run.err));
    QStringList shown{"scan [--from A] [--to A]", "get [NAME...] [--json]", "set NAME=VALUE...", "poll --meters N [--count K]",
                      "cloud [--region R]", "  detect\n", "  -v, --verbose ", "  --version ", "--help ",
                      "frequency           420 to 675 MHz", "range               LOWER,UPPER, each 0 to 6553.5"};
    // Every setting with its choices, but the address, which is an option here.
    for (const Setting &s : gatewaySettings())
        shown << QStringLiteral("\n  %1 ").arg(s.name, -19) + (s.encoding == Encoding::Choice ? s.choices.join(", ") : QString());
    for (const QString &text : shown)
        QVERIFY2(run.out.contains(text) != text.startsWith("\n  address "), qPrintable(text + "\n---\n" + run.out));
}

QTEST_GUILESS_MAIN(CtlTest)
#include "tst_ctl.moc"
