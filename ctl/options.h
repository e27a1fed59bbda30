#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

#include "cloudfields.h"
#include "commandline.h"
#include "profile.h"
#include "settings.h"

enum class Command { Scan, Get, Set, Poll, Cloud, Detect, Apply, Commission };

// A setting to write, its value already checked against the settings table.
struct Assignment
{
    const Setting *setting;
    QVector<std::uint32_t> values;
};

// A cloud parameter to write, its text with any suffix the gateway expects.
struct CloudText
{
    const CloudField *field; // its name is the option's, also in messages
    QByteArray text;
};

struct CtlOptions
{
    QString port;
    int baud = 9600;
    char parity = 'N';
    int address = 1;
    QVector<std::uint8_t> addresses; // apply: the targets, in the order given
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
    int meters = 0; // poll; apply and commission: -1 for the profile's
    int count = 0; // 0: until stopped
    QVector<CloudText> cloud; // in the order they are written
    bool connect = false;
    // apply, commission
    QString profilePath;
    Profile profile;
    int start = 0; // commission: 0 until given
    QString reportPath; // JSON
    QString pdfPath;
    bool chinese = false; // the PDF's language
};

// The secret read from --secret-file, or nothing.
QByteArray secretOf(const CtlOptions &options);
// True when the arguments ask for a PDF, which needs Qt GUI.
bool wantsPdf(const QStringList &arguments);

// arguments as QCoreApplication::arguments() has them, the program first. Every
// value is checked here, the secret file read, before anything goes on the line;
// on UsageError, error is one line.
ParseOutcome parseCommandLine(const QStringList &arguments, CtlOptions *options, QString *error);
// Generated from the options and the settings table.
QString helpText();
QString versionText();
