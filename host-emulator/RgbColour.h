// A colour as the lighting effects use it: 8-bit red, green and blue. The emulator's own type
// rather than QColor, which lives in Qt Gui: the Windows build's Qt is Core only.
#pragma once

#include <QString>

#include <optional>

struct RgbColour
{
    int red = 0;
    int green = 0;
    int blue = 0;

    // "#rgb", "#rrggbb" or a colour name: every SVG name where the build has Qt Gui, the basic
    // ones (white, black, red, lime, green, blue, yellow, cyan, magenta, orange, purple, pink,
    // gray) without it. Nothing for anything else.
    static std::optional<RgbColour> fromName(const QString &name);
    // Hue, saturation and value from 0 to 1; hues wrap around.
    static RgbColour fromHsv(double hue, double saturation, double value);

    bool operator==(const RgbColour &other) const
    {
        return red == other.red && green == other.green && blue == other.blue;
    }
};
