#include "RgbColour.h"

#include <cmath>

#ifdef GLINT_EMULATOR_GUI
#include <QColor>
#endif

namespace {

int component(double value)
{
    return int(std::lround(value * 255.0));
}

std::optional<RgbColour> fromHex(const QString &digits)
{
    bool ok = false;
    const uint value = digits.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    if (digits.size() == 6)
        return RgbColour { int(value >> 16 & 0xFF), int(value >> 8 & 0xFF), int(value & 0xFF) };
    if (digits.size() == 3) // each digit twice: #f80 is #ff8800
        return RgbColour { int(value >> 8 & 0xF) * 17, int(value >> 4 & 0xF) * 17,
                           int(value & 0xF) * 17 };
    return std::nullopt;
}

} // namespace

std::optional<RgbColour> RgbColour::fromName(const QString &name)
{
    if (name.startsWith(QLatin1Char('#')))
        return fromHex(name.mid(1));
#ifdef GLINT_EMULATOR_GUI
    const QColor colour(name);
    if (!colour.isValid())
        return std::nullopt;
    return RgbColour { colour.red(), colour.green(), colour.blue() };
#else
    static const struct
    {
        const char *name;
        RgbColour colour;
    } basic[] = {
        { "white", { 255, 255, 255 } }, { "black", { 0, 0, 0 } },
        { "red", { 255, 0, 0 } },       { "lime", { 0, 255, 0 } },
        { "green", { 0, 128, 0 } },     { "blue", { 0, 0, 255 } },
        { "yellow", { 255, 255, 0 } },  { "cyan", { 0, 255, 255 } },
        { "magenta", { 255, 0, 255 } }, { "orange", { 255, 165, 0 } },
        { "purple", { 128, 0, 128 } },  { "pink", { 255, 192, 203 } },
        { "gray", { 128, 128, 128 } },
    };
    for (const auto &entry : basic) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.colour;
    }
    return std::nullopt;
#endif
}

RgbColour RgbColour::fromHsv(double hue, double saturation, double value)
{
    const double sextant = (hue - std::floor(hue)) * 6.0;
    const double fraction = sextant - std::floor(sextant);
    const double low = value * (1.0 - saturation);
    const double falling = value * (1.0 - saturation * fraction);
    const double rising = value * (1.0 - saturation * (1.0 - fraction));
    switch (int(sextant) % 6) {
    case 0:
        return { component(value), component(rising), component(low) };
    case 1:
        return { component(falling), component(value), component(low) };
    case 2:
        return { component(low), component(value), component(rising) };
    case 3:
        return { component(low), component(falling), component(value) };
    case 4:
        return { component(rising), component(low), component(value) };
    default:
        return { component(value), component(low), component(falling) };
    }
}
