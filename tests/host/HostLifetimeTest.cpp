// When the worker stops and starts: the host giving back its last operation table is where the
// worker thread ends (before the library is unloaded, outside any loader lock), also from inside
// the host's callback; subscriptions after that start afresh; re-subscribing while running.
#include "HostFixture.h"

#include <QThread>

namespace {

// The worker thread has ended and every SDK object is released.
bool workerGone(int threadsBeforeLoad)
{
    return threadCount() == threadsBeforeLoad && SimulatorControl::instance().liveObjects() == 0;
}

} // namespace

using HostLifetime = HostFixture;

TEST_F(HostLifetime, GivingBackTheLastTableStopsTheWorkerAndANewTableStartsAfresh)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    subscribeAndRun();

    // A host with two tables that gives one back changes nothing, and a null table is no table.
    TalvernPluginInstance *second = plugin->newTable();
    ASSERT_NE(second, nullptr);
    plugin->freeTable(second);
    plugin->freeTable(nullptr);
    runPendingEvents(50);
    const TalvernPluginLedColor red[] = { { firstMotherboardLed, 255, 0, 0 } };
    table().setLedsColors(norvaneMotherboardId.constData(), 1, red);
    EXPECT_EQ(control.latchedColours(0).value(0), (SimulatedColour { 255, 0, 0 }));
    EXPECT_EQ(control.stopCalls(), 0);

    // The last one back: the connection is closed and the thread gone while the library is
    // still loaded, with the host still subscribed and in mode 2.
    plugin->freeLoadTable();
    EXPECT_EQ(control.stopCalls(), 1);
    EXPECT_TRUE(runEventsUntil([&] { return workerGone(threadsBeforeLoad); }, 5000))
        << threadCount() << " threads, " << threadsBeforeLoad << " before the load";
    expectSdkAndComReleased();

    // A new table and subscription start afresh: the mode is still 2, so device access opens.
    TalvernPluginInstance *fresh = plugin->newTable();
    ASSERT_NE(fresh, nullptr);
    HostCallbackRecorder again;
    fresh->subscribe(&again, &HostCallbackRecorder::callback);
    ASSERT_TRUE(runEventsUntil([&] { return again.count() == 1; }));
    EXPECT_EQ(control.startCalls(), 2);
    const TalvernPluginLedColor blue[] = { { firstMotherboardLed + 3, 0, 0, 255 } };
    fresh->setLedsColors(norvaneMotherboardId.constData(), 1, blue);
    EXPECT_EQ(control.latchedColours(0).value(3), (SimulatedColour { 0, 0, 255 }));
    plugin->freeTable(fresh);
    EXPECT_EQ(control.stopCalls(), 2);
}

// The host's callback, called from the report that a subscription makes at once while running,
// gives back its last table: the subscription must not go on to use the controller that its
// callback's stop deleted.
TEST_F(HostLifetime, CallbackInsideASubscriptionMayGiveBackTheLastTable)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    subscribeAndRun();
    HostCallbackRecorder second;
    second.onNotification = [&](const char *) { plugin->freeLoadTable(); };
    const TalvernPluginInstance &loadTable = table();
    loadTable.subscribe(&second, &HostCallbackRecorder::callback);
    EXPECT_EQ(second.count(), 1);
    EXPECT_TRUE(runEventsUntil([&] { return workerGone(threadsBeforeLoad); }, 30000));
    EXPECT_EQ(control.startCalls(), 1);
    EXPECT_EQ(control.stopCalls(), 1);
}

// Re-subscribing while running reports every held device to the new callback at once, on the
// subscribing thread; while the connection stays open no further series follows. After an
// unsubscription closed it, exactly one further series follows the reopening.
TEST_F(HostLifetime, ResubscribingWhileRunningReportsAtOnceAndReopensOnlyWhatWasClosed)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    subscribeAndRun();

    HostCallbackRecorder second;
    table().subscribe(&second, &HostCallbackRecorder::callback);
    ASSERT_EQ(second.count(), 1); // before this thread's loop has run
    EXPECT_EQ(second.notifications().at(0).context, &second);
    EXPECT_EQ(second.notifications().at(0).deviceId, norvaneMotherboardId);
    EXPECT_EQ(second.notifications().at(0).status, 1);
    EXPECT_EQ(second.notifications().at(0).thread, QThread::currentThreadId());
    runPendingEvents(200);
    EXPECT_EQ(second.count(), 1);
    EXPECT_EQ(control.startCalls(), 1);
    EXPECT_EQ(recorder.count(), 1);

    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
    HostCallbackRecorder third;
    table().subscribe(&third, &HostCallbackRecorder::callback);
    EXPECT_EQ(third.count(), 0); // the closed connection holds no device
    ASSERT_TRUE(runEventsUntil([&] { return third.count() == 1; }));
    runPendingEvents(200);
    EXPECT_EQ(third.count(), 1);
    EXPECT_EQ(control.startCalls(), 2);
}
