#include "PluginState.h"

#include "BoundaryLog.h"
#include "TableOperations.h"
#include "platform/ModuleLifetime.h"
#include "sdk/GlintSdkController.h"
#include "sdk/GlintSdkLog.h"

#include <QMutex>
#include <QThread>

#include <memory>

std::atomic<int32_t> g_currentPluginMode { 0 };

namespace {

// All constant-initialised: valid before any static constructor and after every static destructor.
QBasicMutex g_subscriberMutex;
void *g_context = nullptr;
TalvernPluginDeviceCallback g_callback = nullptr;

std::atomic<int> g_liveTables { 0 };
std::atomic<int> g_controllerUses { 0 };
// The owner's controller for host threads other than the subscribing one, published once built.
std::atomic<GlintSdkController *> g_sharedController { nullptr };
std::atomic<bool> g_stopPending { false };
thread_local int t_notificationDepth = 0;

// Deletes the controller once no host thread uses it any more.
void stop(std::unique_ptr<GlintSdkController> controller) noexcept
{
    if (!controller)
        return;
    // A use that has counted itself before this point sees the controller and is waited for;
    // one that counts itself after it sees null.
    g_sharedController.store(nullptr);
    while (g_controllerUses.load() != 0)
        QThread::msleep(1);
    controller.reset();
}

struct ControllerOwner
{
    std::unique_ptr<GlintSdkController> controller;
    ~ControllerOwner()
    {
        // Reached with a controller only when the host unloads without giving its tables back.
        // Under the Windows loader lock, or at process exit when the other threads are gone,
        // waiting for the worker thread or calling COM would hang the host: the controller is
        // left as it is (its module reference keeps the code under the thread mapped).
        if (!ModuleLifetime::staticDestructionMayStop()) {
            (void)controller.release();
            return;
        }
        stop(std::move(controller));
    }
};

ControllerOwner &owner()
{
    // Statics are destroyed in reverse order of construction: creating the logging categories
    // first keeps them alive while the controller winds its worker down at unload.
    glintSdkControllerLog();
    boundaryLog();
    static ControllerOwner instance;
    return instance;
}

void stopController() noexcept
{
    // Without a controller there is nothing to stop (and no static to create for it).
    if (!g_sharedController.load())
        return;
    if (t_notificationDepth > 0) {
        g_stopPending.store(true);
        return;
    }
    stop(std::move(owner().controller));
}

} // namespace

HostSubscriber currentSubscriber() noexcept
{
    const QMutexLocker locker(&g_subscriberMutex);
    return { g_context, g_callback };
}

void setSubscriber(void *context, TalvernPluginDeviceCallback callback) noexcept
{
    const QMutexLocker locker(&g_subscriberMutex);
    g_context = context;
    g_callback = callback;
}

GlintSdkController *currentController() noexcept
{
    return owner().controller.get();
}

GlintSdkController *startController()
{
    std::unique_ptr<GlintSdkController> &controller = owner().controller;
    if (!controller) {
        auto created = std::make_unique<GlintSdkController>();
        QObject::connect(created.get(), &GlintSdkController::enumerationCompleted, created.get(),
                         &notifyHostAboutCurrentConnectedDevices);
        controller = std::move(created);
        g_sharedController.store(controller.get());
    }
    return controller.get();
}

void tableHandedOut() noexcept
{
    g_liveTables.fetch_add(1);
}

void tableReturned() noexcept
{
    int live = g_liveTables.load();
    // A table given back twice must not count for another one.
    while (live > 0 && !g_liveTables.compare_exchange_weak(live, live - 1)) { }
    if (live == 1)
        stopController();
}

ControllerUse::ControllerUse() noexcept
{
    g_controllerUses.fetch_add(1);
    m_controller = g_sharedController.load();
}

ControllerUse::~ControllerUse()
{
    g_controllerUses.fetch_sub(1);
}

NotificationScope::NotificationScope() noexcept
{
    ++t_notificationDepth;
}

NotificationScope::~NotificationScope()
{
    if (--t_notificationDepth == 0 && g_stopPending.exchange(false))
        stopController();
}
