#include "trendstore.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
// Blocks of 16 to 16^5 polls; beyond 12 days at a poll a second the top
// level has a few blocks more to look at.
constexpr int kLevels = 5;

// fmin and fmax pass over NaN, so a gap never hides a value.
void widen(TrendStore::Range &range, float low, float high)
{
    range.min = std::fmin(range.min, low);
    range.max = std::fmax(range.max, high);
}

} // namespace

void TrendStore::append(qint64 time, const float *values, int count)
{
    const std::size_t index = times.size();
    times.push_back(times.empty() ? time : std::max(time, times.back()));
    meterCount = std::max(meterCount, std::min(count, kMeters));
    for (int m = 0; m < kMeters; ++m) {
        // A value that cannot be drawn (inf, NaN from the wire) is a gap too.
        const float value = values && m < count && std::isfinite(values[m]) ? values[m] : kNone;
        series[std::size_t(m)].raw.push_back(value);
        summarize(series[std::size_t(m)], value, index);
    }
}

void TrendStore::summarize(Series &s, float value, std::size_t index)
{
    if (s.levels.empty())
        s.levels.resize(kLevels);
    std::size_t block = index;
    for (std::vector<Range> &level : s.levels) {
        block /= kFanOut;
        if (block == level.size())
            level.push_back({kNone, kNone});
        widen(level[block], value, value);
    }
}

int TrendStore::indexAt(qint64 time) const
{
    return int(std::lower_bound(times.begin(), times.end(), time) - times.begin());
}

TrendStore::Range TrendStore::range(int meter, int begin, int end) const
{
    const Series &s = series[std::size_t(meter)];
    Range range{kNone, kNone};
    std::size_t a = std::size_t(std::max(begin, 0));
    std::size_t b = std::size_t(std::min(end, size()));
    const auto scan = [&](int level, std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i) {
            if (level < 0)
                widen(range, s.raw[i], s.raw[i]);
            else
                widen(range, s.levels[std::size_t(level)][i].min, s.levels[std::size_t(level)][i].max);
        }
    };
    // The ends that do not fill a block at this level, then the blocks between
    // them one level up.
    for (int level = -1; a < b; ++level) {
        const std::size_t up = (a + kFanOut - 1) / kFanOut;
        const std::size_t upEnd = b / kFanOut;
        if (level + 1 >= int(s.levels.size()) || up >= upEnd) {
            scan(level, a, b);
            break;
        }
        scan(level, a, up * kFanOut);
        scan(level, upEnd * kFanOut, b);
        a = up;
        b = upEnd;
    }
    return range;
}

std::vector<TrendStore::Column> TrendStore::columns(qint64 from, qint64 to, int count) const
{
    std::vector<Column> out(std::size_t(std::max(count, 0)));
    int begin = indexAt(from);
    for (int i = 0; i < count; ++i) {
        const int end = indexAt(from + (to - from) * (i + 1) / count);
        out[std::size_t(i)] = {begin, end};
        begin = end;
    }
    return out;
}

std::size_t TrendStore::bytesHeld() const
{
    std::size_t bytes = times.size() * sizeof(qint64);
    for (const Series &s : series) {
        bytes += s.raw.size() * sizeof(float);
        for (const std::vector<Range> &level : s.levels)
            bytes += level.capacity() * sizeof(Range);
    }
    return bytes;
}
