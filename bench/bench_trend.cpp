// The trend's costs with a whole day held: 24 hours of 21 meters at one poll a
// second (86,400 polls, 1.8 million values).
//  - adding one poll to the store: the mean and the slowest of the day's polls;
//  - memory: the store's own count and the process's resident growth;
//  - one repaint of the trend at 800x400 for each span, the mean of 20.
//
//   bench_trend [IMAGE]    IMAGE: the last repaint, to look at
//
// Exit status 0 when a poll takes under 1 ms, a repaint under 16 ms and the
// day under 40 MB. The values are a random walk with gaps (a silent meter, an
// unanswered poll now and then), so that the drawing has lines, bars and gaps.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include <unistd.h>

#include "trend_view.h"
#include "trendstore.h"
#include "residentmemory.h"

namespace {

constexpr int kPolls = 24 * 3600;
constexpr double kMaxAppendMs = 1.0;
constexpr double kMaxRepaintMs = 16.0;
constexpr double kMaxMiB = 40.0;
constexpr int kRepaints = 20;

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::mt19937 random(1);
    std::normal_distribution<float> step(0, 0.05f);
    std::uniform_real_distribution<float> unit(0, 1);
    float level[TrendStore::kMeters];
    for (int m = 0; m < TrendStore::kMeters; ++m)
        level[m] = 15.0f + m;

    const long before = residentKiB();
    TrendStore store;
    QElapsedTimer clock;
    qint64 slowestNs = 0;
    qint64 totalNs = 0;
    const qint64 start = 1700000000000;
    float values[TrendStore::kMeters];
    for (int i = 0; i < kPolls; ++i) {
        const bool answered = unit(random) > 0.01f;
        for (int m = 0; m < TrendStore::kMeters; ++m) {
            level[m] += step(random);
            values[m] = m == 6 ? NAN : level[m];
        }
        clock.start();
        store.append(start + i * 1000LL, values, answered ? TrendStore::kMeters : 0);
        const qint64 ns = clock.nsecsElapsed();
        totalNs += ns;
        slowestNs = std::max(slowestNs, ns);
    }
    const long after = residentKiB();
    const double meanMs = totalNs / 1e6 / kPolls;
    const double storeMiB = store.bytesHeld() / 1048576.0;
    const double residentMiB = (after - before) / 1024.0;

    auto *plot = new TrendPlot(store, nullptr);
    plot->resize(800, 400);
    QImage image(plot->size(), QImage::Format_ARGB32_Premultiplied);
    const char *names[] = {"10 minutes", "1 hour", "all"};
    const qint64 spans[] = {600000, 3600000, 0};
    double worstRepaintMs = 0;
    std::printf("polls held        %d (%d meters, 24 h at one a second)\n", store.size(), store.meters());
    std::printf("add one poll      %.4f ms mean, %.3f ms slowest\n", meanMs, slowestNs / 1e6);
    std::printf("memory            %.1f MiB held by the store, %.1f MiB resident growth\n", storeMiB, residentMiB);
    for (int s = 0; s < 3; ++s) {
        plot->setSpan(spans[s]);
        plot->render(&image);
        clock.start();
        for (int r = 0; r < kRepaints; ++r)
            plot->render(&image);
        const double ms = clock.nsecsElapsed() / 1e6 / kRepaints;
        worstRepaintMs = std::max(worstRepaintMs, ms);
        std::printf("repaint 800x400   %.2f ms, span %s\n", ms, names[s]);
    }
    if (argc > 1)
        image.save(QString::fromLocal8Bit(argv[1]));
    delete plot;
    const bool passed = slowestNs / 1e6 < kMaxAppendMs && worstRepaintMs < kMaxRepaintMs
                        && std::max(storeMiB, residentMiB) < kMaxMiB;
    std::printf("%s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
