#pragma once
// What the command-line programs (the simulator, nvb8140t-ctl) share in reading
// their arguments.
#include <QString>
#include <QStringList>

#include <atomic>

class QCommandLineParser;

enum class ParseOutcome { Run, Help, Version, UsageError };

// -v is each program's --verbose, so these are added by hand.
void addHelpAndVersion(QCommandLineParser *parser);

// For Help and Version: prints that text on stdout and returns true; false for the others.
bool printHelpOrVersion(ParseOutcome outcome, const QString &help, const QString &version);

// SIGINT and SIGTERM set the flag. Through std::signal, not sigaction, so the
// programs build wherever Qt does: their waits look at the flag in short slices.
void stopOnSignals(std::atomic<bool> *flag);

// A whole number in decimal from low to high, surrounding spaces allowed.
bool parseInt(const QString &text, int low, int high, int *value);

// Adds the program's options, then parses. Run means the caller goes on to read
// the values; on UsageError, error is one line in the style of our other messages.
ParseOutcome parseHelpOrVersion(QCommandLineParser *parser, void (*addOptions)(QCommandLineParser *),
                                const QStringList &arguments, QString *error);
