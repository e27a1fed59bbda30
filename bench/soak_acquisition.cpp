// Soak of the bus acquisition: the window polls 21 meters of the simulated
// gateway (served on a thread of its own over a pty) for a given time, then
// reports
//  - polls heard and answered by the simulator, replies shown in the table;
//  - the table against the last reply the simulator sent;
//  - resident memory after warm-up and at the end;
//  - CPU time of the tool (the process without the simulator thread) per wall second.
//
//   soak_acquisition [--seconds N] [--meters N] [--faulty] [--seed N] [--trend] [--record FILE]
//                                   defaults: 600 s, 21 meters, a clean bus, seed 1
//
// --trend keeps the trend window open and --record FILE records the polls, so that
// their cost counts in the figures; the recording must hold a line for every poll answered.
//
// Exit status 0 when no answered poll was lost, the table matches, memory grew
// by less than 1 MB and the tool used under 2% of a core.
//
// --faulty puts the simulator on a bad bus: 10% of the frames are not heard, 5% of
// the replies get a bad CRC, 5% of the polls get exception 04, and every reply
// comes in two pieces 50 ms apart after 0..100 ms, well inside the 1 s poll period.
// The seed fixes which polls are hit, so that runs repeat. A reply is intact when
// all its pieces went out while the window was open and they join into a read
// reply of the full length with a good CRC. Each table shown is matched by its
// cells to the reply it came from; the collateral loss is the intact replies that
// no table showed. It must be 0, no table may come from a faulty reply, and the
// table at the end must show the last intact reply.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include "crc.h"
#include "frames.h"
#include "gatewaysimulator.h"
#include "lineserver.h"
#include "qwa.h"
#include "residentmemory.h"

namespace {

constexpr double kMaxGrowthKiB = 1024.0;
constexpr double kMaxCorePercent = 2.0;
constexpr int kWarmUpReplies = 5;

constexpr double kFaultyDropRate = 0.10;
constexpr double kFaultyCorruptRate = 0.05;
constexpr double kFaultyExceptionRate = 0.05;
// With the 50 ms split gap a reply is complete 150 ms after its poll at the latest.
constexpr int kFaultyJitterMs = 100;
constexpr int kListedPolls = 20;

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

// What the window shows for meter m (from 1) of a read reply.
QString sentValue(const QByteArray &reply, int m)
{
    return meterText(bytesOf(reply), m - 1, QStringLiteral("超时"));
}

// Hashes of the cells, not the cells, so that keeping one per poll does not
// show up in the memory figure.
using TableKey = std::size_t;

TableKey keyOf(const QString &cells)
{
    return std::hash<std::string>{}(cells.toStdString());
}

TableKey sentKey(const QByteArray &reply, int meters)
{
    QString cells;
    for (int m = 1; m <= meters; ++m)
        cells += QString::number(m) + QLatin1Char('=') + sentValue(reply, m) + QLatin1Char(';');
    return keyOf(cells);
}

TableKey shownKey(const QTableWidget *table, int meters)
{
    QString cells;
    for (int m = 1; m <= meters; ++m) {
        const int row = (m - 1) % 7;
        const int column = 2 * ((m - 1) / 7);
        cells += cellText(table, row, column) + QLatin1Char('=') + cellText(table, row, column + 1) + QLatin1Char(';');
    }
    return keyOf(cells);
}

// A poll on the faulty bus as the simulator handled it.
struct Poll {
    bool dropped = false;
    bool corrupted = false;
    bool exception = false;
    bool finished = false; // every byte went out while the window was open
    bool intact = false;
    int shown = 0;
    TableKey table = 0; // of a finished read reply, corrupted or not
};

// The reply of a poll on its way out, in pieces.
struct Outgoing {
    std::size_t poll = 0;
    int expected = 0;
    int logged = 0;
    bool unsent = false;
    QByteArray bytes;
};

// What the simulator thread reports through its traffic log.
struct Traffic {
    int meters = 0;
    int replyLength = 0;
    bool faulty = false;
    std::atomic<bool> windowClosed{false};
    std::atomic<int> polls{0};
    std::atomic<int> answers{0}; // on the faulty bus, intact replies
    std::mutex lock;
    QByteArray lastAnswer;

    // Faulty bus only; read once the simulator thread has stopped.
    std::vector<Poll> faultyPolls;
    std::deque<Outgoing> outgoing;
    int strayFrames = 0;
    int strayPieces = 0;

    void note(const QString &line)
    {
        // "HH:mm:ss.zzz rx 01 03 ...  meaning [faults]" or "... tx 01 03 ..."
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (faulty) {
            // A piece of a split reply may be a single byte.
            if (parts.size() >= 3)
                noteFaulty(line, parts);
            return;
        }
        if (parts.size() < 4 || parts[2] != QLatin1String("01") || parts[3] != QLatin1String("03"))
            return;
        if (parts[1] == QLatin1String("rx")) {
            ++polls;
        } else if (parts[1] == QLatin1String("tx") && parts.size() - 2 == replyLength) {
            QByteArray reply;
            for (int i = 2; i < parts.size(); ++i)
                reply.append(char(parts[i].toInt(nullptr, 16)));
            std::lock_guard<std::mutex> guard(lock);
            lastAnswer = reply;
            ++answers;
        }
    }

    void noteFaulty(const QString &line, const QStringList &parts)
    {
        if (parts[1] == QLatin1String("rx")) {
            if (parts.size() < 4 || parts[2] != QLatin1String("01") || parts[3] != QLatin1String("03")) {
                ++strayFrames;
                return;
            }
            ++polls;
            QStringList faults;
            if (line.endsWith(QLatin1Char(']'))) {
                const int open = line.lastIndexOf(QLatin1String(" ["));
                faults = line.mid(open + 2, line.size() - open - 3).split(QStringLiteral(", "));
            }
            Poll poll;
            poll.dropped = faults.contains(QStringLiteral("dropped"));
            poll.corrupted = faults.contains(QStringLiteral("corrupted"));
            poll.exception = faults.contains(QStringLiteral("exception"));
            faultyPolls.push_back(poll);
            if (poll.dropped)
                return;
            Outgoing reply;
            reply.poll = faultyPolls.size() - 1;
            reply.expected = poll.exception ? kExceptionReplyLength : replyLength;
            for (const QString &fault : faults) {
                // "split 3+86": the pieces add up to the reply as sent.
                if (fault.startsWith(QStringLiteral("split "))) {
                    const QStringList sizes = fault.mid(6).split(QLatin1Char('+'));
                    reply.expected = sizes.value(0).toInt() + sizes.value(1).toInt();
                }
            }
            outgoing.push_back(reply);
            return;
        }
        if (parts[1] != QLatin1String("tx"))
            return;
        if (outgoing.empty()) {
            ++strayPieces;
            return;
        }
        // The hex and the note ("not sent: ...") are two spaces apart.
        const int noteAt = line.indexOf(QLatin1String("  "));
        const QStringList hex = (noteAt < 0 ? line : line.left(noteAt)).split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(2);
        Outgoing &reply = outgoing.front();
        if (noteAt >= 0 && line.mid(noteAt).contains(QLatin1String("not sent"))) {
            reply.unsent = true;
        } else {
            for (const QString &byte : hex)
                reply.bytes.append(char(byte.toInt(nullptr, 16)));
        }
        reply.logged += hex.size();
        if (reply.logged < reply.expected)
            return;
        if (reply.logged > reply.expected)
            ++strayPieces;
        finish(reply);
        outgoing.pop_front();
    }

    void finish(const Outgoing &reply)
    {
        Poll &poll = faultyPolls[reply.poll];
        poll.finished = !reply.unsent && !windowClosed;
        const auto *bytes = reinterpret_cast<const std::uint8_t *>(reply.bytes.constData());
        const bool read = reply.bytes.size() == replyLength && bytes[Field::Address] == 1 && bytes[Field::Function] == kModbusRead;
        if (read)
            poll.table = sentKey(reply.bytes, meters);
        poll.intact = poll.finished && read && crcTrailerMatches(bytes, reply.bytes.size());
        if (poll.intact) {
            std::lock_guard<std::mutex> guard(lock);
            lastAnswer = reply.bytes;
            ++answers;
        }
    }
};

// Mismatching cells between the table and a reply, as "meter m: shown / sent".
QStringList tableAgainst(const QTableWidget *table, const QByteArray &reply, int meters)
{
    QStringList wrong;
    for (int m = 1; m <= meters; ++m) {
        const QString sent = sentValue(reply, m);
        const int row = (m - 1) % 7;
        const int column = 2 * ((m - 1) / 7);
        const QString shown = cellText(table, row, column + 1);
        if (cellText(table, row, column) != QString::number(m) || shown != sent)
            wrong << QStringLiteral("meter %1: %2 / %3").arg(m).arg(shown, sent);
    }
    return wrong;
}

// The polls on the faulty bus and the tables shown, matched.
struct FaultyTally {
    int dropped = 0;
    int corrupted = 0;
    int exceptions = 0;
    int unfinished = 0;
    int intact = 0;
    int shownIntact = 0;
    int shownFaulty = 0;
    int shownUnknown = 0;
    int lostAfterException = 0;
    QStringList lost; // poll numbers, from 1

    FaultyTally(std::vector<Poll> &polls, const std::vector<TableKey> &shownTables)
    {
        std::unordered_map<TableKey, std::size_t> byTable;
        for (std::size_t i = 0; i < polls.size(); ++i) {
            if (polls[i].table != 0)
                byTable[polls[i].table] = i;
        }
        for (TableKey shown : shownTables) {
            const auto match = byTable.find(shown);
            if (match == byTable.end()) {
                ++shownUnknown;
                continue;
            }
            Poll &poll = polls[match->second];
            ++poll.shown;
            ++(poll.intact ? shownIntact : shownFaulty);
        }
        // Whether the reply sent before a lost one (dropped polls sent none) was an
        // exception, the short reply that may stay in the window's queue.
        bool afterException = false;
        for (std::size_t i = 0; i < polls.size(); ++i) {
            const Poll &poll = polls[i];
            dropped += poll.dropped;
            corrupted += poll.corrupted;
            exceptions += poll.exception;
            if (poll.dropped)
                continue;
            unfinished += !poll.finished;
            if (poll.intact) {
                ++intact;
                if (poll.shown == 0) {
                    lost << QString::number(i + 1);
                    lostAfterException += afterException;
                }
            }
            afterException = poll.exception;
        }
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int seconds = 600;
    int meters = 21;
    bool faulty = false;
    bool trend = false;
    QString recordPath;
    std::uint32_t seed = SimulatorSettings().seed;
    bool usable = true;
    const QStringList arguments = app.arguments();
    for (int i = 1; i < arguments.size() && usable; ++i) {
        const QString &option = arguments[i];
        if (option == QLatin1String("--faulty")) {
            faulty = true;
            continue;
        }
        if (option == QLatin1String("--trend")) {
            trend = true;
            continue;
        }
        if (i + 1 == arguments.size()) {
            usable = false;
            break;
        }
        const QString &value = arguments[++i];
        if (option == QLatin1String("--seconds"))
            seconds = value.toInt(&usable);
        else if (option == QLatin1String("--meters"))
            meters = value.toInt(&usable);
        else if (option == QLatin1String("--seed"))
            seed = value.toUInt(&usable);
        else if (option == QLatin1String("--record"))
            recordPath = value;
        else
            usable = false;
    }
    if (!usable || seconds < 5 || meters < 1 || meters > 21) {
        std::fprintf(stderr, "usage: soak_acquisition [--seconds N>=5] [--meters 1..21] [--faulty] [--seed N] [--trend] "
                             "[--record FILE]\n");
        return 2;
    }

    SimulatorSettings settings;
    settings.addresses = {1};
    settings.meters = meters;
    settings.silentMeters = {meters > 7 ? 7 : 1};
    settings.seed = seed;
    if (faulty) {
        settings.dropRate = kFaultyDropRate;
        settings.corruptRate = kFaultyCorruptRate;
        settings.exceptionRate = kFaultyExceptionRate;
        settings.split = true;
        settings.jitterMs = kFaultyJitterMs;
    }
    GatewaySimulator simulator(settings);
    LineServer server(simulator);
    QString error;
    if (!server.openPseudoTerminal(&error)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
        return 2;
    }
    Traffic traffic;
    traffic.meters = meters;
    traffic.replyLength = readReplyLength(2 * meters);
    traffic.faulty = faulty;
    // About one poll a second; reserved now so that the bookkeeping stays out of the memory figure.
    std::vector<TableKey> shownTables;
    if (faulty) {
        traffic.faultyPolls.reserve(std::size_t(seconds) + 16);
        shownTables.reserve(std::size_t(seconds) + 16);
    }
    server.setTrafficLog([&](const QString &line) { traffic.note(line); });
    std::atomic<bool> stopServing{false};
    std::thread serving([&] { server.serve(stopServing); });

    Qwa window;
    window.show();
    const Ui::QwaClass &ui = window.form();
    ui.comchuankou->addItem(server.path());
    ui.comchuankou->setCurrentIndex(ui.comchuankou->count() - 1);
    ui.Btodakai->click();
    if (!window.isPortOpen()) {
        std::fprintf(stderr, "the window could not open %s\n", qPrintable(server.path()));
        stopServing = true;
        serving.join();
        return 2;
    }
    ui.comdizhi->clear();
    ui.comdizhi->addItem(QStringLiteral("1"));
    ui.lineshuliang->setText(QString::number(meters));

    // One dataChanged of cell (0, 0) per reply shown.
    int shown = 0;
    long baselineKiB = -1;
    long peakKiB = 0;
    QObject::connect(ui.tableWidget->model(), &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex &topLeft) {
                         if (topLeft.row() != 0 || topLeft.column() != 0)
                             return;
                         ++shown;
                         // Once the handler has filled the rest of the table.
                         if (faulty)
                             QTimer::singleShot(0, &app, [&] { shownTables.push_back(shownKey(ui.tableWidget, meters)); });
                         const long now = residentKiB();
                         if (shown == kWarmUpReplies)
                             baselineKiB = now;
                         peakKiB = std::max(peakKiB, now);
                     });

    const clockid_t process = CLOCK_PROCESS_CPUTIME_ID;
    const clockid_t gui = CLOCK_THREAD_CPUTIME_ID;
    clockid_t simulatorClock;
    pthread_getcpuclockid(serving.native_handle(), &simulatorClock);

    QElapsedTimer wall;
    wall.start();
    const double processAtStart = cpuSeconds(process);
    const double guiAtStart = cpuSeconds(gui);
    const double simulatorAtStart = cpuSeconds(simulatorClock);
    ui.Btocaiji->click();
    if (trend)
        window.openTrend();
    if (!recordPath.isEmpty() && !window.startRecording(recordPath)) {
        std::fprintf(stderr, "cannot record to %s\n", qPrintable(recordPath));
        stopServing = true;
        serving.join();
        return 2;
    }

    // A line now and then on stderr, to see memory level off on a long run.
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        std::fprintf(stderr, "%6.0f s  %d %s  %d shown  %ld KiB\n", wall.elapsed() / 1000.0,
                     traffic.answers.load(), faulty ? "intact" : "answered", shown, residentKiB());
    });
    progress.start(std::max(10, seconds / 10) * 1000);

    QTimer::singleShot(seconds * 1000, [&] {
        ui.Btocaiji->click();
        // Still under the acquisition's code, so a reply on its way is shown too.
        QTimer::singleShot(1500, &app, &QApplication::quit);
    });
    app.exec();
    traffic.windowClosed = true;

    const double elapsed = wall.elapsed() / 1000.0;
    const double processCpu = cpuSeconds(process) - processAtStart;
    const double guiCpu = cpuSeconds(gui) - guiAtStart;
    const double simulatorCpu = cpuSeconds(simulatorClock) - simulatorAtStart;
    const long endKiB = residentKiB();
    stopServing = true;
    serving.join();

    QByteArray lastAnswer;
    {
        std::lock_guard<std::mutex> guard(traffic.lock);
        lastAnswer = traffic.lastAnswer;
    }
    const QStringList wrong = lastAnswer.isEmpty() ? QStringList{QStringLiteral("no answer at all")}
                                                   : tableAgainst(ui.tableWidget, lastAnswer, meters);
    const double growthKiB = double(endKiB - baselineKiB);
    const double toolPercent = 100.0 * (processCpu - simulatorCpu) / elapsed;
    // The recording ends with the acquisition: its lines are all there to count.
    int recorded = 0;
    int recordedValues = 0;
    QFile recording(recordPath);
    if (!recordPath.isEmpty() && recording.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : recording.readAll().split('\n')) {
            if (line.isEmpty() || line.startsWith('#') || line.startsWith("time,"))
                continue;
            ++recorded;
            bool number = false;
            const QByteArray first = line.split(',').value(1);
            first.toDouble(&number);
            recordedValues += number || first == "timeout" ? 1 : 0;
        }
    }
    // On a faulty bus an answer may have failed its check at the window.
    const bool recordingWhole = recordPath.isEmpty() || faulty || recordedValues >= traffic.answers;
    const bool withinLimits = traffic.answers > 0 && wrong.isEmpty() && baselineKiB > 0 && growthKiB < kMaxGrowthKiB
                              && toolPercent < kMaxCorePercent && recordingWhole;

    bool passed = false;
    if (!faulty) {
        const int lost = traffic.answers - shown;
        std::printf("duration          %.1f s, %d meters\n", elapsed, meters);
        std::printf("polls heard       %d\n", traffic.polls.load());
        std::printf("polls answered    %d\n", traffic.answers.load());
        std::printf("replies shown     %d (lost %d)\n", shown, lost);
        std::printf("table vs last     %s\n", wrong.isEmpty() ? "same" : qPrintable(wrong.join(QStringLiteral("; "))));
        passed = lost == 0 && withinLimits;
    } else {
        const FaultyTally tally(traffic.faultyPolls, shownTables);
        QString lostPolls = tally.lost.mid(0, kListedPolls).join(QStringLiteral(", "));
        if (tally.lost.size() > kListedPolls)
            lostPolls += QStringLiteral(", ...");
        std::printf("duration          %.1f s, %d meters, faulty bus, seed %u\n", elapsed, meters, seed);
        std::printf("polls heard       %d\n", traffic.polls.load());
        std::printf("  dropped         %d\n", tally.dropped);
        std::printf("  corrupted       %d\n", tally.corrupted);
        std::printf("  exception       %d\n", tally.exceptions);
        std::printf("  unfinished      %d (reply still going out when the window closed)\n", tally.unfinished);
        if (traffic.strayFrames > 0 || traffic.strayPieces > 0)
            std::printf("  not polls       %d frames heard, %d replies sent out of step\n", traffic.strayFrames,
                        traffic.strayPieces);
        std::printf("replies intact    %d\n", tally.intact);
        std::printf("replies shown     %d (%d intact, %d from a faulty reply, %d from no reply sent)\n", shown,
                    tally.shownIntact, tally.shownFaulty, tally.shownUnknown);
        std::printf("collateral loss   %d", int(tally.lost.size()));
        if (!tally.lost.isEmpty())
            std::printf(" (%d next after an exception; polls %s)", tally.lostAfterException, qPrintable(lostPolls));
        std::printf("\n");
        std::printf("table vs intact   %s\n", wrong.isEmpty() ? "same" : qPrintable(wrong.join(QStringLiteral("; "))));
        passed = tally.lost.isEmpty() && tally.shownFaulty == 0 && tally.shownUnknown == 0 && traffic.strayFrames == 0
                 && traffic.strayPieces == 0 && withinLimits;
    }
    if (!recordPath.isEmpty())
        std::printf("recorded          %d lines, %d with values%s\n", recorded, recordedValues,
                    recordingWhole ? "" : " (fewer than the polls answered)");
    if (trend)
        std::printf("trend             open, %d polls held\n", window.trend().size());
    std::printf("resident memory   %ld KiB after %d replies, %ld KiB at the end, peak %ld KiB, growth %+.0f KiB\n",
                baselineKiB, kWarmUpReplies, endKiB, peakKiB, growthKiB);
    std::printf("cpu, tool         %.2f s = %.3f%% of a core (GUI thread %.2f s, simulator thread %.2f s apart)\n",
                processCpu - simulatorCpu, toolPercent, guiCpu, simulatorCpu);
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
