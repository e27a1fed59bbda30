// The simulator on a real line, checked by an independent Modbus master
// (libmodbus in RTU mode) on the pseudo-terminal it serves.
#include <QtTest>

#include "gatewaysimulator.h"
#include "lineserver.h"

#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <memory>
#include <thread>

#include <pthread.h>

namespace {

using Values = QVector<int>;

// A simulator served on its own pseudo-terminal by a thread of its own.
struct ServedLine
{
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

struct Master
{
    Master(const QString &path, int slave, int timeoutMs = 300)
        : context(modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1))
    {
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
    // The registers read, or nothing with errno set.
    Values read(int first, int count)
    {
        uint16_t words[64] = {};
        const int result = modbus_read_registers(context, first, count, words);
        return result < 0 ? Values() : Values(words, words + result);
    }
    modbus_t *context;
    bool connected = false;
};

SimulatorSettings quietSettings()
{
    SimulatorSettings settings;
    settings.drift = 0.0f;
    return settings;
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
    void splitAndDelayedReplyArrives();
    void clientReopensAndServerIdles();
    void cleanup() { line.reset(); }

private:
    // Serves a fresh simulator from a thread of its own.
    bool serve(const SimulatorSettings &settings = quietSettings())
    {
        line = std::make_unique<ServedLine>(settings);
        if (line->opened)
            line->thread = std::thread([this] { line->server.serve(line->stop); });
        return line->opened;
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
    QTest::newRow("range") << 0x03E9 << Values{0, 1000} << Values{125, 6553};
    QTest::newRow("gateway ID") << 0x03EB << Values{0x00A5} << Values{0xBEEF};
    QTest::newRow("spreading factor") << 0x03EC << Values{7} << Values{10};
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
    QCOMPARE(master.read(first, defaults.size()), defaults);
    if (written.isEmpty())
        return;
    const QVector<uint16_t> words(written.begin(), written.end());
    QVERIFY2(modbus_write_registers(master.context, first, words.size(), words.data()) == words.size(),
             modbus_strerror(errno));
    QCOMPARE(master.read(first, written.size()), written);
}

void SimulatorLineTest::refusals_data()
{
    QTest::addColumn<int>("slave");
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("value"); // registers to read, or the value to write
    QTest::addColumn<int>("error");
    QTest::newRow("read of a register it lacks") << 1 << 3 << 0x0005 << 1 << int(EMBXILADD);
    QTest::newRow("parity out of range") << 1 << 16 << 0x0000 << 7 << int(EMBXILVAL);
    QTest::newRow("function 06 is not served") << 1 << 6 << 0x0002 << 1 << int(EMBXILFUN);
    QTest::newRow("another address: silence") << 7 << 3 << 0x0001 << 1 << int(ETIMEDOUT);
}

void SimulatorLineTest::refusals()
{
    QFETCH(int, slave);
    QFETCH(int, function);
    QFETCH(int, first);
    QFETCH(int, value);
    QFETCH(int, error);
    QVERIFY(serve());
    Master master(path(), slave, 200);
    QVERIFY(master.connected);

    uint16_t word = static_cast<uint16_t>(value), words[64];
    const int result = function == 3    ? modbus_read_registers(master.context, first, value, words)
                       : function == 16 ? modbus_write_registers(master.context, first, 1, &word)
                                        : modbus_write_register(master.context, first, word);
    const int got = errno;
    QCOMPARE(result, -1);
    QVERIFY2(got == error, modbus_strerror(got));
    // Nothing was changed by a refused write.
    modbus_set_slave(master.context, 1);
    QCOMPARE(master.read(0x0000, 4), (Values{0, 1, 2, 0x000D}));
}

// Drops, corruption and exceptions are the model's; the line keeps their timing.
void SimulatorLineTest::splitAndDelayedReplyArrives()
{
    SimulatorSettings settings = quietSettings();
    settings.delayMs = 120;
    settings.split = true;
    settings.splitGapMs = 40;
    QVERIFY(serve(settings));
    Master master(path(), 1, 400);
    QVERIFY(master.connected);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(master.read(0x03E9, 2), (Values{0, 1000}));
    QVERIFY2(clock.elapsed() >= 155, qPrintable(QString::number(clock.elapsed())));
}

void SimulatorLineTest::clientReopensAndServerIdles()
{
    QVERIFY(serve());
    for (int round = 0; round < 3; ++round) {
        Master master(path(), 1);
        QVERIFY(master.connected);
        QCOMPARE(master.read(0x03EC, 1), Values{7});
    }
    // Nobody has the line open now: the server must wait, not spin.
    const double before = line->serverCpuSeconds();
    QTest::qWait(300);
    const double used = line->serverCpuSeconds() - before;
    QVERIFY(before >= 0.0);
    QVERIFY2(used < 0.05, qPrintable(QString::number(used)));
    Master again(path(), 1);
    QVERIFY(again.connected);
    QCOMPARE(again.read(0x03EC, 1), Values{7});
}

QTEST_GUILESS_MAIN(SimulatorLineTest)
#include "tst_simulator_modbus.moc"
