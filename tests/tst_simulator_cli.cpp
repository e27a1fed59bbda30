// The nvb8140t-sim program as a script or a person starts it.
#include <QtTest>

#include "ptyline.h"

#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(NVB_PROGRAM_DIR "/nvb8140t-sim");

// Writes the request on an open line and collects up to n reply bytes.
QByteArray askOn(int fd, const QByteArray &request, int n)
{
    if (::write(fd, request.constData(), size_t(request.size())) != request.size())
        return QByteArray();
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    for (pollfd p{fd, POLLIN, 0}; got.size() < n && clock.elapsed() < 1000;) {
        char buffer[64];
        if (::poll(&p, 1, 20) > 0)
            got.append(buffer, int(qMax<ssize_t>(0, ::read(fd, buffer, sizeof buffer))));
    }
    return got;
}

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

} // namespace

class SimulatorCliTest : public QObject
{
    Q_OBJECT
private slots:
    void exitsAtOnce_data();
    void exitsAtOnce();
    void pseudoTerminal_data();
    void pseudoTerminal();
    void verboseLog();
    void servesASerialPort();
};

void SimulatorCliTest::exitsAtOnce_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message"); // on stdout for status 0, else on stderr

    QTest::newRow("help") << QStringList{"--help"} << 0 << "nvb8140t-sim [options]";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "unknown option '--frobnicate'";
    QTest::newRow("missing value") << QStringList{"--meters"} << 2 << "missing value after '--meters'";
    QTest::newRow("address 248, given with =") << QStringList{"--address=3,248"} << 2
                                               << "invalid value '3,248' for --address";
    QTest::newRow("address twice") << QStringList{"--address", "3,3"} << 2 << "given twice";
    QTest::newRow("silent meter beyond the count") << QStringList{"--meters", "5", "--silent-meters", "2,7"} << 2
                                                   << "meter 7, but there are only 5";
    QTest::newRow("rate above 1") << QStringList{"--drop", "1.5"} << 2 << "invalid value '1.5' for --drop";
    QTest::newRow("parity X") << QStringList{"--port", "/dev/ttyUSB0", "--parity", "X"} << 2 << "expected N, O or E";
    QTest::newRow("baud without a port") << QStringList{"--baud", "19200"} << 2
                                         << "--baud only applies to a serial port";
    QTest::newRow("no such device") << QStringList{"--port", "/nonexistent/ttyNVB"} << 1
                                    << "cannot open /nonexistent/ttyNVB";
    QTest::newRow("not a terminal") << QStringList{"--port", "/dev/null", "--baud", "4800"} << 1
                                    << "/dev/null is not a serial port";
}

void SimulatorCliTest::exitsAtOnce()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    QProcess process;
    process.start(kProgram, arguments);
    QVERIFY(process.waitForFinished(3000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    const QString error = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2((status == 0 ? out : error).contains(message), qPrintable(out + error));
    // A usage error points to --help and prints nothing a script could take for a port path.
    if (status == 2)
        QVERIFY2(error.contains(QStringLiteral("--help")) && out.isEmpty(), qPrintable(out + error));
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
    process.start(kProgram, {QStringLiteral("--seed"), QStringLiteral("5")});
    const QString path = announcedPath(process);
    QVERIFY2(path.startsWith(QStringLiteral("/dev/")), qPrintable(path));

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
    process.start(kProgram, {QStringLiteral("-v")});
    const QString path = announcedPath(process);
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY2(fd >= 0, qPrintable(path));
    QCOMPARE(askOn(fd, withCrc(bytes("01 03 00 02 00 01")), 7).size(), 7);
    ::close(fd);

    QByteArray log;
    QVERIFY2(waitForText(process, QProcess::StandardError, QStringLiteral("tx 01 03 02 00 02"), &log), log);
    process.terminate();
    process.waitForFinished(2000);
    // Time, direction, hex and meaning on one line.
    QVERIFY2(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} rx 01 03 00 02 00 01 25 CA  "
                                               "read 0x0002 \\(baud\\) -> 2"))
                 .match(QString::fromLocal8Bit(log)).hasMatch(),
             log);
}

void SimulatorCliTest::servesASerialPort()
{
    // A pseudo-terminal's slave is a terminal like any serial port; we keep the master.
    PtyLine line;
    QVERIFY(line.isValid());
    QProcess process;
    process.start(kProgram, {QStringLiteral("--port"), line.path(), QStringLiteral("--baud"), QStringLiteral("19200"),
                             QStringLiteral("--parity"), QStringLiteral("E"), QStringLiteral("--address"),
                             QStringLiteral("3,200")});
    QByteArray err;
    QVERIFY2(waitForText(process, QProcess::StandardError, QStringLiteral("Ctrl-C stops"), &err), err);
    QVERIFY2(QString::fromLocal8Bit(err).contains(QStringLiteral("19200 8E1")), err);

    line.write(withCrc(bytes("C8 03 00 01 00 01")));
    QCOMPARE(line.read(7), withCrc(bytes("C8 03 02 00 C8")));
    line.write(withCrc(bytes("07 03 00 01 00 01")));
    QVERIFY(line.expectSilence(200));

    process.terminate();
    QVERIFY(process.waitForFinished(2000));
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(SimulatorCliTest)
#include "tst_simulator_cli.moc"
