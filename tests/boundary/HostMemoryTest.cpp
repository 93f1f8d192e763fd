// Blocks handed to the host and the release operations that take them back.
#include "boundary/HostMemory.h"
#include "HeapUsage.h"
#include "boundary/HostRecordRelease.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

// Leaves a freed block of this size full of 0xA5, so a block reused without clearing shows it.
void dirtyFreeBlock(std::size_t size)
{
    void *volatile block = std::malloc(size);
    std::memset(block, 0xA5, size);
    std::free(block);
}

TEST(HostMemory, ArraysAreZeroFilled)
{
    dirtyFreeBlock(6 * sizeof(int32_t));
    auto *numbers = allocateHostArray<int32_t>(6);
    ASSERT_NE(numbers, nullptr);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(numbers[i], 0) << i;
    std::free(numbers);

    // Room for every element, not just for count bytes.
    auto *positions = allocateHostArray<TalvernPluginLedPosition>(3);
    ASSERT_NE(positions, nullptr);
    EXPECT_GE(malloc_usable_size(positions), 3u * 32u);
    std::free(positions);
}

TEST(HostMemoryDeathTest, CountBelowOneIsFatal)
{
    EXPECT_DEATH(allocateHostArray<int32_t>(0), "Invalid array size for memory allocation");
    EXPECT_DEATH(allocateHostArray<int32_t>(-1), "Invalid array size for memory allocation");
}

TEST(HostMemory, StringCopiesEndAtTheFirstNul)
{
    bool failed = false;
    char *copy = copyToHostString(std::string("Norvane Motherboard"), &failed);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "Norvane Motherboard");
    std::free(copy);

    // The host reads C strings: what follows an embedded NUL is dropped, the block stays zero.
    dirtyFreeBlock(10);
    copy = copyToHostString(QByteArray("ab\0cdefgh", 9), &failed);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::memcmp(copy, "ab\0\0\0\0\0\0\0\0", 10), 0);
    std::free(copy);

    EXPECT_EQ(copyToHostString(std::string(), &failed), nullptr);
    EXPECT_FALSE(failed);
}

TalvernPluginImage *image(const char *fileName, const char *checksum)
{
    auto *result = static_cast<TalvernPluginImage *>(std::calloc(1, sizeof(TalvernPluginImage)));
    result->fileName = fileName ? strdup(fileName) : nullptr;
    result->checksum = checksum ? strdup(checksum) : nullptr;
    return result;
}

template<class T>
T *record()
{
    return static_cast<T *>(std::calloc(1, sizeof(T)));
}

TEST(HostRecordRelease, DeviceInfoTreesAreFreedWhole)
{
    ASSERT_HEAP_COUNTS_FREES();
    const std::size_t before = heapInUse();

    auto *info = record<TalvernPluginDeviceInfo>();
    info->deviceName = strdup("Norvane Motherboard");
    info->deviceId = strdup("786af07ea0cb0dbb480824d6c4d5d6bd");
    info->ledPositions = record<TalvernPluginLedPositions>();
    info->ledPositions->count = 2;
    info->ledPositions->positions =
        static_cast<TalvernPluginLedPosition *>(std::calloc(2, sizeof(TalvernPluginLedPosition)));
    info->thumbnail = image("board.png", "0f1e2d3c");
    info->promo = image(nullptr, nullptr);
    TalvernPluginFreeDeviceInfo(info);

    // Nothing filled in, and a list without its array.
    TalvernPluginFreeDeviceInfo(record<TalvernPluginDeviceInfo>());
    info = record<TalvernPluginDeviceInfo>();
    info->ledPositions = record<TalvernPluginLedPositions>();
    info->ledPositions->count = 3;
    TalvernPluginFreeDeviceInfo(info);
    TalvernPluginFreeDeviceInfo(nullptr);

    EXPECT_EQ(heapInUse(), before);
}

TEST(HostRecordRelease, DeviceViewTreesAreFreedWhole)
{
    ASSERT_HEAP_COUNTS_FREES();
    const std::size_t before = heapInUse();

    auto *view = record<TalvernPluginDeviceView>();
    view->deviceViewImage = image("view.png", nullptr);
    view->ledZones = record<TalvernPluginLedZones>();
    view->ledZones->count = 2;
    view->ledZones->zones =
        static_cast<TalvernPluginLedZone *>(std::calloc(2, sizeof(TalvernPluginLedZone)));
    view->ledZones->zones[0].label = strdup("1");
    view->ledZones->zones[0].zoneName = strdup("Rear I/O");
    view->ledZones->zones[1].zoneName = strdup("Chipset");
    TalvernPluginFreeDeviceView(view);

    // A zone list without its array must not be walked.
    view = record<TalvernPluginDeviceView>();
    view->ledZones = record<TalvernPluginLedZones>();
    view->ledZones->count = 4;
    TalvernPluginFreeDeviceView(view);
    TalvernPluginFreeDeviceView(nullptr);

    EXPECT_EQ(heapInUse(), before);
}

} // namespace
