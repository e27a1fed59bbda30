#include "options.h"

#include "registers.h"
#include "settings.h"

#include <QCommandLineParser>
#include <QSet>

#include <algorithm>

namespace {

constexpr int kMaxDelayMs = 60000;

bool parseList(const QString &text, int low, int high, QList<int> *values)
{
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString &item : items) {
        int v = 0;
        if (!parseInt(item, low, high, &v))
            return false;
        values->append(v);
    }
    return !values->isEmpty();
}

// Each check stores a valid value and returns nothing, or says what a valid one is.

QString checkInt(const QString &text, int low, int high, int *value, const QString &expected)
{
    return parseInt(text, low, high, value) ? QString() : expected;
}

QString checkRate(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 1.0))
        return QStringLiteral("expected a rate from 0 to 1");
    *value = v;
    return QString();
}

QString checkMilliseconds(const QString &text, int *value)
{
    return checkInt(text, 0, kMaxDelayMs, value, QStringLiteral("expected milliseconds 0..%1").arg(kMaxDelayMs));
}

QString checkPort(const QString &text, SimOptions *options)
{
    options->port = text;
    return text.isEmpty() ? QStringLiteral("expected a device path") : QString();
}

QString checkBaud(const QString &text, SimOptions *options)
{
    static const QList<int> rates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
    int baud = 0;
    if (!parseInt(text, 1, 1000000, &baud) || !rates.contains(baud))
        return QStringLiteral("expected 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200");
    options->serial.baud = baud;
    return QString();
}

QString checkParity(const QString &text, SimOptions *options)
{
    const QString p = text.trimmed().toUpper();
    if (p != QLatin1String("N") && p != QLatin1String("O") && p != QLatin1String("E"))
        return QStringLiteral("expected N, O or E");
    options->serial.parity = p.at(0).toLatin1();
    return QString();
}

QString checkAddresses(const QString &text, SimOptions *options)
{
    QList<int> addresses;
    if (!parseList(text, 1, 247, &addresses))
        return QStringLiteral("expected bus addresses 1..247, separated by commas");
    options->simulator.addresses.clear();
    for (int a : addresses)
        options->simulator.addresses.append(static_cast<std::uint8_t>(a));
    return QString();
}

QString checkSilentMeters(const QString &text, SimOptions *options)
{
    QList<int> meters;
    if (!parseList(text, 1, kMaxBlockMeters, &meters))
        return QStringLiteral("expected meter numbers 1..%1, separated by commas").arg(kMaxBlockMeters);
    options->simulator.silentMeters = QSet<int>(meters.begin(), meters.end());
    return QString();
}

QString checkSeed(const QString &text, SimOptions *options)
{
    bool ok = false;
    const uint seed = text.trimmed().toUInt(&ok, 10);
    if (!ok)
        return QStringLiteral("expected a whole number 0..4294967295");
    options->simulator.seed = seed;
    options->seedGiven = true;
    return QString();
}

struct Option
{
    const char *name;
    const char *valueName; // null for a flag
    const char *description;
    QString (*check)(const QString &text, SimOptions *options);
};

// In the order --help lists them.
const Option kOptions[] = {
    {"port", "PATH", "Serve this serial port (/dev/ttyUSB0, COM5) instead of a pseudo-terminal.", checkPort},
    {"baud", "N",
     "1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200 (default 9600); on a pseudo-terminal the gateways' "
     "own: 2400, 4800, 9600 or 19200.",
     checkBaud},
    {"parity", "N|O|E", "None, odd or even (default N).", checkParity},
    {"data", "8|7", "Data bits (default 8).",
     [](const QString &v, SimOptions *o) { return checkInt(v, 7, 8, &o->serial.dataBits, "expected 7 or 8"); }},
    {"stop", "1|2", "Stop bits (default 1).",
     [](const QString &v, SimOptions *o) { return checkInt(v, 1, 2, &o->serial.stopBits, "expected 1 or 2"); }},
    {"address", "LIST",
     "Bus addresses 1..247, e.g. 3,200 (default 1); one gateway each, the first answers the broadcast read "
     "and the 0xAA and 0x64 frames.",
     checkAddresses},
    {"meters", "N", "Meters behind each gateway, 0..62 (default 5).",
     [](const QString &v, SimOptions *o) {
         const QString expected = QStringLiteral("expected a number of meters 0..%1").arg(kMaxBlockMeters);
         return checkInt(v, 0, kMaxBlockMeters, &o->simulator.meters, expected);
     }},
    {"silent-meters", "LIST", "Meters that do not answer (FF FF FF FF), e.g. 2,5.", checkSilentMeters},
    {"delay", "MS", "Fault: wait before each reply, 0..60000 (default 0).",
     [](const QString &v, SimOptions *o) { return checkMilliseconds(v, &o->simulator.delayMs); }},
    {"jitter", "MS", "Fault: add a random 0..MS to every wait.",
     [](const QString &v, SimOptions *o) { return checkMilliseconds(v, &o->simulator.jitterMs); }},
    {"drop", "RATE", "Fault: share of frames not heard at all, 0..1.",
     [](const QString &v, SimOptions *o) { return checkRate(v, &o->simulator.dropRate); }},
    {"corrupt", "RATE", "Fault: share of replies sent with a bad CRC, 0..1.",
     [](const QString &v, SimOptions *o) { return checkRate(v, &o->simulator.corruptRate); }},
    {"split", nullptr, "Fault: send every reply in two pieces, 50 ms apart.",
     [](const QString &, SimOptions *o) { o->simulator.split = true; return QString(); }},
    {"exception-rate", "RATE", "Fault: share of Modbus requests answered with exception 04, 0..1.",
     [](const QString &v, SimOptions *o) { return checkRate(v, &o->simulator.exceptionRate); }},
    {"seed", "N", "Seed of the fault generator, for runs that repeat (default: random).", checkSeed},
    {"keep-nothing", nullptr, "Fault: acknowledge every write but keep the old value, as a write-protected gateway.",
     [](const QString &, SimOptions *o) { o->simulator.ignoreWrites = true; return QString(); }},
    {"arrive", "MS",
     "Gateways plugged in one at a time, for commissioning: only the first of --address is on the line at the "
     "start; once one is given a new address, it leaves the line MS later and the next comes then. --address "
     "may then name one address several times (new gateways come at the factory address).",
     [](const QString &v, SimOptions *o) { return checkMilliseconds(v, &o->simulator.arriveMs); }},
};

void addOptions(QCommandLineParser *parser)
{
    parser->setApplicationDescription(QStringLiteral(
        "Stands in for NVB8140T gateways on an RS485 line, to try nvb8140t-tool without\n"
        "hardware. By default it creates a pseudo-terminal, prints its path and an\n"
        "NVB_EXTRA_PORTS= line for the tool, and serves until Ctrl-C. Windows has no\n"
        "pseudo-terminals: there, serve one end of a virtual null-modem pair with\n"
        "--port COM5 and open the other end in the tool.\n"
        "\n"
        "--baud, --parity, --data and --stop set up the serial port of --port. On a\n"
        "pseudo-terminal --baud and --stop are the gateways' own at the start, and a\n"
        "gateway hears only frames sent at its baud rate and stop bits, which it reads\n"
        "from the line's settings; a baud rate write moves it. A pseudo-terminal cannot\n"
        "show parity or data bits, so --parity and --data need --port. Each fault is\n"
        "decided per frame by a generator seeded with --seed.\n"
        "\n"
        "Exit status: 0 after Ctrl-C, 1 when the line cannot be opened, 2 for a usage\n"
        "error."));
    for (const Option &option : kOptions) {
        parser->addOption(QCommandLineOption(QLatin1String(option.name), QLatin1String(option.description),
                                             QLatin1String(option.valueName)));
    }
    parser->addOption({{QStringLiteral("v"), QStringLiteral("verbose")},
                       QStringLiteral("Log the traffic on stderr: time, hex, meaning.")});
    addHelpAndVersion(parser);
}

} // namespace

ParseOutcome parseCommandLine(const QStringList &arguments, SimOptions *options, QString *error)
{
    QCommandLineParser parser;
    if (const ParseOutcome outcome = parseHelpOrVersion(&parser, addOptions, arguments, error); outcome != ParseOutcome::Run)
        return outcome;
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
        return ParseOutcome::UsageError;
    }

    SimOptions result;
    result.verbose = parser.isSet(QStringLiteral("verbose"));
    for (const Option &option : kOptions) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        // Every value is checked; of an option given twice, the last counts.
        const QStringList values = option.valueName ? parser.values(name) : QStringList(QString());
        for (const QString &value : values) {
            const QString expected = option.check(value, &result);
            if (!expected.isEmpty()) {
                *error = QStringLiteral("invalid value '%1' for --%2: %3").arg(value, name, expected);
                return ParseOutcome::UsageError;
            }
        }
    }

    // Gateways plugged in one at a time all come at the factory address.
    const QVector<std::uint8_t> &addresses = result.simulator.addresses;
    if (QSet<std::uint8_t>(addresses.begin(), addresses.end()).size() != addresses.size() && result.simulator.arriveMs < 0) {
        *error = QStringLiteral("invalid value '%1' for --address: an address is given twice (allowed with --arrive)")
                     .arg(parser.values(QStringLiteral("address")).constLast());
        return ParseOutcome::UsageError;
    }
    for (const char *name : {"parity", "data"}) {
        if (parser.isSet(QLatin1String(name)) && result.port.isEmpty()) {
            *error = QStringLiteral("--%1 only applies to a serial port given with --port: a pseudo-terminal "
                                    "cannot show it")
                         .arg(QLatin1String(name));
            return ParseOutcome::UsageError;
        }
    }
    result.simulator.baud = result.serial.baud;
    result.simulator.stopBits = result.serial.stopBits;
    const QStringList gatewayRates = findSetting(QStringLiteral("baud"))->choices;
    if (result.port.isEmpty() && !gatewayRates.contains(QString::number(result.serial.baud))) {
        *error = QStringLiteral("a gateway on a pseudo-terminal runs at %1 baud, not %2")
                     .arg(gatewayRates.join(QStringLiteral(", ")))
                     .arg(result.serial.baud);
        return ParseOutcome::UsageError;
    }
    const QSet<int> &silent = result.simulator.silentMeters;
    const int highest = silent.isEmpty() ? 0 : *std::max_element(silent.begin(), silent.end());
    if (highest > result.simulator.meters) {
        *error = QStringLiteral("--silent-meters names meter %1, but there are only %2 (see --meters)")
                     .arg(highest)
                     .arg(result.simulator.meters);
        return ParseOutcome::UsageError;
    }
    *options = result;
    return ParseOutcome::Run;
}

QString helpText()
{
    QCommandLineParser parser;
    addOptions(&parser);
    return parser.helpText();
}

QString versionText()
{
    return QStringLiteral("nvb8140t-sim " NVB_VERSION);
}
