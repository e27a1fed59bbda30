// nvb8140t-ctl: the gateway's settings from a shell, for scripts and commissioning.
#include <QCoreApplication>

#include <cstdio>

#include "commands.h"
#include "options.h"

int main(int argc, char *argv[])
{
    // For the arguments, the help text and the serial port; no event loop runs.
    QCoreApplication application(argc, argv);

    CtlOptions options;
    QString error;
    switch (parseCommandLine(application.arguments(), &options, &error)) {
    case ParseOutcome::Help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return outputWritten() ? Exit::Ok : outputLost();
    case ParseOutcome::Version:
        std::printf("%s\n", versionText().toLocal8Bit().constData());
        return outputWritten() ? Exit::Ok : outputLost();
    case ParseOutcome::UsageError:
        std::fprintf(stderr, "nvb8140t-ctl: %s\n", error.toLocal8Bit().constData());
        return Exit::Usage;
    case ParseOutcome::Run:
        break;
    }
    // Every line is flushed as it is printed; this catches what a command left unchecked.
    const int status = runCommand(options);
    return status == Exit::Ok && !outputWritten() ? outputLost() : status;
}
