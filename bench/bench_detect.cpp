// Times nvb8140t-ctl's detect and scan with their defaults against the simulator
// on a pseudo-terminal, each beside its physical floor: the wire time of every
// frame on the line at 11 bits a character, as if the gateway answered at once.
//
//   bench_detect [runs]     each figure the median of this many runs (default 3)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include <pty.h>
#include <unistd.h>

#include "detector.h"
#include "gatewaysimulator.h"
#include "lineserver.h"

namespace {

constexpr int kRequestBytes = 8; // a broadcast read or a scan's poll
constexpr int kReplyBytes = 7;

double wireMs(int bytes, int baud)
{
    return bytes * 11 * 1000.0 / baud;
}

struct Case {
    const char *name;
    int gatewayBaud; // 0: nobody on the line
    QStringList arguments;
    QString expected; // the first line printed
    double floorMs;
    double goalMs;
};

// The floor of a detection: one request at each setting up to the gateway's, and its reply.
double detectionFloor(int gatewayBaud)
{
    double ms = 0;
    for (const LineSetting &setting : detectionOrder()) {
        ms += wireMs(kRequestBytes, setting.baud);
        if (setting.baud == gatewayBaud)
            return ms + wireMs(kReplyBytes, gatewayBaud);
    }
    return ms;
}

// One run of the program against a fresh line: its wall time, or -1 when it printed something else.
double run(const Case &c)
{
    SimulatorSettings settings;
    settings.baud = c.gatewayBaud ? c.gatewayBaud : 9600;
    GatewaySimulator simulator(settings);
    LineServer server(simulator);
    QString error;
    int master = -1, slave = -1;
    char name[256] = {};
    QString path;
    std::atomic<bool> stop{false};
    std::thread serving;
    if (c.gatewayBaud) {
        server.openPseudoTerminal(&error);
        path = server.path();
        serving = std::thread([&] { server.serve(stop); });
    } else {
        ::openpty(&master, &slave, name, nullptr, nullptr);
        path = QString::fromLocal8Bit(name);
    }
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../nvb8140t-ctl"),
                  QStringList{QStringLiteral("--port"), path} + c.arguments);
    process.waitForFinished(120000);
    const double took = clock.nsecsElapsed() / 1e6;
    stop = true;
    if (serving.joinable())
        serving.join();
    if (master >= 0) {
        ::close(master);
        ::close(slave);
    }
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    if (out != c.expected) {
        std::fprintf(stderr, "%s: printed '%s', expected '%s'\n", c.name, qPrintable(out), qPrintable(c.expected));
        return -1;
    }
    return took;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const double scanFloor = 247 * wireMs(kRequestBytes, 9600) + wireMs(kReplyBytes, 9600);
    const std::vector<Case> cases = {
        {"detect, gateway at 9600 none", 9600, {"detect"}, "baud=9600 parity=none address=1", detectionFloor(9600), 200},
        {"detect, gateway at 2400 (tried last)", 2400, {"detect"}, "baud=2400 parity=none address=1",
         detectionFloor(2400), 2500},
        {"detect, nobody", 0, {"detect"}, "", detectionFloor(0), 2500},
        {"scan 1-247 at 9600, defaults", 9600, {"scan"}, "1", scanFloor, 30000},
    };
    std::printf("%-40s %10s %10s %8s %10s\n", "", "median ms", "floor ms", "ratio", "goal ms");
    bool met = true;
    for (const Case &c : cases) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(run(c));
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        const bool ok = times.front() >= 0 && median <= c.goalMs;
        met &= ok;
        std::printf("%-40s %10.0f %10.1f %8.1f %10.0f%s\n", c.name, median, c.floorMs, median / c.floorMs, c.goalMs,
                    ok ? "" : "  NOT MET");
        std::fflush(stdout);
    }
    return met ? 0 : 1;
}
