// Several motherboards shown to the host as one device: board 0's record, extended with the LEDs,
// positions and zones of every further board under new LED ids, and the further boards' SDK
// devices kept by LED id range so that each gets its own Apply.
#pragma once

#include "DeviceStore.h"

// Worker thread only; the store's containers must be empty. Stores the merged device at the end.
void enumerateMultipleMotherboards(IGlintSyncDeviceCollection *collection, std::int32_t deviceCount,
                                   DeviceStore &store);
