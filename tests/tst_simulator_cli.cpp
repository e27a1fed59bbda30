// The nvb8140t-sim program as a script or a person starts it.
#include <QtTest>

#include "ptyline.h"

#include <QFileInfo>
#include <QProcess>

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

QString program()
{
    return QStringLiteral(NVB_PROGRAM_DIR "/nvb8140t-sim");
}

// Writes the request on an open line and collects up to n reply bytes.
QByteArray askOn(int fd, const QByteArray &request, int n, int timeoutMs = 1000)
{
    if (::write(fd, request.constData(), size_t(request.size())) != request.size())
        return QByteArray();
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < n && clock.elapsed() < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
            char buffer[64];
            const ssize_t r = ::read(fd, buffer, sizeof buffer);
            if (r > 0)
                got.append(buffer, int(r));
        }
    }
    return got;
}

bool waitForText(QProcess &process, QProcess::ProcessChannel channel, const QString &text, QByteArray *seen,
                 int timeoutMs = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
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

} // namespace

class SimulatorCliTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void usageErrors_data();
    void usageErrors();
    void help();
    void unopenablePort_data();
    void unopenablePort();
    void pseudoTerminal_data();
    void pseudoTerminal();
    void verboseLog();
    void servesASerialPort();
};

void SimulatorCliTest::initTestCase()
{
    QVERIFY2(QFileInfo(program()).isExecutable(), qPrintable(program()));
}

void SimulatorCliTest::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "unknown option '--frobnicate'";
    QTest::newRow("missing value") << QStringList{"--meters"} << "'--meters' needs a value";
    QTest::newRow("meters not a number") << QStringList{"--meters", "five"} << "invalid value 'five' for --meters";
    QTest::newRow("address 0") << QStringList{"--address", "0"} << "invalid value '0' for --address";
    QTest::newRow("address 248, given with =") << QStringList{"--address=3,248"}
                                               << "invalid value '3,248' for --address";
    QTest::newRow("address twice") << QStringList{"--address", "3,3"} << "given twice";
    QTest::newRow("silent meter beyond the count") << QStringList{"--meters", "5", "--silent-meters", "2,7"}
                                                   << "meter 7, but there are only 5";
    QTest::newRow("rate above 1") << QStringList{"--drop", "1.5"} << "invalid value '1.5' for --drop";
    QTest::newRow("exception rate text") << QStringList{"--exception-rate", "often"} << "for --exception-rate";
    QTest::newRow("jitter not a number") << QStringList{"--jitter", "x"} << "for --jitter";
    QTest::newRow("odd baud") << QStringList{"--port", "/dev/ttyUSB0", "--baud", "1234"} << "for --baud";
    QTest::newRow("parity X") << QStringList{"--port", "/dev/ttyUSB0", "--parity", "X"} << "expected N, O or E";
    QTest::newRow("baud without a port") << QStringList{"--baud", "19200"} << "--baud only applies to a serial port";
}

void SimulatorCliTest::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QProcess process;
    process.start(program(), arguments);
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 2);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("--help")));
    // Nothing a script could take for a port path.
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void SimulatorCliTest::help()
{
    QProcess process;
    process.start(program(), {QStringLiteral("--help")});
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY(text.startsWith(QStringLiteral("Usage: nvb8140t-sim")));
    const QStringList options = {"--port", "--baud", "--parity", "--data", "--stop", "--address", "--meters",
                                 "--silent-meters", "--delay", "--jitter", "--drop", "--corrupt", "--split",
                                 "--exception-rate", "--seed", "-v", "--help"};
    for (const QString &option : options)
        QVERIFY2(text.contains(option + QLatin1Char(' ')) || text.contains(option + QLatin1Char(',')),
                 qPrintable(option));
}

void SimulatorCliTest::unopenablePort_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such device") << "/nonexistent/ttyNVB" << "cannot open /nonexistent/ttyNVB";
    QTest::newRow("not a terminal") << "/dev/null" << "/dev/null is not a serial port";
}

void SimulatorCliTest::unopenablePort()
{
    QFETCH(QString, port);
    QFETCH(QString, message);
    QProcess process;
    process.start(program(), {QStringLiteral("--port"), port, QStringLiteral("--baud"), QStringLiteral("4800")});
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(error.contains(message), qPrintable(error));
}

void SimulatorCliTest::pseudoTerminal_data()
{
    QTest::addColumn<int>("stopSignal");
    QTest::newRow("stopped with Ctrl-C") << int(SIGINT);
    QTest::newRow("stopped with SIGTERM") << int(SIGTERM);
}

void SimulatorCliTest::pseudoTerminal()
{
    QFETCH(int, stopSignal);
    QProcess process;
    process.start(program(), {QStringLiteral("--seed"), QStringLiteral("5")});
    QVERIFY(process.waitForStarted(3000));
    QByteArray out;
    QVERIFY2(waitForText(process, QProcess::StandardOutput, QStringLiteral("NVB_EXTRA_PORTS="), &out), out);
    QVERIFY(waitForText(process, QProcess::StandardOutput, QStringLiteral("\n"), &out));
    const QStringList lines = QString::fromLocal8Bit(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 2, out);
    const QString path = lines.at(0);
    QVERIFY(path.startsWith(QStringLiteral("/dev/")));
    QCOMPARE(lines.at(1), QStringLiteral("NVB_EXTRA_PORTS=") + path);

    // The tool opens the port, asks, closes it; later it opens it again.
    for (int round = 0; round < 2; ++round) {
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY2(fd >= 0, qPrintable(path));
        const QByteArray reply = askOn(fd, bytes("01 03 00 01 00 01 D5 CA"), 7);
        ::close(fd);
        QCOMPARE(reply, withCrc(bytes("01 03 02 00 01")));
    }

    ::kill(pid_t(process.processId()), stopSignal);
    QVERIFY(process.waitForFinished(2000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void SimulatorCliTest::verboseLog()
{
    QProcess process;
    process.start(program(), {QStringLiteral("-v"), QStringLiteral("--silent-meters"), QStringLiteral("2")});
    QByteArray out;
    QVERIFY(waitForText(process, QProcess::StandardOutput, QStringLiteral("NVB_EXTRA_PORTS="), &out));
    const QString path = QString::fromLocal8Bit(out).section(QLatin1Char('\n'), 0, 0);
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    QCOMPARE(askOn(fd, withCrc(bytes("01 03 00 02 00 01")), 7).size(), 7);
    QCOMPARE(askOn(fd, bytes("01 03 00 04 00 04 05 C8"), 13).size(), 13);
    ::close(fd);

    QByteArray log;
    QVERIFY2(waitForText(process, QProcess::StandardError, QStringLiteral("silent"), &log), log);
    process.terminate();
    process.waitForFinished(2000);
    const QString text = QString::fromLocal8Bit(log + process.readAllStandardError());
    // Time, direction, hex and meaning on one line.
    QVERIFY2(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} rx 01 03 00 02 00 01 25 CA  "
                                               "read 0x0002 \\(baud\\) -> 2"))
                 .match(text).hasMatch(),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("tx 01 03 02 00 02")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("read meters 1..2 -> ")), qPrintable(text));
}

void SimulatorCliTest::servesASerialPort()
{
    // A pseudo-terminal's slave is a terminal like any serial port; we keep the master.
    PtyLine line;
    QVERIFY(line.isValid());
    QProcess process;
    process.start(program(), {QStringLiteral("--port"), line.path(), QStringLiteral("--baud"),
                              QStringLiteral("19200"), QStringLiteral("--parity"), QStringLiteral("E"),
                              QStringLiteral("--address"), QStringLiteral("3,200")});
    QByteArray err;
    QVERIFY2(waitForText(process, QProcess::StandardError, QStringLiteral("Ctrl-C stops"), &err), err);
    QVERIFY2(QString::fromLocal8Bit(err).contains(QStringLiteral("19200 8E1")), err);

    line.write(withCrc(bytes("C8 03 00 01 00 01")));
    QCOMPARE(line.read(7), withCrc(bytes("C8 03 02 00 C8")));
    line.write(bytes("00 03 00 01 00 01 D4 1B"));
    QCOMPARE(line.read(7), withCrc(bytes("03 03 02 00 03")));
    line.write(withCrc(bytes("07 03 00 01 00 01")));
    QVERIFY(line.expectSilence(200));

    process.terminate();
    QVERIFY(process.waitForFinished(2000));
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(SimulatorCliTest)
#include "tst_simulator_cli.moc"
