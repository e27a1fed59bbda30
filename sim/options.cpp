#include "options.h"

#include <QSet>

namespace {

const QStringList kValueOptions = {
    QStringLiteral("--port"), QStringLiteral("--baud"), QStringLiteral("--parity"), QStringLiteral("--data"),
    QStringLiteral("--stop"), QStringLiteral("--address"), QStringLiteral("--meters"),
    QStringLiteral("--silent-meters"), QStringLiteral("--delay"), QStringLiteral("--jitter"),
    QStringLiteral("--drop"), QStringLiteral("--corrupt"), QStringLiteral("--exception-rate"),
    QStringLiteral("--seed"),
};

constexpr int kMaxMeters = 62; // 124 registers; a read may ask for 125 at most
constexpr int kMaxDelayMs = 60000;

bool parseInt(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool parseRate(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !(v >= 0.0 && v <= 1.0))
        return false;
    *value = v;
    return true;
}

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

} // namespace

ParseOutcome parseCommandLine(const QStringList &arguments, SimOptions *options, QString *error)
{
    SimOptions result;
    QList<int> silentMeters;
    QStringList serialOptions;

    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        QString value;
        bool hasValue = false;
        if (name == QLatin1String("-h") || name == QLatin1String("--help"))
            return ParseOutcome::Help;
        if (name == QLatin1String("-v") || name == QLatin1String("--verbose")) {
            result.verbose = true;
            continue;
        }
        if (name == QLatin1String("--split")) {
            result.simulator.split = true;
            continue;
        }
        if (!name.startsWith(QLatin1Char('-'))) {
            *error = QStringLiteral("unexpected argument '%1'").arg(name);
            return ParseOutcome::UsageError;
        }
        const int equals = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            hasValue = true;
        }
        if (!kValueOptions.contains(name)) {
            *error = QStringLiteral("unknown option '%1'").arg(name);
            return ParseOutcome::UsageError;
        }
        if (!hasValue) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("option '%1' needs a value").arg(name);
                return ParseOutcome::UsageError;
            }
            value = arguments.at(++i);
        }

        auto bad = [&](const QString &expected) {
            *error = QStringLiteral("invalid value '%1' for %2: %3").arg(value, name, expected);
            return ParseOutcome::UsageError;
        };

        if (name == QLatin1String("--port")) {
            if (value.isEmpty())
                return bad(QStringLiteral("expected a device path"));
            result.port = value;
        } else if (name == QLatin1String("--baud")) {
            static const QList<int> rates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
            int baud = 0;
            if (!parseInt(value, 1, 1000000, &baud) || !rates.contains(baud))
                return bad(QStringLiteral("expected 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200"));
            result.serial.baud = baud;
            serialOptions << name;
        } else if (name == QLatin1String("--parity")) {
            const QString p = value.trimmed().toUpper();
            if (p != QLatin1String("N") && p != QLatin1String("O") && p != QLatin1String("E"))
                return bad(QStringLiteral("expected N, O or E"));
            result.serial.parity = p.at(0).toLatin1();
            serialOptions << name;
        } else if (name == QLatin1String("--data")) {
            int bits = 0;
            if (!parseInt(value, 7, 8, &bits))
                return bad(QStringLiteral("expected 7 or 8"));
            result.serial.dataBits = bits;
            serialOptions << name;
        } else if (name == QLatin1String("--stop")) {
            int bits = 0;
            if (!parseInt(value, 1, 2, &bits))
                return bad(QStringLiteral("expected 1 or 2"));
            result.serial.stopBits = bits;
            serialOptions << name;
        } else if (name == QLatin1String("--address")) {
            QList<int> addresses;
            if (!parseList(value, 1, 247, &addresses))
                return bad(QStringLiteral("expected bus addresses 1..247, separated by commas"));
            if (QSet<int>(addresses.begin(), addresses.end()).size() != addresses.size())
                return bad(QStringLiteral("an address is given twice"));
            result.simulator.addresses.clear();
            for (int a : addresses)
                result.simulator.addresses.append(static_cast<std::uint8_t>(a));
        } else if (name == QLatin1String("--meters")) {
            if (!parseInt(value, 0, kMaxMeters, &result.simulator.meters))
                return bad(QStringLiteral("expected a number of meters 0..%1").arg(kMaxMeters));
        } else if (name == QLatin1String("--silent-meters")) {
            silentMeters.clear();
            if (!parseList(value, 1, kMaxMeters, &silentMeters))
                return bad(QStringLiteral("expected meter numbers from 1, separated by commas"));
        } else if (name == QLatin1String("--delay")) {
            if (!parseInt(value, 0, kMaxDelayMs, &result.simulator.delayMs))
                return bad(QStringLiteral("expected milliseconds 0..%1").arg(kMaxDelayMs));
        } else if (name == QLatin1String("--jitter")) {
            if (!parseInt(value, 0, kMaxDelayMs, &result.simulator.jitterMs))
                return bad(QStringLiteral("expected milliseconds 0..%1").arg(kMaxDelayMs));
        } else if (name == QLatin1String("--drop")) {
            if (!parseRate(value, &result.simulator.dropRate))
                return bad(QStringLiteral("expected a rate from 0 to 1"));
        } else if (name == QLatin1String("--corrupt")) {
            if (!parseRate(value, &result.simulator.corruptRate))
                return bad(QStringLiteral("expected a rate from 0 to 1"));
        } else if (name == QLatin1String("--exception-rate")) {
            if (!parseRate(value, &result.simulator.exceptionRate))
                return bad(QStringLiteral("expected a rate from 0 to 1"));
        } else if (name == QLatin1String("--seed")) {
            bool ok = false;
            const uint seed = value.trimmed().toUInt(&ok, 10);
            if (!ok)
                return bad(QStringLiteral("expected a whole number 0..4294967295"));
            result.simulator.seed = seed;
            result.seedGiven = true;
        }
    }

    if (!serialOptions.isEmpty() && result.port.isEmpty()) {
        *error = QStringLiteral("%1 only applies to a serial port given with --port").arg(serialOptions.first());
        return ParseOutcome::UsageError;
    }
    for (int m : silentMeters) {
        if (m > result.simulator.meters) {
            *error = QStringLiteral("--silent-meters names meter %1, but there are only %2 (see --meters)")
                         .arg(m).arg(result.simulator.meters);
            return ParseOutcome::UsageError;
        }
        result.simulator.silentMeters.insert(m);
    }
    *options = result;
    return ParseOutcome::Run;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: nvb8140t-sim [options]\n"
        "Stands in for NVB8140T gateways on an RS485 line, to try nvb8140t-tool without hardware.\n"
        "By default it creates a pseudo-terminal, prints its path and an NVB_EXTRA_PORTS= line\n"
        "for the tool, and serves until Ctrl-C.\n"
        "\n"
        "Line:\n"
        "  --port PATH            serve this serial port instead of a pseudo-terminal\n"
        "  --baud N               1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 (default 9600)\n"
        "  --parity N|O|E         none, odd or even (default N)\n"
        "  --data 8|7             data bits (default 8)\n"
        "  --stop 1|2             stop bits (default 1)\n"
        "\n"
        "Gateways:\n"
        "  --address LIST         bus addresses 1..247, e.g. 3,200 (default 1); one gateway each,\n"
        "                         the first answers the broadcast read and the 0xAA and 0x64 frames\n"
        "  --meters N             meters behind each gateway, 0..62 (default 5)\n"
        "  --silent-meters LIST   meters that do not answer (FF FF FF FF), e.g. 2,5\n"
        "\n"
        "Faults (decided per frame by a seeded generator):\n"
        "  --delay MS             wait before every reply (default 0)\n"
        "  --jitter MS            plus a random 0..MS\n"
        "  --drop RATE            share of frames not heard at all, 0..1\n"
        "  --corrupt RATE         share of replies sent with a bad CRC, 0..1\n"
        "  --split                send every reply in two pieces, 50 ms apart\n"
        "  --exception-rate RATE  share of Modbus requests answered with exception 04, 0..1\n"
        "  --seed N               seed of the generator, for runs that repeat (default: random)\n"
        "\n"
        "  -v, --verbose          log the traffic on stderr: time, hex, meaning\n"
        "  -h, --help             show this text\n"
        "\n"
        "Exit status: 0 after Ctrl-C, 1 when the line cannot be opened, 2 for a usage error.\n");
}
