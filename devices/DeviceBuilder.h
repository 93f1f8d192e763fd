// Turns one device of an SDK device collection into a build ready to store. Worker thread only;
// touches no container. Every SDK failure is logged with its result code.
#pragma once

#include "DeviceStore.h"

// More lights, or more devices in one collection, than any motherboard setup carries. A count the
// SDK reports above it is invalid data: believing it would mean millions of failing calls, or an
// allocation that cannot succeed, while the host's frames wait behind the enumeration.
constexpr std::int32_t maxCountFromSdk = 65536;

// The device id (MD5 of the name, motherboard "Mainboard_Master" renamed), its SDK objects and its
// description; an invalid build (empty id) when the device cannot be built.
DeviceBuild buildDeviceData(IGlintSyncDeviceCollection *collection, std::int32_t index,
                            std::int32_t type);
// One horizontal row, one unit apart: id base + i at (i, 0), kind 1.
std::vector<LedPosition> buildLedPositions(std::int32_t type, std::int32_t ledCount);
// One zone per light whose object and name could be read; ids follow the LED index, so a
// failed light leaves a gap.
std::vector<LedZone> buildLedZones(std::int32_t type, IGlintRgbLightCollection *lights,
                                   std::int32_t ledCount);
