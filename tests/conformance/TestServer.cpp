#include "TestServer.h"

#include <atomic>

namespace {

std::atomic<int> g_live { 0 };

// Reference counting shared by the factory and the objects; deletes itself on the last release.
template<class Interface>
class Counted : public Interface
{
public:
    Counted() { ++g_live; }
    virtual ~Counted() { --g_live; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid != IID_IUnknown && riid != ownIid()) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<Interface *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual const IID &ownIid() const { return IID_IUnknown; }

private:
    std::atomic<ULONG> m_references { 1 };
};

class Object final : public Counted<IUnknown>
{
};

class Factory final : public Counted<IClassFactory>
{
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto *object = new Object;
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

protected:
    const IID &ownIid() const override { return IID_IClassFactory; }
};

} // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID *ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_TestServer)
        return CLASS_E_CLASSNOTAVAILABLE;
    auto *factory = new Factory;
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

STDAPI_(int) TestServerLiveObjects()
{
    return g_live.load();
}
