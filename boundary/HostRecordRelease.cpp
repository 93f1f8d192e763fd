#include "HostRecordRelease.h"

#include <cstdlib>

void freeHostImage(TalvernPluginImage *image)
{
    if (!image)
        return;
    std::free(image->fileName);
    std::free(image->checksum);
    std::free(image);
}

void TALVERN_CDECL TalvernPluginFreeDeviceInfo(TalvernPluginDeviceInfo *info)
{
    if (!info)
        return;
    if (info->ledPositions) {
        std::free(info->ledPositions->positions);
        std::free(info->ledPositions);
    }
    freeHostImage(info->thumbnail);
    freeHostImage(info->promo);
    // The name and id are blocks of this tree too; leaving them would leak one pair per call.
    std::free(info->deviceName);
    std::free(info->deviceId);
    std::free(info);
}

void TALVERN_CDECL TalvernPluginFreeDeviceView(TalvernPluginDeviceView *view)
{
    if (!view)
        return;
    freeHostImage(view->deviceViewImage);
    freeHostImage(view->hullLayoutMaskImage);
    if (TalvernPluginLedZones *zones = view->ledZones) {
        if (zones->zones) {
            for (int32_t i = 0; i < zones->count; ++i) {
                std::free(zones->zones[i].zoneName);
                std::free(zones->zones[i].label);
            }
        }
        std::free(zones->zones);
        std::free(zones);
    }
    std::free(view);
}
