// The host's threads meeting the plug-in's at awkward moments: stop requests while frames are in
// flight, a subscriber without an event loop. (A stop while a frame waits for a slow Apply is in
// StallTest.cpp.)
#include "HostFixture.h"

#include <atomic>
#include <thread>

using HostConcurrency = HostFixture;

TEST_F(HostConcurrency, StopAndStartWhileFramesAreInFlight)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 8),
                  BoardScenario::withLights(QStringLiteral("Second"), 4) });
    subscribeAndRun();
    std::atomic<bool> running { true };
    std::atomic<int> sent { 0 };
    std::vector<std::thread> hosts;
    for (int t = 0; t < 3; ++t) {
        hosts.emplace_back([&, t] {
            const std::vector<TalvernPluginLedColor> frame = greyFrame(12, t);
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

// Without an event loop the notification cannot be delivered: nothing reaches the host, and
// nothing hangs; frames and lookups still work from any thread.
TEST_F(HostConcurrency, SubscriberWithoutAnEventLoopIsNotNotified)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
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
    const std::vector<TalvernPluginLedColor> frame = greyFrame(3, 5);
    table().setLedsColors(norvaneMotherboardId.constData(), 3, frame.data());
    EXPECT_EQ(control.applyCount(0), 1);
    runPendingEvents(100);
    EXPECT_EQ(recorder.count(), 0);
    table().setPluginMode(1);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}
