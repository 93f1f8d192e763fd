// The host sees a checksum only for the pictures it ships, matched by exact name: a name that
// differs in case or by a space is another file.
#include "devices/DeviceImages.h"

#include <gtest/gtest.h>

TEST(DeviceImages, ChecksumsAreFoundByExactNameOnly)
{
    // The checksums' values are checked where the host sees them (tests/host).
    EXPECT_FALSE(imageChecksum("Motherboard-promo.png").empty());
    for (const char *other : { "motherboard-promo.png", "Motherboard-promo.png ",
                               "Motherboard-hullLayoutMask.png", "" })
        EXPECT_TRUE(imageChecksum(other).empty()) << '"' << other << '"';
}
