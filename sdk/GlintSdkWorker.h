// Owns the connection to the vendor SDK. Lives on the controller's worker thread: COM is set up
// apartment-threaded there and every SDK object is created, called and released there.
//
// Host threads say what the connection should be (open or closed); the worker works toward it
// with one posted request, so a burst of changes while the SDK is slow ends in one close and one
// open at most. An opening that fails is tried again after 1, 2, 4, 8, 16 s and then every 30 s
// while the connection is wanted; a connection whose service went away (its objects answer with a
// disconnection code) is closed and opened again the same way.
//
// Requests (a connection change, a retry, a colour frame) run one at a time, in the order they
// came. One that arrives while another runs (a COM apartment delivers its messages, and Qt's posted
// events with them, while an outgoing SDK call waits) waits until the outer one has returned.
//
// Invariant: sdk is non-null exactly while initialized is true, and then this thread holds one
// CoInitializeEx that uninitialize() balances, and the process's SDK connection gate.
#pragma once

#include "ControllerState.h"
#include "FrameRequest.h"
#include "StallMonitor.h"
#include "devices/DeviceStore.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class GlintSdkWorker : public QObject
{
    Q_OBJECT
public:
    GlintSdkWorker();
    ~GlintSdkWorker() override;

    // Any thread: the age of the request the worker runs.
    StallMonitor &stalls() { return m_stalls; }

    // Any thread. Wanting it open after it was wanted closed (even a close not acted on yet)
    // closes and opens afresh; wanting it open while it is closed tries at once.
    void setWantedOpen(bool open);
    // Any thread: queues the frame for the worker thread (the worker takes a reference).
    void post(FrameRequest *frame);
    // Any thread, when the controller stops: no request is taken any more (a frame then is
    // dropped at once), and frames still queued will not run; their hosts return at once.
    void closeQueue() noexcept;
    // Any thread: the controller is stopping; a wait for the SDK connection gate gives up.
    void cancel();
    // Worker thread, as its event loop ends: drops what waits and closes an open connection.
    void shutDown();

    // Any thread.
    bool isInitialized() const { return initialized.load(); }
    ControllerState connectionState() const { return m_state.state(); }

    // Worker thread. One attempt to open the connection, enumerate and report completion; after
    // a failure, a retry is scheduled while the connection is wanted. Ignored while open.
    void initialize();
    // Worker thread. Drops the devices and closes the connection; ignored while closed.
    void uninitialize();
    // Worker thread. Dropped silently while the connection is closed.
    void setLedsColors(const QByteArray &deviceId, const LedColourFrame &colours);
    // Worker thread, from initialize().
    void enumerate(std::int32_t type);

    // Any thread; under the store's mutex for a reference count only.
    SharedDeviceDescription deviceDescription(const QByteArray &deviceId) const
    {
        return m_store.deviceDescription(deviceId);
    }
    QList<QByteArray> connectedDeviceIds() const { return m_store.connectedDeviceIds(); }

Q_SIGNALS:
    void enumerationCompleted();

protected:
    // The wake, delivered through QObject::event like every event of a user type.
    void customEvent(QEvent *event) override;

private:
    // A connection change (no frame) or a colour frame, with the queue's reference on it.
    struct Request
    {
        FrameRequest *frame = nullptr;
    };
    struct Target
    {
        bool open = false;
        std::uint64_t opening = 0; // counts the changes from closed to open
    };

    // Any thread, holding m_queueMutex: queues a request; when the worker thread is not woken yet,
    // hands back the wake event, for postWake once the mutex is released. False, with nothing
    // queued, once the queue is closed.
    bool queueLocked(Request request, std::unique_ptr<QEvent> &wake);
    // Any thread, holding m_queueMutex: the wake event when requests wait and none is on its way
    // (counted as in flight until postWake), else null.
    std::unique_ptr<QEvent> wakeLocked();
    // Any thread, without m_queueMutex: posts what queueLocked or wakeLocked handed back (nothing
    // when null).
    void postWake(std::unique_ptr<QEvent> wake) noexcept;
    // Worker thread: runs the queued requests one after another. Called again from inside a
    // running request (an SDK call that delivers the thread's events), it leaves them queued: the
    // outer call runs them once the current one has returned.
    void runQueued();
    void execute(const Request &request) noexcept;
    void runFrame(FrameRequest *frame);
    void reconcile();
    void open(std::uint64_t opening);
    // Logs a failed opening (at critical level the first time, at debug level for the retries)
    // and schedules the next attempt while the connection is wanted.
    void openingFailed(const char *text, HRESULT hr);
    // Cannot fail: whatever happens, the connection gate is given back.
    void close(ControllerState after) noexcept;
    void connectionLost();
    Target target();
    void dropFrames(bool all) noexcept;

    std::atomic<bool> initialized { false };
    ComPtr<IGlintSdk2> sdk;
    DeviceStore m_store; // the mutex, devices and combinedSubDevices

    StallMonitor m_stalls;
    StateMachine m_state { ControllerState::Closed };
    // Host threads hand requests over here, not through Qt's event queue, so that every hand-off
    // is one a thread checker can see; Qt's event only wakes the worker thread.
    std::mutex m_queueMutex;
    std::vector<Request> m_queue; // from m_queueHead on: capacity is kept, no allocation per frame
    std::size_t m_queueHead = 0;
    bool m_wakePosted = false; // a wake-up event is handed out or posted, not yet delivered
    std::atomic<int> m_wakesInFlight { 0 }; // handed out by queueLocked, not yet posted
    bool m_changeQueued = false; // a connection change waits in the queue
    bool m_queueClosed = false; // the controller is stopping: nothing more is queued
    Target m_target;
    std::atomic<bool> m_cancelled { false };
    QTimer m_retry;
    // Worker thread only.
    QByteArray m_frameDeviceId; // the last frame's device
    std::uint64_t m_openedFor = 0; // the opening the open connection answers
    int m_attempts = 0; // failed openings since the last success
    bool m_running = false; // a request is running
};
