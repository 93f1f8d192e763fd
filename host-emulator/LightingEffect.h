// The colour of every LED of a device at a moment of a lighting effect.
#pragma once

#include "HostDevice.h"
#include "RgbColour.h"
#include "boundary/TalvernPlugin.h"

#include <QString>
#include <QVector>

class LightingEffect
{
public:
    enum Kind { Rainbow, Breathe, Static, Chase };

    LightingEffect(Kind kind, const RgbColour &colour);
    // "rainbow", "breathe", "static" or "chase"; anything else is a rainbow.
    static Kind kindFromName(const QString &name);

    // One frame for the device's LEDs, in the order of its description, at seconds into the effect.
    QVector<TalvernPluginLedColor> frame(const QVector<HostLed> &leds, double seconds) const;

private:
    Kind m_kind;
    RgbColour m_colour;
};
