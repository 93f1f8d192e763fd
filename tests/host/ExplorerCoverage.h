// Which combinations the ordering explorer runs. The whole cross product is far too large for two
// cores, so:
// - the sample (the test command): every pair of values from any two dimensions at least once,
//   among the pairs that some runnable combination has, and the pinned schedules;
// - the full run (scripts/explore): also every triple of SDK point, first action and release
//   timing.
// Both are chosen greedily, deterministically: the same list on every run of a platform.
#pragma once

#include "ExplorerSchedule.h"

#include <vector>

namespace explorer {

struct Coverage
{
    std::vector<Combination> combinations;
    int runnable = 0; // of the whole cross product
    int pairs = 0; // pairs of values some runnable combination has
    int triples = 0; // triples of point, first action and release that can run (full run only)
};

// Schedules that once found faults, and the orderings that hand-written cases used to cover: each
// runs in every sample.
std::vector<Combination> pinnedSchedules(Platform platform);
Coverage sample(Platform platform);
Coverage fullRun(Platform platform);

} // namespace explorer
