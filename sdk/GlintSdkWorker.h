// Owns the connection to the vendor SDK. Lives on the controller's worker thread: COM is set up
// apartment-threaded there and every SDK object is created, called and released there.
//
// Invariant: sdk is non-null exactly while initialized is true, and then this thread holds one
// CoInitializeEx that uninitialize() balances.
#pragma once

#include "devices/DeviceStore.h"
#include "sdk/LedColourApplication.h"

#include <QObject>

#include <atomic>

class GlintSdkWorker : public QObject
{
    Q_OBJECT
public:
    GlintSdkWorker();
    ~GlintSdkWorker() override;

    // Worker thread. Opens the connection and enumerates; ignored while open.
    void initialize();
    // Worker thread. Drops the devices and closes the connection; ignored while closed.
    void uninitialize();
    // Any thread.
    bool isInitialized() const { return initialized.load(); }

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

private:
    std::atomic<bool> initialized { false };
    ComPtr<IGlintSdk2> sdk;
    DeviceStore m_store; // the mutex, devices and combinedSubDevices
};
