// The worker's picture of one lighting device and the containers that hold them.
//
// A device has two parts: the SDK objects through which colours reach its LEDs, which never leave
// the worker thread, and its description (name, positions, views, image names), plain data that
// host threads share.
#pragma once

#include "platform/ComPtr.h"
#include "glint/GlintSdkInterfaces.h"

#include <QByteArray>
#include <QHash>
#include <QMap>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Same fields, order and types as the host's LED position record.
struct LedPosition
{
    std::int32_t ledId = 0;
    double x = 0.0;
    double y = 0.0;
    std::int32_t positionKind = 0;
};

struct LedZone
{
    std::int32_t ledId = 0;
    std::string label;
    std::int32_t zoneKind = 0;
    std::string zoneName; // the SDK's name of the light, UTF-8
};

struct DeviceView
{
    std::string hullLayoutMaskImage;
    std::string deviceViewImage;
    std::vector<LedZone> ledZones;
};

// What the host is told about one device. Built once by the enumeration and never changed once
// stored, so every holder shares one copy: a lookup costs a reference count, and what a host
// thread holds carries no SDK object.
struct DeviceDescription
{
    std::string friendlyName; // UTF-8; the device id is the MD5 of it
    std::vector<LedPosition> ledPositions; // one per LED, in LED index order
    std::vector<DeviceView> deviceViews;
    std::string promoImage;
    std::string thumbnailImage;
};
using SharedDeviceDescription = std::shared_ptr<const DeviceDescription>;

using LightMap = QMap<std::int32_t, ComPtr<IGlintRgbLight>>;

// A stored device. The SDK objects are the worker thread's alone: they are created, called and
// released there. In a stored record device and description are not null.
struct DeviceData
{
    ComPtr<IGlintSyncDevice> device;
    LightMap ledsMap; // the lights that could be loaded, by LED id
    SharedDeviceDescription description;
};

// The LED ids given to one additional motherboard of a merged device: [firstLedId, endLedId).
struct LedIdRange
{
    std::int32_t firstLedId = 0;
    std::int32_t endLedId = 0;
};

inline bool operator==(const LedIdRange &a, const LedIdRange &b)
{
    return a.firstLedId == b.firstLedId && a.endLedId == b.endLedId;
}

inline uint qHash(const LedIdRange &range, uint /*seed*/ = 0)
{
    return uint(range.firstLedId ^ range.endLedId);
}

// Device id (32 lower-case hex characters) to record; the merged motherboard counts as one.
using DeviceMap = QHash<QByteArray, DeviceData>;
// For a merged device only: the SDK device of each additional board, by its LED id range. (The
// worker's container of these keeps its established name, combinedSubDevices, as does the log's
// "[Combined SubDevice]"; in the code "merged" is the one word for the idea.)
using SubDeviceMap = QHash<LedIdRange, ComPtr<IGlintSyncDevice>>;
using MergedSubDeviceMap = QHash<QByteArray, SubDeviceMap>;
