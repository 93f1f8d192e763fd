// Frames from several host threads at once: every frame is applied whole, none is lost, and the
// frames do not interleave on the lights.
#include "HostFixture.h"

#include <atomic>
#include <set>
#include <thread>

using HostThreads = HostFixture;

TEST_F(HostThreads, FramesFromThreeThreadsAreAppliedWholeAndInTurn)
{
    constexpr int leds = 8;
    constexpr int threads = 3;
    constexpr int framesPerThread = 20;
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), leds) });
    subscribeAndRun();
    control.clearJournal();

    // Frame k of thread t paints every LED (t + 1, k, 200 + t): one frame is one colour.
    std::vector<std::thread> hosts;
    for (int t = 0; t < threads; ++t) {
        hosts.emplace_back([this, t] {
            std::vector<TalvernPluginLedColor> frame(leds);
            for (int k = 0; k < framesPerThread; ++k) {
                for (int i = 0; i < leds; ++i)
                    frame[size_t(i)] = { firstMotherboardLed + i, t + 1, k, 200 + t };
                table().setLedsColors(norvaneMotherboardId.constData(), leds, frame.data());
            }
        });
    }
    for (std::thread &host : hosts)
        host.join();
    EXPECT_EQ(control.applyCount(0), threads * framesPerThread);

    // Between two Apply calls the lights saw exactly one frame's 3 x 8 writes.
    std::set<QString> seen;
    QStringList red, green, blue;
    int writes = 0;
    for (const CallRecord &call : control.journal()) {
        if (call.method == QLatin1String("put_Red"))
            red.append(call.arguments);
        else if (call.method == QLatin1String("put_Green"))
            green.append(call.arguments);
        else if (call.method == QLatin1String("put_Blue"))
            blue.append(call.arguments);
        else if (call.method == QLatin1String("Apply")) {
            EXPECT_EQ(red.size() + green.size() + blue.size(), 3 * leds);
            EXPECT_EQ(red.count(red.value(0)), leds);
            EXPECT_EQ(green.count(green.value(0)), leds);
            EXPECT_EQ(blue.count(blue.value(0)), leds);
            EXPECT_EQ(red.value(0).toInt() + 199, blue.value(0).toInt()); // same thread
            seen.insert(red.value(0) + QLatin1Char('/') + green.value(0));
            red.clear();
            green.clear();
            blue.clear();
            ++writes;
        }
    }
    EXPECT_EQ(writes, threads * framesPerThread);
    EXPECT_EQ(int(seen.size()), threads * framesPerThread); // every frame, once
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}

namespace {

// Each subscriber's reports must come through its own callback, told apart by their numbers.
struct Subscriber
{
    template<int Number>
    static void TALVERN_CDECL callback(void *context, const char *, int32_t)
    {
        auto *subscriber = static_cast<Subscriber *>(context);
        ++(subscriber->number == Number ? subscriber->matched : subscriber->torn);
    }
    int number;
    std::atomic<int> matched { 0 };
    std::atomic<int> torn { 0 };
};

} // namespace

// Subscriptions with distinct callback and context pairs from another host thread while
// enumerations complete and report: every report pairs a callback with its own context.
TEST_F(HostThreads, EveryReportPairsACallbackWithItsOwnContext)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    Subscriber one { 1 };
    Subscriber two { 2 };
    subscribeAndRun();

    std::atomic<bool> done { false };
    std::thread subscriber([&] {
        for (int i = 0; !done.load(); ++i) {
            if (i % 2)
                table().subscribe(&one, &Subscriber::callback<1>);
            else
                table().subscribe(&two, &Subscriber::callback<2>);
        }
    });
    // Every reopening ends in an enumeration and a report on this thread.
    for (int round = 0; round < 40; ++round) {
        table().setPluginMode(1);
        table().setPluginMode(2);
        runPendingEvents(5);
    }
    done = true;
    subscriber.join();
    runPendingEvents(100);
    EXPECT_GT(one.matched + two.matched, 0);
    EXPECT_EQ(one.torn + two.torn, 0);
    table().setPluginMode(1);
    table().unsubscribe();
    ASSERT_TRUE(waitForStop());
}
