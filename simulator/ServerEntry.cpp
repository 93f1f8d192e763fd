// The in-process server's entry points: the class object for the SDK's CLSID, and whether the
// library may be unloaded.
#include "SimulatedObjects.h"

#include <atomic>

namespace {

std::atomic<int> g_serverLocks { 0 };

// A single static class object; its reference count does not govern its life.
class SdkClassFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        ++g_serverLocks;
        return 2;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        --g_serverLocks;
        return 1;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        ComPtr<IGlintSdk2> sdk;
        const HRESULT hr = createSimulatedSdk(sdk.receive());
        if (FAILED(hr))
            return hr;
        return sdk->QueryInterface(riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        g_serverLocks += lock ? 1 : -1;
        return S_OK;
    }
};

SdkClassFactory g_classFactory;

} // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(rclsid, CLSID_GlintSdk))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_classFactory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow()
{
    const bool idle = g_serverLocks.load() == 0 && SimulatorControl::instance().liveObjects() == 0;
    return idle ? S_OK : S_FALSE;
}
