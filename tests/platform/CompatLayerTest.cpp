// What the project's COM layer gives beyond the COM conformance program, which holds its results
// to Windows: BSTR with the memory layout of oleaut32 and its text as the plug-in reads it, and the
// count of COM initialisations not undone that every suite ends with.
#include "platform/BstrString.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

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

// The suites' last check counts on this: an initialisation that a thread never undid stays
// counted after the thread has gone, and a surplus CoUninitialize undoes nothing.
TEST(CompatApartments, InitialisationsNotUndoneAreCounted)
{
    const int before = CompatOutstandingApartmentInits();
    std::thread([] { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }).join();
    EXPECT_EQ(CompatOutstandingApartmentInits(), before + 1);
    std::thread([] { CoUninitialize(); }).join();
    EXPECT_EQ(CompatOutstandingApartmentInits(), before + 1);
}

} // namespace
