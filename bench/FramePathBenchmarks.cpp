// Slot 1 of the loaded plug-in's table against the substitute SDK: LED counts on one board and
// spread over merged boards, from one host thread and from three at once.
#include "AllocationCounter.h"
#include "BenchEnvironment.h"
#include "BenchOptions.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>

namespace {

// Written by thread 0 before the loop; the other threads read them after the loop's start
// barrier.
const TalvernPluginInstance *g_table = nullptr;
QByteArray g_deviceId;
QVector<TalvernPluginLedColor> g_frame;

// Three host threads at once: the worker runs their frames one after the other.
void framePath(benchmark::State &state)
{
    if (state.thread_index() == 0) {
        g_table = nullptr;
        // Thread 0 runs on the main thread, which owns the subscription and its event loop.
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
            state.SkipWithError("thread 0 is not the main thread");
        } else {
            const int boards = int(state.range(0));
            BenchEnvironment &environment = BenchEnvironment::instance();
            environment.useScenario(boards, 256 / boards);
            g_table = environment.plugin();
            if (!g_table || environment.ledIds().size() != 256) {
                g_table = nullptr;
                state.SkipWithError("the plug-in did not report the device");
            } else {
                g_deviceId = environment.deviceId();
                g_frame =
                    spreadFrame<TalvernPluginLedColor>(environment.ledIds(), int(state.range(1)));
            }
        }
    }
    for (auto _ : state) {
        if (!g_table)
            continue;
        g_table->setLedsColors(g_deviceId.constData(), g_frame.size(), g_frame.constData());
    }
}

// One host thread. Each frame is followed by an empty blocking invoke to a thread of our own,
// timed separately: the thread wake-up these machines give swings between a few and some tens of
// microseconds over a run, so the floor is taken in the same moments as the frames.
void framePathPaired(benchmark::State &state)
{
    const int boards = int(state.range(0));
    BenchEnvironment &environment = BenchEnvironment::instance();
    environment.useScenario(boards, 256 / boards);
    const TalvernPluginInstance *table = environment.plugin();
    if (!table || environment.ledIds().size() != 256) {
        state.SkipWithError("the plug-in did not report the device");
        return;
    }
    const QByteArray deviceId = environment.deviceId();
    const QVector<TalvernPluginLedColor> frame =
        spreadFrame<TalvernPluginLedColor>(environment.ledIds(), int(state.range(1)));
    QThread floorThread;
    QObject floorReceiver;
    floorReceiver.moveToThread(&floorThread);
    floorThread.start();

    using Clock = std::chrono::steady_clock;
    Clock::duration floorTotal {};
    std::uint64_t allocations = 0;
    for (auto _ : state) {
        const std::uint64_t start = AllocationCounter::allocations();
        const auto frameStart = Clock::now();
        table->setLedsColors(deviceId.constData(), frame.size(), frame.constData());
        const auto frameEnd = Clock::now();
        allocations += AllocationCounter::allocations() - start;
        QMetaObject::invokeMethod(
            &floorReceiver, [] {}, Qt::BlockingQueuedConnection);
        floorTotal += Clock::now() - frameEnd;
        state.SetIterationTime(std::chrono::duration<double>(frameEnd - frameStart).count());
    }
    floorThread.quit();
    floorThread.wait();
    const double frames = double(state.iterations());
    state.counters["allocs_per_frame"] = double(allocations) / frames;
    state.counters["floor_ns"] =
        std::chrono::duration<double, std::nano>(floorTotal).count() / frames;
}

void ledCounts(benchmark::internal::Benchmark *b, int boards)
{
    b->ArgNames({ "boards", "leds" });
    for (int leds : { 1, 8, 64, 256 })
        b->Args({ boards, leds });
}

void oneBoard(benchmark::internal::Benchmark *b)
{
    ledCounts(b, 1);
}
void twoBoards(benchmark::internal::Benchmark *b)
{
    ledCounts(b, 2);
}
void fourBoards(benchmark::internal::Benchmark *b)
{
    ledCounts(b, 4);
}

} // namespace

BENCHMARK(framePathPaired)->Apply(oneBoard)->Apply(repeatedRuns)->UseManualTime();
BENCHMARK(framePathPaired)->Apply(twoBoards)->Apply(repeatedRuns)->UseManualTime();
BENCHMARK(framePathPaired)->Apply(fourBoards)->Apply(repeatedRuns)->UseManualTime();
BENCHMARK(framePath)->Apply(oneBoard)->Apply(repeated)->Threads(3);
