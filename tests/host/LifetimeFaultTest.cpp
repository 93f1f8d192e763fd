// Hosts that meet the plug-in's lifetime at edges the ordering explorer does not reach: a last
// table given back while Qt has taken the plug-in's completion off the subscribing thread's queue
// and not yet delivered it; a callback that ends its session and starts a new one; an unload under
// the dynamic loader's lock while the worker needs that lock. Each interleaving is forced by a
// handshake of the test's own; ctest runs each case in a process of its own, under a watchdog,
// since a hang or a crash there ends the process.
#include "HostFixture.h"
#include "HostThread.h"
#include "Watchdog.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#ifndef _WIN32
#include <dlfcn.h>
#include <sys/stat.h>
#endif

namespace {

constexpr int CaseBoundMs = 60000;

// Holds the subscribing thread once Qt has taken the first queued call of the plug-in off its
// queue, before it is delivered, until the host has finished what it does meanwhile.
class DeliveryHold : public QObject
{
public:
    std::promise<void> taken;
    std::shared_future<void> release;

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (event->type() == QEvent::MetaCall && !m_held) {
            m_held = true;
            taken.set_value();
            release.wait_for(std::chrono::seconds(5));
        }
        return QObject::eventFilter(receiver, event);
    }

private:
    bool m_held = false;
};

// A host call after the session lets the plug-in finish what it left for later.
void touchThePlugin(PluginLibrary &plugin)
{
    plugin.freeTable(plugin.newTable());
}

} // namespace

using LifetimeFault = HostFixture;

// The subscribing thread has taken the plug-in's queued completion and not yet delivered it when
// another thread gives back the last table: what Qt delivers it to must still be there.
TEST_F(LifetimeFault, LastTableBackWhileTheSubscribingThreadDeliversTheCompletion)
{
    const Watchdog watchdog("the delivery case", CaseBoundMs);
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    DeliveryHold hold;
    std::promise<void> returned;
    hold.release = returned.get_future().share();
    QCoreApplication::instance()->installEventFilter(&hold);
    std::thread host([&] {
        hold.taken.get_future().wait();
        plugin->freeLoadTable();
        returned.set_value();
    });
    table().subscribe(&recorder, &HostCallbackRecorder::callback);
    table().setPluginMode(2);
    EXPECT_TRUE(runEventsUntil([&] {
        return hold.release.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }));
    host.join();
    runPendingEvents(100);
    QCoreApplication::instance()->removeEventFilter(&hold);
    EXPECT_EQ(recorder.count(), 0); // the session had ended before the report
    touchThePlugin(*plugin);
}

// A callback gives back the last table, takes a new one and subscribes again: the new session
// must work once the outer notification has returned.
TEST_F(LifetimeFault, ACallbackThatEndsItsSessionAndStartsANewOneKeepsTheNewOne)
{
    const Watchdog watchdog("the new session case", CaseBoundMs);
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    TalvernPluginInstance *fresh = nullptr;
    HostCallbackRecorder second;
    recorder.onNotification = [&](const char *) {
        if (fresh)
            return;
        plugin->freeLoadTable();
        fresh = plugin->newTable();
        fresh->subscribe(&second, &HostCallbackRecorder::callback);
    };
    subscribeAndRun();
    ASSERT_NE(fresh, nullptr);
    ASSERT_TRUE(runEventsUntil([&] { return second.count() >= 1; }));
    runPendingEvents(100);
    const char *id = norvaneMotherboardId.constData();
    TalvernPluginDeviceInfo *info = fresh->getDeviceInfo(id);
    EXPECT_NE(info, nullptr);
    fresh->freeDeviceInfo(info);
    const TalvernPluginLedColor frame[] = { { firstMotherboardLed + 1, 1, 2, 3 } };
    fresh->setLedsColors(id, 1, frame);
    EXPECT_EQ(control.latchedColours(0).value(1), (SimulatedColour { 1, 2, 3 }));
    const int starts = control.startCalls();
    fresh->setPluginMode(1);
    fresh->setPluginMode(2);
    EXPECT_TRUE(runEventsUntil([&] { return control.startCalls() == starts + 1; }));
    fresh->unsubscribe();
    plugin->freeTable(fresh);
    EXPECT_TRUE(waitForStop(control.startCalls()));
}

#ifndef _WIN32

namespace {

// Holds the next queued call that a thread other than the test's own makes (the worker's relay of
// a completion, the plug-in's only one) before Qt queues it, past the plug-in's own checks, until
// the test lets it go.
std::atomic<bool> g_holdNextRelay { false };
Qt::HANDLE g_testThread = nullptr;
std::promise<void> g_relayHeld;
std::promise<void> g_relayGo;

} // namespace

bool QMetaObject::invokeMethodImpl(QObject *context, QtPrivate::QSlotObjectBase *slot,
                                   Qt::ConnectionType type, void *result)
{
    using Invoke = bool (*)(QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, void *);
    static const auto next = reinterpret_cast<Invoke>(
        dlsym(RTLD_NEXT,
              "_ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14"
              "ConnectionTypeEPv"));
    if (type == Qt::QueuedConnection && QThread::currentThreadId() != g_testThread
        && g_holdNextRelay.exchange(false)) {
        g_relayHeld.set_value();
        g_relayGo.get_future().wait();
    }
    return next(context, slot, type, result);
}

namespace {

// Set by the unload-hook library's destructor to run while the dynamic loader unloads it.
using UnloadHook = void (*)(void (*)());
std::function<void()> g_whileUnloading;
void runWhileUnloading()
{
    g_whileUnloading();
}

} // namespace

// The worker relays its completion as the last table goes back: past its check that no stop has
// begun, it is queued only once the stop has dropped the queued ones and let the worker go. The
// subscribing thread has ended, so nothing would ever deliver it: it must go with the worker
// rather than hold the controller, and with it the library, for good.
TEST_F(LifetimeFault, ACompletionRelayedAsTheStopBeginsGoesWithTheWorker)
{
    const Watchdog watchdog("the late completion case", CaseBoundMs);
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    g_testThread = QThread::currentThreadId();
    table().setPluginMode(2); // kept: the subscription opens the SDK at once
    g_holdNextRelay = true;
    HostThread subscriber;
    subscriber.run([&] { table().subscribe(&recorder, &HostCallbackRecorder::callback); });
    ASSERT_EQ(g_relayHeld.get_future().wait_for(std::chrono::seconds(30)),
              std::future_status::ready);
    subscriber.end();
    plugin->freeLoadTable(); // the worker, held in the post, is let go at the stop's bound
    g_relayGo.set_value();
    // The worker ends once its connection is closed; only the watchdog's thread is left.
    ASSERT_TRUE(runEventsUntil([&] { return threadCount() == threadsBeforeLoad + 1; }));
    touchThePlugin(*plugin); // a worker let go, and ended since, goes at a later call
    EXPECT_EQ(recorder.count(), 0);
}

// The host unloads the library without giving its table back while the worker is on its way into
// the SDK's creation, which needs the dynamic loader: the unload must not wait for the worker
// under the loader's lock. The registry file the COM layer reads at each creation is a pipe that is
// written only once the loader runs the unload.
TEST(LifetimeFaultLinux, UnloadWithoutTheTableBackWhileTheWorkerLoadsTheSdk)
{
    const Watchdog watchdog("the unload under the loader lock", CaseBoundMs);
    const QByteArray registry = qgetenv("COMPAT_INPROC_SERVERS");
    QFile registryFile(QString::fromLocal8Bit(registry));
    ASSERT_TRUE(registryFile.open(QIODevice::ReadOnly));
    const QByteArray registration = registryFile.readAll();
    const QByteArray pipe = registry + ".pipe";
    ASSERT_EQ(mkfifo(pipe.constData(), 0600), 0);
    qputenv("COMPAT_INPROC_SERVERS", pipe);

    void *plugin = dlopen(GLINT_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(plugin, nullptr) << dlerror();
    const auto getInstance = reinterpret_cast<decltype(&TalvernPluginGetInstance)>(
        dlsym(plugin, TALVERN_PLUGIN_GET_INSTANCE));
    const TalvernPluginInstance *table = getInstance();
    HostCallbackRecorder recorder;
    table->subscribe(&recorder, &HostCallbackRecorder::callback);
    table->setPluginMode(2); // the worker now waits to read the registry

    std::promise<void> unloading;
    std::thread writer([&] {
        unloading.get_future().wait();
        QFile fifo(QString::fromLocal8Bit(pipe));
        if (fifo.open(QIODevice::WriteOnly))
            fifo.write(registration);
    });
    void *hook = dlopen(GLINT_UNLOAD_HOOK_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(hook, nullptr) << dlerror();
    g_whileUnloading = [&] {
        unloading.set_value();
        dlclose(plugin); // under the loader's lock, as a host's unload from a destructor runs
    };
    reinterpret_cast<UnloadHook>(dlsym(hook, "setUnloadHook"))(&runWhileUnloading);
    dlclose(hook);
    writer.join();
    unlink(pipe.constData());
    qputenv("COMPAT_INPROC_SERVERS", registry);
    // The worker still runs, and with it the module. A host that loads the library again and
    // gives back its table stops it; then the library can go.
    void *again = dlopen(GLINT_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(again, nullptr);
    reinterpret_cast<decltype(&TalvernPluginFreeInstance)>(
        dlsym(again, TALVERN_PLUGIN_FREE_INSTANCE))(const_cast<TalvernPluginInstance *>(table));
    dlclose(again);
    EXPECT_FALSE(PluginLibrary::isInProcess(builtPluginPath()));
}

#endif
