// What the host gets for input the plug-in cannot use: a null result or a dropped frame, a log
// line where it helps, never a crash, and nothing read from a pointer that cannot be trusted.
#include "HostFixture.h"

#include <climits>

namespace {
const char category[] = "vesk.plugin.glint_sdk_controller";
}

using HostBadInput = HostFixture;

TEST_F(HostBadInput, BeforeTheFirstSubscriptionNothingIsServedOrStarted)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    EXPECT_EQ(table().getDeviceInfo(norvaneMotherboardId.constData()), nullptr);
    EXPECT_EQ(table().getDeviceView(norvaneMotherboardId.constData(), 0), nullptr);
    const TalvernPluginLedColor frame[] = { { firstMotherboardLed, 1, 2, 3 } };
    table().setLedsColors(norvaneMotherboardId.constData(), 1, frame);
    table().unsubscribe();
    table().setPluginMode(2); // kept for the subscription
    runPendingEvents();
    EXPECT_EQ(control.liveObjects(), 0);
    EXPECT_TRUE(control.journal().isEmpty());

    // The stored mode 2 lets the first subscription open the SDK at once.
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    ASSERT_TRUE(runEventsUntil([&] { return recorder.count() == 1; }));
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}

TEST_F(HostBadInput, UnknownIdsAndViewIndexesGiveNull)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    subscribeAndRun();
    // printf 'Unknown' | md5sum
    const char unknown[] = "88183b946cc5f0e8c96b2e66e1c74a7e";
    EXPECT_EQ(table().getDeviceInfo(nullptr), nullptr);
    EXPECT_EQ(table().getDeviceInfo(""), nullptr);
    EXPECT_EQ(table().getDeviceInfo(unknown), nullptr);
    EXPECT_EQ(table().getDeviceView(unknown, 0), nullptr);
    EXPECT_EQ(table().getDeviceView(nullptr, 0), nullptr);
    for (int32_t index : { -1, 1, INT_MAX, INT_MIN })
        EXPECT_EQ(table().getDeviceView(norvaneMotherboardId.constData(), index), nullptr) << index;
    table().freeDeviceInfo(nullptr);
    table().freeDeviceView(nullptr);
    plugin->freeTable(nullptr); // no table: the session goes on
    TalvernPluginDeviceInfo *info = table().getDeviceInfo(norvaneMotherboardId.constData());
    EXPECT_NE(info, nullptr);
    table().freeDeviceInfo(info);
    EXPECT_EQ(control.stopCalls(), 0);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}

TEST_F(HostBadInput, UnreadableFramesAreDroppedAndUnknownLedsSkipped)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    subscribeAndRun();
    const char *id = norvaneMotherboardId.constData();
    control.clearJournal();

    // Nothing may be read: the entries pointer is invalid on purpose.
    const auto *poison = reinterpret_cast<const TalvernPluginLedColor *>(uintptr_t(0x10));
    table().setLedsColors(nullptr, 1, poison);
    table().setLedsColors(id, -1, poison);
    table().setLedsColors(id, INT_MIN, poison);
    table().setLedsColors(id, 5, nullptr);
    EXPECT_TRUE(control.journal().isEmpty());

    // An unknown device: no SDK call, one log line.
    const TalvernPluginLedColor one[] = { { firstMotherboardLed, 1, 2, 3 } };
    table().setLedsColors("88183b946cc5f0e8c96b2e66e1c74a7e", 1, one);
    EXPECT_TRUE(control.journal().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral(
        "TalvernPluginSetLedsColors: Invalid device id requested. Skip this lighting frame...")));

    // Unknown LED ids are skipped and named; the rest of the frame lands; repeats: last wins.
    const TalvernPluginLedColor mixed[] = {
        { firstMotherboardLed - 1, 9, 9, 9 },
        { firstMotherboardLed + 2, 7, 8, 9 },
        { INT_MAX, 9, 9, 9 },
        { firstMotherboardLed, 1, 1, 1 },
        { firstMotherboardLed, 4, 5, 6 },
    };
    table().setLedsColors(id, 5, mixed);
    const QVector<SimulatedColour> latched = control.latchedColours(0);
    EXPECT_EQ(latched.value(0), (SimulatedColour { 4, 5, 6 }));
    EXPECT_EQ(latched.value(1), (SimulatedColour { 0, 0, 0 }));
    EXPECT_EQ(latched.value(2), (SimulatedColour { 7, 8, 9 }));
    const QStringList warnings = log.texts(category, QtWarningMsg);
    EXPECT_TRUE(warnings.contains(QStringLiteral("Invalid LUID received from host: 131072")));
    EXPECT_TRUE(warnings.contains(QStringLiteral("Invalid LUID received from host: 2147483647")));

    // An empty frame still shows the board as it is.
    table().setLedsColors(id, 0, nullptr);
    EXPECT_EQ(control.applyCount(0), 2);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}

// A failing write of any component skips the rest of the frame, the failing LED's later
// components included, and its Apply, and says why; what came before stays written.
TEST_F(HostBadInput, FailingLightSkipsTheFrame)
{
    const char *const writes[] = { "put_Red", "put_Green", "put_Blue" };
    for (int failing = 0; failing < 3; ++failing) {
        SCOPED_TRACE(writes[failing]);
        useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) },
                    { failingCall("light:0:1", writes[failing]) });
        log.clear();
        subscribeAndRun(failing + 1);
        control.clearJournal();
        const TalvernPluginLedColor frame[] = { { firstMotherboardLed, 1, 1, 1 },
                                                { firstMotherboardLed + 1, 2, 2, 2 },
                                                { firstMotherboardLed + 2, 3, 3, 3 } };
        table().setLedsColors(norvaneMotherboardId.constData(), 3, frame);
        EXPECT_EQ(control.applyCount(0), 0);
        for (int later = failing + 1; later < 3; ++later)
            EXPECT_EQ(control.countCalls(QStringLiteral("light:0:1"), QLatin1String(writes[later])),
                      0);
        EXPECT_EQ(control.countCalls(QStringLiteral("light:0:2"), QString()), 0);
        EXPECT_EQ(control.currentColours(0).value(0), (SimulatedColour { 1, 1, 1 }));
        const SimulatedColour failingLed = control.currentColours(0).value(1);
        const quint8 components[] = { failingLed.red, failingLed.green, failingLed.blue };
        for (int earlier = 0; earlier < failing; ++earlier)
            EXPECT_EQ(components[earlier], 2) << writes[earlier];
        EXPECT_EQ(log.texts(category, QtCriticalMsg),
                  QStringList { QStringLiteral("Failed IGlintRgbLight::%1() with HRESULT( "
                                               "\"0xFFFFFFFF80004005\" ). Skip this lighting "
                                               "frame...")
                                    .arg(QLatin1String(writes[failing])) });
        table().unsubscribe();
        ASSERT_TRUE(waitForStop());
    }
}

// An SDK that claims more lights or devices than exist: the claim is not believed. A light count
// beyond any board skips that device with its line, and a device count beyond any setup leaves the
// collection empty; the enumeration still completes, and frames and mode changes go on.
TEST_F(HostBadInput, LyingSdkCountsAreInvalidData)
{
    for (const int claimed : { INT_MAX, 3000000 }) {
        SCOPED_TRACE(claimed);
        BoardScenario liar = BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4);
        liar.claimedLights = claimed;
        useScenario({ liar });
        log.clear();
        table().subscribe(&recorder, &HostCallbackRecorder::callback);
        table().setPluginMode(2);
        ASSERT_TRUE(runEventsUntil([&] {
            return log.contains(
                QStringLiteral("Device #0: Invalid data received. Skipping this device"));
        }));
        const TalvernPluginLedColor frame[] = { { firstMotherboardLed, 1, 2, 3 } };
        table().setLedsColors(norvaneMotherboardId.constData(), 1, frame); // dropped: no device
        EXPECT_EQ(control.applyCount(0), 0);
        EXPECT_EQ(table().getDeviceInfo(norvaneMotherboardId.constData()), nullptr);
        // No light was asked for on the strength of the claim.
        EXPECT_EQ(control.countCalls(QStringLiteral("lights:*"), QStringLiteral("get_Item")), 0);
        table().setPluginMode(1);
        table().unsubscribe();
        ASSERT_TRUE(waitForStop());
    }

    Scenario scenario;
    scenario.boards = { BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) };
    scenario.claimedDevices = INT_MAX;
    control.setScenario(scenario);
    log.clear();
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    table().setPluginMode(2);
    ASSERT_TRUE(runEventsUntil([&] {
        return log.contains(QStringLiteral("IGlintSdk2::Enumerate(): 2147483647 devices: Invalid "
                                           "data received. Skipping every device"));
    }));
    runPendingEvents(100);
    EXPECT_EQ(recorder.count(), 0);
    table().setPluginMode(1);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}
