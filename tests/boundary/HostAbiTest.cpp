// The records and the table as the 32-bit Windows host lays them out.
#include "boundary/TalvernPlugin.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

#define EXPECT_OFFSET(type, member, expected)                                                      \
    EXPECT_EQ(offsetof(type, member), std::size_t(expected)) << #type "::" #member

TEST(HostAbi, TableIsElevenPointerSlots)
{
    constexpr std::size_t slot = sizeof(void *);
    EXPECT_EQ(sizeof(TalvernPluginInstance), 11 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, getDeviceInfo, 0 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, setLedsColors, 1 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, subscribe, 2 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, unsubscribe, 3 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, getDeviceView, 4 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, freeDeviceInfo, 5 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, freeDeviceView, 6 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, unused7, 7 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, unused9, 9 * slot);
    EXPECT_OFFSET(TalvernPluginInstance, setPluginMode, 10 * slot);
}

TEST(HostAbi, RecordsHaveThe32BitLayout)
{
    if (sizeof(void *) != 4)
        GTEST_SKIP() << "the host's layout has 4-byte pointers";

    EXPECT_EQ(sizeof(TalvernPluginImage), 8u);
    EXPECT_OFFSET(TalvernPluginImage, checksum, 4);

    // Doubles are 8-byte aligned as on Windows, not 4 as i386 System V would place them.
    EXPECT_EQ(sizeof(TalvernPluginLedPosition), 32u);
    EXPECT_EQ(alignof(TalvernPluginLedPosition), 8u);
    EXPECT_OFFSET(TalvernPluginLedPosition, x, 8);
    EXPECT_OFFSET(TalvernPluginLedPosition, y, 16);
    EXPECT_OFFSET(TalvernPluginLedPosition, positionKind, 24);
    EXPECT_EQ(sizeof(TalvernPluginLedPositions), 8u);
    EXPECT_OFFSET(TalvernPluginLedPositions, positions, 4);

    EXPECT_EQ(sizeof(TalvernPluginDeviceInfo), 28u);
    EXPECT_OFFSET(TalvernPluginDeviceInfo, deviceKind, 4);
    EXPECT_OFFSET(TalvernPluginDeviceInfo, ledPositions, 8);
    EXPECT_OFFSET(TalvernPluginDeviceInfo, thumbnail, 12);
    EXPECT_OFFSET(TalvernPluginDeviceInfo, deviceId, 16);
    EXPECT_OFFSET(TalvernPluginDeviceInfo, viewCount, 20);
    EXPECT_OFFSET(TalvernPluginDeviceInfo, promo, 24);

    EXPECT_EQ(sizeof(TalvernPluginLedZone), 16u);
    EXPECT_OFFSET(TalvernPluginLedZone, label, 4);
    EXPECT_OFFSET(TalvernPluginLedZone, zoneKind, 8);
    EXPECT_OFFSET(TalvernPluginLedZone, zoneName, 12);
    EXPECT_EQ(sizeof(TalvernPluginLedZones), 8u);
    EXPECT_OFFSET(TalvernPluginLedZones, zones, 4);

    EXPECT_EQ(sizeof(TalvernPluginDeviceView), 16u);
    EXPECT_OFFSET(TalvernPluginDeviceView, hullLayoutMaskImage, 4);
    EXPECT_OFFSET(TalvernPluginDeviceView, ledZones, 8);
    EXPECT_OFFSET(TalvernPluginDeviceView, reserved, 12);

    EXPECT_EQ(sizeof(TalvernPluginLedColor), 16u);
    EXPECT_OFFSET(TalvernPluginLedColor, r, 4);
    EXPECT_OFFSET(TalvernPluginLedColor, g, 8);
    EXPECT_OFFSET(TalvernPluginLedColor, b, 12);
}

} // namespace
