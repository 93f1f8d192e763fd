#include "ExplorerCoverage.h"

#include <cstdint>
#include <queue>
#include <set>
#include <tuple>

namespace explorer {
namespace {

using Values = std::array<int, DimensionCount>;

// Each pair of (dimension, value) from two dimensions gets one number.
class PairNumbers
{
public:
    PairNumbers()
    {
        for (int a = 0; a < DimensionCount; ++a) {
            for (int b = a + 1; b < DimensionCount; ++b) {
                m_offset[a][b] = m_count;
                m_count += valueCount(Dimension(a)) * valueCount(Dimension(b));
            }
        }
    }
    int count() const { return m_count; }
    // The pairs a combination exercises: only between dimensions that take part in it.
    std::vector<int> of(const Combination &combination) const
    {
        const Values values = combination.values();
        std::vector<int> pairs;
        for (int a = 0; a < DimensionCount; ++a) {
            if (!isActive(combination, Dimension(a)))
                continue;
            for (int b = a + 1; b < DimensionCount; ++b) {
                if (isActive(combination, Dimension(b)))
                    pairs.push_back(m_offset[a][b] + values[a] * valueCount(Dimension(b))
                                    + values[b]);
            }
        }
        return pairs;
    }

private:
    int m_offset[DimensionCount][DimensionCount] = {};
    int m_count = 0;
};

struct Candidates
{
    std::vector<Combination> runnable;
    std::vector<std::vector<int>> pairs; // of each runnable combination
};

Candidates runnableCombinations(Platform platform, const PairNumbers &numbers)
{
    Candidates candidates;
    Values values {};
    for (;;) {
        const Combination combination = Combination::fromValues(values);
        if (!whyNot(combination, platform)) {
            candidates.runnable.push_back(combination);
            candidates.pairs.push_back(numbers.of(combination));
        }
        int dimension = DimensionCount - 1;
        while (dimension >= 0 && ++values[dimension] == valueCount(Dimension(dimension)))
            values[dimension--] = 0;
        if (dimension < 0)
            return candidates;
    }
}

class Chooser
{
public:
    explicit Chooser(Platform platform)
        : m_candidates(runnableCombinations(platform, m_numbers))
        , m_wanted(std::size_t(m_numbers.count()), false)
        , m_chosen(m_candidates.runnable.size(), false)
        , m_rank(m_candidates.runnable.size())
    {
        // Ties go by a fixed shuffle of the candidates, not by their enumeration order, which
        // would fill every dimension the pairs leave free with its first value.
        std::vector<std::size_t> order(m_rank.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::uint32_t state = 20261208u;
        for (std::size_t i = order.size(); i > 1; --i) {
            state = state * 1664525u + 1013904223u;
            std::swap(order[i - 1], order[(state >> 8) % i]);
        }
        for (std::size_t i = 0; i < order.size(); ++i)
            m_rank[order[i]] = int(i);
        for (const std::vector<int> &pairs : m_candidates.pairs) {
            for (int pair : pairs)
                m_wanted[std::size_t(pair)] = true;
        }
        for (bool wanted : m_wanted)
            m_pairs += wanted ? 1 : 0;
    }

    int runnable() const { return int(m_candidates.runnable.size()); }
    int pairs() const { return m_pairs; }
    const std::vector<Combination> &chosen() const { return m_list; }

    void add(const Combination &combination)
    {
        m_list.push_back(combination);
        for (int pair : m_numbers.of(combination))
            m_wanted[std::size_t(pair)] = false;
    }

    // Of the runnable combinations that `among` accepts, the one that covers the most pairs not
    // covered yet (the first in the shuffle on a tie).
    template<class Among>
    int best(Among &&among) const
    {
        int chosen = -1;
        int most = -1;
        for (std::size_t i = 0; i < m_candidates.runnable.size(); ++i) {
            if (m_chosen[i] || !among(m_candidates.runnable[i]))
                continue;
            const int gain = gainOf(i);
            if (gain > most || (gain == most && m_rank[i] < m_rank[std::size_t(chosen)])) {
                most = gain;
                chosen = int(i);
            }
        }
        return chosen;
    }
    void choose(int index)
    {
        m_chosen[std::size_t(index)] = true;
        add(m_candidates.runnable[std::size_t(index)]);
    }

    // Greedy set cover of the pairs left, with lazily updated gains: a combination's gain only
    // falls as others are chosen.
    void coverPairs()
    {
        struct Entry
        {
            int gain;
            int rank; // the first in the shuffle wins a tie
            std::size_t index;
            bool operator<(const Entry &other) const
            {
                return gain != other.gain ? gain < other.gain : rank > other.rank;
            }
        };
        std::priority_queue<Entry> queue;
        for (std::size_t i = 0; i < m_candidates.runnable.size(); ++i) {
            if (!m_chosen[i])
                queue.push({ gainOf(i), m_rank[i], i });
        }
        while (!queue.empty()) {
            Entry entry = queue.top();
            queue.pop();
            const int gain = gainOf(entry.index);
            if (gain == 0)
                continue;
            if (gain < entry.gain) {
                entry.gain = gain;
                queue.push(entry);
                continue;
            }
            choose(int(entry.index));
        }
    }

private:
    int gainOf(std::size_t index) const
    {
        int gain = 0;
        for (int pair : m_candidates.pairs[index])
            gain += m_wanted[std::size_t(pair)] ? 1 : 0;
        return gain;
    }

    PairNumbers m_numbers;
    Candidates m_candidates;
    std::vector<bool> m_wanted; // pairs some runnable combination has and none chosen covers yet
    std::vector<bool> m_chosen;
    std::vector<int> m_rank; // each candidate's place in the shuffle
    std::vector<Combination> m_list;
    int m_pairs = 0;
};

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
        // The last table given back in the callback, then the unload: the module's own reference
        // kept the library mapped.
        pinned("StopControl/give-back-last-table@callback/quiet/ok/before/unload"),
        // The last table back and the unload during a hung Apply; the exit during one, with a
        // host thread waiting for its frame; the exit while the worker enumerates, going on as
        // the process ends; the last table back under a lock the callback waits for; a mode
        // change while Apply delivers the worker's events.
        pinned("Apply/give-back-last-table@other/quiet/ok/never/unload"),
        pinned("Apply/exit@other/quiet/ok/never/take-table"),
        pinned("devices.get_Item/exit@subscribing/quiet/ok/before/take-table"),
        pinned("Apply/give-back-last-table@locked/quiet/ok/before/take-table"),
        pinned("Apply/mode-1@other/pumping/ok/after/take-table"),
    };
    if (platform == Platform::Linux) {
        // The first host thread to see a stall had no heap left for its warning: the process
        // ended.
        schedules.push_back(pinned("Apply/frame@failing-heap/quiet/ok/never/take-table"));
    }
    return schedules;
}

Coverage sample(Platform platform)
{
    Chooser chooser(platform);
    for (const Combination &combination : pinnedSchedules(platform))
        chooser.add(combination);
    chooser.coverPairs();
    return { chooser.chosen(), chooser.runnable(), chooser.pairs(), 0 };
}

Coverage fullRun(Platform platform)
{
    Chooser chooser(platform);
    for (const Combination &combination : pinnedSchedules(platform))
        chooser.add(combination);
    std::set<std::tuple<int, int, int>> triples;
    for (int point = 0; point < valueCount(Dimension::Point); ++point) {
        for (int first = 0; first < valueCount(Dimension::First); ++first) {
            for (int release = 0; release < valueCount(Dimension::Release); ++release) {
                const int index = chooser.best([&](const Combination &c) {
                    return int(c.point) == point && int(c.first) == first
                        && int(c.release) == release;
                });
                if (index < 0)
                    continue; // no runnable combination has this triple
                triples.insert({ point, first, release });
                const bool covered = [&] {
                    for (const Combination &c : chooser.chosen()) {
                        if (int(c.point) == point && int(c.first) == first
                            && int(c.release) == release)
                            return true;
                    }
                    return false;
                }();
                if (!covered)
                    chooser.choose(index);
            }
        }
    }
    chooser.coverPairs();
    return { chooser.chosen(), chooser.runnable(), chooser.pairs(), int(triples.size()) };
}

} // namespace explorer
