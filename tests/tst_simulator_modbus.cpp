// The simulator on a real line, checked by an independent Modbus master
// (libmodbus in RTU mode) and by raw bytes written to the pseudo-terminal.
#include <QtTest>

#include "gatewaysimulator.h"
#include "lineserver.h"
#include "ptyline.h"

#include <modbus.h>

#include <atomic>
#include <functional>
#include <memory>
#include <cerrno>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace {

using Values = QVector<int>;

// A simulator served on its own pseudo-terminal by a thread of its own.
class ServedLine
{
public:
    explicit ServedLine(const SimulatorSettings &settings)
        : simulator(settings)
        , server(simulator)
    {
        opened = server.openPseudoTerminal(&error);
    }
    ~ServedLine()
    {
        stop.store(true);
        if (thread.joinable())
            thread.join();
    }
    // Separate from construction so that a test can set the gateway up first.
    void start()
    {
        thread = std::thread([this] { server.serve(stop); });
    }
    double serverCpuSeconds()
    {
        clockid_t clock;
        timespec used{};
        if (pthread_getcpuclockid(thread.native_handle(), &clock) != 0 || clock_gettime(clock, &used) != 0)
            return -1.0;
        return used.tv_sec + used.tv_nsec / 1e9;
    }

    GatewaySimulator simulator;
    LineServer server;
    bool opened = false;
    QString error;
    std::atomic<bool> stop{false};
    std::thread thread;
};

class Master
{
public:
    Master(const QString &path, int slave, int timeoutMs = 300)
    {
        context = modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1);
        if (!context)
            return;
        modbus_set_slave(context, slave);
        modbus_set_response_timeout(context, 0, static_cast<uint32_t>(timeoutMs) * 1000);
        connected = modbus_connect(context) == 0;
    }
    ~Master()
    {
        if (context) {
            modbus_close(context);
            modbus_free(context);
        }
    }
    modbus_t *context = nullptr;
    bool connected = false;
};

SimulatorSettings quietSettings()
{
    SimulatorSettings settings;
    settings.drift = 0.0f;
    return settings;
}

Values readBack(modbus_t *context, int first, int count, int *result)
{
    uint16_t words[64] = {};
    *result = modbus_read_registers(context, first, count, words);
    Values values;
    for (int i = 0; i < qMax(0, *result); ++i)
        values << words[i];
    return values;
}

} // namespace

class SimulatorLineTest : public QObject
{
    Q_OBJECT
private slots:
    void everyRegisterRoundTrips_data();
    void everyRegisterRoundTrips();
    void refusals_data();
    void refusals();
    void otherAddressIsSilent();
    void meterBlockAsFloats();
    void addressChange();
    void faultsOnTheWire_data();
    void faultsOnTheWire();
    void delayIsHonoured();
    void cloudFrameEndsWithSilence();
    void clientReopensAndServerIdles();
    void cleanup() { line.reset(); }

private:
    // Serves a fresh simulator; prepare runs before the server thread starts.
    bool serve(const SimulatorSettings &settings = quietSettings(),
               const std::function<void(GatewaySimulator &)> &prepare = nullptr)
    {
        line = std::make_unique<ServedLine>(settings);
        if (!line->opened)
            return false;
        if (prepare)
            prepare(line->simulator);
        line->start();
        return true;
    }
    QString path() const { return line->server.path(); }

    std::unique_ptr<ServedLine> line;
};

void SimulatorLineTest::everyRegisterRoundTrips_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<Values>("defaults");
    QTest::addColumn<Values>("written");
    QTest::newRow("parity") << 0x0000 << Values{0} << Values{1};
    QTest::newRow("address, read only here") << 0x0001 << Values{1} << Values{};
    QTest::newRow("baud") << 0x0002 << Values{2} << Values{3};
    QTest::newRow("frequency") << 0x0003 << Values{0x000D} << Values{0xFF14};
    QTest::newRow("channel") << 0x0006 << Values{0} << Values{5};
    QTest::newRow("transmitters") << 0x03E8 << Values{3} << Values{8};
    QTest::newRow("range") << 0x03E9 << Values{0, 1000} << Values{125, 6553};
    QTest::newRow("gateway ID") << 0x03EB << Values{0x00A5} << Values{0xBEEF};
    QTest::newRow("spreading factor") << 0x03EC << Values{7} << Values{10};
    QTest::newRow("firmware") << 0x03ED << Values{0x0102} << Values{0x0300};
    QTest::newRow("sampling period") << 0x03EE << Values{60} << Values{65535};
    QTest::newRow("analog output") << 0x03EF << Values{0} << Values{1234};
    QTest::newRow("mode") << 0x03F0 << Values{0} << Values{1};
}

void SimulatorLineTest::everyRegisterRoundTrips()
{
    QFETCH(int, first);
    QFETCH(Values, defaults);
    QFETCH(Values, written);
    QVERIFY(serve());
    Master master(path(), 1);
    QVERIFY(master.connected);
    int result = 0;
    QCOMPARE(readBack(master.context, first, defaults.size(), &result), defaults);
    if (written.isEmpty())
        return;

    uint16_t words[8];
    for (int i = 0; i < written.size(); ++i)
        words[i] = static_cast<uint16_t>(written[i]);
    QVERIFY2(modbus_write_registers(master.context, first, written.size(), words) == written.size(),
             modbus_strerror(errno));
    QCOMPARE(readBack(master.context, first, written.size(), &result), written);
}

void SimulatorLineTest::refusals_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("value"); // registers to read, or the value to write
    QTest::addColumn<int>("error");
    QTest::newRow("read of a register it lacks") << "read" << 0x0005 << 1 << int(EMBXILADD);
    QTest::newRow("read past the end") << "read" << 0x03EF << 3 << int(EMBXILADD);
    QTest::newRow("meter block longer than the meters") << "read" << 0x0004 << 12 << int(EMBXILADD);
    QTest::newRow("write to a register it lacks") << "write" << 0x0200 << 1 << int(EMBXILADD);
    QTest::newRow("parity out of range") << "write" << 0x0000 << 7 << int(EMBXILVAL);
    QTest::newRow("address 0") << "write" << 0x0001 << 0 << int(EMBXILVAL);
    QTest::newRow("function 06 is not served") << "write single" << 0x0002 << 1 << int(EMBXILFUN);
}

void SimulatorLineTest::refusals()
{
    QFETCH(QString, operation);
    QFETCH(int, first);
    QFETCH(int, value);
    QFETCH(int, error);
    QVERIFY(serve());
    Master master(path(), 1);
    QVERIFY(master.connected);

    int result = 0;
    if (operation == QLatin1String("read")) {
        readBack(master.context, first, value, &result);
    } else if (operation == QLatin1String("write")) {
        const uint16_t word = static_cast<uint16_t>(value);
        result = modbus_write_registers(master.context, first, 1, &word);
    } else {
        result = modbus_write_register(master.context, first, static_cast<uint16_t>(value));
    }
    const int got = errno;
    QCOMPARE(result, -1);
    QVERIFY2(got == error, modbus_strerror(got));
    // Nothing was changed by a refused write.
    int readResult = 0;
    QCOMPARE(readBack(master.context, 0x0000, 4, &readResult), (Values{0, 1, 2, 0x000D}));
}

void SimulatorLineTest::otherAddressIsSilent()
{
    QVERIFY(serve());
    Master master(path(), 7, 200);
    QVERIFY(master.connected);
    QElapsedTimer clock;
    clock.start();
    int result = 0;
    readBack(master.context, 0x0001, 1, &result);
    const int got = errno;
    QCOMPARE(result, -1);
    QVERIFY2(got == ETIMEDOUT, modbus_strerror(got));
    QVERIFY(clock.elapsed() >= 190);
}

void SimulatorLineTest::meterBlockAsFloats()
{
    SimulatorSettings settings = quietSettings();
    settings.meters = 3;
    settings.silentMeters = {2};
    QVERIFY(serve(settings, [](GatewaySimulator &sim) {
        sim.gateway(0).meters[0].temperature = 23.5f;
        sim.gateway(0).meters[2].temperature = -12.75f;
    }));
    Master master(path(), 1);
    QVERIFY(master.connected);

    uint16_t words[6] = {};
    QCOMPARE(modbus_read_registers(master.context, 0x0004, 6, words), 6);
    // Most significant byte first, in register order: ABCD.
    QCOMPARE(modbus_get_float_abcd(words), 23.5f);
    QCOMPARE(words[2], uint16_t(0xFFFF));
    QCOMPARE(words[3], uint16_t(0xFFFF));
    QCOMPARE(modbus_get_float_abcd(words + 4), -12.75f);
}

void SimulatorLineTest::addressChange()
{
    QVERIFY(serve());
    {
        Master master(path(), 1);
        QVERIFY(master.connected);
        const uint16_t newAddress = 9;
        // libmodbus checks that the acknowledgement comes from the address it asked.
        QVERIFY2(modbus_write_registers(master.context, 0x0001, 1, &newAddress) == 1, modbus_strerror(errno));
        int result = 0;
        readBack(master.context, 0x0001, 1, &result);
        QCOMPARE(result, -1);
    }
    Master renamed(path(), 9);
    QVERIFY(renamed.connected);
    int result = 0;
    QCOMPARE(readBack(renamed.context, 0x0001, 1, &result), Values{9});
}

void SimulatorLineTest::faultsOnTheWire_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("error"); // 0: the read succeeds
    QTest::newRow("corrupt") << "corrupt" << int(EMBBADCRC);
    QTest::newRow("exception") << "exception" << int(EMBXSFAIL);
    QTest::newRow("drop") << "drop" << int(ETIMEDOUT);
    QTest::newRow("split, 40 ms apart") << "split" << 0;
}

void SimulatorLineTest::faultsOnTheWire()
{
    QFETCH(QString, fault);
    QFETCH(int, error);
    SimulatorSettings settings = quietSettings();
    if (fault == QLatin1String("corrupt"))
        settings.corruptRate = 1.0;
    else if (fault == QLatin1String("exception"))
        settings.exceptionRate = 1.0;
    else if (fault == QLatin1String("drop"))
        settings.dropRate = 1.0;
    settings.split = fault == QLatin1String("split");
    settings.splitGapMs = 40;
    QVERIFY(serve(settings));
    Master master(path(), 1, 200);
    QVERIFY(master.connected);

    int result = 0;
    const Values got = readBack(master.context, 0x03E9, 2, &result);
    if (error == 0) {
        QCOMPARE(got, (Values{0, 1000}));
    } else {
        const int seen = errno;
        QCOMPARE(result, -1);
        QVERIFY2(seen == error, modbus_strerror(seen));
    }
}

void SimulatorLineTest::delayIsHonoured()
{
    SimulatorSettings settings = quietSettings();
    settings.delayMs = 120;
    QVERIFY(serve(settings));
    Master master(path(), 1, 400);
    QVERIFY(master.connected);
    QElapsedTimer clock;
    clock.start();
    int result = 0;
    QCOMPARE(readBack(master.context, 0x0002, 1, &result), Values{2});
    QVERIFY2(clock.elapsed() >= 115, qPrintable(QString::number(clock.elapsed())));
}

void SimulatorLineTest::cloudFrameEndsWithSilence()
{
    QVERIFY(serve());
    const int fd = ::open(path().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    const QByteArray frame = bytes("64 64 05 6E 31");
    QCOMPARE(::write(fd, frame.constData(), frame.size()), ssize_t(frame.size()));
    QElapsedTimer clock;
    clock.start();
    QByteArray got;
    while (got.size() < 4 && clock.elapsed() < 1000) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            char buffer[16];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, int(n));
        }
    }
    const qint64 elapsed = clock.elapsed();
    ::close(fd);
    QCOMPARE(got, QByteArray("OK\r\n"));
    // Answered once the line has been quiet for the idle gap, and not long after.
    QVERIFY2(elapsed >= line->server.idleGap() - 5 && elapsed < 300, qPrintable(QString::number(elapsed)));
}

void SimulatorLineTest::clientReopensAndServerIdles()
{
    QVERIFY(serve());
    for (int round = 0; round < 3; ++round) {
        Master master(path(), 1);
        QVERIFY(master.connected);
        int result = 0;
        QCOMPARE(readBack(master.context, 0x03EC, 1, &result), Values{7});
    }
    // Nobody has the line open now: the server must wait, not spin.
    const double before = line->serverCpuSeconds();
    QTest::qWait(300);
    const double used = line->serverCpuSeconds() - before;
    QVERIFY(before >= 0.0);
    QVERIFY2(used < 0.05, qPrintable(QString::number(used)));
    Master again(path(), 1);
    QVERIFY(again.connected);
    int result = 0;
    QCOMPARE(readBack(again.context, 0x03EC, 1, &result), Values{7});
}

QTEST_GUILESS_MAIN(SimulatorLineTest)
#include "tst_simulator_modbus.moc"
