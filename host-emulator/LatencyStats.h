// Durations of the frame call, summarised as percentiles. Not thread-safe: one writer, and
// readers take a copy under the owner's lock.
#pragma once

#include <QVector>

#include <cstdint>

class LatencyStats
{
public:
    void add(std::int64_t microseconds) { m_samples.append(microseconds); }
    int count() const { return m_samples.size(); }
    // The nearest-rank percentile (0 < p <= 100), or 0 without samples.
    std::int64_t percentile(double p) const;
    std::int64_t maximum() const;

private:
    QVector<std::int64_t> m_samples;
};
