// Soak of the bus acquisition: the window polls 21 meters of the simulated
// gateway (served on a thread of its own over a pty) for a given time, then
// reports
//  - polls heard and answered by the simulator, replies shown in the table;
//  - the table against the last reply the simulator sent;
//  - resident memory after warm-up and at the end;
//  - CPU time of the tool (the process without the simulator thread) per wall second.
//
//   soak_acquisition [--seconds N] [--meters N]     defaults: 600 s, 21 meters
//
// Exit status 0 when no answered poll was lost, the table matches, memory grew
// by less than 1 MB and the tool used under 2% of a core.
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
#include <mutex>
#include <thread>

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include "frames.h"
#include "gatewaysimulator.h"
#include "lineserver.h"
#include "qwa.h"

namespace {

constexpr double kMaxGrowthKiB = 1024.0;
constexpr double kMaxCorePercent = 2.0;
constexpr int kWarmUpReplies = 5;

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// What the simulator thread reports through its traffic log.
struct Traffic {
    std::atomic<int> polls{0};
    std::atomic<int> answers{0};
    std::mutex lock;
    QByteArray lastAnswer;

    void note(const QString &line, int replyLength)
    {
        // "HH:mm:ss.zzz rx 01 03 ..." or "... tx 01 03 ..."
        const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
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
};

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

// Mismatching cells between the table and a reply, as "meter m: shown / sent".
QStringList tableAgainst(const QTableWidget *table, const QByteArray &reply, int meters)
{
    QStringList wrong;
    for (int m = 1; m <= meters; ++m) {
        const auto *value = reinterpret_cast<const std::uint8_t *>(reply.constData()) + 3 + 4 * (m - 1);
        const bool silent = std::memcmp(value, "\xFF\xFF\xFF\xFF", 4) == 0;
        const QString sent = silent ? QStringLiteral("超时") : QString::asprintf("%.4f", double(floatFromBigEndian(value)));
        const int row = (m - 1) % 7;
        const int column = 2 * ((m - 1) / 7);
        const QString shown = cellText(table, row, column + 1);
        if (cellText(table, row, column) != QString::number(m) || shown != sent)
            wrong << QStringLiteral("meter %1: %2 / %3").arg(m).arg(shown, sent);
    }
    return wrong;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    int seconds = 600;
    int meters = 21;
    const QStringList arguments = app.arguments();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--seconds"))
            seconds = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--meters"))
            meters = arguments[i + 1].toInt();
    }
    if (seconds < 5 || meters < 1 || meters > 21) {
        std::fprintf(stderr, "usage: soak_acquisition [--seconds N>=5] [--meters 1..21]\n");
        return 2;
    }

    SimulatorSettings settings;
    settings.addresses = {1};
    settings.meters = meters;
    settings.silentMeters = {meters > 7 ? 7 : 1};
    GatewaySimulator simulator(settings);
    LineServer server(simulator);
    QString error;
    if (!server.openPseudoTerminal(&error)) {
        std::fprintf(stderr, "no pseudo-terminal: %s\n", qPrintable(error));
        return 2;
    }
    Traffic traffic;
    const int replyLength = 4 * meters + 5;
    server.setTrafficLog([&](const QString &line) { traffic.note(line, replyLength); });
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

    // A line now and then on stderr, to see memory level off on a long run.
    QTimer progress;
    QObject::connect(&progress, &QTimer::timeout, [&] {
        std::fprintf(stderr, "%6.0f s  %d answered  %d shown  %ld KiB\n", wall.elapsed() / 1000.0,
                     traffic.answers.load(), shown, residentKiB());
    });
    progress.start(std::max(10, seconds / 10) * 1000);

    QTimer::singleShot(seconds * 1000, [&] {
        ui.Btocaiji->click();
        // Still under the acquisition's code, so a reply on its way is shown too.
        QTimer::singleShot(1500, &app, &QApplication::quit);
    });
    app.exec();

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
    const int lost = traffic.answers - shown;
    const double growthKiB = double(endKiB - baselineKiB);
    const double toolPercent = 100.0 * (processCpu - simulatorCpu) / elapsed;

    std::printf("duration          %.1f s, %d meters\n", elapsed, meters);
    std::printf("polls heard       %d\n", traffic.polls.load());
    std::printf("polls answered    %d\n", traffic.answers.load());
    std::printf("replies shown     %d (lost %d)\n", shown, lost);
    std::printf("table vs last     %s\n", wrong.isEmpty() ? "same" : qPrintable(wrong.join(QStringLiteral("; "))));
    std::printf("resident memory   %ld KiB after %d replies, %ld KiB at the end, peak %ld KiB, growth %+.0f KiB\n",
                baselineKiB, kWarmUpReplies, endKiB, peakKiB, growthKiB);
    std::printf("cpu, tool         %.2f s = %.3f%% of a core (GUI thread %.2f s, simulator thread %.2f s apart)\n",
                processCpu - simulatorCpu, toolPercent, guiCpu, simulatorCpu);

    const bool passed = lost == 0 && traffic.answers > 0 && wrong.isEmpty() && baselineKiB > 0
                        && growthKiB < kMaxGrowthKiB && toolPercent < kMaxCorePercent;
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
