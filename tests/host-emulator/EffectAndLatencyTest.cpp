// The emulator's own arithmetic: the effects' colours at known moments and the latency
// percentiles, checked against values worked out by hand.
#include "host-emulator/LatencyStats.h"
#include "host-emulator/LightingEffect.h"

#include <gtest/gtest.h>

namespace {

QVector<HostLed> row(int count)
{
    QVector<HostLed> leds;
    for (int i = 0; i < count; ++i)
        leds.append(HostLed { 0x20001 + i, double(i), 0.0 });
    return leds;
}

void expectColour(const TalvernPluginLedColor &c, int id, int r, int g, int b)
{
    EXPECT_EQ(c.ledId, id);
    EXPECT_EQ(c.r, r);
    EXPECT_EQ(c.g, g);
    EXPECT_EQ(c.b, b);
}

} // namespace

TEST(RgbColour, NamesAndHuesGiveTheirColours)
{
    EXPECT_EQ(RgbColour::fromName(QStringLiteral("#ff8000")), (RgbColour { 255, 128, 0 }));
    EXPECT_EQ(RgbColour::fromName(QStringLiteral("#f80")), (RgbColour { 255, 136, 0 }));
    EXPECT_EQ(RgbColour::fromName(QStringLiteral("orange")), (RgbColour { 255, 165, 0 })); // SVG
    EXPECT_EQ(RgbColour::fromName(QStringLiteral("#ff80")), std::nullopt);
    EXPECT_EQ(RgbColour::fromName(QStringLiteral("#ggg")), std::nullopt);
    EXPECT_EQ(RgbColour::fromName(QStringLiteral("no such colour")), std::nullopt);

    // The six corners of the hue circle, and a hue past one turn.
    EXPECT_EQ(RgbColour::fromHsv(0.0, 1.0, 1.0), (RgbColour { 255, 0, 0 }));
    EXPECT_EQ(RgbColour::fromHsv(1.0 / 6, 1.0, 1.0), (RgbColour { 255, 255, 0 }));
    EXPECT_EQ(RgbColour::fromHsv(2.0 / 6, 1.0, 1.0), (RgbColour { 0, 255, 0 }));
    EXPECT_EQ(RgbColour::fromHsv(3.0 / 6, 1.0, 1.0), (RgbColour { 0, 255, 255 }));
    EXPECT_EQ(RgbColour::fromHsv(4.0 / 6, 1.0, 1.0), (RgbColour { 0, 0, 255 }));
    EXPECT_EQ(RgbColour::fromHsv(5.0 / 6, 1.0, 1.0), (RgbColour { 255, 0, 255 }));
    EXPECT_EQ(RgbColour::fromHsv(1.25, 1.0, 1.0), (RgbColour { 128, 255, 0 }));
    // Half saturation and value: the largest component is the value, the smallest half of it.
    EXPECT_EQ(RgbColour::fromHsv(0.0, 0.5, 0.5), (RgbColour { 128, 64, 64 }));
}

TEST(LightingEffect, ColoursAtKnownMoments)
{
    const QVector<HostLed> leds = row(4);
    const RgbColour orange { 255, 128, 0 };

    const auto still = LightingEffect(LightingEffect::Static, orange).frame(leds, 7.3);
    ASSERT_EQ(still.size(), 4);
    expectColour(still[3], 0x20004, 255, 128, 0);

    // Dark at the start of a breath, full at its middle (period 3 s).
    const LightingEffect breathe(LightingEffect::Breathe, orange);
    expectColour(breathe.frame(leds, 0.0)[0], 0x20001, 0, 0, 0);
    expectColour(breathe.frame(leds, 1.5)[2], 0x20003, 255, 128, 0);

    // The rainbow starts red at the left end; the chase's head is on LED 2 after 0.25 s at 8/s.
    expectColour(LightingEffect(LightingEffect::Rainbow, orange).frame(leds, 0.0)[0], 0x20001, 255,
                 0, 0);
    const auto chase = LightingEffect(LightingEffect::Chase, orange).frame(leds, 0.25);
    expectColour(chase[2], 0x20003, 255, 128, 0);
    expectColour(chase[3], 0x20004, 0, 0, 0);

    EXPECT_TRUE(LightingEffect(LightingEffect::Chase, orange).frame({}, 1.0).isEmpty());
}

TEST(LatencyStats, NearestRankPercentiles)
{
    LatencyStats empty;
    EXPECT_EQ(empty.percentile(50), 0);
    EXPECT_EQ(empty.maximum(), 0);

    LatencyStats stats;
    for (int v = 100; v >= 1; --v) // 1 to 100 us, added out of order
        stats.add(v);
    EXPECT_EQ(stats.percentile(50), 50);
    EXPECT_EQ(stats.percentile(99), 99);
    EXPECT_EQ(stats.percentile(100), 100);
    EXPECT_EQ(stats.maximum(), 100);

    LatencyStats one;
    one.add(42);
    EXPECT_EQ(one.percentile(99), 42);
}
