// Discovery against the substitute SDK: the worker opens the connection, enumerates the
// motherboards, merges several into one device and closes again, logging every SDK failure.
// What the host sees of a description and of a frame is checked through the exports (tests/host);
// this suite reaches what only the worker and the device store show.
#include "LogCapture.h"
#include "SimulatorChecks.h"
#include "devices/DeviceEnumeration.h"
#include "sdk/GlintSdkWorker.h"
#include "sdk/LedColourApplication.h"
#include "simulator/SimulatorCApi.h"
#include "simulator/SimulatorControl.h"

#include <QLoggingCategory>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const char category[] = "vesk.plugin.glint_sdk_controller";
constexpr int base = 0x20001;

SimulatedColour rgb(int r, int g, int b)
{
    return { quint8(r), quint8(g), quint8(b) };
}

// The LED ids of the positions, the zones and the LED map, in that order.
std::vector<std::vector<int>> ledIds(const DeviceData &data)
{
    std::vector<std::vector<int>> ids(3);
    for (const LedPosition &position : data.description->ledPositions)
        ids[0].push_back(position.ledId);
    for (const LedZone &zone : data.description->deviceViews.at(0).ledZones)
        ids[1].push_back(zone.ledId);
    for (int id : data.ledsMap.keys())
        ids[2].push_back(id);
    return ids;
}

// The SDK opened on this thread as the worker opens it, with its motherboards enumerated into a
// store; closed again (devices first) when it goes.
struct Enumerated
{
    Enumerated()
    {
        if (CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) != S_OK)
            return;
        comInitialised = true;
        CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                         sdk.receiveVoid());
        if (sdk)
            enumerateDevices(sdk.get(), GlintMotherboardType, store);
    }
    ~Enumerated()
    {
        store.clear();
        sdk.reset();
        if (comInitialised)
            CoUninitialize();
    }
    Enumerated(const Enumerated &) = delete;
    Enumerated &operator=(const Enumerated &) = delete;

    DeviceData device() const { return store.devices().value(norvaneMotherboardId); }
    // The LED id ranges of the additional boards, in order.
    std::vector<std::pair<int, int>> subDeviceRanges() const
    {
        std::vector<std::pair<int, int>> ranges;
        for (const LedIdRange &range : store.combinedSubDevices()[norvaneMotherboardId].keys())
            ranges.emplace_back(range.firstLedId, range.endLedId);
        std::sort(ranges.begin(), ranges.end());
        return ranges;
    }

    bool comInitialised = false;
    ComPtr<IGlintSdk2> sdk;
    DeviceStore store;
};

class Discovery : public testing::Test
{
protected:
    // Nothing of the SDK may outlive the worker, and COM must be undone on every thread.
    void TearDown() override
    {
        QLoggingCategory::setFilterRules(QString());
        expectSdkAndComReleased();
        GlintSimulatorSetRegistered(true);
    }
    static QVector<BoardScenario> boards(std::initializer_list<int> lights)
    {
        QVector<BoardScenario> result;
        for (int count : lights) {
            result.append(BoardScenario::withLights(
                result.isEmpty() ? QStringLiteral("Mainboard_Master")
                                 : QStringLiteral("Board %1").arg(result.size()),
                count));
        }
        return result;
    }

    SimulatorControl &control = SimulatorControl::instance();
    LogCapture log;
};

// Opening calls the SDK in the order the vendor requires and enumerates motherboards only; opening
// again while open changes nothing; closing stops control with its one argument; a worker that
// never opened makes no COM call at all. (Destruction closes what is open: the fixture's end
// finds nothing of the SDK left.)
TEST_F(Discovery, OpeningEnumeratesAndClosingStops)
{
    useScenario(boards({ 3 }));
    {
        GlintSdkWorker idle;
        idle.uninitialize();
    }
    EXPECT_TRUE(control.journal().isEmpty());

    GlintSdkWorker worker;
    int completed = 0;
    QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });
    worker.initialize();
    ASSERT_TRUE(worker.isInitialized());
    EXPECT_EQ(worker.connectedDeviceIds(), QList<QByteArray> { norvaneMotherboardId });
    EXPECT_TRUE(log.contains(QStringLiteral("Device #0; friendly name: \"Norvane Motherboard\"; "
                                            "id:\"786af07ea0cb0dbb480824d6c4d5d6bd\"; "
                                            "Leds Count: 3")));
    worker.initialize();
    EXPECT_EQ(completed, 1);
    EXPECT_EQ(control.startCalls(), 1);

    worker.uninitialize();
    EXPECT_FALSE(worker.isInitialized());
    EXPECT_TRUE(worker.connectedDeviceIds().isEmpty());
    EXPECT_EQ(control.liveObjects(), 0);
    const QVector<CallRecord> journal = control.journal();
    ASSERT_GE(journal.size(), 4);
    EXPECT_EQ(journal.front().method, QStringLiteral("create"));
    EXPECT_EQ(journal.at(1).method, QStringLiteral("StartControl"));
    EXPECT_EQ(journal.at(2).method, QStringLiteral("Enumerate"));
    EXPECT_EQ(journal.at(2).arguments, QStringLiteral("65536"));
    EXPECT_EQ(journal.back().method, QStringLiteral("StopControl"));
    EXPECT_EQ(journal.back().arguments, QStringLiteral("0"));

    worker.initialize();
    EXPECT_EQ(control.startCalls(), 2);
    EXPECT_EQ(worker.connectedDeviceIds(), QList<QByteArray> { norvaneMotherboardId });
}

// One light of a further board cannot be read: it keeps its position, but its id is left out of
// the zones and the LED map, and every other LED keeps its own id, so colours still reach the LED
// they were meant for.
TEST_F(Discovery, AFailedLightOfAFurtherBoardLeavesAGap)
{
    FaultRule fault = failingCall("lights:1", "get_Item");
    fault.index = 1;
    useScenario(boards({ 2, 3, 1 }), { fault });
    const Enumerated opened;
    const std::vector<int> gap { base, base + 1, base + 2, base + 4, base + 5 };
    EXPECT_EQ(ledIds(opened.device()),
              (std::vector<std::vector<int>> {
                  { base, base + 1, base + 2, base + 3, base + 4, base + 5 }, gap, gap }));
    EXPECT_EQ(
        opened.subDeviceRanges(),
        (std::vector<std::pair<int, int>> { { base + 2, base + 5 }, { base + 5, base + 6 } }));
    const QStringList critical = log.texts(category, QtCriticalMsg);
    EXPECT_TRUE(critical.contains(QStringLiteral(
        "Failed IGlintRgbLightCollection::get_Item() with HRESULT( \"0xFFFFFFFF80004005\" )")));
    EXPECT_TRUE(critical.contains(
        QStringLiteral("Failed IGlintRgbLightCollection::get_Item() during enumeration with "
                       "HRESULT( \"0xFFFFFFFF80004005\" ).")));

    applyLedColours(opened.store, norvaneMotherboardId,
                    { { base + 2, 10, 0, 0 },
                      { base + 3, 20, 0, 0 },
                      { base + 4, 30, 0, 0 },
                      { base + 5, 40, 0, 0 } });
    EXPECT_EQ(control.latchedColours(1),
              (QVector<SimulatedColour> { rgb(10, 0, 0), rgb(0, 0, 0), rgb(30, 0, 0) }));
    EXPECT_EQ(control.latchedColours(2), QVector<SimulatedColour> { rgb(40, 0, 0) });
}

// The first board's Apply fails, and so does the third's: the other boards are still applied, and
// each failure says which kind of board it was.
TEST_F(Discovery, AnApplyFailureLeavesTheOtherBoardsApplied)
{
    useScenario(boards({ 1, 1, 1 }),
                { failingCall("board:0", "Apply"), failingCall("board:2", "Apply") });
    const Enumerated opened;
    log.clear();
    applyLedColours(opened.store, norvaneMotherboardId, { { base + 1, 9, 8, 7 } });
    EXPECT_EQ(control.countCalls(QStringLiteral("board:*"), QStringLiteral("Apply")), 3);
    EXPECT_EQ(control.latchedColours(1).value(0), rgb(9, 8, 7));
    EXPECT_EQ(log.texts(category, QtCriticalMsg),
              (QStringList { QStringLiteral("Failed IGlintSyncDevice::Apply() with HRESULT( "
                                            "\"0xFFFFFFFF80004005\" )"),
                             QStringLiteral("[Combined SubDevice] Failed IGlintSyncDevice::Apply() "
                                            "with HRESULT( \"0xFFFFFFFF80004005\" )") }));
}

// SDK failures while enumerating leave the connection open with what could be read, and the
// signal is still emitted; no boards at all is not a failure.
TEST_F(Discovery, SdkFailuresAreLoggedAndTheConnectionStaysOpen)
{
    const struct
    {
        const char *object;
        const char *method;
        const char *line; // null: no failure
    } cases[] = {
        { "sdk", "Enumerate", "IGlintSdk::Enumerate()" },
        { "devices", "get_Count", "IGlintSyncDeviceCollection::get_Count()" },
        { "devices", "get_Item", "IGlintSyncDeviceCollection::get_Item()" },
        { "board:0", "get_Name", "IGlintSyncDevice::get_Name()" },
        { "board:0", "get_Lights", "IGlintSyncDevice::get_Lights()" },
        { "lights:0", "get_Count", "IGlintRgbLightCollection::get_Count()" },
        { nullptr, nullptr, nullptr },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.method ? c.method : "no boards");
        if (c.line)
            useScenario(boards({ 2 }), { failingCall(c.object, c.method) });
        else
            useScenario({});
        log.clear();
        GlintSdkWorker worker;
        int completed = 0;
        QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });
        worker.initialize();
        EXPECT_TRUE(worker.isInitialized());
        EXPECT_EQ(completed, 1);
        EXPECT_TRUE(worker.connectedDeviceIds().isEmpty());
        const QStringList expected = c.line
            ? QStringList { QStringLiteral("Failed %1 with HRESULT( \"0xFFFFFFFF80004005\" )")
                                .arg(QLatin1String(c.line)) }
            : QStringList();
        EXPECT_EQ(log.texts(category, QtCriticalMsg), expected);
    }
}

TEST_F(Discovery, FailedOpeningsLogTheirCodeAndLeaveTheWorkerClosed)
{
    useScenario(boards({ 2 }));
    GlintSdkWorker worker;
    int completed = 0;
    QObject::connect(&worker, &GlintSdkWorker::enumerationCompleted, [&] { ++completed; });
    const auto failedOpening = [&](const char *line) {
        log.clear();
        worker.uninitialize(); // a failure after switching off and on again is a first one again
        worker.initialize();
        EXPECT_FALSE(worker.isInitialized());
        EXPECT_EQ(log.texts(category, QtCriticalMsg),
                  line ? QStringList { QLatin1String(line) } : QStringList());
    };

    GlintSimulatorSetRegistered(false);
    failedOpening(
        "Failed call to create instance of GlintSdk with HRESULT: \"0xFFFFFFFF80040154\"");
    EXPECT_EQ(CompatApartmentInitCount(), 0);
    worker.setLedsColors(norvaneMotherboardId, { { base, 1, 1, 1 } }); // dropped silently
    EXPECT_EQ(control.applyCount(0), 0);

    // The thread already belongs to a multithreaded apartment.
    GlintSimulatorSetRegistered(true);
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    failedOpening("Failed call to ::CoInitializeEx() with HRESULT: \"0xFFFFFFFF80010106\"");
    EXPECT_EQ(CompatApartmentInitCount(), 1);
    CoUninitialize();

    // With critical lines switched off nothing is written and the outcome is the same.
    QLoggingCategory::setFilterRules(
        QStringLiteral("vesk.plugin.glint_sdk_controller.critical=false"));
    GlintSimulatorSetRegistered(false);
    failedOpening(nullptr);
    EXPECT_TRUE(log.messages().isEmpty());

    // A later opening succeeds.
    EXPECT_EQ(completed, 0);
    GlintSimulatorSetRegistered(true);
    worker.initialize();
    EXPECT_TRUE(worker.isInitialized());
    EXPECT_EQ(completed, 1);
}

} // namespace
