// The four exports, called as the host calls them.
#include "boundary/HostRecordRelease.h"
#include "boundary/TalvernPlugin.h"
#include "tests/platform/HeapUsage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(PluginEntry, VersionFeaturesAndTables)
{
    EXPECT_EQ(TalvernPluginGetAPIVersion(), 102);
    EXPECT_EQ(TalvernPluginGetFeatures(), 4);

    ASSERT_HEAP_COUNTS_FREES();
    TalvernPluginFreeInstance(TalvernPluginGetInstance()); // what the plug-in keeps for its life
    const std::size_t before = heapInUse();
    TalvernPluginInstance *first = TalvernPluginGetInstance();
    TalvernPluginInstance *second = TalvernPluginGetInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second); // each caller owns its table

    // Read as the host does: eleven pointers, slots 7 to 9 empty.
    std::uintptr_t slots[11];
    static_assert(sizeof(slots) == sizeof(TalvernPluginInstance), "eleven slots");
    std::memcpy(slots, first, sizeof(slots));
    for (int i = 0; i < 11; ++i) {
        if (i >= 7 && i <= 9)
            EXPECT_EQ(slots[i], 0u) << "slot " << i;
        else
            EXPECT_NE(slots[i], 0u) << "slot " << i;
    }
    EXPECT_EQ(first->freeDeviceInfo, &TalvernPluginFreeDeviceInfo);
    EXPECT_EQ(first->freeDeviceView, &TalvernPluginFreeDeviceView);
    EXPECT_EQ(std::memcmp(first, second, sizeof(*first)), 0);
    first->freeDeviceInfo(nullptr);
    first->freeDeviceView(nullptr);

    TalvernPluginFreeInstance(first);
    TalvernPluginFreeInstance(second);
    TalvernPluginFreeInstance(nullptr);
    EXPECT_EQ(heapInUse(), before);
}

} // namespace
