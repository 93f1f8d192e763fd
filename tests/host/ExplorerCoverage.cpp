#include "ExplorerCoverage.h"

#include <cstdint>
#include <queue>

namespace explorer {
namespace {

using Values = std::array<int, DimensionCount>;

// What a combination covers, numbered: each pair of values of two dimensions that take part in it
// and, in the full run, its triple of point, first action and release.
class Keys
{
public:
    explicit Keys(bool triples)
        : m_triples(triples)
    {
        for (int a = 0; a < DimensionCount; ++a) {
            for (int b = a + 1; b < DimensionCount; ++b) {
                m_offset[a][b] = m_pairs;
                m_pairs += valueCount(Dimension(a)) * valueCount(Dimension(b));
            }
        }
    }
    int count() const
    {
        return m_pairs
            + (m_triples ? valueCount(Dimension::Point) * valueCount(Dimension::First)
                       * valueCount(Dimension::Release)
                         : 0);
    }
    bool isPair(int key) const { return key < m_pairs; }
    std::vector<int> of(const Combination &combination) const
    {
        const Values v = combination.values();
        std::vector<int> keys;
        for (int a = 0; a < DimensionCount; ++a) {
            for (int b = a + 1; b < DimensionCount; ++b) {
                if (isActive(combination, Dimension(a)) && isActive(combination, Dimension(b)))
                    keys.push_back(m_offset[a][b] + v[a] * valueCount(Dimension(b)) + v[b]);
            }
        }
        const int point = int(Dimension::Point), first = int(Dimension::First),
                  release = int(Dimension::Release);
        if (m_triples)
            keys.push_back(m_pairs
                           + (v[point] * valueCount(Dimension::First) + v[first])
                               * valueCount(Dimension::Release)
                           + v[release]);
        return keys;
    }

private:
    bool m_triples;
    int m_offset[DimensionCount][DimensionCount] = {};
    int m_pairs = 0;
};

// A greedy set cover of every key some runnable combination has, from the pinned schedules on,
// with gains updated lazily (a combination's gain only falls as others are chosen). Ties go by a
// fixed shuffle, not by enumeration order, which would give every dimension the pairs leave free
// its first value.
Coverage cover(Platform platform, bool triples)
{
    const Keys keys(triples);
    std::vector<Combination> runnable;
    std::vector<std::vector<int>> keysOf;
    Values values {};
    for (;;) {
        const Combination combination = Combination::fromValues(values);
        if (!whyNot(combination, platform)) {
            runnable.push_back(combination);
            keysOf.push_back(keys.of(combination));
        }
        int d = DimensionCount - 1;
        while (d >= 0 && ++values[d] == valueCount(Dimension(d)))
            values[d--] = 0;
        if (d < 0)
            break;
    }
    Coverage coverage;
    coverage.runnable = int(runnable.size());
    std::vector<bool> wanted(std::size_t(keys.count()), false);
    for (const std::vector<int> &covered : keysOf) {
        for (int key : covered)
            wanted[std::size_t(key)] = true;
    }
    for (std::size_t key = 0; key < wanted.size(); ++key) {
        if (wanted[key])
            ++(keys.isPair(int(key)) ? coverage.pairs : coverage.triples);
    }
    const auto choose = [&](const Combination &combination) {
        coverage.combinations.push_back(combination);
        for (int key : keys.of(combination))
            wanted[std::size_t(key)] = false;
    };
    for (const Combination &combination : pinnedSchedules(platform))
        choose(combination);

    const auto gainOf = [&](std::size_t index) {
        int gain = 0;
        for (int key : keysOf[index])
            gain += wanted[std::size_t(key)] ? 1 : 0;
        return gain;
    };
    struct Entry
    {
        int gain;
        std::uint32_t rank;
        std::size_t index;
        bool operator<(const Entry &other) const
        {
            return gain != other.gain ? gain < other.gain : rank > other.rank;
        }
    };
    std::priority_queue<Entry> queue;
    std::uint32_t state = 20261208u;
    for (std::size_t i = 0; i < runnable.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        queue.push({ gainOf(i), state, i });
    }
    while (!queue.empty()) {
        Entry entry = queue.top();
        queue.pop();
        const int gain = gainOf(entry.index);
        if (gain < entry.gain && gain > 0) {
            entry.gain = gain;
            queue.push(entry);
        } else if (gain > 0) {
            choose(runnable[entry.index]);
        }
    }
    return coverage;
}

Combination pinned(const char *text)
{
    return *fromText(text);
}

} // namespace

std::vector<Combination> pinnedSchedules(Platform platform)
{
    std::vector<Combination> schedules {
        // A worker let go in the SDK's stop call, taken for ended while it still closed: a later
        // table deleted its controller under it (the stop call then ran on a host thread).
        pinned("StopControl/give-back-last-table@other/quiet/ok/never/take-table"),
        // The same for a worker let go in a hung Apply that then met a slow stop call.
        pinned("Apply+StopControl/give-back-last-table@other/quiet/ok/after/take-table"),
        // Subscribed on one thread, unsubscribed, that thread ended, subscribed again on another:
        // the report went to the ended thread.
        pinned("StopControl/end-subscribing-thread@subscribing/quiet/ok/after/subscribe"),
        // The subscribing thread ends while the board is listed: its report has no loop to run
        // in, yet nothing waits for it and frames still reach the lights.
        pinned("Enumerate/end-subscribing-thread@subscribing/quiet/ok/after/take-table"),
        // The last table given back in the callback, then the unload: the module's own reference
        // kept the library mapped.
        pinned("StopControl/give-back-last-table@callback/quiet/ok/before/unload"),
        // The last table back and the unload during a hung Apply; the exit during one, with a
        // host thread waiting for its frame; the exit while the worker enumerates, going on as
        // the process ends; the last table back under a lock the callback waits for, then the
        // unload (the controller goes as the callback returns); a mode change while Apply
        // delivers the worker's events.
        pinned("Apply/give-back-last-table@other/quiet/ok/never/unload"),
        pinned("Apply/exit@other/quiet/ok/never/take-table"),
        pinned("devices.get_Item/exit@subscribing/quiet/ok/before/take-table"),
        pinned("Apply/give-back-last-table@locked/quiet/ok/before/unload"),
        pinned("Apply/mode-1@other/pumping/ok/after/take-table"),
    };
    if (platform == Platform::Linux) {
        // The first host thread to see a stall had no heap left for its warning: the process
        // ended.
        schedules.push_back(pinned("Apply/frame@failing-heap/quiet/ok/never/take-table"));
        // A new controller made on a failing heap, after the last table went back.
        schedules.push_back(
            pinned("StopControl/give-back-last-table@failing-heap/quiet/ok/before/subscribe"));
    }
    return schedules;
}

Coverage sample(Platform platform)
{
    return cover(platform, false);
}

Coverage fullRun(Platform platform)
{
    return cover(platform, true);
}

} // namespace explorer
