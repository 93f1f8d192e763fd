#include "ControllerLifecycle.h"

#include "BoundaryLog.h"
#include "TableOperations.h"
#include "platform/ModuleLifetime.h"
#include "glint/GlintSdkLog.h"

#include <algorithm>
#include <memory>
#include <utility>

// Destroyed with the module's statics. Every controller, current or retired, holds a reference on
// the module, so an unload reaches this only when none is left; finding one here means the process
// is exiting, with the plug-in's threads still running (Linux) or already gone (Windows): nothing
// is waited for or released then, and the threads touch nothing more.
namespace {

// A worker still inside the SDK goes on until its next stop point. Its log lines would go through
// Qt's text codecs and message patterns, which the exit is destroying too: from here on it writes
// none. (The categories are the plug-in's own, never const objects.)
void silence(const QLoggingCategory &category)
{
    auto &writable = const_cast<QLoggingCategory &>(category);
    for (QtMsgType type : { QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg })
        writable.setEnabled(type, false);
}

} // namespace

struct LifecycleOwner
{
    ControllerLifecycle *lifecycle = new ControllerLifecycle;
    ~LifecycleOwner()
    {
        // Read without the lifecycle's mutex: at ExitProcess a killed thread may have held it.
        if (lifecycle->m_controllers.load() != 0) {
            silence(boundaryLog());
            silence(glintSdkControllerLog());
            ModuleLifetime::beginExit();
            return;
        }
        // The module's own reference, if a callback's stop left it for a later call: static
        // destruction gives nothing back to the loader.
        (void)lifecycle->m_module.release();
        delete lifecycle;
    }
};

ControllerLifecycle &ControllerLifecycle::instance()
{
    static LifecycleOwner owner;
    return *owner.lifecycle;
}

ControllerLifecycle::Use::Use(GlintSdkController *controller, UseKind kind) noexcept
    : m_controller(controller)
    , m_waited(kind != UseKind::Notification)
{
    if (m_controller)
        m_controller->acquireHold(m_waited);
}

ControllerLifecycle::Use::Use(Use &&other) noexcept
    : m_controller(std::exchange(other.m_controller, nullptr))
    , m_waited(other.m_waited)
{ }

ControllerLifecycle::Use::~Use()
{
    if (m_controller)
        m_controller->releaseHold(m_waited); // may delete the controller
}

bool ControllerLifecycle::Use::isCurrent() const
{
    ControllerLifecycle &lifecycle = instance();
    const std::lock_guard<std::mutex> lock(lifecycle.m_mutex);
    return m_controller && lifecycle.m_current == m_controller;
}

ControllerLifecycle::Use ControllerLifecycle::use(UseKind kind)
{
    // The hold is taken under the mutex: a stop that takes the controller away after this sees it.
    const std::lock_guard<std::mutex> lock(m_mutex);
    return Use(m_current, kind);
}

void ControllerLifecycle::ensureController()
{
    reap();
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_current) {
        m_current->reportToCallingThread();
        return;
    }
    // Room to retire every controller, this one too, without asking for memory at its stop.
    m_retired.reserve(std::size_t(m_controllers.load()) + 1);
    // The module's reference is taken only while no controller exists, so no worker of the
    // plug-in can be holding the loader's lock (inside the SDK's creation) while this waits for it.
    if (!m_module)
        m_module = std::make_unique<ModuleLifetime::ModuleReference>();
    auto created = std::make_unique<GlintSdkController>();
    // Emitted on the subscribing thread, where the completion was delivered.
    QObject::connect(created.get(), &GlintSdkController::enumerationCompleted, created.get(),
                     &notifyHostAboutCurrentConnectedDevices, Qt::DirectConnection);
    m_current = created.release();
    ++m_controllers;
}

void ControllerLifecycle::requestOpen(bool open)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_current)
        return;
    if (open)
        m_current->initialize();
    else
        m_current->uninitialize();
}

void ControllerLifecycle::tableHandedOut() noexcept
{
    m_liveTables.fetch_add(1);
    reap();
}

void ControllerLifecycle::tableReturned() noexcept
{
    int live = m_liveTables.load();
    // A table given back twice must not count for another one.
    while (live > 0 && !m_liveTables.compare_exchange_weak(live, live - 1)) { }
    if (live == 1)
        stop();
    reap();
}

ControllerState ControllerLifecycle::state() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_current ? m_current->state() : ControllerState::None;
}

void ControllerLifecycle::stop() noexcept
{
    GlintSdkController *stopping = nullptr;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        // A table taken meanwhile on another thread keeps the session its subscription uses.
        if (m_liveTables.load() != 0)
            return;
        stopping = std::exchange(m_current, nullptr);
    }
    if (!stopping)
        return;
    stopping->stop(std::chrono::steady_clock::now() + StopBound);
    if (stopping->isFree()) {
        destroy(stopping);
        return;
    }
    // It goes as the last thread that holds it lets go of it (a frame or a lookup in a host's
    // call, a notification or a report in the subscribing thread's delivery of it), where the
    // host's own reference keeps the code mapped; a worker that was let go and has ended since
    // leaves it for a later call of the host. Set before it is listed: once listed, another
    // thread's call may delete it. Neither needs memory, which the host's heap may not have now:
    // the list has room for every controller from its creation.
    stopping->setOnFree(
        [](GlintSdkController *controller) { instance().deleteIfFree(controller); });
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_retired.push_back(stopping);
}

void ControllerLifecycle::deleteIfFree(GlintSdkController *retired) noexcept
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = std::find(m_retired.begin(), m_retired.end(), retired);
        if (found == m_retired.end() || !retired->isFree())
            return;
        m_retired.erase(found);
    }
    destroy(retired);
    releaseModuleIfIdle();
}

void ControllerLifecycle::releaseModuleIfIdle() noexcept
{
    std::unique_ptr<ModuleLifetime::ModuleReference> module;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_current && m_controllers.load() == 0)
            module = std::move(m_module);
    }
    // Given back outside the mutex.
}

void ControllerLifecycle::destroy(GlintSdkController *controller) noexcept
{
    delete controller;
    m_controllers.fetch_sub(1);
}

void ControllerLifecycle::reap() noexcept
{
    for (;;) {
        GlintSdkController *free = nullptr;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            const auto found = std::find_if(m_retired.begin(), m_retired.end(),
                                            [](GlintSdkController *c) { return c->isFree(); });
            if (found == m_retired.end())
                break;
            free = *found;
            m_retired.erase(found);
        }
        destroy(free);
    }
    releaseModuleIfIdle();
}
