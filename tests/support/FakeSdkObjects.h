// Minimal SDK objects that count their references and record the last method called, for tests
// that must not depend on the substitute SDK.
#pragma once

#include "sdk/GlintSdkInterfaces.h"

#include <string>

template<class Interface>
class FakeObject : public Interface
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void **object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override
    {
        return record("GetTypeInfoCount");
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override
    {
        return record("GetTypeInfo");
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return record("GetIDsOfNames");
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *,
                                     EXCEPINFO *, UINT *) override
    {
        return record("Invoke");
    }

    // Stack objects: the test owns them, so the count only shows what holders did.
    ULONG references = 1;
    std::string lastCall;
    int lastArgument = -1;

protected:
    HRESULT record(const char *name, int argument = -1)
    {
        lastCall = name;
        lastArgument = argument;
        return S_OK;
    }
};

class FakeLight : public FakeObject<IGlintRgbLight>
{
public:
    HRESULT STDMETHODCALLTYPE placeholder7() override { return record("placeholder7"); }
    HRESULT STDMETHODCALLTYPE put_Red(BYTE v) override { return record("put_Red", v); }
    HRESULT STDMETHODCALLTYPE placeholder9() override { return record("placeholder9"); }
    HRESULT STDMETHODCALLTYPE put_Green(BYTE v) override { return record("put_Green", v); }
    HRESULT STDMETHODCALLTYPE placeholder11() override { return record("placeholder11"); }
    HRESULT STDMETHODCALLTYPE put_Blue(BYTE v) override { return record("put_Blue", v); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *) override { return record("get_Name"); }
};

class FakeLightCollection : public FakeObject<IGlintRgbLightCollection>
{
public:
    HRESULT STDMETHODCALLTYPE placeholder7() override { return record("placeholder7"); }
    HRESULT STDMETHODCALLTYPE get_Count(int *) override { return record("get_Count"); }
    HRESULT STDMETHODCALLTYPE get_Item(int i, IGlintRgbLight **) override
    {
        return record("get_Item", i);
    }
};

class FakeDevice : public FakeObject<IGlintSyncDevice>
{
public:
    HRESULT STDMETHODCALLTYPE get_Lights(IGlintRgbLightCollection **) override
    {
        return record("get_Lights");
    }
    HRESULT STDMETHODCALLTYPE placeholder8() override { return record("placeholder8"); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *) override { return record("get_Name"); }
    HRESULT STDMETHODCALLTYPE placeholder10() override { return record("placeholder10"); }
    HRESULT STDMETHODCALLTYPE placeholder11() override { return record("placeholder11"); }
    HRESULT STDMETHODCALLTYPE Apply() override { return record("Apply"); }
};

class FakeDeviceCollection : public FakeObject<IGlintSyncDeviceCollection>
{
public:
    HRESULT STDMETHODCALLTYPE placeholder7() override { return record("placeholder7"); }
    HRESULT STDMETHODCALLTYPE get_Count(int *) override { return record("get_Count"); }
    HRESULT STDMETHODCALLTYPE get_Item(int i, IGlintSyncDevice **) override
    {
        return record("get_Item", i);
    }
};

class FakeSdk : public FakeObject<IGlintSdk2>
{
public:
    HRESULT STDMETHODCALLTYPE Enumerate(int type, IGlintSyncDeviceCollection **) override
    {
        return record("Enumerate", type);
    }
    HRESULT STDMETHODCALLTYPE StartControl() override { return record("StartControl"); }
    HRESULT STDMETHODCALLTYPE StopControl(int v) override { return record("StopControl", v); }
};
