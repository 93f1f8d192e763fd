// A heap that gives out on the host's thread (FailingHeap.h): for every n, the n-th block that a
// session's table operations ask for on the calling thread fails (operator new throws
// std::bad_alloc, a host record block comes back null). Every operation must end in its defined
// outcome (null, a dropped frame, a refused request) instead of throwing into the host, and
// nothing may be left behind: no SDK object, no thread (and, under AddressSanitizer, no leaked
// block).
#include "FailingHeap.h"
#include "HostEvents.h"
#include "ProcessThreads.h"
#include "SimulatorChecks.h"
#include "boundary/ControllerLifecycle.h"
#include "boundary/HostMemory.h"
#include "boundary/PluginState.h"
#include "boundary/TableOperations.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <dlfcn.h>
#include <pthread.h>
#endif

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <utility>

namespace {

void *failingCalloc(std::size_t count, std::size_t size)
{
    return FailingHeap::failsHere() ? nullptr : std::calloc(count, size);
}

std::atomic<int> g_reports { 0 };

void TALVERN_CDECL countReport(void *, const char *, int32_t)
{
    ++g_reports; // allocates nothing: the host's own code is not under test
}

} // namespace

TEST(AllocationFailure, EveryOperationSurvivesTheNthBlockFailing)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3),
                  BoardScenario::withLights(QStringLiteral("Second"), 2) });
    setHostBlockSource(&failingCalloc);
    const int threadsBefore = threadCount();
    const char *id = norvaneMotherboardId.constData();
    const TalvernPluginLedColor frame[] = { { 0x20001, 10, 20, 30 }, { 0x20004, 40, 50, 60 } };
    int failures = 0;
    long failAt = 1;
    for (; failAt < 5000; ++failAt) {
        SCOPED_TRACE(failAt);
        FailingHeap::clearFailed();
        g_reports = 0;
        TalvernPluginInstance *table = nullptr;
        {
            const FailingHeap armed(failAt);
            table = TalvernPluginGetInstance();
        }
        if (table) {
            {
                const FailingHeap armed(failAt);
                table->subscribe(&g_reports, &countReport);
                table->setPluginMode(2);
            }
            // Device access opened only if both took effect; their refusal leaves no half state.
            const bool running = g_currentPluginMode == 2
                && ControllerLifecycle::instance().state() != ControllerState::None;
            if (running) {
                ASSERT_TRUE(runEventsUntil([] { return g_reports == 1; }));
            }
            {
                const FailingHeap armed(FailingHeap::failed() ? 0 : failAt);
                TalvernPluginDeviceInfo *info = table->getDeviceInfo(id);
                if (info) {
                    EXPECT_STREQ(info->deviceName, "Norvane Motherboard");
                    EXPECT_EQ(info->ledPositions->count, 5);
                }
                table->freeDeviceInfo(info);
                TalvernPluginDeviceView *view = table->getDeviceView(id, 0);
                if (view) {
                    EXPECT_EQ(view->ledZones->count, 5);
                }
                table->freeDeviceView(view);
                table->setLedsColors(id, 2, frame);
                table->subscribe(&g_reports, &countReport); // reports at once while running
                table->setPluginMode(1);
                table->unsubscribe();
                TalvernPluginFreeInstance(table);
            }
        }
        failures += FailingHeap::failed() ? 1 : 0;
        ASSERT_TRUE(runEventsUntil([&] {
            return threadCount() == threadsBefore
                && SimulatorControl::instance().liveObjects() == 0;
        })) << threadCount()
            << " threads";
        expectSdkAndComReleased();
        if (!FailingHeap::failed())
            break; // the whole session needed fewer blocks than failAt: every n was tried
        useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3),
                      BoardScenario::withLights(QStringLiteral("Second"), 2) });
    }
    setHostBlockSource(nullptr);
    std::printf("the session's blocks on the host thread: %ld, each failed once\n", failAt - 1);
    EXPECT_LT(failAt, 5000);
    EXPECT_GT(failures, 20);
}

#ifndef _WIN32
namespace {
thread_local bool t_failNextPost = false;
} // namespace

// Qt's post can fail when its event list cannot grow (it deletes the event and throws): this one
// does so once when armed on the calling thread, and otherwise hands on to Qt's.
void QCoreApplication::postEvent(QObject *receiver, QEvent *event, int priority)
{
    using Post = void (*)(QObject *, QEvent *, int);
    static const auto next = reinterpret_cast<Post>(
        dlsym(RTLD_NEXT, "_ZN16QCoreApplication9postEventEP7QObjectP6QEventi"));
    if (std::exchange(t_failNextPost, false)) {
        delete event;
        throw std::bad_alloc();
    }
    next(receiver, event, priority);
}

thread_local bool t_failNextThread = false;

// A thread the system cannot make (no memory, a limit reached): once when armed on the calling
// thread; otherwise the next pthread_create (a sanitizer's or the C library's).
extern "C" int pthread_create(pthread_t *thread, const pthread_attr_t *attributes,
                              void *(*start)(void *), void *argument)
{
    using Create = int (*)(pthread_t *, const pthread_attr_t *, void *(*)(void *), void *);
    static const auto next = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
    if (std::exchange(t_failNextThread, false))
        return EAGAIN;
    return next(thread, attributes, start, argument);
}

// The worker's thread cannot be made: the subscription is refused and leaves nothing behind, and
// the next one works.
TEST(AllocationFailure, ASubscriptionWithoutAWorkerThreadIsRefused)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    const int threadsBefore = threadCount();
    g_reports = 0;
    TalvernPluginInstance *table = TalvernPluginGetInstance();
    ASSERT_NE(table, nullptr);
    table->setPluginMode(2);
    t_failNextThread = true;
    table->subscribe(&g_reports, &countReport);
    EXPECT_FALSE(t_failNextThread); // the plug-in asked for its thread, and did not get it
    EXPECT_EQ(ControllerLifecycle::instance().state(), ControllerState::None);
    EXPECT_EQ(threadCount(), threadsBefore);
    table->subscribe(&g_reports, &countReport);
    EXPECT_TRUE(runEventsUntil([] { return g_reports >= 1; }));
    table->setPluginMode(1);
    table->unsubscribe();
    TalvernPluginFreeInstance(table);
    ASSERT_TRUE(runEventsUntil([&] {
        return threadCount() == threadsBefore && SimulatorControl::instance().liveObjects() == 0;
    }));
    expectSdkAndComReleased();
}

// The worker's wake for a mode change could not be posted: the host's next change is still acted
// on, instead of waiting behind the change that was never woken.
TEST(AllocationFailure, TheChangeAfterAWakeQtCouldNotPostIsActedOn)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    const int threadsBefore = threadCount();
    g_reports = 0;
    TalvernPluginInstance *table = TalvernPluginGetInstance();
    ASSERT_NE(table, nullptr);
    table->subscribe(&g_reports, &countReport);
    t_failNextPost = true;
    table->setPluginMode(2);
    EXPECT_FALSE(t_failNextPost); // the plug-in did post, and that post failed
    table->setPluginMode(1);
    table->setPluginMode(2);
    EXPECT_TRUE(runEventsUntil([] { return g_reports >= 1; }));
    table->setPluginMode(1);
    table->unsubscribe();
    TalvernPluginFreeInstance(table);
    ASSERT_TRUE(runEventsUntil([&] {
        return threadCount() == threadsBefore && SimulatorControl::instance().liveObjects() == 0;
    }));
    expectSdkAndComReleased();
}
#endif
