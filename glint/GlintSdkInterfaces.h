// The vendor lighting SDK as this plug-in uses it: five dispatch interfaces whose method-table
// indices are fixed by the SDK. Slots the plug-in never calls are declared as placeholders only to
// keep every used method at its index; nobody calls them.
#pragma once

#include "platform/Com.h"

struct IGlintRgbLight;
struct IGlintRgbLightCollection;
struct IGlintSyncDevice;
struct IGlintSyncDeviceCollection;

// {05921124-5057-483E-A037-E9497B523590}
constexpr CLSID CLSID_GlintSdk = {
    0x05921124, 0x5057, 0x483E, { 0xA0, 0x37, 0xE9, 0x49, 0x7B, 0x52, 0x35, 0x90 }
};
// {EE69DBAE-33FF-4E45-B378-01797A59852D}
constexpr IID IID_IGlintSdk2 = {
    0xEE69DBAE, 0x33FF, 0x4E45, { 0xB3, 0x78, 0x01, 0x79, 0x7A, 0x59, 0x85, 0x2D }
};

// The SDK's device type code for motherboards, the only type the plug-in enumerates.
constexpr int GlintMotherboardType = 0x10000;

struct IGlintRgbLight : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE placeholder7() = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Red(BYTE value) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE placeholder9() = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Green(BYTE value) = 0; // 10
    virtual HRESULT STDMETHODCALLTYPE placeholder11() = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Blue(BYTE value) = 0; // 12
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) = 0; // 13
};

struct IGlintRgbLightCollection : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE placeholder7() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int *count) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE get_Item(int index, IGlintRgbLight **light) = 0; // 9
};

struct IGlintSyncDevice : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE get_Lights(IGlintRgbLightCollection **lights) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE placeholder8() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE placeholder10() = 0;
    virtual HRESULT STDMETHODCALLTYPE placeholder11() = 0;
    virtual HRESULT STDMETHODCALLTYPE Apply() = 0; // 12
};

struct IGlintSyncDeviceCollection : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE placeholder7() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Count(int *count) = 0; // 8
    virtual HRESULT STDMETHODCALLTYPE get_Item(int index, IGlintSyncDevice **device) = 0; // 9
};

struct IGlintSdk2 : public IDispatch
{
    virtual HRESULT STDMETHODCALLTYPE Enumerate(int deviceType,
                                                IGlintSyncDeviceCollection **devices) = 0; // 7
    virtual HRESULT STDMETHODCALLTYPE StartControl() = 0; // 8, the start call
    virtual HRESULT STDMETHODCALLTYPE StopControl(int reserved) = 0; // 9, the stop call, always 0
};
