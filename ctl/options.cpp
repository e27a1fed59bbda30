#include "options.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <optional>

#include "frames.h"
#include "registers.h"
#include "replytable.h"

namespace {

constexpr int kMinTimeoutMs = 10;
constexpr int kMaxTimeoutMs = 60000;
constexpr int kMaxRetries = 10;
constexpr int kMaxCount = 1000000;

const char *const kCommandNames[] = {"scan", "get", "set", "poll", "cloud", "detect", "apply", "commission"};

QString commandList()
{
    return QStringLiteral("detect, scan, get, set, poll, cloud, apply or commission");
}

// Each check stores a valid value and returns nothing, or says what a valid one is.

QString checkInt(const QString &text, int low, int high, int *value)
{
    return parseInt(text, low, high, value) ? QString()
                                            : QStringLiteral("expected a whole number from %1 to %2").arg(low).arg(high);
}

// Bus addresses by the same rule as the window's address field.
QString checkAddress(const QString &text, int *value)
{
    const std::optional<std::int64_t> address = wireValue(Rule::Address, text.trimmed());
    if (!address)
        return QStringLiteral("expected ") + expectedText(Rule::Address, text);
    *value = static_cast<int>(*address);
    return QString();
}

// The line speeds the gateway can be set to.
QStringList baudRates()
{
    return findSetting(QStringLiteral("baud"))->choices;
}

QString orList(QStringList words)
{
    const QString last = words.takeLast();
    if (words.isEmpty())
        return last;
    return words.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString checkBaud(const QString &text, CtlOptions *options)
{
    if (!baudRates().contains(text.trimmed()))
        return QStringLiteral("expected ") + orList(baudRates());
    options->baud = text.trimmed().toInt();
    return QString();
}

QString checkParity(const QString &text, CtlOptions *options)
{
    const QString p = text.trimmed().toUpper();
    if (p != QLatin1String("N") && p != QLatin1String("O") && p != QLatin1String("E"))
        return QStringLiteral("expected N, O or E");
    options->parity = p.at(0).toLatin1();
    return QString();
}

// apply: "3,7,10-12", each address once.
QString checkAddressList(const QString &text, CtlOptions *options)
{
    const QString expected = QStringLiteral("expected addresses from %1, as in 3,7,10-12")
                                  .arg(rangeText(Rule::Address, " to "));
    QVector<std::uint8_t> addresses;
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QStringList ends = item.split(QLatin1Char('-'));
        int low = 0;
        int high = 0;
        if (ends.size() > 2 || checkAddress(ends.first(), &low).size() || checkAddress(ends.last(), &high).size() || low > high)
            return expected;
        for (int address = low; address <= high; ++address) {
            if (addresses.contains(std::uint8_t(address)))
                return QStringLiteral("expected each address once, but %1 is given twice").arg(address);
            addresses.append(std::uint8_t(address));
        }
    }
    options->addresses = addresses;
    options->address = addresses.first();
    return QString();
}

QString checkPort(const QString &text, CtlOptions *options)
{
    options->port = text;
    return text.isEmpty() ? QStringLiteral("expected a device path") : QString();
}

void addCloudText(CtlOptions *options, const CloudField &field, const QByteArray &text)
{
    options->cloud.append({&field, text});
    std::sort(options->cloud.begin(), options->cloud.end(),
              [](const CloudText &a, const CloudText &b) { return a.field->parameter < b.field->parameter; });
}

QString checkCloudText(const QString &text, const char *name, CtlOptions *options)
{
    const CloudField &field = *findCloudField(QLatin1String(name));
    QString expected;
    const std::optional<QByteArray> wire = cloudWireText(field, text, &expected);
    if (wire)
        addCloudText(options, field, *wire);
    return expected;
}

// The longest secret file: the longest secret and a CR LF line end.
constexpr int kMaxSecretFile = kMaxCloudText + 2;

// The secret never comes from the command line, where the process list shows it,
// and no message repeats it. One byte beyond the longest file tells it is too long,
// so a huge file or an endless stream is never read whole.
QString checkSecretFile(const QString &path, CtlOptions *options)
{
    const QString expectedFile = QStringLiteral("expected a readable file or '-' for standard input");
    if (path.isEmpty())
        return expectedFile;
    QFile file;
    // Unbuffered, so that no read asks a pipe for more than it is meant to take.
    const QIODevice::OpenMode mode = QIODevice::ReadOnly | QIODevice::Unbuffered;
    const bool opened = path == QLatin1String("-") ? file.open(stdin, mode) : (file.setFileName(path), file.open(mode));
    if (!opened)
        return expectedFile + QStringLiteral(" (%1)").arg(file.errorString());
    QByteArray secret;
    while (secret.size() <= kMaxSecretFile) {
        const QByteArray piece = file.read(kMaxSecretFile + 1 - secret.size());
        if (piece.isEmpty())
            break;
        secret += piece;
    }
    if (secret.size() > kMaxSecretFile)
        return QStringLiteral("expected a secret of 1 to %1 bytes, found more").arg(kMaxCloudText);
    if (secret.endsWith('\n'))
        secret.chop(secret.endsWith("\r\n") ? 2 : 1);
    if (secret.contains('\n') || secret.contains('\r'))
        return QStringLiteral("expected the secret on one line");
    if (secret.isEmpty() || secret.size() > kMaxCloudText)
        return QStringLiteral("expected a secret of 1 to %1 bytes, found %2").arg(kMaxCloudText).arg(secret.size());
    if (QString::fromUtf8(secret).toUtf8() != secret)
        return QStringLiteral("expected a secret in valid UTF-8");
    addCloudText(options, secretField(), secret);
    return QString();
}

struct Option
{
    const char *name;
    const char *valueName; // null for a flag
    QString description;
    const char *commands; // the commands it applies to, "cloud apply"; null for all
    std::function<QString(const QString &, CtlOptions *)> check;
};

Option cloudOption(const char *name, const char *valueName)
{
    return {name, valueName, cloudHelp(*findCloudField(QLatin1String(name))), "cloud",
            [name](const QString &v, CtlOptions *o) { return checkCloudText(v, name, o); }};
}

// In the order --help lists them.
const QVector<Option> &optionList()
{
    const QString addresses = rangeText(Rule::Address, " to ");
    static const QVector<Option> options = {
        {"port", "PATH", QStringLiteral("Serial port of the RS485 adapter (required)."), nullptr, checkPort},
        {"baud", "N", QStringLiteral("Line speed: %1 (default 9600).").arg(orList(baudRates())), nullptr, checkBaud},
        {"parity", "N|O|E", QStringLiteral("None, odd or even (default N)."), nullptr, checkParity},
        {"address", "A", QStringLiteral("The gateway's bus address, %1 (default 1); apply: a list, as in 3,7,10-12.").arg(addresses), nullptr,
         [](const QString &v, CtlOptions *o) {
             if (o->command == Command::Apply)
                 return checkAddressList(v, o);
             const QString expected = checkAddress(v, &o->address);
             return expected.isEmpty() || !v.contains(QRegularExpression(QStringLiteral("\\d[,-]")))
                        ? expected
                        : expected + QStringLiteral(" (a list is for apply only)");
         }},
        {"timeout", "MS",
         QStringLiteral("Wait for each answer, %1 to %2 ms (default 1000; scan and detect: the request's wire "
                        "time and 100 ms).")
             .arg(kMinTimeoutMs)
             .arg(kMaxTimeoutMs),
         nullptr, [](const QString &v, CtlOptions *o) { return checkInt(v, kMinTimeoutMs, kMaxTimeoutMs, &o->timeoutMs); }},
        {"retries", "N",
         QStringLiteral("Tries after the first, for each request, 0 to %1 (default 2; scan and detect: 0).").arg(kMaxRetries),
         nullptr, [](const QString &v, CtlOptions *o) { return checkInt(v, 0, kMaxRetries, &o->retries); }},
        {"from", "A", QStringLiteral("scan: first address, %1 (default 1).").arg(addresses), "scan",
         [](const QString &v, CtlOptions *o) { return checkAddress(v, &o->from); }},
        {"to", "A", QStringLiteral("scan: last address, %1 (default 247).").arg(addresses), "scan",
         [](const QString &v, CtlOptions *o) { return checkAddress(v, &o->to); }},
        {"json", nullptr,
         QStringLiteral("get: print one JSON object: numbers as JSON numbers, choice words and hexadecimal "
                        "values as strings, pairs as two-element arrays."),
         "get", [](const QString &, CtlOptions *o) { o->json = true; return QString(); }},
        {"meters", "N",
         QStringLiteral("poll: meters to read, 1 to %1 (required). apply, commission: meters in each gateway's "
                        "snapshot, 0 to %1 (default: the profile's, or none).").arg(kMaxMeters),
         "poll apply commission",
         [](const QString &v, CtlOptions *o) { return checkInt(v, o->command == Command::Poll ? 1 : 0, kMaxMeters, &o->meters); }},
        {"count", "K",
         QStringLiteral("poll: stop after K polls; commission: after K gateways; 1 to %1 (default: at SIGINT or "
                        "SIGTERM).").arg(kMaxCount),
         "poll commission", [](const QString &v, CtlOptions *o) { return checkInt(v, 1, kMaxCount, &o->count); }},
        {"start", "A", QStringLiteral("commission: the first address to give, %1 (required).").arg(addresses), "commission",
         [](const QString &v, CtlOptions *o) { return checkAddress(v, &o->start); }},
        {"report", "FILE", QStringLiteral("apply, commission: write the report as JSON to FILE."), "apply commission",
         [](const QString &v, CtlOptions *o) { o->reportPath = v; return v.isEmpty() ? QStringLiteral("expected a file name") : QString(); }},
        {"pdf", "FILE", QStringLiteral("apply, commission: write the report as PDF to FILE."), "apply commission",
         [](const QString &v, CtlOptions *o) { o->pdfPath = v; return v.isEmpty() ? QStringLiteral("expected a file name") : QString(); }},
        {"language", "en|zh", QStringLiteral("apply, commission: the PDF's language (default en)."), "apply commission",
         [](const QString &v, CtlOptions *o) {
             o->chinese = v == QLatin1String("zh");
             return v == QLatin1String("zh") || v == QLatin1String("en") ? QString() : QStringLiteral("expected en or zh");
         }},
        cloudOption("region", "R"),
        cloudOption("property", "P"),
        {"secret-file", "F",
         QStringLiteral("cloud, apply, commission: read the device secret, one line of 1 to %1 bytes, from file F, "
                        "or from standard input for '-'; one trailing newline is dropped. It is never printed.")
             .arg(kMaxCloudText),
         "cloud apply commission", checkSecretFile},
        cloudOption("name", "N"),
        cloudOption("publish", "T"),
        cloudOption("subscribe", "T"),
        {"connect", nullptr, QStringLiteral("cloud: tell the gateway to connect, after the writes."), "cloud",
         [](const QString &, CtlOptions *o) { o->connect = true; return QString(); }},
    };
    return options;
}

void addOptions(QCommandLineParser *parser)
{
    parser->setApplicationDescription(QStringLiteral(
        "Reads and writes the settings of an NVB8140T radio gateway on an RS485 bus,\n"
        "for scripts and commissioning. Errors go to stderr, one line each."));
    for (const Option &option : optionList())
        parser->addOption(QCommandLineOption(QLatin1String(option.name), option.description,
                                             QLatin1String(option.valueName)));
    parser->addOption({{QStringLiteral("v"), QStringLiteral("verbose")},
                       QStringLiteral("Trace every frame sent and received on stderr, with its meaning.")});
    addHelpAndVersion(parser);
    parser->addPositionalArgument(QStringLiteral("command"), commandList() + QStringLiteral(", see below."),
                                  QStringLiteral("command [args...]"));
}

// The address is where the gateway is found, not one of its settings here.
const Setting *namedSetting(const QString &name, QString *error)
{
    const Setting *setting = findSetting(name);
    if (!setting) {
        *error = QStringLiteral("unknown setting '%1' (see --help)").arg(name);
        return nullptr;
    }
    if (setting->reg == GatewayRegister::Address) {
        *error = QStringLiteral("'address' is not a setting here; the gateway is chosen with --address");
        return nullptr;
    }
    return setting;
}

bool takeNames(const QStringList &words, CtlOptions *options, QString *error)
{
    for (const QString &name : words) {
        const Setting *setting = namedSetting(name, error);
        if (!setting)
            return false;
        if (options->names.contains(setting)) {
            *error = QStringLiteral("%1 is named twice").arg(name);
            return false;
        }
        options->names.append(setting);
    }
    if (options->names.isEmpty()) {
        for (const Setting &setting : gatewaySettings()) {
            if (setting.reg != GatewayRegister::Address)
                options->names.append(&setting);
        }
    }
    return true;
}

bool takeAssignments(const QStringList &words, CtlOptions *options, QString *error)
{
    if (words.isEmpty()) {
        *error = QStringLiteral("set needs at least one NAME=VALUE");
        return false;
    }
    for (const QString &word : words) {
        const int equals = word.indexOf(QLatin1Char('='));
        if (equals < 0) {
            *error = QStringLiteral("expected NAME=VALUE, got '%1'").arg(word);
            return false;
        }
        const QString name = word.left(equals);
        const QString value = word.mid(equals + 1);
        const Setting *setting = namedSetting(name, error);
        if (!setting)
            return false;
        for (const Assignment &earlier : options->assignments) {
            if (earlier.setting == setting) {
                *error = QStringLiteral("%1 is given twice").arg(name);
                return false;
            }
        }
        QString reason;
        const auto values = parseSetting(*setting, value, &reason);
        if (!values) {
            *error = QStringLiteral("invalid value '%1' for %2: %3").arg(value, name, reason);
            return false;
        }
        options->assignments.append({setting, *values});
    }
    return true;
}

bool takeCommand(const QStringList &positional, CtlOptions *options, QString *error)
{
    if (positional.isEmpty()) {
        *error = QStringLiteral("no command given (expected %1)").arg(commandList());
        return false;
    }
    const auto *found = std::find(std::begin(kCommandNames), std::end(kCommandNames), positional.first());
    if (found == std::end(kCommandNames)) {
        *error = QStringLiteral("unknown command '%1' (expected %2)").arg(positional.first(), commandList());
        return false;
    }
    options->command = static_cast<Command>(found - std::begin(kCommandNames));
    const QStringList rest = positional.mid(1);
    switch (options->command) {
    case Command::Get:
        return takeNames(rest, options, error);
    case Command::Set:
        return takeAssignments(rest, options, error);
    case Command::Apply:
    case Command::Commission:
        if (rest.size() != 1) {
            *error = rest.isEmpty() ? QStringLiteral("%1 needs a PROFILE file").arg(positional.first())
                                    : QStringLiteral("unexpected argument '%1' after %2 %3").arg(rest.at(1), positional.first(), rest.first());
            return false;
        }
        options->profilePath = rest.first();
        return true;
    default:
        if (!rest.isEmpty()) {
            *error = QStringLiteral("unexpected argument '%1' after %2").arg(rest.first(), positional.first());
            return false;
        }
        return true;
    }
}

// What a command needs beyond its options' own values.
QString commandFailure(const CtlOptions &options)
{
    if (options.port.isEmpty())
        return QStringLiteral("--port PATH is required");
    if (options.command == Command::Scan && options.from > options.to)
        return QStringLiteral("--from %1 is above --to %2").arg(options.from).arg(options.to);
    if (options.command == Command::Poll && options.meters == 0)
        return QStringLiteral("poll needs --meters N, 1 to %1").arg(kMaxMeters);
    if (options.command == Command::Commission && options.start == 0)
        return QStringLiteral("commission needs --start A, %1").arg(rangeText(Rule::Address, " to "));
    if (options.command == Command::Cloud && options.cloud.isEmpty() && !options.connect)
        return QStringLiteral("cloud needs at least one of --region, --property, --secret-file, --name, "
                              "--publish, --subscribe or --connect");
    return QString();
}

QString settingsHelp()
{
    QString text = QStringLiteral("Settings (NAME and its valid values; a pair is written LOWER,UPPER):\n");
    for (const Setting &setting : gatewaySettings()) {
        if (setting.reg == GatewayRegister::Address)
            continue;
        QString values = setting.encoding == Encoding::Choice ? setting.choices.join(QStringLiteral(", "))
                                                              : rangeText(*setting.rule, " to ");
        if (setting.second)
            values = QStringLiteral("LOWER,UPPER, each ") + values;
        if (setting.unit)
            values += QLatin1Char(' ') + QLatin1String(setting.unit);
        text += QStringLiteral("  %1%2\n").arg(QLatin1String(setting.name), -20).arg(values);
    }
    return text;
}

} // namespace

ParseOutcome parseCommandLine(const QStringList &arguments, CtlOptions *options, QString *error)
{
    QCommandLineParser parser;
    if (const ParseOutcome outcome = parseHelpOrVersion(&parser, addOptions, arguments, error); outcome != ParseOutcome::Run)
        return outcome;

    CtlOptions result;
    result.verbose = parser.isSet(QStringLiteral("verbose"));
    // With no command left, an option may have taken it for its value
    // ("--timeout get"): that option's value is the one to name.
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && !takeCommand(positional, &result, error))
        return ParseOutcome::UsageError;
    const QString command = positional.value(0);
    for (const Option &option : optionList()) {
        const QString name = QLatin1String(option.name);
        if (!parser.isSet(name))
            continue;
        const QStringList applies = QString::fromLatin1(option.commands).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (option.commands && !command.isEmpty() && !applies.contains(command)) {
            *error = QStringLiteral("--%1 applies to %2 only").arg(name, orList(applies));
            return ParseOutcome::UsageError;
        }
        // Of an option given twice, neither is taken for the one meant.
        const QStringList values = option.valueName ? parser.values(name) : QStringList(QString());
        if (values.size() > 1) {
            *error = QStringLiteral("--%1 is given twice").arg(name);
            return ParseOutcome::UsageError;
        }
        const QString expected = option.check(values.first(), &result);
        if (!expected.isEmpty()) {
            *error = QStringLiteral("invalid value '%1' for --%2: %3").arg(values.first(), name, expected);
            return ParseOutcome::UsageError;
        }
    }
    if (positional.isEmpty() && !takeCommand(positional, &result, error))
        return ParseOutcome::UsageError;
    if (result.command == Command::Detect) {
        for (const char *name : {"baud", "parity", "address"}) {
            if (parser.isSet(QLatin1String(name))) {
                *error = QStringLiteral("--%1 is not for detect, which tries every line setting with a broadcast read")
                             .arg(QLatin1String(name));
                return ParseOutcome::UsageError;
            }
        }
    }
    // A scan or a detection paces itself by the line: most of what it asks gets no answer.
    if (result.command == Command::Scan || result.command == Command::Detect) {
        if (!parser.isSet(QStringLiteral("timeout")))
            result.timeoutMs = 0;
        if (!parser.isSet(QStringLiteral("retries"))) {
            result.retries = 0;
            result.retryGarbled = true;
        }
    }
    if (result.command == Command::Apply || result.command == Command::Commission) {
        if (!parser.isSet(QStringLiteral("meters")))
            result.meters = -1;
        if (result.command == Command::Apply && result.addresses.isEmpty())
            result.addresses = {std::uint8_t(result.address)};
    }
    *error = commandFailure(result);
    if (!error->isEmpty())
        return ParseOutcome::UsageError;
    // The profile is read and checked before the port is opened: a refused one sends nothing.
    if (!result.profilePath.isEmpty()) {
        const std::optional<Profile> profile = readProfile(result.profilePath, error);
        if (!profile)
            return ParseOutcome::UsageError;
        result.profile = *profile;
    }
    *options = result;
    return ParseOutcome::Run;
}

QByteArray secretOf(const CtlOptions &options)
{
    for (const CloudText &text : options.cloud) {
        if (text.field == &secretField())
            return text.text;
    }
    return QByteArray();
}

bool wantsPdf(const QStringList &arguments)
{
    return std::any_of(arguments.begin(), arguments.end(),
                       [](const QString &a) { return a == QLatin1String("--pdf") || a.startsWith(QLatin1String("--pdf=")); });
}

QString helpText()
{
    QCommandLineParser parser;
    addOptions(&parser);
    return parser.helpText() + QStringLiteral(
        "\n"
        "Commands:\n"
        "  detect\n"
        "      Find the gateway whatever its line settings: one broadcast read at 9600,\n"
        "      19200, 4800 and 2400 baud, each with no, odd and even parity (8 data bits,\n"
        "      1 stop bit), until one is answered. Print baud=B parity=P address=A. When\n"
        "      only bytes that fail the check came (a wrong setting, noise, or several\n"
        "      gateways answering at once), print heard baud=B parity=P for each setting\n"
        "      where they came and exit with 1, as when nobody answered.\n"
        "  scan [--from A] [--to A]\n"
        "      Print each address that answers, one per line, in order. Each address\n"
        "      waits the request's wire time and 100 ms (109 ms at 9600 baud), so a full\n"
        "      scan takes about 27 s; an address that answers with bytes that fail the\n"
        "      check is asked once more.\n"
        "  get [NAME...] [--json]\n"
        "      Print the settings named, or all in the order below, as NAME=VALUE lines.\n"
        "  set NAME=VALUE...\n"
        "      Write each setting, read it back and compare; print what was read back.\n"
        "      Every value is checked first: one refusal and nothing is sent.\n"
        "  poll --meters N [--count K]\n"
        "      Read the meters once a second and print CSV: '#' lines naming the program,\n"
        "      the port and the gateway, a header, then a time stamp and one column a\n"
        "      meter, \"timeout\" for a meter that did not answer, \"no-reply\" for a poll\n"
        "      not answered; the window's recordings have the same form.\n"
        "  cloud [--region R] [--property P] [--secret-file F] [--name N]\n"
        "        [--publish T] [--subscribe T] [--connect]\n"
        "      Write the cloud parameters given, in this order, then connect if asked.\n"
        "  apply PROFILE [--secret-file F] [--meters N] [--report FILE] [--pdf FILE]\n"
        "      Apply a profile (a JSON file as 'get --json' prints one, or\n"
        "      {\"format\": 1, \"settings\": {...}, \"cloud\": {...}, \"meters\": N}) to each\n"
        "      gateway of --address in turn: read each setting, write those that differ,\n"
        "      read them back; the line settings last, the port following them; then the\n"
        "      cloud texts, each acknowledgement checked. Print one line per setting and\n"
        "      gateway, then the summary. gateway-id, firmware and address are applied to\n"
        "      a single gateway only, and frames without a bus address (loop settings,\n"
        "      cloud) are skipped for several: each is reported with the reason.\n"
        "  commission PROFILE --start A [--count K] [--secret-file F] [--meters N] ...\n"
        "      One at a time: wait for a gateway to answer the broadcast read, move it\n"
        "      to the next free address from A, apply the profile there, and wait for\n"
        "      the next; until K gateways are done, or SIGINT or SIGTERM.\n"
        "\n"
        "Cloud frames and the current-loop frames (loop-channel read, loop-range) carry\n"
        "no address: every gateway on the bus takes them, whatever --address says.\n"
        "\n")
        + settingsHelp() + QStringLiteral(
        "\n"
        "Exit status: 0 success; 1 the gateway did not answer after the retries, or the\n"
        "port cannot be opened; 2 bad usage, an invalid value or a refused profile,\n"
        "nothing sent; 3 a Modbus exception; 4 a setting read back differs from what was\n"
        "written. apply and commission: the worst over all gateways.\n");
}

QString versionText()
{
    return QStringLiteral("nvb8140t-ctl " NVB_VERSION);
}
