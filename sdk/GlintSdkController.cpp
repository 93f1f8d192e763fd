#include "GlintSdkController.h"

#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <algorithm>
#include <climits>
#include <stdexcept>

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
    RelayedCompletion(GlintSdkController *controller, QObject *receiver) noexcept
        : m_controller(controller)
        , m_receiver(receiver)
    { }
    RelayedCompletion(RelayedCompletion &&other) noexcept
        : m_controller(std::exchange(other.m_controller, nullptr))
        , m_receiver(other.m_receiver)
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
        // A host that subscribed again from another thread meanwhile heard of the devices there,
        // inside its subscription.
        if (!m_controller->m_stopping.load() && m_controller->currentReceiver() == m_receiver)
            Q_EMIT m_controller->enumerationCompleted();
    }

private:
    GlintSdkController *m_controller;
    QObject *m_receiver;
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
    // The system thread is known from its start, so that waiting for its end never returns
    // early.
    connect(
        &thread, &QThread::started, worker.get(), [this] { m_workerSystemThread.captureCurrent(); },
        Qt::DirectConnection);
    // However the thread's loop ends, the connection is closed on the thread that opened it, so
    // every SDK release and the CoUninitialize happen where COM was set up. This is the last
    // code of the plug-in the thread runs, and its last act says that the worker is done: Qt 5
    // already reports the thread as finished while this runs.
    connect(
        &thread, &QThread::finished, worker.get(),
        [this] {
            // A completion relayed as the stop began, after the stop dropped those queued, would
            // hold this controller for a delivery that may never come (its thread may have ended).
            ModuleLifetime::parkIfExiting();
            removeQueuedCompletions();
            worker->shutDown();
            ModuleLifetime::threadEnded();
            m_workerDone.store(true);
        },
        Qt::DirectConnection);
    reportToCallingThread();
    ModuleLifetime::threadStarting();
    thread.start();
    // A thread the system cannot make (no memory, a limit reached) is a controller that cannot be.
    if (!thread.isRunning()) {
        ModuleLifetime::threadEnded();
        throw std::runtime_error("the worker thread cannot be started");
    }
}

void GlintSdkController::reportToCallingThread()
{
    const std::lock_guard<std::mutex> lock(m_receiverMutex);
    if (m_receiver && m_receiver->thread() == QThread::currentThread())
        return;
    m_receivers.reserve(m_receivers.size() + 1);
    m_receivers.push_back(std::make_unique<QObject>());
    m_receiver = m_receivers.back().get();
}

QObject *GlintSdkController::currentReceiver()
{
    const std::lock_guard<std::mutex> lock(m_receiverMutex);
    return m_receiver;
}

void GlintSdkController::removeQueuedCompletions()
{
    const std::lock_guard<std::mutex> lock(m_receiverMutex);
    for (const std::unique_ptr<QObject> &receiver : m_receivers)
        QCoreApplication::removePostedEvents(receiver.get(), QEvent::MetaCall);
}

GlintSdkController::~GlintSdkController()
{
    if (m_life.state() == ControllerState::Running)
        stop(std::chrono::steady_clock::now() + std::chrono::hours(24));
    // Only a program that deletes a controller it let go waits here; the plug-in deletes one
    // only once isFree() has found its worker done.
    thread.wait();
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
    QObject *receiver = currentReceiver();
    acquireHold(true);
    try {
        QMetaObject::invokeMethod(receiver, RelayedCompletion(this, receiver),
                                  Qt::QueuedConnection);
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
    FreeHandler onFree = nullptr;
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
                onFree = std::exchange(m_onFree, nullptr);
        }
    }
    // From here on this controller may be gone: only the function taken above is used.
    if (onFree)
        onFree(this);
}

void GlintSdkController::holdNoLongerWaited() noexcept
{
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    --m_waitedHolds;
    if (m_stopping.load())
        m_holdsReleased.notify_all();
}

void GlintSdkController::setOnFree(FreeHandler onFree) noexcept
{
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    m_onFree = onFree;
}

bool GlintSdkController::stop(Deadline deadline) noexcept
{
    if (!m_life.move(ControllerState::Stopping))
        return false;
    m_stopping.store(true);
    worker->cancel();
    // What has not begun goes now: completions not yet taken by Qt (and their holds), frames still
    // queued (their hosts return at once).
    removeQueuedCompletions();
    worker->closeQueue();
    thread.quit();
    const bool ended = thread.wait(QDeadlineTimer(millisecondsLeft(deadline)))
        && m_workerDone.load() && m_workerSystemThread.waitForExit(millisecondsLeft(deadline));
    {
        std::unique_lock<std::mutex> lock(m_holdMutex);
        m_holdsReleased.wait_until(lock, deadline, [this] { return m_waitedHolds == 0; });
    }
    if (ended) {
        m_life.move(ControllerState::Ended);
        return true;
    }
    m_life.move(ControllerState::LetGo);
    writeLogLine(glintSdkControllerLog(), QtWarningMsg, [](QDebug &line) {
        line << "The SDK has not returned within the stop's bound; the worker closes its "
                "connection and ends on its own once it does";
    });
    return false;
}

bool GlintSdkController::isFree() noexcept
{
    // The worker's own word that it is done, then the system thread's end: never Qt's view of
    // the thread, which calls it finished while the worker still closes its connection.
    if (m_life.state() == ControllerState::LetGo && m_workerDone.load()
        && m_workerSystemThread.waitForExit(0))
        m_life.move(ControllerState::Ended);
    const std::lock_guard<std::mutex> lock(m_holdMutex);
    return m_life.state() == ControllerState::Ended && m_holds == 0;
}
