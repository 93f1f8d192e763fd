// When the worker stops and starts, where the ordering explorer does not look: a callback inside a
// subscription that gives back the last table; re-subscribing while running.
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
