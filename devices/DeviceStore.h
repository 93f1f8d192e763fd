// The worker's device containers and the mutex that guards them.
//
// Only the worker thread changes the containers, always under the mutex; host threads read them
// through the two lookups, which hold the mutex just for the key test and the copy. The worker
// thread, being the only writer, may read them without the mutex.
#pragma once

#include "DeviceData.h"

#include <QList>
#include <QMutex>

class DeviceStore
{
public:
    DeviceStore() = default;
    Q_DISABLE_COPY(DeviceStore)

    // Any thread. A copy of the record, or a default record (and a warning) for an unknown id.
    DeviceData deviceData(const QByteArray &deviceId) const;
    // Any thread. Every stored id once, in the hash's iteration order.
    QList<QByteArray> connectedDeviceIds() const;

    // Worker thread only, from here on.
    void clear(); // devices first, then combinedSubDevices
    void insert(const QByteArray &deviceId, const DeviceData &data);
    // Runs change(devices, combinedSubDevices) under the mutex. change must not call the lookups.
    template<class Change>
    void modify(Change &&change)
    {
        QMutexLocker locker(&m_mutex);
        change(m_devices, m_combinedSubDevices);
    }
    const DeviceMap &devices() const { return m_devices; }
    const CombinedSubDeviceMap &combinedSubDevices() const { return m_combinedSubDevices; }

private:
    mutable QMutex m_mutex;
    DeviceMap m_devices;
    CombinedSubDeviceMap m_combinedSubDevices;
};
