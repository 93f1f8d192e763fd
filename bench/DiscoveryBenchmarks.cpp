// Discovery: the worker's whole opening of the connection (SDK object creation, start call,
// enumeration, merge) for growing numbers of boards and lights. Only initialize() is timed; the
// close that makes the next round possible is not.
#include "BenchEnvironment.h"
#include "BenchOptions.h"

#include <chrono>

namespace {

void discovery(benchmark::State &state)
{
    const int boards = int(state.range(0));
    const int lights = int(state.range(1));
    BenchEnvironment::instance().useScenario(boards, lights);
    GlintSdkWorker worker;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        worker.initialize();
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (worker.connectedDeviceIds().size() != 1) {
            state.SkipWithError("enumeration did not give one device");
            break;
        }
        worker.uninitialize();
    }
    state.counters["leds"] = double(boards * lights);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->ArgNames({ "boards", "lights" });
    for (int boards : { 1, 2, 8, 32 }) {
        for (int lights : { 8, 60, 120 })
            b->Args({ boards, lights });
    }
}

} // namespace

BENCHMARK(discovery)->Apply(sizes)->Apply(repeatedRuns)->UseManualTime();
