// The controller against the substitute SDK: its requests run on its own worker thread, one at a
// time; a frame returns only once the lights show it; destruction closes what is open, there.
#include "sdk/GlintSdkController.h"
#include "HostEvents.h"
#include "SimulatorChecks.h"
#include "platform/Com.h"
#include "simulator/SimulatorControl.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr int base = 0x20001;

class Controller : public testing::Test
{
protected:
    void TearDown() override { expectSdkAndComReleased(); }
    // The threads the SDK was called on.
    std::set<Qt::HANDLE> sdkThreads() const
    {
        std::set<Qt::HANDLE> threads;
        for (const CallRecord &call : control.journal())
            threads.insert(call.thread);
        return threads;
    }

    SimulatorControl &control = SimulatorControl::instance();
};

} // namespace

TEST_F(Controller, OpensOnItsWorkerAndReportsCompletionOnTheOwnersThread)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    GlintSdkController controller;
    QVector<QThread *> completedOn;
    QObject::connect(&controller, &GlintSdkController::enumerationCompleted,
                     [&] { completedOn.append(QThread::currentThread()); });
    controller.initialize();
    controller.initialize(); // ignored while open
    ASSERT_TRUE(runEventsUntil([&] { return !completedOn.isEmpty(); }));
    runPendingEvents();
    EXPECT_EQ(completedOn, QVector<QThread *> { QThread::currentThread() });
    EXPECT_EQ(controller.connectedDeviceIds(), QList<QByteArray> { norvaneMotherboardId });
    ASSERT_TRUE(controller.deviceDescription(norvaneMotherboardId));
    EXPECT_EQ(controller.deviceDescription(norvaneMotherboardId)->ledPositions.size(), 4u);
    EXPECT_EQ(controller.deviceDescription(QByteArray("00")), nullptr);
    EXPECT_EQ(control.startCalls(), 1);

    controller.uninitialize();
    ASSERT_TRUE(runEventsUntil([&] { return control.stopCalls() == 1; }));
    EXPECT_TRUE(controller.connectedDeviceIds().isEmpty());
    const std::set<Qt::HANDLE> threads = sdkThreads();
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), QThread::currentThreadId());
}

TEST_F(Controller, FrameReturnsOnlyWhenTheBoardShowsIt)
{
    BoardScenario board = BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2);
    board.applyDelayMs = 200; // a slow SDK: a caller that did not wait would see old colours
    useScenario({ board });
    GlintSdkController controller;
    controller.initialize();
    ASSERT_TRUE(runEventsUntil([&] { return !controller.connectedDeviceIds().isEmpty(); }));
    for (int value : { 10, 20, 30 }) {
        controller.setLedsColors(norvaneMotherboardId.constData(),
                                 { { base, value, value + 1, value + 2 }, { base + 1, 0, 0, 0 } });
        EXPECT_EQ(control.latchedColours(0).value(0),
                  (SimulatedColour { quint8(value), quint8(value + 1), quint8(value + 2) }));
    }
    EXPECT_EQ(control.applyCount(0), 3);
    controller.uninitialize();
    controller.setLedsColors(norvaneMotherboardId.constData(), { { base, 1, 1, 1 } }); // dropped
    EXPECT_EQ(control.applyCount(0), 3);
    EXPECT_EQ(control.stopCalls(), 1);
}

// What a lookup hands a host thread is plain data: kept past the close of the connection and
// dropped on the host thread, it takes or drops no reference on any SDK object there.
TEST_F(Controller, ADescriptionOutlivesTheConnectionWithoutTouchingTheSdk)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    GlintSdkController controller;
    controller.initialize();
    ASSERT_TRUE(runEventsUntil([&] { return !controller.connectedDeviceIds().isEmpty(); }));
    SharedDeviceDescription kept = controller.deviceDescription(norvaneMotherboardId);
    ASSERT_TRUE(kept);
    controller.uninitialize();
    ASSERT_TRUE(runEventsUntil([&] { return control.liveObjects() == 0; }));
    EXPECT_EQ(kept->friendlyName, "Norvane Motherboard");
    EXPECT_EQ(kept->deviceViews.at(0).ledZones.size(), 3u);
    kept.reset();
    EXPECT_EQ(control.foreignThreadCalls(), 0);
}

// Destruction closes what is open, on the worker, also right after the open request was made.
TEST_F(Controller, DestructionClosesOnTheWorker)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    for (bool opened : { true, false }) {
        SCOPED_TRACE(opened ? "opened" : "open requested");
        {
            GlintSdkController controller;
            controller.initialize();
            if (opened) {
                ASSERT_TRUE(
                    runEventsUntil([&] { return !controller.connectedDeviceIds().isEmpty(); }));
            }
        }
        EXPECT_EQ(control.startCalls(), control.stopCalls());
        if (opened) {
            ASSERT_FALSE(control.journal().isEmpty());
            EXPECT_EQ(control.journal().back().method, QStringLiteral("StopControl"));
        }
        EXPECT_EQ(sdkThreads().count(QThread::currentThreadId()), 0u);
        EXPECT_EQ(control.liveObjects(), 0);
    }
}
