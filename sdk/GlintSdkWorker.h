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
// came (RequestQueue.h); this class is the connection they act on.
//
// Invariant: sdk is non-null exactly while initialized is true, and then this thread holds one
// CoInitializeEx that uninitialize() balances, and the process's SDK connection gate.
#pragma once

#include "ControllerState.h"
#include "FrameRequest.h"
#include "RequestQueue.h"
#include "StallMonitor.h"
#include "devices/DeviceStore.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>

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
    // Worker thread: runs what is queued; the queue keeps a request from running inside another.
    void runQueued();
    void execute(FrameRequest *frame) noexcept;
    void runFrame(FrameRequest *frame);
    void reconcile();
    void open(std::uint64_t opening);
    // Logs a failed opening (at critical level the first time, at debug level for the retries)
    // and schedules the next attempt while the connection is wanted.
    void openingFailed(const char *text, HRESULT hr);
    // Cannot fail: whatever happens, the connection gate is given back.
    void close(ControllerState after) noexcept;
    void connectionLost();

    std::atomic<bool> initialized { false };
    ComPtr<IGlintSdk2> sdk;
    DeviceStore m_store; // the mutex, devices and combinedSubDevices

    StallMonitor m_stalls;
    StateMachine m_state { ControllerState::Closed };
    RequestQueue m_requests;
    std::atomic<bool> m_cancelled { false };
    QTimer m_retry;
    // Worker thread only.
    QByteArray m_frameDeviceId; // the last frame's device
    std::uint64_t m_openedFor = 0; // the opening the open connection answers
    int m_attempts = 0; // failed openings since the last success
};
