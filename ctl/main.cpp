// nvb8140t-ctl: the gateway's settings from a shell, for scripts and commissioning.
#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

#include <cstdio>

#include "commands.h"
#include "options.h"

int main(int argc, char *argv[])
{
    // For the arguments, the help text and the serial port. A PDF needs Qt GUI,
    // which runs here on the offscreen platform, so no display is needed.
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLocal8Bit(argv[i]);
    // Errors are ctl's own lines; Qt's notes (a missing runtime folder for the
    // offscreen platform) would only clutter what scripts read.
    if (!raw.contains(QStringLiteral("-v")) && !raw.contains(QStringLiteral("--verbose")))
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
            if (type == QtFatalMsg)
                std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        });
    if (wantsPdf(raw))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> made(wantsPdf(raw) ? new QGuiApplication(argc, argv)
                                                                : new QCoreApplication(argc, argv));
    QCoreApplication &application = *made;

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
