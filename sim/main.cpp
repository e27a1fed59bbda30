#include "gatewaysimulator.h"
#include "lineserver.h"
#include "options.h"

#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <random>

namespace {

std::atomic<bool> g_stop{false};

// Each wait of the serve loop is at most 100 ms, so the stop flag is seen in time.
void installSignals()
{
    stopOnSignals(&g_stop);
#ifdef SIGPIPE
    // A reader of stdout or stderr that goes away must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

// Errors and status go to stderr; stdout is kept for what scripts read.
void report(const QString &text)
{
    std::fprintf(stderr, "nvb8140t-sim: %s\n", text.toLocal8Bit().constData());
}

QString addressList(const SimulatorSettings &settings)
{
    QStringList parts;
    for (std::uint8_t a : settings.addresses)
        parts << QString::number(a);
    return parts.join(QLatin1Char(','));
}

} // namespace

int main(int argc, char *argv[])
{
    // For the arguments and the help text; the simulator itself runs no event loop.
    QCoreApplication application(argc, argv);

    SimOptions options;
    QString error;
    const ParseOutcome parsed = parseCommandLine(application.arguments(), &options, &error);
    if (printHelpOrVersion(parsed, helpText(), versionText()))
        return 0;
    if (parsed == ParseOutcome::UsageError) {
        report(error);
        std::fputs("Try 'nvb8140t-sim --help'.\n", stderr);
        return 2;
    }
    if (!options.seedGiven)
        options.simulator.seed = std::random_device{}();

    installSignals();
    GatewaySimulator simulator(options.simulator);
    LineServer server(simulator);
    if (options.verbose) {
        server.setTrafficLog([](const QString &line) {
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        });
    }

    const QString gateways = QStringLiteral("gateway %1, %2 meter(s)")
                                 .arg(addressList(options.simulator)).arg(options.simulator.meters);
    if (options.port.isEmpty()) {
        if (!server.openPseudoTerminal(&error)) {
            report(error);
            return 1;
        }
        // stdout carries only what scripts need: the path, then the line for the tool.
        std::printf("%s\nNVB_EXTRA_PORTS=%s\n", server.path().toLocal8Bit().constData(),
                    server.path().toLocal8Bit().constData());
        std::fflush(stdout);
        report(QStringLiteral("%1 on %2 at %3 baud; Ctrl-C stops").arg(gateways, server.path()).arg(options.simulator.baud));
    } else {
        if (!server.openSerialPort(options.port, options.serial, &error)) {
            report(error);
            return 1;
        }
        report(QStringLiteral("%1 on %2 at %3 %4%5%6; Ctrl-C stops")
                       .arg(gateways, options.port)
                       .arg(options.serial.baud)
                       .arg(options.serial.dataBits)
                       .arg(QLatin1Char(options.serial.parity))
                       .arg(options.serial.stopBits));
    }
    if (options.verbose)
        report(QStringLiteral("seed %1").arg(options.simulator.seed));

    server.serve(g_stop);
    report(QStringLiteral("stopped"));
    return 0;
}
