#include "MotherboardMerge.h"

#include "DeviceBuilder.h"
#include "DeviceTypes.h"
#include "sdk/GlintSdkLog.h"

// Each LED of a further board keeps its index on that board: its merged id is nextLedId plus its
// offset from the motherboard base, in the lights, the positions and the zones alike. Numbering by
// place in each list instead would shift the lists against each other as soon as one light fails
// to load, sending colours to the wrong LED and giving two positions the same id.
void enumerateMultipleMotherboards(IGlintSyncDeviceCollection *collection, std::int32_t deviceCount,
                                   DeviceStore &store)
{
    const std::int32_t base = ledIdBase(GlintMotherboardType);
    const DeviceBuildResult first = buildDeviceData(collection, 0, GlintMotherboardType);
    if (first.first.isEmpty())
        return;
    const QByteArray mergedId = first.first;
    store.insert(mergedId, first.second);

    std::int32_t nextLedId = base + std::int32_t(first.second.ledPositions.size());
    for (std::int32_t i = 1; i < deviceCount; ++i) {
        const DeviceBuildResult board = buildDeviceData(collection, i, GlintMotherboardType);
        if (board.first.isEmpty())
            continue;
        const DeviceData &data = board.second;
        if (glintSdkControllerLog().isDebugEnabled()) {
            const QString zoneCount = data.deviceViews.empty()
                ? QStringLiteral("empty!!!")
                : QString::number(data.deviceViews[0].ledZones.size());
            qCDebug(glintSdkControllerLog).nospace()
                << "enumerateMultipleMotherboards(): additional_motherboard #" << (i - 1)
                << "; ledsMap.size(): " << data.ledsMap.size()
                << "; ledPositions.size(): " << quint64(data.ledPositions.size())
                << "; deviceViews[0].ledZones.size(): " << zoneCount;
        }
        const std::int32_t offset = nextLedId - base;
        const std::int32_t positionCount = std::int32_t(data.ledPositions.size());
        store.modify([&](DeviceMap &devices, CombinedSubDeviceMap &subDevices) {
            DeviceData &merged = devices[mergedId];
            for (auto it = data.ledsMap.constBegin(); it != data.ledsMap.constEnd(); ++it)
                merged.ledsMap.insert(it.key() + offset, it.value());
            for (LedPosition position : data.ledPositions) {
                position.ledId += offset;
                merged.ledPositions.push_back(position);
            }
            if (!merged.deviceViews.empty() && !data.deviceViews.empty()) {
                for (LedZone zone : data.deviceViews[0].ledZones) {
                    zone.ledId += offset;
                    merged.deviceViews[0].ledZones.push_back(std::move(zone));
                }
            }
            subDevices[mergedId].insert({nextLedId, nextLedId + positionCount}, data.device);
        });
        nextLedId += positionCount;
    }
}
