// Slots 0 and 4: the device's shared description turned into a new tree of host records. The
// lookup only takes a reference; the conversion runs outside any lock. Any block the heap cannot
// supply, or anything thrown, gives null, after freeing what was already made.
#include "ControllerLifecycle.h"
#include "HostCallGuard.h"
#include "HostMemory.h"
#include "HostRecordRelease.h"
#include "PluginState.h"
#include "TableOperations.h"
#include "devices/DeviceImages.h"
#include "sdk/GlintSdkController.h"

#include <utility>

namespace {

// The host's device kind code for this plug-in's devices; what the code means is the host's.
constexpr int32_t MotherboardDeviceKind = 3;

// A new image record; null when the heap fails.
TalvernPluginImage *makeHostImage(const std::string &fileName)
{
    const std::string checksum = imageChecksum(fileName); // before any block: it may throw
    auto *image = allocateHostArray<TalvernPluginImage>(1);
    if (!image)
        return nullptr;
    bool failed = false;
    image->fileName = copyToHostString(fileName, &failed);
    image->checksum = copyToHostString(checksum, &failed);
    if (failed) {
        freeHostImage(image);
        return nullptr;
    }
    return image;
}

// Null for an unknown id, and before the first subscription or after a stop.
SharedDeviceDescription knownDescription(const char *deviceId)
{
    if (!deviceId)
        return nullptr;
    const ControllerLifecycle::Use use =
        ControllerLifecycle::instance().use(ControllerLifecycle::UseKind::Lookup);
    if (!use)
        return nullptr;
    // The lookup reads the id while the host's string is alive: no copy needed.
    return use->deviceDescription(QByteArray::fromRawData(deviceId, int(qstrlen(deviceId))));
}

// Owns a tree under construction until it is handed to the host.
template<class Record, void(TALVERN_CDECL *release)(Record *)>
struct PartialRecord
{
    Record *record = nullptr;
    ~PartialRecord() { release(record); }
    Record *take() { return std::exchange(record, nullptr); }
};

} // namespace

TalvernPluginDeviceInfo *TALVERN_CDECL TalvernPluginGetDeviceInfo(const char *deviceId)
{
    if (g_currentPluginMode == PluginModeStopped)
        return nullptr;
    return guardHostCall(
        "TalvernPluginGetDeviceInfo", static_cast<TalvernPluginDeviceInfo *>(nullptr),
        [deviceId]() -> TalvernPluginDeviceInfo * {
            const SharedDeviceDescription description = knownDescription(deviceId);
            if (!description)
                return nullptr;
            const DeviceDescription &data = *description;
            PartialRecord<TalvernPluginDeviceInfo, &TalvernPluginFreeDeviceInfo> result;
            result.record = allocateHostArray<TalvernPluginDeviceInfo>(1);
            TalvernPluginDeviceInfo *info = result.record;
            if (!info)
                return nullptr;
            bool failed = false;
            info->deviceId = copyToHostString(deviceId, qstrlen(deviceId), &failed);
            info->deviceName = copyToHostString(data.friendlyName, &failed);
            info->deviceKind = MotherboardDeviceKind;
            info->ledPositions = allocateHostArray<TalvernPluginLedPositions>(1);
            if (!info->ledPositions)
                return nullptr;
            const int count = int(data.ledPositions.size());
            info->ledPositions->count = count;
            if (count > 0) {
                TalvernPluginLedPosition *positions =
                    allocateHostArray<TalvernPluginLedPosition>(count);
                info->ledPositions->positions = positions;
                if (!positions)
                    return nullptr;
                for (int i = 0; i < count; ++i) {
                    const LedPosition &source = data.ledPositions[std::size_t(i)];
                    positions[i].ledId = source.ledId;
                    positions[i].x = source.x;
                    positions[i].y = source.y;
                    positions[i].positionKind = source.positionKind;
                }
            }
            info->thumbnail = makeHostImage(data.thumbnailImage);
            info->viewCount = int32_t(data.deviceViews.size());
            info->promo = makeHostImage(data.promoImage);
            if (failed || !info->thumbnail || !info->promo)
                return nullptr;
            return result.take();
        });
}

TalvernPluginDeviceView *TALVERN_CDECL TalvernPluginGetDeviceView(const char *deviceId,
                                                                  int32_t viewIndex)
{
    if (g_currentPluginMode != PluginModeRunning)
        return nullptr;
    return guardHostCall(
        "TalvernPluginGetDeviceView", static_cast<TalvernPluginDeviceView *>(nullptr),
        [deviceId, viewIndex]() -> TalvernPluginDeviceView * {
            const SharedDeviceDescription description = knownDescription(deviceId);
            if (!description || viewIndex < 0
                || std::size_t(viewIndex) >= description->deviceViews.size())
                return nullptr;
            const DeviceView &source = description->deviceViews[std::size_t(viewIndex)];

            PartialRecord<TalvernPluginDeviceView, &TalvernPluginFreeDeviceView> result;
            result.record = allocateHostArray<TalvernPluginDeviceView>(1);
            TalvernPluginDeviceView *view = result.record;
            if (!view)
                return nullptr;
            view->deviceViewImage = makeHostImage(source.deviceViewImage);
            view->hullLayoutMaskImage = makeHostImage(source.hullLayoutMaskImage);
            view->reserved = 0;
            view->ledZones = allocateHostArray<TalvernPluginLedZones>(1);
            if (!view->deviceViewImage || !view->hullLayoutMaskImage || !view->ledZones)
                return nullptr;
            const int count = int(source.ledZones.size());
            view->ledZones->count = count;
            if (count > 0) {
                TalvernPluginLedZone *zones = allocateHostArray<TalvernPluginLedZone>(count);
                view->ledZones->zones = zones;
                if (!zones)
                    return nullptr;
                bool failed = false;
                for (int i = 0; i < count; ++i) {
                    const LedZone &zone = source.ledZones[std::size_t(i)];
                    zones[i].ledId = zone.ledId;
                    zones[i].label = copyToHostString(zone.label, &failed);
                    zones[i].zoneName = copyToHostString(zone.zoneName, &failed);
                    zones[i].zoneKind = zone.zoneKind;
                }
                if (failed)
                    return nullptr;
            }
            return result.take();
        });
}
