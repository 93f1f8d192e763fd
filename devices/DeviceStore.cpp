#include "DeviceStore.h"

#include "sdk/GlintSdkLog.h"

DeviceData DeviceStore::deviceData(const QByteArray &deviceId) const
{
    QMutexLocker locker(&m_mutex);
    const auto it = m_devices.constFind(deviceId);
    if (it == m_devices.constEnd()) {
        qCWarning(glintSdkControllerLog) << "GlintSdkWorker::deviceData(): Invalid device id requested:"
                                        << deviceId << "Empty device data will be returned";
        return DeviceData();
    }
    return it.value();
}

QList<QByteArray> DeviceStore::connectedDeviceIds() const
{
    QMutexLocker locker(&m_mutex);
    QList<QByteArray> ids;
    ids.reserve(m_devices.size());
    for (auto it = m_devices.constBegin(); it != m_devices.constEnd(); ++it)
        ids.append(it.key());
    return ids;
}

void DeviceStore::clear()
{
    // The old records are released after the mutex is given back: releasing SDK references
    // needs no lock and should not make lookups wait.
    DeviceMap oldDevices;
    CombinedSubDeviceMap oldSubDevices;
    {
        QMutexLocker locker(&m_mutex);
        oldDevices.swap(m_devices);
        oldSubDevices.swap(m_combinedSubDevices);
    }
    oldDevices = DeviceMap();
    oldSubDevices = CombinedSubDeviceMap();
}

void DeviceStore::insert(const QByteArray &deviceId, const DeviceData &data)
{
    QMutexLocker locker(&m_mutex);
    m_devices.insert(deviceId, data);
}
