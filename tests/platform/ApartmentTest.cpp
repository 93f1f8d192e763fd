// Apartments as ole32 counts them: per thread, with one mode fixed until the last CoUninitialize.
#include "platform/Com.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

// {6B29FC40-CA47-1067-B31D-00DD010662DA}: any class will do, activation must fail before lookup.
constexpr CLSID CLSID_Any = {
    0x6B29FC40, 0xCA47, 0x1067, { 0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA }
};

TEST(Apartment, CountedPerThreadWithOneMode)
{
    const int baseline = CompatOutstandingApartmentInits();
    ASSERT_EQ(CompatApartmentInitCount(), 0);

    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // Further calls in the same mode only count; the extra flag does not change the mode.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE), S_FALSE);
    // The other mode is refused and not counted.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CompatApartmentInitCount(), 2);
    EXPECT_EQ(CompatOutstandingApartmentInits(), baseline + 2);

    // A new thread starts without COM and picks its own mode.
    int countThere = -1;
    int outstandingThere = -1;
    HRESULT createThere = S_OK;
    HRESULT initThere = E_FAIL;
    void *objectThere = &countThere;
    std::thread([&] {
        countThere = CompatApartmentInitCount();
        createThere =
            CoCreateInstance(CLSID_Any, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &objectThere);
        initThere = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        outstandingThere = CompatOutstandingApartmentInits();
        CoUninitialize();
    }).join();
    EXPECT_EQ(countThere, 0);
    EXPECT_EQ(createThere, CO_E_NOTINITIALIZED);
    EXPECT_EQ(objectThere, nullptr);
    EXPECT_EQ(initThere, S_OK);
    EXPECT_EQ(outstandingThere, baseline + 3);
    EXPECT_EQ(CompatApartmentInitCount(), 2);
    EXPECT_EQ(CompatOutstandingApartmentInits(), baseline + 2);

    CoUninitialize();
    EXPECT_EQ(CompatApartmentInitCount(), 1);
    CoUninitialize();
    EXPECT_EQ(CompatApartmentInitCount(), 0);
    // One CoUninitialize too many is ignored rather than counted below zero.
    CoUninitialize();
    EXPECT_EQ(CompatApartmentInitCount(), 0);
    EXPECT_EQ(CompatOutstandingApartmentInits(), baseline);

    // Once balanced, the thread may choose the other mode.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    EXPECT_EQ(CompatOutstandingApartmentInits(), baseline);
}

TEST(Apartment, InitsLeftByEndedThreadsStayOutstanding)
{
    // What a health check uses to find a worker thread that ended without CoUninitialize.
    const int baseline = CompatOutstandingApartmentInits();
    std::thread([] { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }).join();
    EXPECT_EQ(CompatOutstandingApartmentInits(), baseline + 1);
    EXPECT_EQ(CompatApartmentInitCount(), 0);
}

} // namespace
