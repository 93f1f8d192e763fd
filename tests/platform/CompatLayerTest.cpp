// What the project's COM layer gives beyond the COM conformance program, which holds its results
// to Windows: a BSTR's text as the plug-in reads it, and the count of COM initialisations not
// undone that every suite ends with.
#include "platform/BstrString.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

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
