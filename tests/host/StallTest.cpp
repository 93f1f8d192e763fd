// A slow, late, hung or restarting vendor SDK, met through the four exports: what the ordering
// explorer's invariants do not say (every host call bounded, no request inside another, the last
// wanted state reached): a stall's log lines and dropped frames, the retry schedule and its lines,
// a service restart, at most one close and one open after a burst of changes. Stalls are SDK calls
// that block until the test releases them; times are bounds with generous slack (the suite also
// runs under wine on two busy cores), never speed targets.
#include "HostFixture.h"

#include <QRegularExpression>

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
    // The slowest call so far.
    Milliseconds slowest() const { return Milliseconds(m_slowest.load()); }
    int frames() const { return m_frames.load(); }

private:
    std::atomic<bool> m_running { true };
    std::atomic<long long> m_slowest { 0 };
    std::atomic<int> m_frames { 0 };
    std::thread m_thread;
};

// The SDK's creation fails as when the SDK is not installed (REGDB_E_CLASSNOTREG): the first
// `times` creations, or every one.
FaultRule notInstalled(int times = 0)
{
    FaultRule fault = failingCall("sdk", "create", static_cast<HRESULT>(0x80040154u));
    fault.times = times;
    return fault;
}

} // namespace

using Stall = HostFixture;

// Frames from a render thread while Apply hangs: each is dropped at once, so the host keeps its
// rate (a frame every 16 ms; frames that each waited the bound would make three in the 1.5 s);
// one warning says where the worker waits, one info line ends the stall with the frames it
// dropped, and once Apply returns the frames reach the lights again.
TEST_F(Stall, FramesDuringAStallAreDroppedAtOnceAndCounted)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), Leds) });
    subscribeAndRun();
    control.addFault(blockedCall("board:0", "Apply"));
    RenderThread render(table());
    ASSERT_TRUE(waitForBlockedCall());
    const int framesBefore = render.frames();
    runPendingEvents(1500);
    const int framesDuring = render.frames() - framesBefore;
    control.releaseBlockedCalls();
    const int applied = control.applyCount(0);
    EXPECT_TRUE(runEventsUntil([&] { return control.applyCount(0) > applied + 2; }, 10000));
    render.stop();
    std::printf("%d frames during the stall; slowest frame call %lld ms\n", framesDuring,
                static_cast<long long>(render.slowest().count()));
    EXPECT_GE(framesDuring, 20);
    EXPECT_LT(render.slowest(), FrameBound + Slack);
    const char *category = "vesk.plugin.glint_sdk_controller";
    const QStringList warnings = log.texts(category, QtWarningMsg);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral(
        "SDK stall: a colour frame has been waiting in IGlintSyncDevice::Apply() since ")))
        << qPrintable(warnings[0]);
    EXPECT_TRUE(warnings[0].endsWith(QStringLiteral(" ms); frames are dropped until it returns")));
    const QStringList ended = log.texts(category, QtInfoMsg);
    ASSERT_EQ(ended.size(), 1);
    const QRegularExpressionMatch match =
        QRegularExpression(
            QStringLiteral("^SDK stall ended after (\\d+) ms; (\\d+) frames dropped$"))
            .match(ended[0]);
    ASSERT_TRUE(match.hasMatch()) << qPrintable(ended[0]);
    EXPECT_GE(match.captured(1).toInt(), 1500);
    EXPECT_GE(match.captured(2).toInt(), 20); // those after the warning
    EXPECT_LE(match.captured(2).toInt(), framesDuring);
    table().setPluginMode(1);
    ASSERT_TRUE(waitForStop());
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
