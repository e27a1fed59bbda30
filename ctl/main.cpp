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
    const ParseOutcome parsed = parseCommandLine(application.arguments(), &options, &error);
    if (printHelpOrVersion(parsed, helpText(), versionText()))
        return outputWritten() ? Exit::Ok : outputLost();
    if (parsed == ParseOutcome::UsageError) {
        std::fprintf(stderr, "nvb8140t-ctl: %s\n", error.toLocal8Bit().constData());
        return Exit::Usage;
    }
    // Every line is flushed as it is printed; this catches what a command left unchecked.
    const int status = runCommand(options);
    return status == Exit::Ok && !outputWritten() ? outputLost() : status;
}
