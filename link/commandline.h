#pragma once
// What the command-line programs (the simulator, nvb8140t-ctl) share in reading
// their arguments.
#include <QString>
#include <QStringList>

class QCommandLineParser;

enum class ParseOutcome { Run, Help, Version, UsageError };

// -v is each program's --verbose, so these are added by hand.
void addHelpAndVersion(QCommandLineParser *parser);

// Parses with the options already added. Run means the caller goes on to read
// the values; on UsageError, error is one line in the style of our other messages.
ParseOutcome parseHelpOrVersion(QCommandLineParser *parser, const QStringList &arguments, QString *error);
