#include "SimulatedObjects.h"

#include "SimulatedCall.h"

namespace {

using Target = simulator::ObjectTarget;
using Call = simulator::SimulatedCall;

BSTR allocateName(const QString &name)
{
    return SysAllocStringLen(reinterpret_cast<const OLECHAR *>(name.utf16()), UINT(name.size()));
}

// IUnknown and IDispatch for every object; IDispatch is not part of what the plug-in uses.
template<class Interface>
class SimulatedObject : public Interface
{
public:
    explicit SimulatedObject(const Target &target)
        : m_target(target)
    {
        SimulatorControl::instance().objectCreated();
    }
    virtual ~SimulatedObject() { SimulatorControl::instance().objectDestroyed(); }
    SimulatedObject(const SimulatedObject &) = delete;
    SimulatedObject &operator=(const SimulatedObject &) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualGUID(riid, IID_IUnknown) && !IsEqualGUID(riid, IID_IDispatch)
            && !isOwnInterface(riid))
            return E_NOINTERFACE;
        AddRef();
        *object = static_cast<Interface *>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        SimulatorControl::instance().referenceAdded(m_target);
        return ++m_references;
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        SimulatorControl &state = SimulatorControl::instance();
        state.referenceReleased(m_target);
        if (m_references.load() == 1)
            state.finalReleaseStarted(m_target);
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *) override
    {
        return notImplemented("GetTypeInfoCount");
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **) override
    {
        return notImplemented("GetTypeInfo");
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override
    {
        return notImplemented("GetIDsOfNames");
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *,
                                     EXCEPINFO *, UINT *) override
    {
        return notImplemented("Invoke");
    }

protected:
    virtual bool isOwnInterface(REFIID) const { return false; }
    // get_Name of a board or a light: the caller owns the BSTR.
    HRESULT nameCall(BSTR *name, bool (SimulatorControl::*read)(const Target &, QString *) const)
    {
        Call call(m_target, "get_Name");
        if (!name)
            return call.finish(E_POINTER);
        *name = nullptr;
        if (FAILED(call.injected()))
            return call.injected();
        QString text;
        if (!(SimulatorControl::instance().*read)(m_target, &text))
            return call.finish(E_FAIL);
        *name = allocateName(text);
        return call.finish(*name ? S_OK : E_OUTOFMEMORY);
    }
    HRESULT notImplemented(const char *method)
    {
        Call call(m_target, method);
        return call.finish(E_NOTIMPL);
    }

    const Target m_target;

private:
    std::atomic<ULONG> m_references { 1 };
};

class SimulatedLight final : public SimulatedObject<IGlintRgbLight>
{
public:
    using SimulatedObject::SimulatedObject;

    HRESULT STDMETHODCALLTYPE placeholder7() override { return notImplemented("method7"); }
    HRESULT STDMETHODCALLTYPE put_Red(BYTE value) override { return put("put_Red", 0, value); }
    HRESULT STDMETHODCALLTYPE placeholder9() override { return notImplemented("method9"); }
    HRESULT STDMETHODCALLTYPE put_Green(BYTE value) override { return put("put_Green", 1, value); }
    HRESULT STDMETHODCALLTYPE placeholder11() override { return notImplemented("method11"); }
    HRESULT STDMETHODCALLTYPE put_Blue(BYTE value) override { return put("put_Blue", 2, value); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) override
    {
        return nameCall(name, &SimulatorControl::lightName);
    }

private:
    HRESULT put(const char *method, int component, BYTE value)
    {
        Call call(m_target, method, Call::NoArgument, value);
        if (FAILED(call.injected()))
            return call.injected();
        const bool known = SimulatorControl::instance().putComponent(m_target, component, value);
        return call.finish(known ? S_OK : E_FAIL);
    }
};

class SimulatedLightCollection final : public SimulatedObject<IGlintRgbLightCollection>
{
public:
    using SimulatedObject::SimulatedObject;

    HRESULT STDMETHODCALLTYPE placeholder7() override { return notImplemented("method7"); }
    HRESULT STDMETHODCALLTYPE get_Count(int *count) override
    {
        Call call(m_target, "get_Count");
        if (!count)
            return call.finish(E_POINTER);
        *count = 0;
        if (FAILED(call.injected()))
            return call.injected();
        const bool known = SimulatorControl::instance().lightCount(m_target, count);
        return call.finish(known ? S_OK : E_FAIL);
    }
    HRESULT STDMETHODCALLTYPE get_Item(int index, IGlintRgbLight **light) override
    {
        Call call(m_target, "get_Item", index);
        if (!light)
            return call.finish(E_POINTER);
        *light = nullptr;
        if (FAILED(call.injected()))
            return call.injected();
        int count = 0;
        if (!SimulatorControl::instance().lightCount(m_target, &count))
            return call.finish(E_FAIL);
        if (index < 0 || index >= count)
            return call.finish(E_INVALIDARG);
        if (m_lights.size() <= std::size_t(index))
            m_lights.resize(std::size_t(index) + 1);
        ComPtr<IGlintRgbLight> &cached = m_lights[std::size_t(index)];
        if (!cached)
            cached = ComPtr<IGlintRgbLight>::adopt(
                new SimulatedLight(m_target.child(Target::Light, m_target.board, index)));
        cached->AddRef();
        *light = cached.get();
        return call.finish(S_OK);
    }

private:
    std::vector<ComPtr<IGlintRgbLight>> m_lights;
};

class SimulatedDevice final : public SimulatedObject<IGlintSyncDevice>
{
public:
    using SimulatedObject::SimulatedObject;

    HRESULT STDMETHODCALLTYPE get_Lights(IGlintRgbLightCollection **lights) override
    {
        Call call(m_target, "get_Lights");
        if (!lights)
            return call.finish(E_POINTER);
        *lights = nullptr;
        if (FAILED(call.injected()))
            return call.injected();
        if (!m_lights)
            m_lights = ComPtr<IGlintRgbLightCollection>::adopt(
                new SimulatedLightCollection(m_target.child(Target::Lights, m_target.board)));
        m_lights->AddRef();
        *lights = m_lights.get();
        return call.finish(S_OK);
    }
    HRESULT STDMETHODCALLTYPE placeholder8() override { return notImplemented("method8"); }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR *name) override
    {
        return nameCall(name, &SimulatorControl::boardName);
    }
    HRESULT STDMETHODCALLTYPE placeholder10() override { return notImplemented("method10"); }
    HRESULT STDMETHODCALLTYPE placeholder11() override { return notImplemented("method11"); }
    HRESULT STDMETHODCALLTYPE Apply() override
    {
        Call call(m_target, "Apply");
        if (FAILED(call.injected()))
            return call.injected();
        SimulatorControl &control = SimulatorControl::instance();
        // The delay stands for a slow bus: the colours show only once it is over.
        if (const int delay = control.applyDelay(m_target); delay > 0)
            simulator::sleepMilliseconds(delay);
        return call.finish(control.apply(m_target) ? S_OK : E_FAIL);
    }

private:
    ComPtr<IGlintRgbLightCollection> m_lights;
};

class SimulatedDeviceCollection final : public SimulatedObject<IGlintSyncDeviceCollection>
{
public:
    SimulatedDeviceCollection(const Target &target, std::vector<int> boards)
        : SimulatedObject(target)
        , m_boards(std::move(boards))
        , m_devices(m_boards.size())
    { }

    HRESULT STDMETHODCALLTYPE placeholder7() override { return notImplemented("method7"); }
    HRESULT STDMETHODCALLTYPE get_Count(int *count) override
    {
        Call call(m_target, "get_Count");
        if (!count)
            return call.finish(E_POINTER);
        *count = 0;
        if (FAILED(call.injected()))
            return call.injected();
        *count = SimulatorControl::instance().deviceCount(int(m_boards.size()));
        return call.finish(S_OK);
    }
    HRESULT STDMETHODCALLTYPE get_Item(int index, IGlintSyncDevice **device) override
    {
        Call call(m_target, "get_Item", index);
        if (!device)
            return call.finish(E_POINTER);
        *device = nullptr;
        if (FAILED(call.injected()))
            return call.injected();
        if (index < 0 || std::size_t(index) >= m_boards.size())
            return call.finish(E_INVALIDARG);
        ComPtr<IGlintSyncDevice> &cached = m_devices[std::size_t(index)];
        if (!cached)
            cached = ComPtr<IGlintSyncDevice>::adopt(
                new SimulatedDevice(m_target.child(Target::Board, m_boards[std::size_t(index)])));
        cached->AddRef();
        *device = cached.get();
        return call.finish(S_OK);
    }

private:
    const std::vector<int> m_boards; // the scenario places of the boards, in collection order
    std::vector<ComPtr<IGlintSyncDevice>> m_devices;
};

class SimulatedSdk final : public SimulatedObject<IGlintSdk2>
{
public:
    explicit SimulatedSdk(const Target &target)
        : SimulatedObject(target)
    {
        SimulatorControl::instance().sessionCreating();
    }
    ~SimulatedSdk() override { SimulatorControl::instance().sessionEnded(); }

    HRESULT STDMETHODCALLTYPE Enumerate(int deviceType,
                                        IGlintSyncDeviceCollection **devices) override
    {
        Call call(m_target, "Enumerate", Call::NoArgument, deviceType);
        if (!devices)
            return call.finish(E_POINTER);
        *devices = nullptr;
        if (FAILED(call.injected()))
            return call.injected();
        std::vector<int> boards =
            SimulatorControl::instance().boardsOfType(m_target.generation, deviceType);
        *devices =
            new SimulatedDeviceCollection(m_target.child(Target::Devices, -1), std::move(boards));
        return call.finish(S_OK);
    }
    HRESULT STDMETHODCALLTYPE StartControl() override
    {
        Call call(m_target, "StartControl");
        if (FAILED(call.injected()))
            return call.injected();
        SimulatorControl::instance().started();
        return call.finish(S_OK);
    }
    HRESULT STDMETHODCALLTYPE StopControl(int reserved) override
    {
        Call call(m_target, "StopControl", Call::NoArgument, reserved);
        if (FAILED(call.injected()))
            return call.injected();
        SimulatorControl::instance().stopped();
        return call.finish(S_OK);
    }

protected:
    bool isOwnInterface(REFIID riid) const override { return IsEqualGUID(riid, IID_IGlintSdk2); }
};

} // namespace

HRESULT createSimulatedSdk(IGlintSdk2 **sdk)
{
    *sdk = nullptr;
    Target target;
    target.kind = Target::Sdk;
    target.generation = SimulatorControl::instance().generation();
    target.service = SimulatorControl::instance().serviceEpoch();
    target.apartment = simulator::currentThreadId();
    // Creation is a call too: a fault can fail it ("class not registered", a failing server) or
    // make it block, as a vendor service that is still starting does.
    Call call(target, "create");
    if (FAILED(call.injected()))
        return call.injected();
    *sdk = new SimulatedSdk(target);
    return call.finish(S_OK);
}
