// A slow, late, hung or restarting vendor SDK, met through the four exports: frames never hold the
// host's thread past the bound, stopping never waits long, an SDK that arrives late or whose
// service restarts is picked up without the host doing anything, and requests never run nested.
// Stalls are SDK calls that block until the test releases them; times are bounds with generous
// slack (the suite also runs under wine on two busy cores), never speed targets.
#include "HostFixture.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// The frame bound, and what a loaded machine may add to it.
constexpr Milliseconds FrameBound { 500 };
constexpr Milliseconds Slack { 1500 };
constexpr Milliseconds StopBound { 1000 };
constexpr int Leds = 5;

Milliseconds since(Clock::time_point start)
{
    return std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
}

// A host's render thread: a frame every 16 ms until it is stopped, timing every call.
class RenderThread
{
public:
    explicit RenderThread(const TalvernPluginInstance &table)
        : m_thread([this, &table] {
            for (int value = 1; m_running.load(); value = value % 250 + 1) {
                const std::vector<TalvernPluginLedColor> frame = greyFrame(Leds, value);
                const Clock::time_point start = Clock::now();
                table.setLedsColors(norvaneMotherboardId.constData(), Leds, frame.data());
                const auto took = since(start).count();
                m_slowest.store(std::max<long long>(m_slowest.load(), took));
                ++m_frames;
                std::this_thread::sleep_for(Milliseconds(16));
            }
        })
    { }
    ~RenderThread() { stop(); }
    void stop()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The slowest call since the last reset.
    Milliseconds slowest() const { return Milliseconds(m_slowest.load()); }
    void resetSlowest() { m_slowest = 0; }
    int frames() const { return m_frames.load(); }

private:
    std::atomic<bool> m_running { true };
    std::atomic<long long> m_slowest { 0 };
    std::atomic<int> m_frames { 0 };
    std::thread m_thread;
};

struct StalledCall
{
    const char *name;
    const char *object;
    const char *method;
    enum Phase { Opening, Running, Closing } phase;
};

const StalledCall stalledCalls[] = {
    { "Creation", "sdk", "create", StalledCall::Opening },
    { "StartCall", "sdk", "StartControl", StalledCall::Opening },
    { "Enumerate", "sdk", "Enumerate", StalledCall::Opening },
    { "Apply", "board:0", "Apply", StalledCall::Running },
    { "PutRed", "light:0:1", "put_Red", StalledCall::Running },
    { "StopCall", "sdk", "StopControl", StalledCall::Closing },
};

// The SDK's creation fails as when the SDK is not installed (REGDB_E_CLASSNOTREG): the first
// `times` creations, or every one.
FaultRule notInstalled(int times = 0)
{
    FaultRule fault = failingCall("sdk", "create", static_cast<HRESULT>(0x80040154u));
    fault.times = times;
    return fault;
}

class StalledSdk : public HostFixture, public testing::WithParamInterface<StalledCall>
{
};

} // namespace

// Frames from a render thread while one SDK call hangs: none is held past the bound, and once the
// call returns the frames reach the lights again.
TEST_P(StalledSdk, FramesNeverWaitPastTheBoundAndFlowAgainAfterIt)
{
    const StalledCall &stall = GetParam();
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    const FaultRule hang = blockedCall(stall.object, stall.method);
    if (stall.phase == StalledCall::Opening) {
        control.addFault(hang);
        table().subscribe(&recorder, &HostCallbackRecorder::callback);
        table().setPluginMode(2);
    } else {
        subscribeAndRun();
        control.addFault(hang);
        if (stall.phase == StalledCall::Closing)
            table().setPluginMode(1);
    }
    RenderThread render(table());
    ASSERT_TRUE(waitForBlockedCall());
    const int framesBefore = render.frames();
    runPendingEvents(1500); // a stall three times the bound
    const Milliseconds slowest = render.slowest();
    const int framesDuring = render.frames() - framesBefore;
    std::printf("%s stalled: slowest frame call %lld ms; %d frames during the stall\n", stall.name,
                static_cast<long long>(slowest.count()), framesDuring);
    EXPECT_LT(slowest, FrameBound + Slack);
    // Frames are dropped at once, not queued behind the stall one bound after another: the host
    // keeps its rate (a frame every 16 ms; frames that each waited the bound would make three).
    EXPECT_GE(framesDuring, 20);

    control.releaseBlockedCalls();
    if (stall.phase == StalledCall::Closing) {
        ASSERT_TRUE(waitForStop());
        table().setPluginMode(2);
    }
    const int applied = control.applyCount(0);
    EXPECT_TRUE(runEventsUntil([&] { return control.applyCount(0) > applied + 2; }, 10000));
    EXPECT_GE(recorder.count(), 1);
    render.stop();
    table().setPluginMode(1);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop(control.startCalls()));
}

INSTANTIATE_TEST_SUITE_P(EachCall, StalledSdk, testing::ValuesIn(stalledCalls),
                         [](const testing::TestParamInfo<StalledCall> &info) {
                             return std::string(info.param.name);
                         });

using Stall = HostFixture;

// Mode changes, the last table back and the unload while a frame's Apply hangs: each returns
// within its bound; the worker, let go, closes its connection on its own thread once the SDK
// returns (without acting on the mode it was last asked for), and the library goes at the host's
// next load and unload.
TEST_F(Stall, StopAndUnloadDuringAHungApply)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    subscribeAndRun();
    control.addFault(blockedCall("board:0", "Apply"));
    std::thread frame = sendFromAThread(Leds, 9);
    ASSERT_TRUE(waitForBlockedCall());

    Clock::time_point start = Clock::now();
    table().setPluginMode(1);
    table().setPluginMode(2);
    EXPECT_LT(since(start), Slack);
    start = Clock::now();
    plugin->freeLoadTable();
    const Milliseconds stop = since(start);
    start = Clock::now();
    EXPECT_FALSE(plugin->unload(0)); // the worker's module reference keeps the code mapped
    const Milliseconds unload = since(start);
    frame.join();
    std::printf("during a hung Apply: last table back in %lld ms, unload in %lld ms\n",
                static_cast<long long>(stop.count()), static_cast<long long>(unload.count()));
    EXPECT_LT(stop, StopBound + Slack);
    EXPECT_LT(unload, Slack);
    EXPECT_GT(control.liveObjects(), 0); // still inside the SDK

    control.releaseBlockedCalls();
    EXPECT_TRUE(runEventsUntil(
        [&] { return control.liveObjects() == 0 && threadCount() == threadsBeforeLoad; }));
    EXPECT_EQ(control.stopCalls(), 1);
    EXPECT_EQ(control.countCalls(QStringLiteral("sdk"), QStringLiteral("create")), 1);
    expectSdkAndComReleased();
    plugin = loadBuiltPlugin(); // the next load finds nothing left behind
}

// The SDK is not registered yet when the host switches to mode 2 and arrives two attempts later:
// the board is reported without the host doing anything; one critical line, then one info line.
TEST_F(Stall, AnSdkThatArrivesLateIsPickedUp)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) },
                { notInstalled(2) });
    subscribeAndRun(); // within the retries after 1 s and 2 s
    EXPECT_EQ(control.countCalls(QStringLiteral("sdk"), QStringLiteral("create")), 3);
    const char *category = "vesk.plugin.glint_sdk_controller";
    EXPECT_EQ(log.texts(category, QtCriticalMsg),
              QStringList { QStringLiteral("Failed call to create instance of GlintSdk with "
                                           "HRESULT: \"0xFFFFFFFF80040154\"") });
    EXPECT_EQ(log.texts(category, QtInfoMsg),
              QStringList { QStringLiteral("Opened the SDK connection at attempt 3") });
    table().setPluginMode(1);
    ASSERT_TRUE(waitForStop());
}

// An opening that succeeds while the host changes its mind ends the failures in a row all the
// same: the next failure is a first one again (critical), not a retry (debug).
TEST_F(Stall, AFailureAfterASupersededOpeningIsAFirstOneAgain)
{
    FaultRule thirdCreation = notInstalled();
    thirdCreation.call = 3;
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) },
                { notInstalled(1), thirdCreation });
    const int start = control.holdCall(failingCall("sdk", "StartControl", S_OK));
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    table().setPluginMode(2); // fails, and succeeds at the retry after 1 s
    ASSERT_TRUE(control.waitUntilHeld(start, 10000));
    table().setPluginMode(1); // the opening under way is no longer the one wanted
    table().setPluginMode(2);
    control.releaseHold(start);
    ASSERT_TRUE(runEventsUntil(
        [&] { return control.countCalls(QStringLiteral("sdk"), QStringLiteral("create")) == 3; }));
    runPendingEvents(100);
    EXPECT_EQ(log.texts("vesk.plugin.glint_sdk_controller", QtCriticalMsg).size(), 2);
    table().setPluginMode(1);
    ASSERT_TRUE(waitForStop());
}

// Switching device access off cancels a pending retry at once.
TEST_F(Stall, SwitchingOffCancelsThePendingRetry)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) },
                { notInstalled() });
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    table().setPluginMode(2);
    ASSERT_TRUE(runEventsUntil(
        [&] { return control.countCalls(QStringLiteral("sdk"), QStringLiteral("create")) == 1; }));
    table().setPluginMode(1);
    runPendingEvents(2500); // past the first two retries
    EXPECT_EQ(control.countCalls(QStringLiteral("sdk"), QStringLiteral("create")), 1);
}

// The vendor's service restarts under a running session: every object the worker holds answers
// RPC_E_DISCONNECTED, and the new service answers RPC_S_SERVER_UNAVAILABLE twice more before it
// is up. Lighting comes back by itself, after one warning and reopenings on the retry schedule,
// and every object of each life is released on the worker thread.
TEST_F(Stall, LightingComesBackAfterTheServiceRestarts)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    subscribeAndRun();
    RenderThread render(table());
    ASSERT_TRUE(runEventsUntil([&] { return control.applyCount(0) > 2; }));
    FaultRule comingBack =
        failingCall("sdk", "Enumerate",
                    static_cast<HRESULT>(0x800706BAu)); // RPC_S_SERVER_UNAVAILABLE
    comingBack.times = 2;
    control.addFault(comingBack);
    control.restartService();
    const int appliedBefore = control.applyCount(0);
    EXPECT_TRUE(runEventsUntil([&] { return control.applyCount(0) > appliedBefore + 2; }, 10000));
    EXPECT_TRUE(runEventsUntil([&] { return recorder.count() == 2; })); // reported again
    render.stop();
    EXPECT_EQ(control.countCalls(QStringLiteral("sdk"), QStringLiteral("create")), 4);
    EXPECT_EQ(log.texts("vesk.plugin.glint_sdk_controller", QtWarningMsg).size(), 1);
    table().setPluginMode(1);
    ASSERT_TRUE(waitForStop()); // the dead connections' stop calls failed: they count no stop
    // Each of the four connections was closed: the first, the two the service dropped at once
    // and the last.
    EXPECT_EQ(control.countCalls(QStringLiteral("sdk"), QStringLiteral("StopControl")), 4);
}

namespace {

struct Burst
{
    const char *name;
    int32_t lastMode;
};

class ModeBurst : public HostFixture, public testing::WithParamInterface<Burst>
{
};

} // namespace

// Twenty mode changes while an Apply hangs end, once it returns, in the last change's state with
// at most one close and one open, in that order.
TEST_P(ModeBurst, EndsInTheLastStateWithOneCloseAndOneOpen)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    subscribeAndRun();
    control.addFault(blockedCall("board:0", "Apply"));
    std::thread frame = sendFromAThread(Leds, 3);
    ASSERT_TRUE(waitForBlockedCall());
    for (int change = 0; change < 19; ++change)
        table().setPluginMode(change % 2 ? 2 : 1);
    table().setPluginMode(GetParam().lastMode);
    frame.join();
    control.clearJournal();
    control.releaseBlockedCalls();
    const bool open = GetParam().lastMode == 2;
    ASSERT_TRUE(runEventsUntil(
        [&] { return control.stopCalls() == 1 && (!open || recorder.count() == 2); }));
    runPendingEvents(300);
    QStringList changes;
    for (const CallRecord &call : control.journal()) {
        if (call.method == QLatin1String("StopControl") || call.method == QLatin1String("create"))
            changes.append(call.method);
    }
    QStringList expected { QStringLiteral("StopControl") };
    if (open)
        expected.append(QStringLiteral("create"));
    EXPECT_EQ(changes, expected);
    table().setPluginMode(1);
    ASSERT_TRUE(waitForStop(open ? 2 : 1));
}

INSTANTIATE_TEST_SUITE_P(EndingIn, ModeBurst,
                         testing::Values(Burst { "ModeTwo", 2 }, Burst { "ModeOne", 1 }),
                         [](const testing::TestParamInfo<Burst> &info) {
                             return std::string(info.param.name);
                         });

// The last table comes back while another host thread waits for a frame inside a slow Apply and a
// third looks devices up: the stop waits for them, and each ends in its defined outcome.
TEST_F(Stall, LastTableBackWhileFramesAndLookupsAreInFlight)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    subscribeAndRun();
    FaultRule slowApply = blockedCall("board:0", "Apply");
    slowApply.blockMs = 300;
    control.addFault(slowApply);
    std::thread frame = sendFromAThread(Leds, 21);
    // The lookups go through a table of their own, whose operations are read before any table
    // goes back: the host's thread must not read a table it gave back.
    TalvernPluginInstance *lookups = plugin->newTable();
    const auto getDeviceInfo = lookups->getDeviceInfo;
    const auto freeDeviceInfo = lookups->freeDeviceInfo;
    std::atomic<bool> looking { true };
    std::atomic<int> described { 0 };
    std::atomic<int> refused { 0 };
    std::thread lookup([&] {
        while (looking.load()) {
            TalvernPluginDeviceInfo *info = getDeviceInfo(norvaneMotherboardId.constData());
            ++(info ? described : refused);
            freeDeviceInfo(info);
        }
    });
    ASSERT_TRUE(waitForBlockedCall());
    ASSERT_TRUE(runEventsUntil([&] { return described.load() > 0; }));
    plugin->freeLoadTable();
    plugin->freeTable(lookups); // the last one
    // The stop waited for the frame: its one Apply has shown it.
    EXPECT_EQ(control.latchedColours(0).value(0), (SimulatedColour { 21, 21, 21 }));
    EXPECT_EQ(control.applyCount(0), 1);
    const int refusedAtStop = refused.load();
    ASSERT_TRUE(runEventsUntil([&] { return refused.load() > refusedAtStop; }));
    looking = false;
    lookup.join();
    frame.join();
    EXPECT_EQ(control.stopCalls(), 1);
}

// An SDK call that delivers the worker thread's queued events while it waits, as a COM apartment
// does: a close and a frame queued meanwhile run after the call has returned, never inside it.
TEST_F(Stall, RequestsNeverRunInsideAnSdkCall)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    subscribeAndRun();
    FaultRule pumping = blockedCall("board:0", "Apply");
    pumping.blockMs = 200;
    pumping.pump = true;
    pumping.times = 1;
    control.addFault(pumping);
    control.clearJournal();
    std::thread first = sendFromAThread(Leds, 1);
    ASSERT_TRUE(waitForBlockedCall());
    std::thread second = sendFromAThread(Leds, 2);
    table().setPluginMode(1);
    first.join();
    second.join();
    ASSERT_TRUE(waitForStop());
    // The journal lists a call when it returns: a request run inside the first Apply would show
    // its calls before that Apply.
    const QVector<CallRecord> journal = control.journal();
    int firstApply = -1;
    for (int i = 0; i < journal.size() && firstApply < 0; ++i) {
        if (journal.at(i).method == QLatin1String("Apply"))
            firstApply = i;
    }
    ASSERT_GE(firstApply, 0);
    for (int i = 0; i < firstApply; ++i) {
        EXPECT_NE(journal.at(i).method, QStringLiteral("StopControl"));
        EXPECT_NE(journal.at(i).arguments, QStringLiteral("2")) << "the second frame's colour";
    }
}
