// A heap that gives out on the host's thread: for every n, the n-th block that a session's table
// operations ask for on the calling thread fails (operator new throws std::bad_alloc, a host
// record block comes back null). Blocks that Qt's own code asks for are spared: Qt's constructors
// are not all exception-safe (a QThread whose private data cannot be completed crashes while it
// unwinds), and what is under test is the plug-in's handling of a failure that reaches it. Every
// operation must end in its defined outcome (null, a dropped frame, a refused request) instead of
// throwing into the host, and nothing may be left behind: no SDK object, no thread (and, under
// AddressSanitizer, no leaked block).
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
#endif

#include <atomic>
#include <cstdlib>
#include <new>
#include <utility>

namespace {

// Armed on one thread at a time: the host's, never the worker's or Qt's event loop.
thread_local long t_blocksUntilFailure = 0; // 0: disarmed
thread_local bool t_failed = false;

// Whether the code at this address belongs to Qt's library.
bool insideQt(void *address)
{
#ifdef _WIN32
    Q_UNUSED(address);
    return false; // Qt's DLL keeps its own operator new; this replacement never sees its blocks
#else
    static const void *qtBase = [] {
        Dl_info info {};
        dladdr(reinterpret_cast<void *>(&qVersion), &info);
        return info.dli_fbase;
    }();
    Dl_info info {};
    return dladdr(address, &info) && info.dli_fbase == qtBase;
#endif
}

bool failThisBlock(void *caller = nullptr)
{
    if (t_blocksUntilFailure == 0 || (caller && insideQt(caller)) || --t_blocksUntilFailure != 0)
        return false;
    t_failed = true;
    return true;
}

void *failingCalloc(std::size_t count, std::size_t size)
{
    return failThisBlock() ? nullptr : std::calloc(count, size);
}

struct Armed
{
    explicit Armed(long failAt) { t_blocksUntilFailure = failAt; }
    ~Armed() { t_blocksUntilFailure = 0; }
};

std::atomic<int> g_reports { 0 };

void TALVERN_CDECL countReport(void *, const char *, int32_t)
{
    ++g_reports; // allocates nothing: the host's own code is not under test
}

} // namespace

void *operator new(std::size_t size)
{
    if (failThisBlock(__builtin_return_address(0)))
        throw std::bad_alloc();
    if (void *block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void *block) noexcept
{
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}

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
        t_failed = false;
        g_reports = 0;
        TalvernPluginInstance *table = nullptr;
        {
            const Armed armed(failAt);
            table = TalvernPluginGetInstance();
        }
        if (table) {
            {
                const Armed armed(failAt);
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
                const Armed armed(t_failed ? 0 : failAt);
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
        failures += t_failed ? 1 : 0;
        ASSERT_TRUE(runEventsUntil([&] {
            return threadCount() == threadsBefore
                && SimulatorControl::instance().liveObjects() == 0;
        })) << threadCount()
            << " threads";
        expectSdkAndComReleased();
        if (!t_failed)
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
