// The controller against the substitute SDK: its requests run on its own worker thread, one at a
// time; a frame returns only once the lights show it; destruction closes what is open, there.
#include "sdk/GlintSdkController.h"
#include "HostEvents.h"
#include "SimulatorChecks.h"
#include "platform/Com.h"
#include "simulator/SimulatorControl.h"

#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int base = 0x20001;

class Controller : public testing::Test
{
protected:
    // Every SDK call was made on a worker, never on this thread, and nothing of the SDK is left.
    void TearDown() override
    {
        for (const CallRecord &call : control.journal())
            EXPECT_NE(call.thread, QThread::currentThreadId()) << qPrintable(call.method);
        expectSdkAndComReleased();
    }

    SimulatorControl &control = SimulatorControl::instance();
};

} // namespace

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
        EXPECT_EQ(control.liveObjects(), 0);
    }
}
