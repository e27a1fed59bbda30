#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

#include "commandline.h"
#include "settings.h"

enum class Command { Scan, Get, Set, Poll, Cloud, Detect };

// A setting to write, its value already checked against the settings table.
struct Assignment
{
    const Setting *setting;
    QVector<std::uint32_t> values;
};

// A cloud parameter to write, its text with any suffix the gateway expects.
struct CloudText
{
    const char *option; // "region", also the name in messages
    std::uint8_t parameter;
    QByteArray text;
};

struct CtlOptions
{
    QString port;
    int baud = 9600;
    char parity = 'N';
    int address = 1;
    int timeoutMs = 1000; // 0: the request's wire time and the turn-around allowance
    int retries = 2;
    // scan: an address whose answer failed its check is tried once more, as something is there
    bool retryGarbled = false;
    bool verbose = false;

    Command command = Command::Get;
    QVector<const Setting *> names; // get; all but the address when none is given
    bool json = false;
    QVector<Assignment> assignments; // set
    int from = 1; // scan
    int to = 247;
    int meters = 0; // poll
    int count = 0; // 0: until stopped
    QVector<CloudText> cloud; // in the order they are written
    bool connect = false;
};

// arguments as QCoreApplication::arguments() has them, the program first. Every
// value is checked here, the secret file read, before anything goes on the line;
// on UsageError, error is one line.
ParseOutcome parseCommandLine(const QStringList &arguments, CtlOptions *options, QString *error);
// Generated from the options and the settings table.
QString helpText();
QString versionText();
