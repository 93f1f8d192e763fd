// A subscriber without an event loop. (Host calls against each other and against every SDK call
// are the ordering explorer's.)
#include "HostFixture.h"

#include <atomic>
#include <thread>

using HostConcurrency = HostFixture;

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
