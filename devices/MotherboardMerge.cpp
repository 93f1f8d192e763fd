#include "MotherboardMerge.h"

#include "DeviceBuilder.h"
#include "DeviceTypes.h"
#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

#include <limits>

namespace {

void logAdditionalBoard(std::int32_t number, const DeviceBuild &board)
{
    if (!glintSdkControllerLog().isDebugEnabled())
        return;
    const std::vector<DeviceView> &views = board.description.deviceViews;
    const QString zoneCount =
        views.empty() ? QStringLiteral("empty!!!") : QString::number(views[0].ledZones.size());
    writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
        line.nospace() << "enumerateMultipleMotherboards(): additional_motherboard #" << number
                       << "; ledsMap.size(): " << board.ledsMap.size() << "; ledPositions.size(): "
                       << quint64(board.description.ledPositions.size())
                       << "; deviceViews[0].ledZones.size(): " << zoneCount;
    });
}

} // namespace

// Each LED of a further board keeps its index on that board: its merged id is nextLedId plus its
// offset from the motherboard base, in the lights, the positions and the zones alike. Numbering by
// place in each list instead would shift the lists against each other as soon as one light fails
// to load, sending colours to the wrong LED and giving two positions the same id.
//
// The merged device is stored once it is complete, so a lookup never sees it half merged.
void enumerateMultipleMotherboards(IGlintSyncDeviceCollection *collection, std::int32_t deviceCount,
                                   DeviceStore &store)
{
    const std::int32_t base = ledIdBase(GlintMotherboardType);
    DeviceBuild merged = buildDeviceData(collection, 0, GlintMotherboardType);
    if (!merged.isValid())
        return;
    DeviceDescription &description = merged.description;
    SubDeviceMap subDevices;

    std::int32_t nextLedId = base + std::int32_t(description.ledPositions.size());
    for (std::int32_t i = 1; i < deviceCount; ++i) {
        const DeviceBuild board = buildDeviceData(collection, i, GlintMotherboardType);
        if (!board.isValid())
            continue;
        logAdditionalBoard(i - 1, board);
        const std::int32_t positionCount = std::int32_t(board.description.ledPositions.size());
        if (positionCount > std::numeric_limits<std::int32_t>::max() - nextLedId) {
            writeLogLine(glintSdkControllerLog(), QtWarningMsg, [&](QDebug &line) {
                line.nospace() << "enumerateMultipleMotherboards(): additional_motherboard #"
                               << (i - 1) << ": no LED ids left. Skipping the remaining boards";
            });
            break;
        }
        const std::int32_t offset = nextLedId - base;
        for (auto it = board.ledsMap.constBegin(); it != board.ledsMap.constEnd(); ++it)
            merged.ledsMap.insert(it.key() + offset, it.value());
        for (LedPosition position : board.description.ledPositions) {
            position.ledId += offset;
            description.ledPositions.push_back(position);
        }
        if (!description.deviceViews.empty() && !board.description.deviceViews.empty()) {
            for (LedZone zone : board.description.deviceViews[0].ledZones) {
                zone.ledId += offset;
                description.deviceViews[0].ledZones.push_back(std::move(zone));
            }
        }
        subDevices.insert({ nextLedId, nextLedId + positionCount }, board.device);
        nextLedId += positionCount;
    }
    store.insertMerged(std::move(merged), std::move(subDevices));
}
