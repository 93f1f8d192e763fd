// Randomised host sessions against a randomised SDK: boards, lights, failing calls and a slow
// Apply drawn from a printed seed; host operations of every kind, good and bad, from up to three
// threads. Each session must end with well-formed records, the last frame on the lights, and
// nothing left behind. GLINT_RANDOM_SEED repeats a run; GLINT_RANDOM_SESSIONS makes it longer.
#include "HostFixture.h"
#include "Watchdog.h"

#include <QLoggingCategory>
#include <QMap>
#include <QRandomGenerator>

#include <atomic>
#include <climits>
#include <cstring>
#include <thread>

namespace {

// printf 'Unknown' | md5sum
const char unknownId[] = "88183b946cc5f0e8c96b2e66e1c74a7e";

int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

Scenario randomScenario(QRandomGenerator &random)
{
    static const char *const methods[] = { "StartControl", "Enumerate",  "get_Count", "get_Item",
                                           "get_Name",     "get_Lights", "put_Red",   "put_Green",
                                           "put_Blue",     "Apply" };
    static const char *const objects[] = { "sdk",      "devices",  "board:*",   "board:1",
                                           "lights:*", "lights:0", "light:*:*", "light:0:3" };
    Scenario scenario;
    const int boards = random.bounded(1, 5);
    for (int b = 0; b < boards; ++b) {
        BoardScenario board = BoardScenario::withLights(b == 0 ? QStringLiteral("Mainboard_Master")
                                                               : QStringLiteral("Board %1").arg(b),
                                                        random.bounded(0, 121));
        scenario.boards.append(board);
    }
    if (random.bounded(3) == 0)
        scenario.boards[random.bounded(boards)].applyDelayMs = random.bounded(1, 20);
    const int faults = random.bounded(3) == 0 ? random.bounded(1, 4) : 0;
    for (int f = 0; f < faults; ++f) {
        FaultRule fault = failingCall(objects[random.bounded(int(std::size(objects)))],
                                      methods[random.bounded(int(std::size(methods)))]);
        fault.call = random.bounded(0, 6);
        if (random.bounded(2))
            fault.index = random.bounded(0, 4);
        scenario.faults.append(fault);
    }
    return scenario;
}

// A record from the plug-in must be complete whatever happened, and goes back through slot 5.
void checkAndFree(const TalvernPluginInstance &table, TalvernPluginDeviceInfo *info)
{
    if (!info)
        return;
    EXPECT_EQ(info->deviceKind, 3);
    EXPECT_NE(info->deviceName, nullptr);
    ASSERT_NE(info->deviceId, nullptr);
    EXPECT_EQ(std::strlen(info->deviceId), 32u);
    EXPECT_EQ(info->viewCount, 1);
    ASSERT_NE(info->ledPositions, nullptr);
    EXPECT_GE(info->ledPositions->count, 0);
    EXPECT_EQ(info->ledPositions->positions == nullptr, info->ledPositions->count == 0);
    ASSERT_TRUE(info->thumbnail && info->promo);
    EXPECT_TRUE(info->thumbnail->fileName && info->promo->fileName);
    table.freeDeviceInfo(info);
}

void checkAndFree(const TalvernPluginInstance &table, TalvernPluginDeviceView *view)
{
    if (!view)
        return;
    ASSERT_TRUE(view->deviceViewImage && view->hullLayoutMaskImage && view->ledZones);
    EXPECT_GE(view->ledZones->count, 0);
    EXPECT_EQ(view->ledZones->zones == nullptr, view->ledZones->count == 0);
    for (int i = 0; i < view->ledZones->count; ++i)
        EXPECT_NE(view->ledZones->zones[i].zoneName, nullptr);
    table.freeDeviceView(view);
}

const char *randomId(QRandomGenerator &random)
{
    switch (random.bounded(6)) {
    case 0:
        return nullptr;
    case 1:
        return "";
    case 2:
        return unknownId;
    default:
        return norvaneMotherboardId.constData();
    }
}

std::vector<TalvernPluginLedColor> randomFrame(QRandomGenerator &random)
{
    std::vector<TalvernPluginLedColor> frame(size_t(random.bounded(0, 300)));
    for (TalvernPluginLedColor &entry : frame) {
        const int kind = random.bounded(10);
        entry.ledId =
            kind == 0 ? int(random.generate()) : firstMotherboardLed + random.bounded(500);
        entry.r = kind == 1 ? INT_MIN : int(random.generate());
        entry.g = kind == 2 ? INT_MAX : random.bounded(256);
        entry.b = int(random.generate());
    }
    return frame;
}

// The operations any host thread may make at any time.
void anyThreadOperation(const TalvernPluginInstance &table, QRandomGenerator &random)
{
    switch (random.bounded(4)) {
    case 0:
        checkAndFree(table, table.getDeviceInfo(randomId(random)));
        break;
    case 1: {
        static const int indexes[] = { 0, 0, 0, 1, -1, INT_MAX, INT_MIN };
        checkAndFree(table,
                     table.getDeviceView(randomId(random),
                                         indexes[random.bounded(int(std::size(indexes)))]));
        break;
    }
    default: {
        const std::vector<TalvernPluginLedColor> frame = randomFrame(random);
        const int32_t count =
            random.bounded(20) == 0 ? -int32_t(frame.size()) - 1 : int32_t(frame.size());
        table.setLedsColors(randomId(random), count, frame.empty() ? nullptr : frame.data());
    }
    }
}

} // namespace

class RandomSessions : public HostFixture
{
protected:
    void SetUp() override { threadsBeforeLoad = threadCount(); }
    void runSession(quint32 seed, int session);
    // The last frame, with a colour per LED that tells which entry it came from, must be what
    // the lights show for every LED it reached.
    void checkLastFrame(QRandomGenerator &random);
    std::atomic<int> operations { 0 };
    int ledsChecked = 0;
};

void RandomSessions::runSession(quint32 seed, int session)
{
    QRandomGenerator random(seed + quint32(session));
    control.setScenario(randomScenario(random));
    plugin = loadBuiltPlugin();
    ASSERT_TRUE(plugin->isLoaded()) << qPrintable(plugin->errorString());
    const TalvernPluginInstance &t = table();
    recorder.onNotification = [&](const char *id) { checkAndFree(t, t.getDeviceInfo(id)); };

    // Subscription and modes belong to the host's main thread; the rest may come from any.
    std::atomic<bool> running { true };
    std::vector<std::thread> others;
    const int otherThreads = random.bounded(0, 3);
    for (int i = 0; i < otherThreads; ++i) {
        others.emplace_back([&, i] {
            QRandomGenerator own(seed * 31u + quint32(session * 7 + i));
            while (running.load()) {
                anyThreadOperation(t, own);
                ++operations;
            }
        });
    }
    static const int32_t modes[] = { 2, 2, 2, 1, 0, 3, -1, INT_MAX, INT_MIN };
    const int steps = random.bounded(10, 40);
    for (int step = 0; step < steps; ++step, ++operations) {
        switch (random.bounded(8)) {
        case 0:
            t.subscribe(&recorder, &HostCallbackRecorder::callback);
            break;
        case 1:
            t.unsubscribe();
            break;
        case 2:
            t.setPluginMode(modes[random.bounded(int(std::size(modes)))]);
            break;
        case 3:
            runPendingEvents(random.bounded(1, 10));
            break;
        default:
            anyThreadOperation(t, random);
        }
    }
    running = false;
    for (std::thread &other : others)
        other.join();
    checkLastFrame(random);
    t.setPluginMode(1);
    t.unsubscribe();
    waitForStop();
    recorder.onNotification = nullptr;
    // Sometimes unloaded while still open: the worker must close on its own.
    EXPECT_TRUE(plugin->unload());
    expectSdkAndComReleased();
}

void RandomSessions::checkLastFrame(QRandomGenerator &random)
{
    control.clearFaults();
    const TalvernPluginInstance &t = table();
    // Reopened without faults, so that every board is in the device and numbered as the host
    // expects; the report of that enumeration tells when it is there.
    t.setPluginMode(1);
    t.subscribe(&recorder, &HostCallbackRecorder::callback);
    const int reportsBefore = recorder.count();
    t.setPluginMode(2);
    runEventsUntil([&] { return recorder.count() > reportsBefore; }, 2000);
    TalvernPluginDeviceInfo *info = nullptr;
    // With faults the device may never appear: then there is nothing to colour.
    runEventsUntil([&] { return (info = t.getDeviceInfo(norvaneMotherboardId.constData())); },
                   2000);
    if (!info)
        return;
    // Entry i carries its index in the low bytes of red and green; the high bits must be dropped.
    std::vector<TalvernPluginLedColor> frame;
    for (int i = 0; i < info->ledPositions->count; ++i) {
        frame.push_back({ info->ledPositions->positions[i].ledId,
                          (i & 0xFF) | int(random.generate() & 0xFFFFFF00u),
                          ((i >> 8) & 0xFF) | 0x7F00, random.bounded(256) - 512 });
    }
    t.freeDeviceInfo(info);
    control.clearJournal();
    t.setLedsColors(norvaneMotherboardId.constData(), int32_t(frame.size()), frame.data());
    QMap<QString, SimulatedColour> lastWrite;
    for (const CallRecord &call : control.journal()) {
        const quint8 value = quint8(call.arguments.toInt());
        if (call.method == QLatin1String("put_Red"))
            lastWrite[call.object].red = value;
        else if (call.method == QLatin1String("put_Green"))
            lastWrite[call.object].green = value;
        else if (call.method == QLatin1String("put_Blue"))
            lastWrite[call.object].blue = value;
    }
    // The LED ids the host's device numbering gives each light: the motherboards in scenario order,
    // each one's lights after the previous boards' lights.
    QMap<int, int32_t> firstLedOfBoard;
    int32_t nextLed = firstMotherboardLed;
    const Scenario scenario = control.scenario();
    for (int board = 0; board < scenario.boards.size(); ++board) {
        if (scenario.boards[board].type != 0x10000)
            continue;
        firstLedOfBoard[board] = nextLed;
        nextLed += scenario.boards[board].lightNames.size();
    }
    for (auto it = lastWrite.cbegin(); it != lastWrite.cend(); ++it) {
        const QStringList parts = it.key().split(QLatin1Char(':')); // light:B:L
        const int board = parts.value(1).toInt();
        const int light = parts.value(2).toInt();
        const size_t entry = size_t(it->red) | size_t(it->green) << 8;
        ASSERT_LT(entry, frame.size()) << qPrintable(it.key());
        const TalvernPluginLedColor &sent = frame[entry];
        EXPECT_EQ(sent.ledId, firstLedOfBoard.value(board) + light) << qPrintable(it.key());
        const SimulatedColour expected { quint8(sent.r), quint8(sent.g), quint8(sent.b) };
        EXPECT_EQ(*it, expected) << qPrintable(it.key());
        EXPECT_EQ(control.latchedColours(board).value(light), expected) << qPrintable(it.key());
        ++ledsChecked;
    }
}

TEST_F(RandomSessions, SurviveFaultsBadInputAndConcurrency)
{
    const quint32 seed = quint32(
        environmentNumber("GLINT_RANDOM_SEED", int(QRandomGenerator::global()->bounded(1 << 30))));
    const int sessions = environmentNumber("GLINT_RANDOM_SESSIONS", 40);
    std::printf("random sessions: seed %u, %d sessions (GLINT_RANDOM_SEED=%u repeats them)\n", seed,
                sessions, seed);
    QLoggingCategory::setFilterRules(QStringLiteral("vesk.*=false"));
    for (int session = 0; session < sessions && !HasFatalFailure(); ++session) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", session " << session);
        const Watchdog watchdog("session " + std::to_string(session) + " of seed "
                                    + std::to_string(seed) + " (a deadlock?)",
                                240000);
        runSession(seed, session);
    }
    QLoggingCategory::setFilterRules(QString());
    std::printf("random sessions: %d operations, %d LEDs checked after the last frame\n",
                operations.load(), ledsChecked);
}
