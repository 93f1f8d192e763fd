// The worker's device containers and the mutex that guards them.
//
// Only the worker thread changes the containers, always under the mutex; host threads read them
// through the two lookups, which hold the mutex just for the key test and a reference count. The
// worker thread, being the only writer, may read them without the mutex.
#pragma once

#include "DeviceData.h"

#include <QList>
#include <QMutex>

// One device as the build made it, before it is stored; an empty id when it could not be built.
struct DeviceBuild
{
    QByteArray id;
    ComPtr<IGlintSyncDevice> device;
    LightMap ledsMap;
    DeviceDescription description;

    bool isValid() const { return !id.isEmpty(); }
};

class DeviceStore
{
public:
    DeviceStore() = default;
    Q_DISABLE_COPY(DeviceStore)

    // Any thread. The device's shared description, or null (and a warning) for an unknown id.
    SharedDeviceDescription deviceDescription(const QByteArray &deviceId) const;
    // Any thread. Every stored id once, in the hash's iteration order.
    QList<QByteArray> connectedDeviceIds() const;

    // Worker thread only, from here on. Old records are released outside the mutex.
    void clear(); // devices first, then combinedSubDevices
    // Stores a valid build under its id, replacing a record with the same id.
    void insert(DeviceBuild &&build);
    // Stores a merged device together with its additional boards' SDK devices, in one step.
    void insertMerged(DeviceBuild &&build, SubDeviceMap &&subDevices);
    const DeviceMap &devices() const { return m_devices; }
    const MergedSubDeviceMap &combinedSubDevices() const { return m_combinedSubDevices; }

private:
    static DeviceData stored(DeviceBuild &&build);

    mutable QMutex m_mutex;
    DeviceMap m_devices;
    MergedSubDeviceMap m_combinedSubDevices;
};
