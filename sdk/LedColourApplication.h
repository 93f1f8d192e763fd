// Writes one colour frame to the SDK's lights and shows it: red, green, blue per LED (low 8 bits),
// then Apply on the device and on every additional motherboard of a merged device.
#pragma once

#include "boundary/TalvernPlugin.h"
#include "devices/DeviceStore.h"

#include <QVector>

Q_DECLARE_TYPEINFO(TalvernPluginLedColor, Q_PRIMITIVE_TYPE);

// Worker thread only (it reads the store without its mutex, as the store's only writer).
void applyLedColours(const DeviceStore &store, const QByteArray &deviceId,
                     const QVector<TalvernPluginLedColor> &colours);
