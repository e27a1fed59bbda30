#pragma once

#include "gatewaysimulator.h"
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

enum class ParseOutcome { Run, Help, UsageError };

// arguments without the program name.
ParseOutcome parseCommandLine(const QStringList &arguments, SimOptions *options, QString *error);
QString usageText();
