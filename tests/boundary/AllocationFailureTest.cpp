// Resources the host's thread cannot get, where the ordering explorer's failing heap does not
// reach: a post Qt cannot make (its event list cannot grow), and a thread the system cannot make.
// Each operation ends in its defined outcome and leaves nothing behind; the next one works.
#include "HostEvents.h"
#include "ProcessThreads.h"
#include "SimulatorChecks.h"
#include "boundary/ControllerLifecycle.h"
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
#include <new>
#include <utility>

namespace {

std::atomic<int> g_reports { 0 };

void TALVERN_CDECL countReport(void *, const char *, int32_t)
{
    ++g_reports; // allocates nothing: the host's own code is not under test
}

} // namespace

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

// A host with one table and a board; at the end it gives everything back, and nothing is left.
class AllocationFailure : public testing::Test
{
protected:
    void SetUp() override
    {
        useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
        g_reports = 0;
        ASSERT_NE(table, nullptr);
    }
    void TearDown() override
    {
        EXPECT_TRUE(runEventsUntil([] { return g_reports >= 1; }));
        table->setPluginMode(1);
        table->unsubscribe();
        TalvernPluginFreeInstance(table);
        ASSERT_TRUE(runEventsUntil([&] {
            return threadCount() == threadsBefore
                && SimulatorControl::instance().liveObjects() == 0;
        }));
        expectSdkAndComReleased();
    }

    const int threadsBefore = threadCount();
    TalvernPluginInstance *table = TalvernPluginGetInstance();
};

// The worker's thread cannot be made: the subscription is refused and leaves nothing behind, and
// the next one works.
TEST_F(AllocationFailure, ASubscriptionWithoutAWorkerThreadIsRefused)
{
    table->setPluginMode(2);
    t_failNextThread = true;
    table->subscribe(&g_reports, &countReport);
    EXPECT_FALSE(t_failNextThread); // the plug-in asked for its thread, and did not get it
    EXPECT_EQ(ControllerLifecycle::instance().state(), ControllerState::None);
    EXPECT_EQ(threadCount(), threadsBefore);
    table->subscribe(&g_reports, &countReport);
}

// The worker's wake for a mode change could not be posted: the host's next change is still acted
// on, instead of waiting behind the change that was never woken.
TEST_F(AllocationFailure, TheChangeAfterAWakeQtCouldNotPostIsActedOn)
{
    table->subscribe(&g_reports, &countReport);
    t_failNextPost = true;
    table->setPluginMode(2);
    EXPECT_FALSE(t_failNextPost); // the plug-in did post, and that post failed
    table->setPluginMode(1);
    table->setPluginMode(2);
}
#endif
