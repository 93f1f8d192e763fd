// BSTR with the memory layout of oleaut32, and the holder that owns one.
#include "HeapUsage.h"
#include "platform/BstrString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace {

std::uint32_t prefixOf(BSTR text)
{
    return reinterpret_cast<const std::uint32_t *>(text)[-1];
}

TEST(Bstr, LayoutAsOnWindows)
{
    // The length comes from the prefix, which counts bytes; embedded NULs are characters.
    const OLECHAR withNul[] = u"ab\0cd";
    BSTR text = SysAllocStringLen(withNul, 5);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 5u);
    EXPECT_EQ(prefixOf(text), 10u);
    EXPECT_EQ(std::memcmp(text, withNul, 10), 0);
    EXPECT_EQ(text[5], u'\0');
    SysFreeString(text);

    // SysAllocString stops at the first NUL.
    text = SysAllocString(withNul);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 2u);
    EXPECT_EQ(prefixOf(text), 4u);
    EXPECT_EQ(text[2], u'\0');
    SysFreeString(text);

    text = SysAllocString(u"");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 0u);
    EXPECT_EQ(prefixOf(text), 0u);
    EXPECT_EQ(text[0], u'\0');
    SysFreeString(text);

    // A null BSTR is the empty string.
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

static_assert(!std::is_copy_constructible_v<BstrHolder> && !std::is_copy_assignable_v<BstrHolder>,
              "a BSTR has one owner");

TEST(BstrHolder, FreesWhatItOwns)
{
    ASSERT_HEAP_COUNTS_FREES();
    const std::size_t before = heapInUse();
    {
        BstrHolder first(SysAllocString(u"first"));
        BstrHolder moved(std::move(first));
        EXPECT_EQ(first.get(), nullptr);
        EXPECT_EQ(moved.length(), 5u);

        BstrHolder second(SysAllocString(u"second"));
        second = std::move(moved); // frees "second"
        EXPECT_EQ(second.length(), 5u);

        BSTR *slot = second.receive(); // frees "first"
        ASSERT_NE(slot, nullptr);
        EXPECT_EQ(*slot, nullptr);
        *slot = SysAllocString(u"third");
    }
    EXPECT_EQ(heapInUse(), before);
}

TEST(BstrHolder, ToQStringKeepsEveryCharacter)
{
    const OLECHAR text[] = u"a\0\u20ac";
    const QString converted = toQString(BstrHolder(SysAllocStringLen(text, 3)));
    ASSERT_EQ(converted.size(), 3);
    EXPECT_EQ(converted.at(0).unicode(), 0x61);
    EXPECT_EQ(converted.at(1).unicode(), 0);
    EXPECT_EQ(converted.at(2).unicode(), 0x20AC);

    EXPECT_TRUE(toQString(BstrHolder()).isEmpty());
}

} // namespace
