// The boundary's one way to the SDK: owns the worker thread and the worker living on it.
// Opening and closing the connection are posted and return at once; a colour frame blocks its
// caller until the worker has run it; the lookups run directly on the caller's thread.
#pragma once

#include "GlintSdkWorker.h"

#include <QThread>

#include <memory>

class GlintSdkController : public QObject
{
    Q_OBJECT
public:
    explicit GlintSdkController(QObject *parent = nullptr);
    // Closes an open connection on the worker thread, ends the thread, then deletes the worker.
    ~GlintSdkController() override;

    void initialize();
    void uninitialize();

    // Blocks until the worker thread has run the frame. Never call it from the worker thread.
    // deviceId is read on the worker thread while the caller waits, so it needs no copy.
    void setLedsColors(const char *deviceId, const QVector<TalvernPluginLedColor> &colours);

    // Any thread; internally locked.
    DeviceData deviceData(const QByteArray &deviceId) const { return worker->deviceData(deviceId); }
    QList<QByteArray> connectedDeviceIds() const { return worker->connectedDeviceIds(); }

Q_SIGNALS:
    void enumerationCompleted();

private:
    std::unique_ptr<GlintSdkWorker> worker;
    // Worker thread only: the id of the last frame. Hosts send frame after frame to the same
    // device, so reusing it saves an allocation per frame.
    QByteArray frameDeviceId;
    QThread thread; // declared after worker: destroyed first
};
