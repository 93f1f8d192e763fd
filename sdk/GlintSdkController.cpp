#include "GlintSdkController.h"

#include "GlintSdkLog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <climits>

namespace {

int millisecondsLeft(GlintSdkController::Deadline deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return int(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INT_MAX / 10));
}

// Gives back the host's reference on a frame on every way out.
struct FrameReference
{
    FrameRequest *request;
    ~FrameReference() { request->release(); }
};

} // namespace

// The worker's completion on its way to the controller's thread. It holds the controller from
// the moment it is queued until Qt destroys it, after the delivery and everything Qt does to the
// receiver around it: only then may another thread delete the controller.
class GlintSdkController::RelayedCompletion
{
public:
    explicit RelayedCompletion(GlintSdkController *controller) noexcept
        : m_controller(controller)
    { }
    RelayedCompletion(RelayedCompletion &&other) noexcept
        : m_controller(std::exchange(other.m_controller, nullptr))
        , m_entered(other.m_entered)
    { }
    RelayedCompletion(const RelayedCompletion &) = delete;
    RelayedCompletion &operator=(const RelayedCompletion &) = delete;
    RelayedCompletion &operator=(RelayedCompletion &&) = delete;
    ~RelayedCompletion()
    {
        if (m_controller)
            m_controller->releaseHold(!m_entered); // may delete the controller
    }

    void operator()()
    {
        // From here on the host may be called: a stop no longer waits for this.
        m_entered = true;
        m_controller->holdNoLongerWaited();
        if (!m_controller->m_stopping.load())
            Q_EMIT m_controller->enumerationCompleted();
    }

private:
    GlintSdkController *m_controller;
    bool m_entered = false;
};

GlintSdkController::GlintSdkController(QObject *parent)
    : QObject(parent)
    , worker(std::make_unique<GlintSdkWorker>())
{
    worker->moveToThread(&thread);
    connect(
        worker.get(), &GlintSdkWorker::enumerationCompleted, worker.get(),
        [this] { relayCompletion(); }, Qt::DirectConnection);
    // However the thread's loop ends, the connection is closed on the thread that opened it, so
    // every SDK release and the CoUninitialize happen where COM was set up. This is the last
    // code of the plug-in the thread runs.
    connect(
        &thread, &QThread::finished, worker.get(),
        [this] {
            worker->shutDown();
            m_workerSystemThread.captureCurrent();
            ModuleLifetime::threadEnded();
        },
        Qt::DirectConnection);
    ModuleLifetime::threadStarting();
    thread.start();
}

GlintSdkController::~GlintSdkController()
{
    if (m_life.state() == ControllerState::Running)
        stop(std::chrono::steady_clock::now() + std::chrono::hours(24));
    if (!thread.isFinished())
        thread.wait(); // only a program that deletes a controller it let go gets here
    m_workerSystemThread.waitForExit(5000);
    // Requests still queued are discarded with the worker's pending events.
    worker.reset();
}

void GlintSdkController::initialize()
{
    worker->setWantedOpen(true);
}

void GlintSdkController::uninitialize()
{
    worker->setWantedOpen(false);
}

ControllerState GlintSdkController::state() const
{
    const ControllerState life = m_life.state();
    if (life != ControllerState::Running)
        return life;
    if (worker->stalls().isStalled())
        return ControllerState::Stalled;
    return worker->connectionState();
}

GlintSdkController::FrameOutcome GlintSdkController::setLedsColors(const char *deviceId,
                                                                   const LedColourFrame &colours)
{
    // During a stall nothing queues behind it: the host keeps its frame rate.
    StallMonitor &stalls = worker->stalls();
    if (m_stopping.load() || stalls.stalled()) {
        stalls.frameDropped();
        return FrameOutcome::Dropped;
    }
    const FrameReference frame { FrameRequest::create(deviceId, colours) };
    worker->post(frame.request);
    switch (frame.request->waitFor(StallMonitor::BoundMs)) {
    case FrameRequest::Done:
        return FrameOutcome::Applied;
    case FrameRequest::Dropped:
        return FrameOutcome::Dropped;
    default:
        break;
    }
    // The bound has passed: a frame that has not begun is withdrawn, one that has goes on alone.
    const bool withdrawn = frame.request->withdraw();
    stalls.stalled(); // reports a stall once, if the running request is past the bound
    if (!withdrawn)
        return frame.request->waitFor(0) == FrameRequest::Done ? FrameOutcome::Applied
                                                               : FrameOutcome::Unfinished;
    stalls.frameDropped();
    return FrameOutcome::Dropped;
}

void GlintSdkController::relayCompletion()
{
    if (m_stopping.load())
        return;
    acquireHold(true);
    try {
        QMetaObject::invokeMethod(this, RelayedCompletion(this), Qt::QueuedConnection);
    } catch (...) {
        // Not queued: the host hears of these devices at the next opening.
    }
}

void GlintSdkController::acquireHold(bool waited) noexcept
{
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    ++m_holds;
    if (waited)
        ++m_waitedHolds;
}

void GlintSdkController::releaseHold(bool waited) noexcept
{
    std::function<void()> onFree;
    {
        // The counts change under the mutex that isFree() reads them under: a thread that finds
        // this controller free and deletes it does so only after this section has ended.
        const std::lock_guard<std::mutex> lock(m_holdMutex);
        if (waited)
            --m_waitedHolds;
        const bool last = --m_holds == 0;
        if (m_stopping.load()) {
            m_holdsReleased.notify_all();
            if (last)
                onFree = std::move(m_onFree);
        }
    }
    // From here on this controller may be gone: only the moved-out function is used.
    if (onFree)
        onFree();
}

void GlintSdkController::holdNoLongerWaited() noexcept
{
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    --m_waitedHolds;
    if (m_stopping.load())
        m_holdsReleased.notify_all();
}

void GlintSdkController::setOnFree(std::function<void()> onFree) noexcept
{
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    m_onFree = std::move(onFree);
}

bool GlintSdkController::stop(Deadline deadline) noexcept
{
    if (!m_life.move(ControllerState::Stopping))
        return false;
    m_stopping.store(true);
    worker->cancel();
    // What has not begun goes now: completions not yet taken by Qt (and their holds), frames still
    // queued (their hosts return at once).
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    worker->closeQueue();
    thread.quit();
    const bool ended = thread.wait(QDeadlineTimer(millisecondsLeft(deadline)))
        && m_workerSystemThread.waitForExit(millisecondsLeft(deadline));
    // The worker may have relayed a last completion before it ended: nothing else would deliver it.
    if (ended)
        QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
    {
        std::unique_lock<std::mutex> lock(m_holdMutex);
        m_holdsReleased.wait_until(lock, deadline, [this] { return m_waitedHolds == 0; });
    }
    if (ended) {
        m_life.move(ControllerState::Ended);
        return true;
    }
    m_life.move(ControllerState::LetGo);
    try {
        qCWarning(glintSdkControllerLog).nospace()
            << "The SDK has not returned within the stop's bound; the worker closes its "
               "connection and ends on its own once it does";
    } catch (...) { }
    return false;
}

bool GlintSdkController::isFree() noexcept
{
    if (m_life.state() == ControllerState::LetGo && thread.isFinished()
        && m_workerSystemThread.waitForExit(0))
        m_life.move(ControllerState::Ended);
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    return m_life.state() == ControllerState::Ended && m_holds == 0;
}
