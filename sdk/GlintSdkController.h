// The boundary's one way to the SDK: owns the worker thread and the worker living on it.
// Opening and closing the connection are posted and return at once; a colour frame blocks its
// caller until the worker has run it; the lookups run directly on the caller's thread.
//
// Nothing thrown inside a request escapes into the worker thread's event loop: a request that
// fails that way is logged at critical level and dropped.
#pragma once

#include "GlintSdkWorker.h"
#include "platform/ModuleLifetime.h"

#include <QThread>

#include <memory>

class GlintSdkController : public QObject
{
    Q_OBJECT
public:
    explicit GlintSdkController(QObject *parent = nullptr);
    // Ends the worker thread, which closes an open connection on its way out, waits until the
    // system thread is gone, then deletes the worker. Waits for a thread: never call it where
    // that cannot end (under the Windows loader lock, at process exit).
    ~GlintSdkController() override;

    void initialize();
    void uninitialize();

    // Blocks until the worker thread has run the frame. Never call it from the worker thread.
    // deviceId is read on the worker thread while the caller waits, so it needs no copy.
    void setLedsColors(const char *deviceId, const LedColourFrame &colours);

    // Any thread; internally locked.
    SharedDeviceDescription deviceDescription(const QByteArray &deviceId) const
    {
        return worker->deviceDescription(deviceId);
    }
    QList<QByteArray> connectedDeviceIds() const { return worker->connectedDeviceIds(); }

Q_SIGNALS:
    void enumerationCompleted();

private:
    // Queues one connection request to the worker thread; returns at once.
    void post(const char *name, void (GlintSdkWorker::*request)());

    // Declared first, released last: the module stays mapped until the worker thread is gone.
    ModuleLifetime::ModuleReference m_moduleReference;
    std::unique_ptr<GlintSdkWorker> worker;
    // Worker thread only: the id of the last frame. Hosts send frame after frame to the same
    // device, so reusing it saves an allocation per frame.
    QByteArray m_frameDeviceId;
    ModuleLifetime::SystemThread m_workerSystemThread; // recorded by the thread as it ends
    QThread thread; // declared after worker: destroyed first
};
