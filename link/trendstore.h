#pragma once

#include <QtGlobal>

#include <array>
#include <deque>
#include <vector>

#include "registers.h"

// Every poll of the acquisition for the whole session, for the trend view:
// one time a poll and one float a meter, NaN where there is no value (a
// silent meter, a poll not answered). 24 hours of 21 meters at one poll a
// second take about 9 MB.
//
// The view asks for per-pixel minimum and maximum. Blocks of 16, 256, 4096…
// polls keep their own minimum and maximum, so a column's summary costs the
// same however much is held.
class TrendStore
{
public:
    static constexpr int kMeters = kMaxMeters;

    // One poll: its time (milliseconds since the epoch) and up to kMeters
    // values, NaN for none; meters beyond `count` have none. A time before the
    // last one held (the clock set back) is taken as the last one.
    void append(qint64 time, const float *values, int count);
    // A poll without values: the acquisition stopped there, so no line crosses it.
    void appendGap(qint64 time) { append(time, nullptr, 0); }

    int size() const { return int(times.size()); }
    bool isEmpty() const { return times.empty(); }
    qint64 timeAt(int index) const { return times[std::size_t(index)]; }
    float value(int meter, int index) const { return series[std::size_t(meter)].raw[std::size_t(index)]; }
    // The most meters a poll has carried.
    int meters() const { return meterCount; }
    // The first poll at or after the time.
    int indexAt(qint64 time) const;

    // The polls in [begin, end) of one meter: their smallest and largest value,
    // NaN for both when none has one.
    struct Range {
        float min;
        float max;
    };
    Range range(int meter, int begin, int end) const;

    // The polls from `from` up to `to` in `count` columns, column i holding
    // those at or after from + (to - from) * i / count: each column's first
    // poll and one past its last (equal when it holds none).
    struct Column {
        int begin;
        int end;
    };
    std::vector<Column> columns(qint64 from, qint64 to, int count) const;

    // Bytes held, for the benchmark.
    std::size_t bytesHeld() const;

private:
    static constexpr int kFanOut = 16;
    struct Series {
        std::deque<float> raw;
        // levels[k][i]: polls [i * 16^(k+1), (i+1) * 16^(k+1)), the last one partial.
        std::vector<std::vector<Range>> levels;
    };
    void summarize(Series &series, float value, std::size_t index);

    std::deque<qint64> times;
    std::array<Series, kMeters> series;
    int meterCount = 0;
};
