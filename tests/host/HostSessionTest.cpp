// The host's whole session, through the four exports and the table only: load, subscribe, mode 2,
// notification, descriptions and views, colour frames, stop, unload.
#include "HostFixture.h"

#include <atomic>

namespace {

// The checksums the host expects for the motherboard pictures it ships.
const char thumbnailChecksum[] = "9538b177b167ac20fee268ad593b1f2f6dc52ffdb8d50e1b009f4969d9ff7e4c";
const char promoChecksum[] = "fd825bbd791b991708dbe58ec801a075e4002f8867765ccfbaa17159a6cf7025";
const char viewChecksum[] = "be02dbc270cc08fe531788e5ad6381903f0d330ef5ab62f744b9b14fd7fe432d";

void expectImage(const TalvernPluginImage *image, const char *fileName, const char *checksum)
{
    ASSERT_NE(image, nullptr);
    ASSERT_NE(image->fileName, nullptr);
    EXPECT_STREQ(image->fileName, fileName);
    if (checksum)
        EXPECT_STREQ(image->checksum, checksum);
    else
        EXPECT_EQ(image->checksum, nullptr);
}

// Checks a description of the motherboard device with `leds` LEDs numbered from the first id.
void expectMotherboardInfo(const TalvernPluginDeviceInfo *info, int leds)
{
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->deviceName, "Norvane Motherboard");
    EXPECT_EQ(info->deviceKind, 3);
    EXPECT_STREQ(info->deviceId, norvaneMotherboardId.constData());
    EXPECT_EQ(info->viewCount, 1);
    ASSERT_NE(info->ledPositions, nullptr);
    ASSERT_EQ(info->ledPositions->count, leds);
    ASSERT_NE(info->ledPositions->positions, nullptr);
    for (int i = 0; i < leds; ++i) {
        const TalvernPluginLedPosition &position = info->ledPositions->positions[i];
        EXPECT_EQ(position.ledId, firstMotherboardLed + i);
        EXPECT_EQ(position.y, 0.0);
        EXPECT_EQ(position.positionKind, 1);
    }
    expectImage(info->thumbnail, "Motherboard-thumbnail.png", thumbnailChecksum);
    expectImage(info->promo, "Motherboard-promo.png", promoChecksum);
}

void expectMotherboardView(const TalvernPluginDeviceView *view, const QStringList &zoneNames)
{
    ASSERT_NE(view, nullptr);
    expectImage(view->deviceViewImage, "Motherboard-device_view.png", viewChecksum);
    expectImage(view->hullLayoutMaskImage, "Motherboard-hullLayoutMask.png", nullptr);
    EXPECT_EQ(view->reserved, 0);
    ASSERT_NE(view->ledZones, nullptr);
    ASSERT_EQ(view->ledZones->count, zoneNames.size());
    for (int i = 0; i < zoneNames.size(); ++i) {
        const TalvernPluginLedZone &zone = view->ledZones->zones[i];
        EXPECT_EQ(zone.ledId, firstMotherboardLed + i);
        EXPECT_EQ(zone.label, nullptr);
        EXPECT_EQ(zone.zoneKind, 2);
        EXPECT_EQ(QString::fromUtf8(zone.zoneName), zoneNames.at(i));
    }
}

QStringList ledNames(int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names.append(QStringLiteral("LED %1").arg(i));
    return names;
}

SimulatedColour lowBits(const TalvernPluginLedColor &c)
{
    return { quint8(c.r & 0xFF), quint8(c.g & 0xFF), quint8(c.b & 0xFF) };
}

} // namespace

using HostSession = HostFixture;

TEST_F(HostSession, OneBoardFromLoadToUnload)
{
    BoardScenario board;
    board.name = QStringLiteral("Mainboard_Master");
    // The zone names are the SDK's names of the lights.
    board.lightNames = QStringList { QStringLiteral("Rear I/O"), QStringLiteral("Chipset"),
                                     QStringLiteral("Audio"),    QStringLiteral("DRAM"),
                                     QStringLiteral("PCIe"),     QStringLiteral("Header 1"),
                                     QStringLiteral("Header 2"), QString::fromUtf8("Lüfter") };
    useScenario({ board });
    // 1. Load: version and features; a subscription alone opens nothing.
    EXPECT_EQ(plugin->apiVersion(), 102);
    EXPECT_EQ(plugin->features(), 4);
    EXPECT_EQ(table().unused7, nullptr);
    EXPECT_EQ(table().unused8, nullptr);
    EXPECT_EQ(table().unused9, nullptr);
    const int threadsLoaded = threadCount();
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    EXPECT_EQ(threadCount(), threadsLoaded + 1); // the worker thread
    runPendingEvents();
    EXPECT_EQ(control.startCalls(), 0);
    EXPECT_EQ(recorder.count(), 0);

    // 3-4. Mode 2 opens the SDK on the worker; the host hears of the device on this thread.
    table().setPluginMode(2);
    ASSERT_TRUE(runEventsUntil([&] { return recorder.count() == 1; }));
    const DeviceNotification notification = recorder.notifications().at(0);
    EXPECT_EQ(notification.context, &recorder);
    EXPECT_EQ(notification.deviceId, norvaneMotherboardId);
    EXPECT_EQ(notification.status, 1);
    EXPECT_EQ(notification.thread, QThread::currentThreadId());
    EXPECT_EQ(control.startCalls(), 1);

    // 5. Description and view, given back through slots 5 and 6.
    TalvernPluginDeviceInfo *info = table().getDeviceInfo(norvaneMotherboardId.constData());
    expectMotherboardInfo(info, 8);
    if (info) {
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(info->ledPositions->positions[i].x, double(i));
    }
    table().freeDeviceInfo(info);
    TalvernPluginDeviceView *view = table().getDeviceView(norvaneMotherboardId.constData(), 0);
    expectMotherboardView(view, board.lightNames);
    table().freeDeviceView(view);

    // 6. A frame reaches the lights before the call returns, low 8 bits only, one Apply.
    const TalvernPluginLedColor frame[] = {
        { firstMotherboardLed + 0, 255, 0, 0 },  { firstMotherboardLed + 1, 0x1FF, 256, -1 },
        { firstMotherboardLed + 2, 1, 2, 3 },    { firstMotherboardLed + 3, -256, 0x7F, 0x80 },
        { firstMotherboardLed + 4, 10, 20, 30 }, { firstMotherboardLed + 5, 40, 50, 60 },
        { firstMotherboardLed + 6, 70, 80, 90 }, { firstMotherboardLed + 7, 100, 110, 120 },
    };
    table().setLedsColors(norvaneMotherboardId.constData(), 8, frame);
    const QVector<SimulatedColour> latched = control.latchedColours(0);
    ASSERT_EQ(latched.size(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(latched[i], lowBits(frame[i])) << "LED " << i;
    EXPECT_EQ(latched[1], (SimulatedColour { 0xFF, 0x00, 0xFF }));
    EXPECT_EQ(control.applyCount(0), 1);

    // 7. Mode 1 closes the connection; descriptions are refused from then on.
    table().setPluginMode(1);
    EXPECT_EQ(table().getDeviceInfo(norvaneMotherboardId.constData()), nullptr);
    ASSERT_TRUE(waitForStop());
    table().unsubscribe();
    EXPECT_EQ(control.startCalls(), 1);
    EXPECT_EQ(control.stopCalls(), 1);
    // 8. Unload in TearDown: the worker thread ends and nothing of the SDK stays.
}

TEST_F(HostSession, ThreeBoardsAreOneDeviceAndEachBoardIsApplied)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 8),
                  BoardScenario::withLights(QStringLiteral("Second"), 6),
                  BoardScenario::withLights(QStringLiteral("Third"), 4) });
    subscribeAndRun();
    runPendingEvents();
    ASSERT_EQ(recorder.count(), 1);
    EXPECT_EQ(recorder.notifications().at(0).deviceId, norvaneMotherboardId);

    TalvernPluginDeviceInfo *info = table().getDeviceInfo(norvaneMotherboardId.constData());
    expectMotherboardInfo(info, 18);
    if (info) {
        // Each board's LEDs lie on its own row origin: x is the index within the board.
        EXPECT_EQ(info->ledPositions->positions[8].x, 0.0);
        EXPECT_EQ(info->ledPositions->positions[17].x, 3.0);
    }
    table().freeDeviceInfo(info);
    TalvernPluginDeviceView *view = table().getDeviceView(norvaneMotherboardId.constData(), 0);
    expectMotherboardView(view, ledNames(8) + ledNames(6) + ledNames(4));
    table().freeDeviceView(view);

    std::vector<TalvernPluginLedColor> frame;
    for (int i = 0; i < 18; ++i)
        frame.push_back({ firstMotherboardLed + i, i, 2 * i, 3 * i });
    table().setLedsColors(norvaneMotherboardId.constData(), int32_t(frame.size()), frame.data());
    const int sizes[] = { 8, 6, 4 };
    int led = 0;
    for (int board = 0; board < 3; ++board) {
        const QVector<SimulatedColour> latched = control.latchedColours(board);
        ASSERT_EQ(latched.size(), sizes[board]);
        for (const SimulatedColour &colour : latched) {
            EXPECT_EQ(colour, lowBits(frame[size_t(led)])) << "LED " << led;
            ++led;
        }
        EXPECT_EQ(control.applyCount(board), 1) << "board " << board;
    }
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}

// Modes other than 2 refuse views; mode 1 refuses descriptions too. Checked while the worker still
// holds the device: it is inside an Apply that blocks, so the close waits behind it.
TEST_F(HostSession, ModeTableForDescriptionsAndViews)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    subscribeAndRun();
    control.addFault(blockedCall("board:0", "Apply"));
    const TalvernPluginLedColor frame[] = { { firstMotherboardLed, 9, 8, 7 },
                                            { firstMotherboardLed + 1, 6, 5, 4 } };
    std::thread host([&] { table().setLedsColors(norvaneMotherboardId.constData(), 2, frame); });
    ASSERT_TRUE(waitForBlockedCall());

    const char *id = norvaneMotherboardId.constData();
    for (int32_t mode : { 3, 0, -7 }) {
        table().setPluginMode(mode);
        TalvernPluginDeviceInfo *info = table().getDeviceInfo(id);
        EXPECT_NE(info, nullptr) << "mode " << mode;
        table().freeDeviceInfo(info);
        EXPECT_EQ(table().getDeviceView(id, 0), nullptr) << "mode " << mode;
    }
    table().setPluginMode(1);
    EXPECT_EQ(table().getDeviceInfo(id), nullptr);
    EXPECT_EQ(table().getDeviceView(id, 0), nullptr);
    host.join();
    control.releaseBlockedCalls();
    ASSERT_TRUE(waitForStop());
    EXPECT_EQ(control.applyCount(0), 1);
    table().unsubscribe();
}

// An enumeration that completes after the host left mode 2, or after it unsubscribed, is not
// reported: one critical line names the state that stopped it.
TEST_F(HostSession, NoNotificationOutsideModeTwoOrAfterUnsubscribing)
{
    const QString callback =
        QStringLiteral("0x") + QString::number(quintptr(&HostCallbackRecorder::callback), 16);
    const QString context = QStringLiteral("0x") + QString::number(quintptr(&recorder), 16);
    const struct
    {
        bool unsubscribe;
        QString state;
    } cases[] = {
        { false,
          QStringLiteral("1; g_callback:") + callback + QStringLiteral("; g_context:") + context },
        { true, QStringLiteral("2; g_callback:0x0; g_context:0x0") },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.unsubscribe ? "unsubscribed" : "mode 1");
        useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) },
                    { blockedCall("sdk", "Enumerate") });
        log.clear();
        table().subscribe(&recorder, &HostCallbackRecorder::callback);
        table().setPluginMode(2);
        ASSERT_TRUE(waitForBlockedCall());
        if (c.unsubscribe)
            table().unsubscribe();
        else
            table().setPluginMode(1);
        control.releaseBlockedCalls();
        ASSERT_TRUE(waitForStop());
        runPendingEvents(200);
        EXPECT_EQ(control.startCalls(), 1);
        EXPECT_EQ(recorder.count(), 0);
        EXPECT_EQ(log.texts("vesk.plugin.glint_mb_dll", QtCriticalMsg),
                  QStringList { QStringLiteral("notifyHostAboutCurrentConnectedDevices(), "
                                               "precondition(s) invalid => g_currentPluginMode:")
                                + c.state });
        table().setPluginMode(1);
        table().unsubscribe();
    }
}

// A host that subscribes with a null context never receives a report: one critical line instead.
TEST_F(HostSession, NoNotificationWithoutAContext)
{
    static std::atomic<int> reports { 0 };
    struct NullContext
    {
        static void TALVERN_CDECL callback(void *, const char *, int32_t) { ++reports; }
    };
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 3) });
    table().subscribe(nullptr, &NullContext::callback);
    table().setPluginMode(2);
    ASSERT_TRUE(runEventsUntil(
        [&] { return !log.texts("vesk.plugin.glint_mb_dll", QtCriticalMsg).isEmpty(); }));
    runPendingEvents(100);
    EXPECT_EQ(reports.load(), 0);
    const QString callback =
        QStringLiteral("0x") + QString::number(quintptr(&NullContext::callback), 16);
    EXPECT_EQ(log.texts("vesk.plugin.glint_mb_dll", QtCriticalMsg),
              QStringList { QStringLiteral("notifyHostAboutCurrentConnectedDevices(), "
                                           "precondition(s) invalid => g_currentPluginMode:2; "
                                           "g_callback:")
                            + callback + QStringLiteral("; g_context:0x0") });
    table().setPluginMode(1);
    ASSERT_TRUE(waitForStop());
}

// The callback may ask for the description and send a frame before it returns.
TEST_F(HostSession, CallbackMayDescribeAndColourTheDevice)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    int described = 0;
    recorder.onNotification = [&](const char *deviceId) {
        TalvernPluginDeviceInfo *info = table().getDeviceInfo(deviceId);
        if (info && info->ledPositions->count == 4)
            ++described;
        table().freeDeviceInfo(info);
        const TalvernPluginLedColor frame[] = { { firstMotherboardLed + 3, 11, 22, 33 } };
        table().setLedsColors(deviceId, 1, frame);
    };
    subscribeAndRun();
    EXPECT_EQ(described, 1);
    EXPECT_EQ(control.latchedColours(0).value(3), (SimulatedColour { 11, 22, 33 }));
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}
