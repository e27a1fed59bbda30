// The nvb8140t-sim program as a script or a person starts it.
#include <QtTest>

#include "ptyline.h"

#include <QSerialPort>

#include <csignal>

namespace {

const QString kProgram = QStringLiteral(NVB_PROGRAM_DIR "/nvb8140t-sim");

// Collects the channel's output into seen until it holds the text; false if it never does.
bool waitForText(QProcess &process, QProcess::ProcessChannel channel, const QString &text, QByteArray *seen)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000) {
        process.setReadChannel(channel);
        seen->append(process.readAll());
        if (QString::fromLocal8Bit(*seen).contains(text))
            return true;
        if (process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(20);
    }
    return false;
}

// The path the program prints on its first line, once it has printed the second.
QString announcedPath(QProcess &process)
{
    QByteArray out;
    if (!waitForText(process, QProcess::StandardOutput, QStringLiteral("NVB_EXTRA_PORTS="), &out)
        || !waitForText(process, QProcess::StandardOutput, QStringLiteral("\n"), &out))
        return QString();
    const QStringList lines = QString::fromLocal8Bit(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    // The second line is ready to paste into the tool's environment.
    return lines.value(1) == QStringLiteral("NVB_EXTRA_PORTS=") + lines.at(0) ? lines.at(0) : QString();
}

// Runs the program to its end: its status, and the message on stdout for status 0, else on stderr.
void expectExit(const QStringList &arguments, int status, const QString &message)
{
    QProcess process;
    process.start(kProgram, arguments);
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2((status == 0 ? out : error).contains(message), qPrintable(out + error));
    // A usage error is one line and a pointer to --help, and nothing a script could take for a port path.
    if (status == 2)
        QVERIFY2(error.count('\n') == 2 && error.contains(QStringLiteral("--help")) && out.isEmpty(),
                 qPrintable(out + error));
}

// What -v logs for the request the tests send: time, direction, hex and meaning on one line.
const QRegularExpression kLogged(QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} rx 01 03 00 01 00 01 D5 CA  "
                                                "read 0x0001 address -> address = 1"));

} // namespace

class SimulatorCliTest : public QObject
{
    Q_OBJECT
private slots:
    void exitsAtOnce_data();
    void exitsAtOnce();
    void everyOption_data();
    void everyOption();
    void pseudoTerminal();
};

void SimulatorCliTest::exitsAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // see expectExit

    QTest::newRow("help") << QStringList{"-h"} << 0 << "\n  -v, --verbose ";
    QTest::newRow("help lists --version") << QStringList{"--help"} << 0 << "\n  --version ";
    QTest::newRow("version") << QStringList{"--version"} << 0 << "nvb8140t-sim " NVB_VERSION "\n";
    QTest::newRow("unknown option") << QStringList{"--frobnicate=1"} << 2 << "unknown option '--frobnicate'";
    QTest::newRow("missing value") << QStringList{"--meters"} << 2 << "missing value after '--meters'";
    QTest::newRow("address twice") << QStringList{"--address", "3,3"} << 2 << "given twice";
    QTest::newRow("silent 7 of 5") << QStringList{"--silent-meters=2,7"} << 2 << "meter 7, but there are only 5";
    QTest::newRow("baud, no port") << QStringList{"--baud", "19200"} << 2 << "--baud only applies to a serial port";
    QTest::newRow("no such device") << QStringList{"--port", "/nonexistent/tty"} << 1 << "cannot open /nonexistent/tty";
    QTest::newRow("not a terminal") << QStringList{"--port", "/dev/null", "--baud", "4800"} << 1 << "not a serial port";
}

void SimulatorCliTest::exitsAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    expectExit(arguments, status, message);
}

void SimulatorCliTest::everyOption_data()
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
    QTest::newRow("delay") << "--delay" << "10" << "" << "60001" << "expected milliseconds 0..60000";
    QTest::newRow("jitter") << "--jitter" << "10" << "" << "-1" << "expected milliseconds 0..60000";
    QTest::newRow("drop") << "--drop" << "0" << "" << "1.5" << "expected a rate from 0 to 1";
    QTest::newRow("corrupt") << "--corrupt" << "0" << "" << "-0.1" << "expected a rate from 0 to 1";
    QTest::newRow("exception rate") << "--exception-rate" << "0" << "" << "x" << "expected a rate from 0 to 1";
    QTest::newRow("seed") << "--seed" << "7" << "seed 7\n" << "-1" << "expected a whole number 0..4294967295";
    QTest::newRow("split") << "--split" << "" << "-> address = 1 [split " << "" << "";
}

void SimulatorCliTest::everyOption()
{
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QFETCH(QString, outOfRange);
    QFETCH(QString, range);
    // --opt value with -v, then --opt=value with --verbose (a flag stands alone); -v logs what the line carries.
    for (int form = 0; form < 2; ++form) {
        // A line of its own each time: a pseudo-terminal set up once refuses parity or 7 data bits again (EINVAL).
        PtyLine line;
        const QString given = QString(value).replace(QStringLiteral("PTY"), line.path());
        QStringList arguments{form == 0 ? QStringLiteral("-v") : QStringLiteral("--verbose")};
        if (given.isEmpty())
            arguments << option;
        else
            arguments << (form == 0 ? QStringList{option, given} : QStringList{option + '=' + given});
        // Each run serves the test's line, so that the serial options apply.
        if (option != QLatin1String("--port"))
            arguments << QStringLiteral("--port") << line.path();
        QProcess process;
        process.start(kProgram, arguments);
        QByteArray err;
        QVERIFY2(waitForText(process, QProcess::StandardError, QStringLiteral("Ctrl-C stops"), &err), err);
        line.write(withCrc(bytes("01 03 00 01 00 01")));
        QCOMPARE(line.read(7), withCrc(bytes("01 03 02 00 01")));
        QVERIFY2(waitForText(process, QProcess::StandardError, QStringLiteral("-> address = 1"), &err), err);
        QVERIFY2(err.contains(shown.toLocal8Bit()) && kLogged.match(QString::fromLocal8Bit(err)).hasMatch(), err);
        process.terminate();
        QVERIFY(process.waitForFinished(2000));
        QCOMPARE(process.exitCode(), 0);
    }

    expectExit({QStringLiteral("--help")}, 0, "\n  " + option + ' ');
    // A value out of range, even when a valid one follows, stops the program before it opens the port.
    const QString valid = QString(value).replace(QStringLiteral("PTY"), QStringLiteral("/dev/null"));
    if (!range.isEmpty())
        expectExit({QStringLiteral("--port"), QStringLiteral("/dev/null"), option, outOfRange, option, valid}, 2,
                   QStringLiteral("invalid value '%1' for %2: %3").arg(outOfRange, option, range));
}

void SimulatorCliTest::pseudoTerminal()
{
    QProcess process;
    process.start(kProgram, {QStringLiteral("--seed"), QStringLiteral("5")});
    const QString path = announcedPath(process);
    QVERIFY2(path.startsWith(QStringLiteral("/dev/")), qPrintable(path));

    // The tool opens the port, asks, closes it; later it opens it again.
    for (int round = 0; round < 2; ++round) {
        QSerialPort port(path);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(path + ": " + port.errorString()));
        port.write(bytes("01 03 00 01 00 01 D5 CA"));
        QByteArray reply;
        while (reply.size() < 7 && port.waitForReadyRead(1000))
            reply += port.readAll();
        QCOMPARE(reply, withCrc(bytes("01 03 02 00 01")));
    }

    // Ctrl-C stops it cleanly; everyOption stops it with SIGTERM.
    ::kill(pid_t(process.processId()), SIGINT);
    QVERIFY(process.waitForFinished(2000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(SimulatorCliTest)
#include "tst_simulator_cli.moc"
