#include "LatencyStats.h"

#include <algorithm>
#include <cmath>

std::int64_t LatencyStats::percentile(double p) const
{
    if (m_samples.isEmpty())
        return 0;
    QVector<std::int64_t> sorted = m_samples;
    const int rank = std::clamp(int(std::ceil(p / 100.0 * sorted.size())), 1, sorted.size());
    std::nth_element(sorted.begin(), sorted.begin() + (rank - 1), sorted.end());
    return sorted[rank - 1];
}

std::int64_t LatencyStats::maximum() const
{
    return m_samples.isEmpty() ? 0 : *std::max_element(m_samples.cbegin(), m_samples.cend());
}
