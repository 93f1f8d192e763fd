#include "LightingEffect.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr double RainbowCyclesPerSecond = 0.25;
constexpr double BreathePeriodSeconds = 3.0;
constexpr double ChaseLedsPerSecond = 8.0;
// Less than a full turn of the hue circle, so the two ends of a row differ.
constexpr double WaveSpan = 0.85;

TalvernPluginLedColor ledColour(int id, const RgbColour &colour, double brightness = 1.0)
{
    const auto scaled = [brightness](int component) {
        return int(std::lround(std::clamp(component * brightness, 0.0, 255.0)));
    };
    return TalvernPluginLedColor { id, scaled(colour.red), scaled(colour.green),
                                   scaled(colour.blue) };
}

// Where each LED sits along the wave, 0 to 1: by its x position, or by its place in the
// description when every LED has the same x.
QVector<double> wavePlaces(const QVector<HostLed> &leds)
{
    QVector<double> places(leds.size(), 0.0);
    if (leds.isEmpty())
        return places;
    const auto [low, high] = std::minmax_element(
        leds.cbegin(), leds.cend(), [](const HostLed &a, const HostLed &b) { return a.x < b.x; });
    const double span = high->x - low->x;
    for (int i = 0; i < leds.size(); ++i)
        places[i] = span > 0 ? (leds[i].x - low->x) / span : double(i) / leds.size();
    return places;
}

} // namespace

LightingEffect::LightingEffect(Kind kind, const RgbColour &colour)
    : m_kind(kind)
    , m_colour(colour)
{ }

LightingEffect::Kind LightingEffect::kindFromName(const QString &name)
{
    if (name == QLatin1String("breathe"))
        return Breathe;
    if (name == QLatin1String("static"))
        return Static;
    if (name == QLatin1String("chase"))
        return Chase;
    return Rainbow;
}

QVector<TalvernPluginLedColor> LightingEffect::frame(const QVector<HostLed> &leds,
                                                     double seconds) const
{
    QVector<TalvernPluginLedColor> colours;
    colours.reserve(leds.size());
    switch (m_kind) {
    case Rainbow: {
        const QVector<double> places = wavePlaces(leds);
        for (int i = 0; i < leds.size(); ++i) {
            double hue = std::fmod(places[i] * WaveSpan + seconds * RainbowCyclesPerSecond, 1.0);
            colours.append(ledColour(leds[i].id, RgbColour::fromHsv(hue, 1.0, 1.0)));
        }
        break;
    }
    case Breathe: {
        const double brightness = 0.5 - 0.5 * std::cos(2 * Pi * seconds / BreathePeriodSeconds);
        for (const HostLed &led : leds)
            colours.append(ledColour(led.id, m_colour, brightness));
        break;
    }
    case Static:
        for (const HostLed &led : leds)
            colours.append(ledColour(led.id, m_colour));
        break;
    case Chase: {
        // One bright LED running along the description's order, with a short fading tail.
        const int count = leds.size();
        const double head = std::fmod(seconds * ChaseLedsPerSecond, double(count ? count : 1));
        for (int i = 0; i < count; ++i) {
            const double behind = std::fmod(head - i + count, double(count));
            const double brightness = behind < 1 ? 1.0 : std::max(0.0, 1.0 - behind / 3.0);
            colours.append(ledColour(leds[i].id, m_colour, brightness));
        }
        break;
    }
    }
    return colours;
}
