// The boundary's one way to the SDK: owns the worker thread and the worker living on it.
// Opening and closing the connection are posted and return at once; a colour frame waits for the
// worker, but never longer than the stall bound; the lookups run directly on the caller's thread.
//
// Its life (ControllerState.h): Running until stop(), which ends the worker thread within a bound
// or lets the worker go, still inside the SDK, to close its connection and end on its own once the
// SDK returns. Its owner keeps the plug-in's module loaded while it lives. The worker's completions
// are relayed to the thread that last asked for reports (the host's subscribing thread), through
// a receiver object living there; one queued to an earlier such thread is dropped when it arrives.
// The controller may be deleted, on any thread, once its worker is done and nothing holds it:
// holds are taken by host threads using it (frames, lookups, notifications) and by every relayed
// completion until Qt has destroyed it, so that no thread is delivering to it or to one of its
// receivers, or using it, when it goes.
#pragma once

#include "ControllerState.h"
#include "GlintSdkWorker.h"
#include "platform/ModuleLifetime.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class GlintSdkController : public QObject
{
    Q_OBJECT
public:
    using Deadline = std::chrono::steady_clock::time_point;

    // Throws when its worker thread cannot be started (std::bad_alloc, std::runtime_error).
    explicit GlintSdkController(QObject *parent = nullptr);
    // Stops a controller that was never stopped, without a bound (only programs that own a
    // controller directly do this); deletes the worker.
    ~GlintSdkController() override;

    // The calling thread, which runs a Qt event loop, receives the reports from now on (the
    // thread that made the controller until then). Throws std::bad_alloc when it cannot.
    void reportToCallingThread();

    // Any thread; return at once.
    void initialize();
    void uninitialize();

    enum class FrameOutcome {
        Applied, // the worker ran it (or found nothing to write it to)
        Dropped, // not run: stalled, stopping, or withdrawn when the bound passed
        Unfinished, // begun but still running when the bound passed; it finishes on its own
    };
    // Any host thread but the worker's: waits until the worker has run the frame, at most
    // StallMonitor::BoundMs. Reads deviceId and colours only before it returns.
    FrameOutcome setLedsColors(const char *deviceId, const LedColourFrame &colours);

    // Any thread; internally locked.
    SharedDeviceDescription deviceDescription(const QByteArray &deviceId) const
    {
        return worker->deviceDescription(deviceId);
    }
    QList<QByteArray> connectedDeviceIds() const { return worker->connectedDeviceIds(); }

    // Any thread: Running's inner state is the connection's, or Stalled.
    ControllerState state() const;

    // Holds, for any thread. A waited hold is one the stop waits for (frames, lookups, a relayed
    // completion Qt has not begun to deliver); the others (a notification, which calls the host)
    // only keep the controller from being deleted.
    void acquireHold(bool waited) noexcept;
    void releaseHold(bool waited) noexcept;

    // Any thread but the worker's, once. Closes the connection on the worker thread and ends the
    // thread, waiting until the deadline for it and for the waited holds; never for a
    // notification. False when the worker is still inside the SDK then: it is let go.
    bool stop(Deadline deadline) noexcept;
    // Stopped, its thread gone, nothing holding it: it may be deleted, on any thread.
    bool isFree() noexcept;
    // Called, once, on the thread that drops the last hold of a stopped controller: inside a
    // host's call, or inside Qt's delivery of a report on the subscribing thread. It may delete
    // the controller; it needs no memory.
    using FreeHandler = void (*)(GlintSdkController *controller);
    void setOnFree(FreeHandler onFree) noexcept;

Q_SIGNALS:
    void enumerationCompleted();

private:
    class RelayedCompletion;
    // Worker thread: the worker's completion, queued to the reporting thread under a hold.
    void relayCompletion();
    void holdNoLongerWaited() noexcept;
    QObject *currentReceiver();
    // Drops completions queued and not yet taken by Qt, and their holds.
    void removeQueuedCompletions();

    StateMachine m_life { ControllerState::Running };
    std::atomic<bool> m_stopping { false };
    std::mutex m_holdMutex; // guards the counts and m_onFree
    std::condition_variable m_holdsReleased;
    int m_holds = 0;
    int m_waitedHolds = 0;
    FreeHandler m_onFree = nullptr;
    std::mutex m_receiverMutex; // guards the two below
    QObject *m_receiver = nullptr; // the current one, of m_receivers
    // Each on the thread it reports to; deleted with the controller, when nothing is queued to
    // them or delivered to them any more.
    std::vector<std::unique_ptr<QObject>> m_receivers;
    std::unique_ptr<GlintSdkWorker> worker;
    ModuleLifetime::SystemThread m_workerSystemThread; // recorded by the thread as it starts
    std::atomic<bool> m_workerDone { false }; // the worker's last act: its connection is closed
    QThread thread; // declared after worker: destroyed first
};
