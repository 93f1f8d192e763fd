// Turns one device of an SDK device collection into a record. Worker thread only; touches no
// container. Every SDK failure is logged with its result code.
#pragma once

#include "DeviceData.h"

#include <QPair>

using DeviceBuildResult = QPair<QByteArray, DeviceData>;

// The device id (MD5 of the name, motherboard "Mainboard_Master" renamed) and its record; an empty
// id and a default record when the device cannot be built.
DeviceBuildResult buildDeviceData(IGlintSyncDeviceCollection *collection, std::int32_t index,
                                  std::int32_t type);
// One horizontal row, one unit apart: id base + i at (i, 0), kind 1.
std::vector<LedPosition> buildLedPositions(std::int32_t type, std::int32_t ledCount);
// One zone per light whose object and name could be read; ids follow the LED index, so a
// failed light leaves a gap.
std::vector<LedZone> buildLedZones(std::int32_t type, IGlintRgbLightCollection *lights,
                                   std::int32_t ledCount);
