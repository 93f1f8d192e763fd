#include "HostFixture.h"

#include "platform/Com.h"

#include <QDir>

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
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
        << threadCount() << " threads, " << threadsBeforeLoad << " before the load";
    EXPECT_EQ(control.liveObjects(), 0);
    EXPECT_EQ(control.outstandingReferences(), 0);
    EXPECT_EQ(control.foreignThreadCalls(), 0);
    EXPECT_EQ(CompatOutstandingApartmentInits(), 0);
    for (const CallRecord &call : control.journal())
        EXPECT_NE(call.thread, QThread::currentThreadId()) << qPrintable(call.method);
}

void HostFixture::use(const QVector<BoardScenario> &boards, const QVector<FaultRule> &faults)
{
    Scenario scenario;
    scenario.boards = boards;
    scenario.faults = faults;
    control.setScenario(scenario);
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
