// The SDK's method indices and identifiers are an ABI. Each slot of a real object's table, called
// by its number as the vendor's SDK numbers it, must reach the method the SDK has there; the
// substitute SDK's journal names the method that answered.
#include "SimulatorChecks.h"
#include "platform/ComPtr.h"
#include "glint/GlintSdkInterfaces.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

enum class Arguments { None, Int, Byte, Out, IntOut };

struct Slot
{
    int object; // 0 the SDK, 1 its device collection, 2 a device, 3 its lights, 4 a light
    int index;
    Arguments arguments;
    const char *method;
};

const Slot methodSlots[] = {
    { 0, 7, Arguments::IntOut, "Enumerate" }, { 0, 8, Arguments::None, "StartControl" },
    { 0, 9, Arguments::Int, "StopControl" },  { 1, 8, Arguments::Out, "get_Count" },
    { 1, 9, Arguments::IntOut, "get_Item" },  { 2, 7, Arguments::Out, "get_Lights" },
    { 2, 9, Arguments::Out, "get_Name" },     { 2, 12, Arguments::None, "Apply" },
    { 3, 8, Arguments::Out, "get_Count" },    { 3, 9, Arguments::IntOut, "get_Item" },
    { 4, 8, Arguments::Byte, "put_Red" },     { 4, 10, Arguments::Byte, "put_Green" },
    { 4, 12, Arguments::Byte, "put_Blue" },   { 4, 13, Arguments::Out, "get_Name" },
};

// Calls slot `index` of the object's table with arguments of the given kind; what an out argument
// receives is an object, a BSTR or a count, and is let go of as such.
void call(void *object, int index, Arguments arguments, const char *method)
{
    void **table = *static_cast<void ***>(object);
    void *out = nullptr;
    switch (arguments) {
    case Arguments::None:
        reinterpret_cast<HRESULT(STDMETHODCALLTYPE *)(void *)>(table[index])(object);
        break;
    case Arguments::Int:
        reinterpret_cast<HRESULT(STDMETHODCALLTYPE *)(void *, int)>(table[index])(object, 0);
        break;
    case Arguments::Byte:
        reinterpret_cast<HRESULT(STDMETHODCALLTYPE *)(void *, BYTE)>(table[index])(object, 7);
        break;
    case Arguments::Out:
        reinterpret_cast<HRESULT(STDMETHODCALLTYPE *)(void *, void **)>(table[index])(object, &out);
        break;
    case Arguments::IntOut:
        reinterpret_cast<HRESULT(STDMETHODCALLTYPE *)(void *, int, void **)>(table[index])(
            object, std::strcmp(method, "Enumerate") == 0 ? GlintMotherboardType : 0, &out);
        break;
    }
    if (!out || std::strcmp(method, "get_Count") == 0)
        return;
    if (std::strcmp(method, "get_Name") == 0)
        SysFreeString(static_cast<BSTR>(out));
    else
        static_cast<IUnknown *>(out)->Release();
}

} // namespace

TEST(SdkMethodTable, EachSlotReachesItsMethod)
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 2) });
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    {
        ComPtr<IGlintSdk2> sdk;
        ASSERT_EQ(CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                                   sdk.receiveVoid()),
                  S_OK);
        ComPtr<IGlintSyncDeviceCollection> devices;
        ComPtr<IGlintSyncDevice> device;
        ComPtr<IGlintRgbLightCollection> lights;
        ComPtr<IGlintRgbLight> light;
        ASSERT_EQ(sdk->Enumerate(GlintMotherboardType, devices.receive()), S_OK);
        ASSERT_EQ(devices->get_Item(0, device.receive()), S_OK);
        ASSERT_EQ(device->get_Lights(lights.receive()), S_OK);
        ASSERT_EQ(lights->get_Item(0, light.receive()), S_OK);
        void *const objects[] = { sdk.get(), devices.get(), device.get(), lights.get(),
                                  light.get() };
        SimulatorControl &control = SimulatorControl::instance();
        for (const Slot &slot : methodSlots) {
            control.clearJournal();
            call(objects[slot.object], slot.index, slot.arguments, slot.method);
            const QVector<CallRecord> journal = control.journal();
            ASSERT_FALSE(journal.isEmpty()) << "slot " << slot.index << " of " << slot.method;
            EXPECT_EQ(journal.back().method, QLatin1String(slot.method))
                << "slot " << slot.index << " of object " << slot.object;
        }
    }
    CoUninitialize();
    expectSdkAndComReleased();
}

TEST(SdkMethodTable, IdentifiersMatchTheRegisteredSdk)
{
    // Bytes as the registry text {05921124-5057-483E-A037-E9497B523590} spells them.
    const unsigned char clsid[16] = { 0x24, 0x11, 0x92, 0x05, 0x57, 0x50, 0x3E, 0x48,
                                      0xA0, 0x37, 0xE9, 0x49, 0x7B, 0x52, 0x35, 0x90 };
    EXPECT_EQ(0, std::memcmp(&CLSID_GlintSdk, clsid, 16));
    const unsigned char iid[16] = { 0xAE, 0xDB, 0x69, 0xEE, 0xFF, 0x33, 0x45, 0x4E,
                                    0xB3, 0x78, 0x01, 0x79, 0x7A, 0x59, 0x85, 0x2D };
    EXPECT_EQ(0, std::memcmp(&IID_IGlintSdk2, iid, 16));
}
