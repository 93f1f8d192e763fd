// The lookups through the loaded plug-in's table: the description with its release, the view
// with its release. Beside them, what the worker's mutex covers per lookup: the static core's
// record lookup (lock, find, copy of the record, unlock) for the same scenario, an upper bound of
// the hold time.
#include "BenchEnvironment.h"
#include "BenchOptions.h"

#include <chrono>

namespace {

void lookupDescription(benchmark::State &state)
{
    BenchEnvironment &environment = BenchEnvironment::instance();
    environment.useScenario(1, int(state.range(0)));
    const TalvernPluginInstance *table = environment.plugin();
    if (!table) {
        state.SkipWithError("the plug-in did not report the device");
        return;
    }
    const QByteArray deviceId = environment.deviceId();
    for (auto _ : state) {
        TalvernPluginDeviceInfo *info = table->getDeviceInfo(deviceId.constData());
        benchmark::DoNotOptimize(info);
        table->freeDeviceInfo(info);
    }
}

void lookupView(benchmark::State &state)
{
    BenchEnvironment &environment = BenchEnvironment::instance();
    environment.useScenario(1, int(state.range(0)));
    const TalvernPluginInstance *table = environment.plugin();
    if (!table) {
        state.SkipWithError("the plug-in did not report the device");
        return;
    }
    const QByteArray deviceId = environment.deviceId();
    for (auto _ : state) {
        TalvernPluginDeviceView *view = table->getDeviceView(deviceId.constData(), 0);
        benchmark::DoNotOptimize(view);
        table->freeDeviceView(view);
    }
}

void lookupLockedRecord(benchmark::State &state)
{
    BenchEnvironment &environment = BenchEnvironment::instance();
    environment.useScenario(1, int(state.range(0)));
    GlintSdkWorker *worker = environment.directWorker();
    if (!worker) {
        state.SkipWithError("the static core's worker did not open the SDK");
        return;
    }
    const QByteArray deviceId = environment.directDeviceId();
    // Only the lookup is timed: a reference to the shared description, taken under the mutex.
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SharedDeviceDescription data = worker->deviceDescription(deviceId);
        const auto end = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(data);
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}

} // namespace

BENCHMARK(lookupDescription)->ArgName("leds")->Arg(8)->Arg(120)->Apply(repeated);
BENCHMARK(lookupView)->ArgName("leds")->Arg(8)->Arg(120)->Apply(repeated);
BENCHMARK(lookupLockedRecord)
    ->ArgName("leds")
    ->Arg(8)
    ->Arg(120)
    ->Apply(repeatedRuns)
    ->UseManualTime();
