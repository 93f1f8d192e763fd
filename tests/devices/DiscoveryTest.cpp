// Discovery against the substitute SDK: the worker opens the connection, enumerates the
// motherboards, merges several into one device and closes again, logging every SDK failure.
#include "LogCapture.h"
#include "SimulatorChecks.h"
#include "simulator/SimulatorCApi.h"
#include "devices/DeviceEnumeration.h"
#include "sdk/GlintSdkLog.h"
#include "sdk/GlintSdkWorker.h"
#include "sdk/LedColourApplication.h"
#include "simulator/SimulatorControl.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>


namespace {

const char category[] = "vesk.plugin.glint_sdk_controller";
constexpr int base = 0x20001;

TalvernPluginLedColor colour(int ledId, int r, int g, int b)
{
    return { ledId, r, g, b };
}

SimulatedColour rgb(int r, int g, int b)
{
    return { quint8(r), quint8(g), quint8(b) };
}

std::vector<int> positionIds(const DeviceData &data)
{
    std::vector<int> ids;
    for (const LedPosition &position : data.description->ledPositions)
        ids.push_back(position.ledId);
    return ids;
}

std::vector<int> mapIds(const DeviceData &data)
{
    const QList<int> keys = data.ledsMap.keys();
    return std::vector<int>(keys.begin(), keys.end());
}

std::vector<int> zoneIds(const DeviceData &data)
{
    std::vector<int> ids;
    for (const LedZone &zone : data.description->deviceViews.at(0).ledZones)
        ids.push_back(zone.ledId);
    return ids;
}

// The SDK opened on this thread as the worker opens it, and a store to enumerate into; closed again
// (devices first) when it goes.
struct OpenedSdk
{
    OpenedSdk()
    {
        if (CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) != S_OK)
            return;
        comInitialised = true;
        CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                         sdk.receiveVoid());
    }
    ~OpenedSdk()
    {
        store.clear();
        sdk.reset();
        if (comInitialised)
            CoUninitialize();
    }
    OpenedSdk(const OpenedSdk &) = delete;
    OpenedSdk &operator=(const OpenedSdk &) = delete;

    bool comInitialised = false;
    ComPtr<IGlintSdk2> sdk;
    DeviceStore store;
};

class Discovery : public testing::Test
{
protected:
    void SetUp() override { GlintSimulatorSetRegistered(true); }
    // Nothing of the SDK may outlive the worker, and COM must be undone on every thread.
    void TearDown() override
    {
        QLoggingCategory::setFilterRules(QString());
        expectSdkAndComReleased();
        GlintSimulatorSetRegistered(true);
    }
    void use(const QVector<BoardScenario> &boards, const QVector<FaultRule> &faults = {})
    {
        useScenario(boards, faults);
    }

    SimulatorControl &control = SimulatorControl::instance();
    LogCapture log;
};

TEST_F(Discovery, OneMotherboardIsRenamedAndDescribed)
{
    BoardScenario board;
    board.name = QStringLiteral("Mainboard_Master");
    board.lightNames =
        QStringList { QStringLiteral("Led A"), QStringLiteral("Led B"), QStringLiteral("Led C") };
    use({ board });
    GlintSdkWorker worker;
    int completed = 0;
    QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });

    worker.initialize();
    ASSERT_TRUE(worker.isInitialized());
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(worker.connectedDeviceIds(), QList<QByteArray> { norvaneMotherboardId });
    {
        const SharedDeviceDescription description = worker.deviceDescription(norvaneMotherboardId);
        ASSERT_TRUE(description);
        const DeviceDescription &data = *description;
        EXPECT_EQ(data.friendlyName, "Norvane Motherboard");
        ASSERT_EQ(data.ledPositions.size(), 3u);
        EXPECT_EQ(data.ledPositions[2].ledId, base + 2);
        EXPECT_EQ(data.ledPositions[2].x, 2.0);
        EXPECT_EQ(data.ledPositions[2].y, 0.0);
        EXPECT_EQ(data.ledPositions[2].positionKind, 1);
        EXPECT_EQ(data.promoImage, "Motherboard-promo.png");
        EXPECT_EQ(data.thumbnailImage, "Motherboard-thumbnail.png");
        ASSERT_EQ(data.deviceViews.size(), 1u);
        EXPECT_EQ(data.deviceViews[0].hullLayoutMaskImage, "Motherboard-hullLayoutMask.png");
        EXPECT_EQ(data.deviceViews[0].deviceViewImage, "Motherboard-device_view.png");
        const std::vector<LedZone> &zones = data.deviceViews[0].ledZones;
        ASSERT_EQ(zones.size(), 3u);
        EXPECT_EQ(zones[1].ledId, base + 1);
        EXPECT_EQ(zones[1].zoneKind, 2);
        EXPECT_EQ(zones[1].zoneName, "Led B");
        EXPECT_TRUE(zones[1].label.empty());
    }
    EXPECT_TRUE(log.contains(QStringLiteral("Device #0; friendly name: \"Norvane Motherboard\"; "
                                            "id:\"786af07ea0cb0dbb480824d6c4d5d6bd\"; "
                                            "Leds Count: 3")));

    // Opening again while open changes nothing.
    worker.initialize();
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(control.startCalls(), 1);

    worker.uninitialize();
    EXPECT_FALSE(worker.isInitialized());
    EXPECT_TRUE(worker.connectedDeviceIds().isEmpty());
    EXPECT_EQ(control.stopCalls(), 1);
    const QVector<CallRecord> journal = control.journal();
    ASSERT_GE(journal.size(), 4);
    EXPECT_EQ(journal.front().method, QStringLiteral("create"));
    EXPECT_EQ(journal.at(1).method, QStringLiteral("StartControl"));
    EXPECT_EQ(journal.at(2).method, QStringLiteral("Enumerate"));
    EXPECT_EQ(journal.at(2).arguments, QStringLiteral("65536"));
    EXPECT_EQ(journal.back().method, QStringLiteral("StopControl"));
    EXPECT_EQ(journal.back().arguments, QStringLiteral("0"));
}

TEST_F(Discovery, SeveralMotherboardsBecomeOneDeviceWithContinuedIds)
{
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4),
          BoardScenario::withLights(QStringLiteral("Second Board"), 3),
          BoardScenario::withLights(QStringLiteral("Third Board"), 2) });
    OpenedSdk opened;
    ASSERT_TRUE(opened.sdk);
    DeviceStore &store = opened.store;
    enumerateDevices(opened.sdk.get(), GlintMotherboardType, store);

    ASSERT_EQ(store.devices().keys(), QList<QByteArray> { norvaneMotherboardId });
    const DeviceData &data = store.devices().value(norvaneMotherboardId);
    const std::vector<int> all { base,     base + 1, base + 2, base + 3, base + 4,
                                 base + 5, base + 6, base + 7, base + 8 };
    EXPECT_EQ(positionIds(data), all);
    EXPECT_EQ(zoneIds(data), all);
    EXPECT_EQ(mapIds(data), all);
    EXPECT_EQ(data.description->deviceViews[0].ledZones[4].zoneName,
              "LED 1"); // board 1's first light
    const SubDeviceMap subDevices = store.combinedSubDevices().value(norvaneMotherboardId);
    EXPECT_EQ(subDevices.size(), 2);
    EXPECT_TRUE(subDevices.contains({ base + 4, base + 7 }));
    EXPECT_TRUE(subDevices.contains({ base + 7, base + 9 }));
    const QStringList merged =
        log.texts(category, QtDebugMsg).filter(QStringLiteral("enumerateMultipleMotherboards()"));
    EXPECT_EQ(
        merged,
        (QStringList { QStringLiteral("enumerateMultipleMotherboards(): additional_motherboard "
                                      "#0; ledsMap.size(): 3; ledPositions.size(): 3; "
                                      "deviceViews[0].ledZones.size(): \"3\""),
                       QStringLiteral("enumerateMultipleMotherboards(): additional_motherboard "
                                      "#1; ledsMap.size(): 2; ledPositions.size(): 2; "
                                      "deviceViews[0].ledZones.size(): \"2\"") }));

    // A frame reaches every board, with the low 8 bits of each component, and each board
    // shows it through its own Apply.
    applyLedColours(store, norvaneMotherboardId,
                    { colour(base, 0x1FF, 0x100, 7), colour(base + 4, 1, 2, 3),
                      colour(base + 8, 300, 40, 50) });
    EXPECT_EQ(control.latchedColours(0).at(0), rgb(0xFF, 0, 7));
    EXPECT_EQ(control.latchedColours(1).at(0), rgb(1, 2, 3));
    EXPECT_EQ(control.latchedColours(2).at(1), rgb(44, 40, 50));
    EXPECT_EQ(control.applyCount(0), 1);
    EXPECT_EQ(control.applyCount(1), 1);
    EXPECT_EQ(control.applyCount(2), 1);

}

// The first board's Apply fails, and so does the third's: the other boards are still applied, and
// each failure says which kind of board it was.
TEST_F(Discovery, AnApplyFailureLeavesTheOtherBoardsApplied)
{
    FaultRule first;
    first.object = QStringLiteral("board:0");
    first.method = QStringLiteral("Apply");
    FaultRule third = first;
    third.object = QStringLiteral("board:2");
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 1),
          BoardScenario::withLights(QStringLiteral("Second Board"), 1),
          BoardScenario::withLights(QStringLiteral("Third Board"), 1) },
        { first, third });
    OpenedSdk opened;
    ASSERT_TRUE(opened.sdk);
    DeviceStore &store = opened.store;
    enumerateDevices(opened.sdk.get(), GlintMotherboardType, store);
    log.clear();

    applyLedColours(store, norvaneMotherboardId, { colour(base + 1, 9, 8, 7) });
    EXPECT_EQ(control.countCalls(QStringLiteral("board:*"), QStringLiteral("Apply")), 3);
    EXPECT_EQ(control.latchedColours(1).value(0), rgb(9, 8, 7));
    EXPECT_EQ(log.texts(category, QtCriticalMsg),
              (QStringList { QStringLiteral("Failed IGlintSyncDevice::Apply() with HRESULT( "
                                            "\"0xFFFFFFFF80004005\" )"),
                             QStringLiteral("[Combined SubDevice] Failed IGlintSyncDevice::Apply() "
                                            "with HRESULT( \"0xFFFFFFFF80004005\" )") }));

}

// One light of a further board cannot be read: its id is left out and every other LED keeps its
// own id, so colours still reach the LED they were meant for.
TEST_F(Discovery, AFailedLightOfAFurtherBoardLeavesAGap)
{
    FaultRule fault;
    fault.object = QStringLiteral("lights:1");
    fault.method = QStringLiteral("get_Item");
    fault.index = 1;
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2),
          BoardScenario::withLights(QStringLiteral("Second Board"), 3),
          BoardScenario::withLights(QStringLiteral("Third Board"), 1) },
        { fault });
    OpenedSdk opened;
    ASSERT_TRUE(opened.sdk);
    DeviceStore &store = opened.store;
    enumerateDevices(opened.sdk.get(), GlintMotherboardType, store);

    const DeviceData &data = store.devices().value(norvaneMotherboardId);
    EXPECT_EQ(positionIds(data),
              (std::vector<int> { base, base + 1, base + 2, base + 3, base + 4, base + 5 }));
    const std::vector<int> gap { base, base + 1, base + 2, base + 4, base + 5 };
    EXPECT_EQ(zoneIds(data), gap);
    EXPECT_EQ(mapIds(data), gap);
    const SubDeviceMap subDevices = store.combinedSubDevices().value(norvaneMotherboardId);
    EXPECT_TRUE(subDevices.contains({ base + 2, base + 5 }));
    EXPECT_TRUE(subDevices.contains({ base + 5, base + 6 }));
    const QStringList critical = log.texts(category, QtCriticalMsg);
    EXPECT_TRUE(critical.contains(QStringLiteral(
        "Failed IGlintRgbLightCollection::get_Item() with HRESULT( \"0xFFFFFFFF80004005\" )")));
    EXPECT_TRUE(critical.contains(
        QStringLiteral("Failed IGlintRgbLightCollection::get_Item() during enumeration with "
                       "HRESULT( \"0xFFFFFFFF80004005\" ).")));

    applyLedColours(store, norvaneMotherboardId,
                    { colour(base + 2, 10, 0, 0), colour(base + 3, 20, 0, 0),
                      colour(base + 4, 30, 0, 0), colour(base + 5, 40, 0, 0) });
    EXPECT_EQ(control.latchedColours(1),
              (QVector<SimulatedColour> { rgb(10, 0, 0), rgb(0, 0, 0), rgb(30, 0, 0) }));
    EXPECT_EQ(control.latchedColours(2), QVector<SimulatedColour> { rgb(40, 0, 0) });

}

// SDK failures while enumerating leave the connection open with what could be read, and the
// signal is still emitted.
TEST_F(Discovery, SdkFailuresAreLoggedAndTheConnectionStaysOpen)
{
    struct Case
    {
        const char *object;
        const char *method;
        const char *line;
    };
    const Case cases[] = {
        { "sdk", "Enumerate",
          "Failed IGlintSdk::Enumerate() with HRESULT( \"0xFFFFFFFF80004005\" )" },
        { "devices", "get_Count",
          "Failed IGlintSyncDeviceCollection::get_Count() with HRESULT( \"0xFFFFFFFF80004005\" )" },
        { "devices", "get_Item",
          "Failed IGlintSyncDeviceCollection::get_Item() with HRESULT( \"0xFFFFFFFF80004005\" )" },
        { "board:0", "get_Name",
          "Failed IGlintSyncDevice::get_Name() with HRESULT( \"0xFFFFFFFF80004005\" )" },
        { "board:0", "get_Lights",
          "Failed IGlintSyncDevice::get_Lights() with HRESULT( \"0xFFFFFFFF80004005\" )" },
        { "lights:0", "get_Count",
          "Failed IGlintRgbLightCollection::get_Count() with HRESULT( \"0xFFFFFFFF80004005\" )" },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        FaultRule fault;
        fault.object = QLatin1String(c.object);
        fault.method = QLatin1String(c.method);
        use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) }, { fault });
        log.clear();
        GlintSdkWorker worker;
        int completed = 0;
        QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });
        worker.initialize();
        EXPECT_TRUE(worker.isInitialized());
        EXPECT_EQ(completed, 1);
        EXPECT_TRUE(worker.connectedDeviceIds().isEmpty());
        EXPECT_EQ(log.texts(category, QtCriticalMsg), QStringList { QLatin1String(c.line) });
    }

    // No boards at all is not a failure.
    use({});
    log.clear();
    GlintSdkWorker worker;
    int completed = 0;
    QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });
    worker.initialize();
    EXPECT_TRUE(worker.isInitialized());
    EXPECT_EQ(completed, 1);
    EXPECT_TRUE(log.texts(category, QtCriticalMsg).isEmpty());
}

TEST_F(Discovery, FailedOpeningsLogTheirCodeAndLeaveTheWorkerClosed)
{
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    GlintSdkWorker worker;
    int completed = 0;
    QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });

    GlintSimulatorSetRegistered(false);
    worker.initialize();
    EXPECT_FALSE(worker.isInitialized());
    EXPECT_EQ(
        log.texts(category, QtCriticalMsg),
        QStringList { QStringLiteral("Failed call to create instance of GlintSdk with HRESULT: "
                                     "\"0xFFFFFFFF80040154\"") });
    EXPECT_EQ(CompatApartmentInitCount(), 0);
    worker.setLedsColors(norvaneMotherboardId, { colour(base, 1, 1, 1) }); // dropped silently
    EXPECT_EQ(control.applyCount(0), 0);

    // The thread already belongs to a multithreaded apartment. (Device access switched off and on
    // again in between: a failure right after that is a first one again.)
    worker.uninitialize();
    GlintSimulatorSetRegistered(true);
    log.clear();
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    worker.initialize();
    EXPECT_FALSE(worker.isInitialized());
    EXPECT_EQ(log.texts(category, QtCriticalMsg),
              QStringList { QStringLiteral(
                  "Failed call to ::CoInitializeEx() with HRESULT: \"0xFFFFFFFF80010106\"") });
    EXPECT_EQ(CompatApartmentInitCount(), 1);
    CoUninitialize();

    // With critical lines switched off nothing is written and the outcome is the same.
    QLoggingCategory::setFilterRules(
        QStringLiteral("vesk.plugin.glint_sdk_controller.critical=false"));
    worker.uninitialize();
    GlintSimulatorSetRegistered(false);
    log.clear();
    worker.initialize();
    EXPECT_FALSE(worker.isInitialized());
    EXPECT_TRUE(log.messages().isEmpty());

    // A later opening succeeds.
    GlintSimulatorSetRegistered(true);
    worker.initialize();
    EXPECT_TRUE(worker.isInitialized());
    EXPECT_EQ(completed, 1);
}

TEST_F(Discovery, ReopeningStartsAfreshAndDestructionCloses)
{
    use({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    {
        GlintSdkWorker worker;
        worker.uninitialize(); // never opened: no COM call at all
        EXPECT_TRUE(control.journal().isEmpty());
        worker.initialize();
        worker.uninitialize();
        EXPECT_EQ(control.liveObjects(), 0);
        worker.initialize();
        EXPECT_EQ(control.startCalls(), 2);
        EXPECT_EQ(worker.connectedDeviceIds(), QList<QByteArray> { norvaneMotherboardId });
        EXPECT_EQ(worker.deviceDescription(norvaneMotherboardId)->ledPositions.size(), 2u);
        EXPECT_GT(control.liveObjects(), 0);
    }
    EXPECT_EQ(control.stopCalls(), 2);
}

TEST(ResultCodeText, WritesSixteenUpperCaseDigitsForFailures)
{
    EXPECT_EQ(hresultText(static_cast<HRESULT>(0x80004005u)), QStringLiteral("0xFFFFFFFF80004005"));
    EXPECT_EQ(hresultText(static_cast<HRESULT>(0x8007000Eu)), QStringLiteral("0xFFFFFFFF8007000E"));
    EXPECT_EQ(hresultText(1), QStringLiteral("0x1"));
    EXPECT_EQ(hresultText(0xABC), QStringLiteral("0xABC"));
}

} // namespace
