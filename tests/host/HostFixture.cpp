#include "HostFixture.h"

#include "Watchdog.h"

void HostFixture::SetUp()
{
    threadsBeforeLoad = threadCount();
    plugin = loadBuiltPlugin();
    ASSERT_TRUE(plugin->isLoaded()) << qPrintable(plugin->errorString());
}

void HostFixture::TearDown()
{
    // The host's unload: the library must leave the process and take its worker thread along.
    if (plugin) {
        // A wait at unload that needs the loader's lock never ends: make it a failure.
        const Watchdog watchdog("the plug-in's table release and its unload", 30000);
        EXPECT_TRUE(plugin->unload());
    }
    // QThread::wait() returns as the thread function ends; the kernel's task goes a moment later.
    EXPECT_TRUE(runEventsUntil([&] { return threadCount() == threadsBeforeLoad; }, 5000))
        << threadCount() << " threads, " << threadsBeforeLoad
        << " before the load: " << qPrintable(describeThreads());
    expectSdkAndComReleased();
    for (const CallRecord &call : control.journal())
        EXPECT_NE(call.thread, QThread::currentThreadId()) << qPrintable(call.method);
}

void HostFixture::subscribeAndRun(int devices)
{
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    table().setPluginMode(2);
    ASSERT_TRUE(runEventsUntil([&] { return recorder.count() >= devices; }));
}

bool HostFixture::waitForStop(int count)
{
    return runEventsUntil(
        [&] { return control.stopCalls() >= count && control.liveObjects() == 0; });
}

std::vector<TalvernPluginLedColor> greyFrame(int leds, int value)
{
    std::vector<TalvernPluginLedColor> frame;
    for (int i = 0; i < leds; ++i)
        frame.push_back({ firstMotherboardLed + i, value, value, value });
    return frame;
}

std::thread HostFixture::sendFromAThread(int leds, int value)
{
    return std::thread([this, leds, value] {
        const std::vector<TalvernPluginLedColor> frame = greyFrame(leds, value);
        table().setLedsColors(norvaneMotherboardId.constData(), leds, frame.data());
    });
}

bool HostFixture::waitForBlockedCall()
{
    return runEventsUntil([&] { return control.blockedCalls() > 0; });
}
