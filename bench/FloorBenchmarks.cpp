// The floors: the frame's work done directly on one thread, and the two bare ways of handing a
// blocking call to another thread.
#include "AllocationCounter.h"
#include "BenchEnvironment.h"
#include "BenchOptions.h"

#include <QMetaObject>
#include <QThread>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

void reportAllocations(benchmark::State &state, std::uint64_t before)
{
    state.counters["allocs_per_frame"] = benchmark::Counter(
        double(AllocationCounter::allocations() - before), benchmark::Counter::kAvgIterations);
}

// The plug-in's frame work without the thread hop: the copy of the entries and the SDK calls.
void floorDirectFrame(benchmark::State &state)
{
    BenchEnvironment &environment = BenchEnvironment::instance();
    environment.useScenario(1, 256);
    GlintSdkWorker *worker = environment.directWorker();
    if (!worker) {
        state.SkipWithError("the static core's worker did not open the SDK");
        return;
    }
    QVector<int32_t> ids;
    for (const LedPosition &position :
         worker->deviceDescription(environment.directDeviceId())->ledPositions)
        ids.append(position.ledId);
    const LedColourFrame host = spreadFrame(ids, int(state.range(0)));
    const QByteArray deviceId = environment.directDeviceId();
    const std::uint64_t before = AllocationCounter::allocations();
    for (auto _ : state) {
        LedColourFrame frame(host.size());
        std::memcpy(frame.data(), host.constData(), std::size_t(host.size()) * sizeof(host[0]));
        worker->setLedsColors(deviceId, frame);
    }
    reportAllocations(state, before);
}

// Post a job to a waiting thread, let it run, wait until it is done: mutex and condition variable.
class HandOffThread
{
public:
    HandOffThread()
        : m_thread([this] { run(); })
    { }
    ~HandOffThread()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    void call()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_posted = true;
        m_wake.notify_one();
        m_done.wait(lock, [this] { return !m_posted; });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_posted || m_stop; });
            if (m_stop)
                return;
            benchmark::ClobberMemory(); // the job: nothing
            m_posted = false;
            m_done.notify_one();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    bool m_posted = false;
    bool m_stop = false;
    std::thread m_thread;
};

void floorConditionHandOff(benchmark::State &state)
{
    HandOffThread thread;
    const std::uint64_t before = AllocationCounter::allocations();
    for (auto _ : state)
        thread.call();
    reportAllocations(state, before);
}

void floorBlockingInvoke(benchmark::State &state)
{
    QThread thread;
    QObject receiver;
    receiver.moveToThread(&thread);
    thread.start();
    const std::uint64_t before = AllocationCounter::allocations();
    for (auto _ : state)
        QMetaObject::invokeMethod(
            &receiver, [] {}, Qt::BlockingQueuedConnection);
    reportAllocations(state, before);
    thread.quit();
    thread.wait();
}

} // namespace

BENCHMARK(floorDirectFrame)->ArgName("leds")->Arg(1)->Arg(8)->Arg(64)->Arg(256)->Apply(repeated);
BENCHMARK(floorConditionHandOff)->Apply(repeated);
BENCHMARK(floorBlockingInvoke)->Apply(repeated);
