// Writes one colour frame to the SDK's lights and shows it: red, green, blue per LED (low 8 bits),
// then Apply on the device and on every additional motherboard of a merged device.
#pragma once

#include "LedColourFrame.h"
#include "devices/DeviceStore.h"

class StallMonitor;

// Worker thread only (it reads the store without its mutex, as the store's only writer). Tells
// the monitor, if any, which SDK call it waits in.
void applyLedColours(const DeviceStore &store, const QByteArray &deviceId,
                     const LedColourFrame &colours, StallMonitor *stalls = nullptr);
