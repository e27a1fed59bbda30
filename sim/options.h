#pragma once

#include "gatewaysimulator.h"
#include "commandline.h"
#include "lineserver.h"

#include <QString>
#include <QStringList>

struct SimOptions
{
    SimulatorSettings simulator;
    QString port; // empty: a pseudo-terminal of our own
    SerialSettings serial;
    bool verbose = false;
    bool seedGiven = false;
};

// arguments as QCoreApplication::arguments() has them, the program first.
// Checks every value; on UsageError, error is one line and options stay as they were.
ParseOutcome parseCommandLine(const QStringList &arguments, SimOptions *options, QString *error);
// Generated from the options; needs a QCoreApplication, whose program path it shows.
QString helpText();
QString versionText();
