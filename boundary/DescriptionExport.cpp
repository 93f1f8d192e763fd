// Slots 0 and 4: a private copy of the device's record turned into a new tree of host records.
// Any block the heap cannot supply gives null, after freeing what was already made.
#include "HostMemory.h"
#include "HostRecordRelease.h"
#include "PluginState.h"
#include "TableOperations.h"
#include "devices/DeviceImages.h"
#include "sdk/GlintSdkController.h"

namespace {

// A new image record; null when the heap fails.
TalvernPluginImage *makeHostImage(const std::string &fileName)
{
    auto *image = allocateHostArray<TalvernPluginImage>(1);
    if (!image)
        return nullptr;
    bool failed = false;
    image->fileName = copyToHostString(fileName, &failed);
    image->checksum = copyToHostString(imageChecksum(fileName), &failed);
    if (failed) {
        freeHostImage(image);
        return nullptr;
    }
    return image;
}

// A known device has a non-null SDK device; the default record stands for an unknown id.
DeviceData knownDeviceData(const char *deviceId)
{
    const ControllerUse use;
    GlintSdkController *controller = use.controller();
    if (!controller || !deviceId)
        return DeviceData();
    return controller->deviceData(QByteArray(deviceId));
}

} // namespace

TalvernPluginDeviceInfo *TALVERN_CDECL TalvernPluginGetDeviceInfo(const char *deviceId)
{
    if (g_currentPluginMode == PluginModeStopped)
        return nullptr;
    const DeviceData data = knownDeviceData(deviceId);
    if (!data.device)
        return nullptr;

    auto *info = allocateHostArray<TalvernPluginDeviceInfo>(1);
    if (!info)
        return nullptr;
    bool failed = false;
    info->deviceId = copyToHostString(QByteArray(deviceId), &failed);
    info->deviceName = copyToHostString(data.friendlyName, &failed);
    info->deviceKind = 3;
    info->ledPositions = allocateHostArray<TalvernPluginLedPositions>(1);
    if (info->ledPositions) {
        const int count = int(data.ledPositions.size());
        info->ledPositions->count = count;
        if (count > 0) {
            TalvernPluginLedPosition *positions = allocateHostArray<TalvernPluginLedPosition>(count);
            info->ledPositions->positions = positions;
            failed |= !positions;
            for (int i = 0; positions && i < count; ++i) {
                const LedPosition &source = data.ledPositions[std::size_t(i)];
                positions[i].ledId = source.ledId;
                positions[i].x = source.x;
                positions[i].y = source.y;
                positions[i].positionKind = source.positionKind;
            }
        }
    }
    info->thumbnail = makeHostImage(data.thumbnailImage);
    info->viewCount = int32_t(data.deviceViews.size());
    info->promo = makeHostImage(data.promoImage);
    if (failed || !info->ledPositions || !info->thumbnail || !info->promo) {
        TalvernPluginFreeDeviceInfo(info);
        return nullptr;
    }
    return info;
}

TalvernPluginDeviceView *TALVERN_CDECL TalvernPluginGetDeviceView(const char *deviceId,
                                                                  int32_t viewIndex)
{
    if (g_currentPluginMode != PluginModeRunning)
        return nullptr;
    const DeviceData data = knownDeviceData(deviceId);
    if (!data.device || viewIndex < 0 || std::size_t(viewIndex) >= data.deviceViews.size())
        return nullptr;
    const DeviceView &source = data.deviceViews[std::size_t(viewIndex)];

    auto *view = allocateHostArray<TalvernPluginDeviceView>(1);
    if (!view)
        return nullptr;
    view->deviceViewImage = makeHostImage(source.deviceViewImage);
    view->hullLayoutMaskImage = makeHostImage(source.hullLayoutMaskImage);
    view->reserved = 0;
    bool failed = false;
    view->ledZones = allocateHostArray<TalvernPluginLedZones>(1);
    if (view->ledZones) {
        const int count = int(source.ledZones.size());
        view->ledZones->count = count;
        if (count > 0) {
            TalvernPluginLedZone *zones = allocateHostArray<TalvernPluginLedZone>(count);
            view->ledZones->zones = zones;
            failed |= !zones;
            for (int i = 0; zones && i < count; ++i) {
                const LedZone &zone = source.ledZones[std::size_t(i)];
                zones[i].ledId = zone.ledId;
                zones[i].label = copyToHostString(zone.label, &failed);
                zones[i].zoneName = copyToHostString(zone.zoneName, &failed);
                zones[i].zoneKind = zone.zoneKind;
            }
        }
    }
    if (failed || !view->deviceViewImage || !view->hullLayoutMaskImage || !view->ledZones) {
        TalvernPluginFreeDeviceView(view);
        return nullptr;
    }
    return view;
}
