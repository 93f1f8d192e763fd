#include "DeviceStore.h"

#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

SharedDeviceDescription DeviceStore::deviceDescription(const QByteArray &deviceId) const
{
    {
        QMutexLocker locker(&m_mutex);
        const auto it = m_devices.constFind(deviceId);
        if (it != m_devices.constEnd())
            return it->description;
    }
    // Written without the mutex: a host's message handler may call straight back into a lookup.
    writeLogLine(glintSdkControllerLog(), QtWarningMsg, [&](QDebug &line) {
        line << "GlintSdkWorker::deviceData(): Invalid device id requested:" << deviceId
             << "Empty device data will be returned";
    });
    return nullptr;
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
    MergedSubDeviceMap oldSubDevices;
    {
        QMutexLocker locker(&m_mutex);
        oldDevices.swap(m_devices);
        oldSubDevices.swap(m_combinedSubDevices);
    }
    oldDevices = DeviceMap();
    oldSubDevices = MergedSubDeviceMap();
}

DeviceData DeviceStore::stored(DeviceBuild &&build)
{
    return { std::move(build.device), std::move(build.ledsMap),
             std::make_shared<const DeviceDescription>(std::move(build.description)) };
}

void DeviceStore::insert(DeviceBuild &&build)
{
    const QByteArray id = build.id;
    DeviceData data = stored(std::move(build));
    // The replaced record, if any, ends up in data and is released after the mutex.
    const QMutexLocker locker(&m_mutex);
    std::swap(m_devices[id], data);
}

void DeviceStore::insertMerged(DeviceBuild &&build, SubDeviceMap &&subDevices)
{
    const QByteArray id = build.id;
    DeviceData data = stored(std::move(build));
    const QMutexLocker locker(&m_mutex);
    std::swap(m_devices[id], data);
    if (!subDevices.isEmpty())
        m_combinedSubDevices.insert(id, subDevices);
}
