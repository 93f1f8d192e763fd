#include "HostFixture.h"

FaultRule blockedCall(const char *object, const char *method)
{
    FaultRule rule;
    rule.object = QLatin1String(object);
    rule.method = QLatin1String(method);
    rule.result = S_OK;
    rule.blockMs = FaultRule::BlockUntilReleased;
    return rule;
}

void HostFixture::SetUp()
{
    threadsBeforeLoad = threadCount();
    plugin = std::make_unique<PluginLibrary>();
    ASSERT_TRUE(plugin->isLoaded()) << qPrintable(plugin->errorString());
}

void HostFixture::TearDown()
{
    // The host's unload: the library must leave the process and take its worker thread along.
    if (plugin) {
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

bool HostFixture::waitForBlockedCall()
{
    return runEventsUntil([&] { return control.blockedCalls() > 0; });
}
