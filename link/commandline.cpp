#include "commandline.h"

#include <QCommandLineParser>

#include <csignal>
#include <cstdio>

void addHelpAndVersion(QCommandLineParser *parser)
{
    // Not addVersionOption(): that one would take -v as well.
    parser->addOption({QStringLiteral("version"), QStringLiteral("Show the version.")});
    parser->addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this text.")});
}

namespace {

QString parseFailure(const QCommandLineParser &parser)
{
    if (!parser.unknownOptionNames().isEmpty()) {
        const QString name = parser.unknownOptionNames().first();
        return QStringLiteral("unknown option '%1%2'").arg(name.size() == 1 ? "-" : "--", name);
    }
    // Qt's own words ("Missing value after '--meters'."), in the style of our other messages.
    QString text = parser.errorText();
    text[0] = text.at(0).toLower();
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

ParseOutcome parseHelpOrVersion(QCommandLineParser *parser, void (*addOptions)(QCommandLineParser *),
                                const QStringList &arguments, QString *error)
{
    addOptions(parser);
    if (!parser->parse(arguments)) {
        *error = parseFailure(*parser);
        return ParseOutcome::UsageError;
    }
    if (parser->isSet(QStringLiteral("help")))
        return ParseOutcome::Help;
    if (parser->isSet(QStringLiteral("version")))
        return ParseOutcome::Version;
    return ParseOutcome::Run;
}

bool parseInt(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < low || v > high)
        return false;
    *value = v;
    return true;
}

bool printHelpOrVersion(ParseOutcome outcome, const QString &help, const QString &version)
{
    if (outcome != ParseOutcome::Help && outcome != ParseOutcome::Version)
        return false;
    const QString &text = outcome == ParseOutcome::Help ? help : version + QLatin1Char('\n');
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
    return true;
}

namespace {
std::atomic<bool> *g_stopFlag = nullptr;

void requestStop(int)
{
    g_stopFlag->store(true);
}
} // namespace

void stopOnSignals(std::atomic<bool> *flag)
{
    g_stopFlag = flag;
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
}
