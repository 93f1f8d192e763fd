// The SDK's method indices are an ABI: call each slot of an object's actual table by number and
// check which method answered.
#include "../support/FakeSdkObjects.h"

#include <gtest/gtest.h>

namespace {

using NoArgument = HRESULT(STDMETHODCALLTYPE *)(void *);
using IntArgument = HRESULT(STDMETHODCALLTYPE *)(void *, int);
using ByteArgument = HRESULT(STDMETHODCALLTYPE *)(void *, BYTE);
using PointerArgument = HRESULT(STDMETHODCALLTYPE *)(void *, void *);
using IntPointerArgument = HRESULT(STDMETHODCALLTYPE *)(void *, int, void *);

template<class Function>
Function slot(void *object, int index)
{
    void **table = *static_cast<void ***>(object);
    return reinterpret_cast<Function>(table[index]);
}

} // namespace

TEST(SdkMethodTable, LightSlotsReachTheColourAndNameMethods)
{
    FakeLight light;
    IGlintRgbLight *object = &light;
    slot<ByteArgument>(object, 8)(object, 11);
    EXPECT_EQ(light.lastCall, "put_Red");
    EXPECT_EQ(light.lastArgument, 11);
    slot<ByteArgument>(object, 10)(object, 22);
    EXPECT_EQ(light.lastCall, "put_Green");
    EXPECT_EQ(light.lastArgument, 22);
    slot<ByteArgument>(object, 12)(object, 33);
    EXPECT_EQ(light.lastCall, "put_Blue");
    EXPECT_EQ(light.lastArgument, 33);
    BSTR name = nullptr;
    slot<PointerArgument>(object, 13)(object, &name);
    EXPECT_EQ(light.lastCall, "get_Name");
}

TEST(SdkMethodTable, CollectionSlotsReachCountAndItem)
{
    FakeLightCollection lights;
    IGlintRgbLightCollection *lightObject = &lights;
    int count = 0;
    slot<PointerArgument>(lightObject, 8)(lightObject, &count);
    EXPECT_EQ(lights.lastCall, "get_Count");
    slot<IntPointerArgument>(lightObject, 9)(lightObject, 5, nullptr);
    EXPECT_EQ(lights.lastCall, "get_Item");
    EXPECT_EQ(lights.lastArgument, 5);

    FakeDeviceCollection devices;
    IGlintSyncDeviceCollection *deviceObject = &devices;
    slot<PointerArgument>(deviceObject, 8)(deviceObject, &count);
    EXPECT_EQ(devices.lastCall, "get_Count");
    slot<IntPointerArgument>(deviceObject, 9)(deviceObject, 2, nullptr);
    EXPECT_EQ(devices.lastCall, "get_Item");
    EXPECT_EQ(devices.lastArgument, 2);
}

TEST(SdkMethodTable, DeviceSlotsReachLightsNameAndApply)
{
    FakeDevice device;
    IGlintSyncDevice *object = &device;
    slot<PointerArgument>(object, 7)(object, nullptr);
    EXPECT_EQ(device.lastCall, "get_Lights");
    slot<PointerArgument>(object, 9)(object, nullptr);
    EXPECT_EQ(device.lastCall, "get_Name");
    slot<NoArgument>(object, 12)(object);
    EXPECT_EQ(device.lastCall, "Apply");
}

TEST(SdkMethodTable, SdkSlotsReachEnumerateStartAndStop)
{
    FakeSdk sdk;
    IGlintSdk2 *object = &sdk;
    slot<IntPointerArgument>(object, 7)(object, 0x10000, nullptr);
    EXPECT_EQ(sdk.lastCall, "Enumerate");
    EXPECT_EQ(sdk.lastArgument, 0x10000);
    slot<NoArgument>(object, 8)(object);
    EXPECT_EQ(sdk.lastCall, "StartControl");
    slot<IntArgument>(object, 9)(object, 0);
    EXPECT_EQ(sdk.lastCall, "StopControl");
    EXPECT_EQ(sdk.lastArgument, 0);
}

TEST(SdkMethodTable, IdentifiersMatchTheRegisteredSdk)
{
    // Bytes as the registry text {05921124-5057-483E-A037-E9497B523590} spells them.
    const unsigned char clsid[16] = {0x24, 0x11, 0x92, 0x05, 0x57, 0x50, 0x3E, 0x48,
                                     0xA0, 0x37, 0xE9, 0x49, 0x7B, 0x52, 0x35, 0x90};
    EXPECT_EQ(0, memcmp(&CLSID_GlintSdk, clsid, 16));
    const unsigned char iid[16] = {0xAE, 0xDB, 0x69, 0xEE, 0xFF, 0x33, 0x45, 0x4E,
                                   0xB3, 0x78, 0x01, 0x79, 0x7A, 0x59, 0x85, 0x2D};
    EXPECT_EQ(0, memcmp(&IID_IGlintSdk2, iid, 16));
}
