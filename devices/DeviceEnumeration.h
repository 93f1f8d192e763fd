// Rebuilds the device containers from what the SDK reports for one device type.
#pragma once

#include "DeviceStore.h"

// Worker thread only. Empties the store first, also when sdk is null or the SDK fails.
void enumerateDevices(IGlintSdk2 *sdk, std::int32_t type, DeviceStore &store);
