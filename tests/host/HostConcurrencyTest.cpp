// The host's threads meeting the plug-in's at awkward moments: stop requests while frames are in
// flight, unload while a frame waits for a slow Apply, a subscriber without an event loop.
#include "HostFixture.h"

#include <atomic>
#include <thread>

using HostConcurrency = HostFixture;

namespace {

std::vector<TalvernPluginLedColor> paint(int leds, int value)
{
    std::vector<TalvernPluginLedColor> frame;
    for (int i = 0; i < leds; ++i)
        frame.push_back({ firstMotherboardLed + i, value, value, value });
    return frame;
}

} // namespace

TEST_F(HostConcurrency, StopAndStartWhileFramesAreInFlight)
{
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 8),
          BoardScenario::withLights(QStringLiteral("Second"), 4) });
    subscribeAndRun();
    std::atomic<bool> running { true };
    std::atomic<int> sent { 0 };
    std::vector<std::thread> hosts;
    for (int t = 0; t < 3; ++t) {
        hosts.emplace_back([&, t] {
            const std::vector<TalvernPluginLedColor> frame = paint(12, t);
            while (running.load()) {
                table().setLedsColors(norvaneMotherboardId.constData(), 12, frame.data());
                ++sent;
            }
        });
    }
    for (int round = 0; round < 4; ++round) {
        table().setPluginMode(round % 2 ? 2 : 1);
        runPendingEvents(20);
        table().unsubscribe();
        table().subscribe(&recorder, &HostCallbackRecorder::callback);
        runPendingEvents(20);
    }
    table().setPluginMode(2);
    const int before = control.applyCount(0);
    // Open again at the end: frames flow once more.
    EXPECT_TRUE(runEventsUntil([&] { return control.applyCount(0) > before; }));
    running = false;
    for (std::thread &host : hosts)
        host.join();
    EXPECT_GT(sent.load(), 0);
    table().setPluginMode(1);
    ASSERT_TRUE(runEventsUntil([&] { return control.liveObjects() == 0; }));
    EXPECT_EQ(control.startCalls(), control.stopCalls());
}

// The unload waits for the frame, which ends normally; then the connection is closed. (An Apply
// slow enough to pass the frame bound is a stall: StallTest.cpp.)
TEST_F(HostConcurrency, UnloadWhileAFrameWaitsForASlowApply)
{
    BoardScenario board = BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2);
    board.applyDelayMs = 200;
    use({ board });
    subscribeAndRun();
    const std::vector<TalvernPluginLedColor> frame = paint(2, 77);
    std::atomic<bool> returned { false };
    std::thread host([&] {
        table().setLedsColors(norvaneMotherboardId.constData(), 2, frame.data());
        returned = true;
    });
    ASSERT_TRUE(runEventsUntil([&] {
        return control.currentColours(0).value(1) == SimulatedColour { 77, 77, 77 };
    }));
    EXPECT_TRUE(plugin->unload());
    EXPECT_TRUE(returned.load());
    host.join();
    EXPECT_EQ(control.applyCount(0), 1);
    EXPECT_EQ(control.latchedColours(0).value(0), (SimulatedColour { 77, 77, 77 }));
    EXPECT_EQ(control.stopCalls(), 1);
}

// Without an event loop the notification cannot be delivered: nothing reaches the host, and
// nothing hangs; frames and lookups still work from any thread.
TEST_F(HostConcurrency, SubscriberWithoutAnEventLoopIsNotNotified)
{
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    std::thread subscriber([&] {
        table().subscribe(&recorder, &HostCallbackRecorder::callback);
        table().setPluginMode(2);
    });
    subscriber.join();
    ASSERT_TRUE(runEventsUntil([&] { return control.applyCount(0) == 0 && control.startCalls(); }));
    TalvernPluginDeviceInfo *info = nullptr;
    ASSERT_TRUE(runEventsUntil([&] {
        table().freeDeviceInfo(info);
        info = table().getDeviceInfo(norvaneMotherboardId.constData());
        return info != nullptr;
    }));
    table().freeDeviceInfo(info);
    const std::vector<TalvernPluginLedColor> frame = paint(3, 5);
    table().setLedsColors(norvaneMotherboardId.constData(), 3, frame.data());
    EXPECT_EQ(control.applyCount(0), 1);
    runPendingEvents(100);
    EXPECT_EQ(recorder.count(), 0);
    table().setPluginMode(1);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}
