// How every case is run: a few repetitions, reported as median and minimum (the machines are
// shared; the minimum is the least disturbed run, the median the typical one).
#pragma once

#include "sdk/LedColourFrame.h"

#include <benchmark/benchmark.h>

#include <QVector>

#include <algorithm>

inline void repeatedRuns(benchmark::internal::Benchmark *b)
{
    b->Repetitions(5)
        ->MinTime(0.1)
        ->ComputeStatistics(
            "min",
            [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); })
        ->ReportAggregatesOnly(true);
}

// Wall-clock time: the host's thread is blocked for the whole call, not only while it computes.
inline void repeated(benchmark::internal::Benchmark *b)
{
    repeatedRuns(b);
    b->UseRealTime();
}

// count entries with LED ids spread evenly over all of the device's LEDs, so that on a merged
// device every board gets its share.
// Entries of the worker's frame (LedColour) or the host's (TalvernPluginLedColor).
template<class Entry = LedColour>
QVector<Entry> spreadFrame(const QVector<int32_t> &ledIds, int count)
{
    QVector<Entry> frame;
    if (ledIds.isEmpty())
        return frame;
    for (int i = 0; i < count; ++i) {
        const int32_t id = ledIds[int(qint64(i) * ledIds.size() / count)];
        frame.append({ id, i & 0xFF, (i * 7) & 0xFF, (i * 13) & 0xFF });
    }
    return frame;
}
