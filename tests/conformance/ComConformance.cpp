// What the plug-in relies on from COM and OLE Automation strings, as result lines. Built twice:
// against the project's own COM layer on Linux and against ole32/oleaut32 for Windows (run under
// wine). Both runs must print the same lines; a difference means the project's layer is wrong.
// No Qt and no test framework, so that it builds where neither exists.
#include "platform/BstrHolder.h"
#include "platform/ComPtr.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <thread>

#ifdef _WIN32
#define TEXT16(text) L##text
#else
#define TEXT16(text) u##text
#endif

namespace {

void line(const char *check, HRESULT hr)
{
    std::printf("%s: 0x%08X\n", check, static_cast<unsigned>(hr));
}

void line(const char *check, long long value)
{
    std::printf("%s: %lld\n", check, value);
}

// A made-up class, registered in this process only.
constexpr CLSID clsidWidget = {
    0x3d2b5a10, 0x8c4e, 0x4f61, { 0x9a, 0x7b, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66 }
};
constexpr CLSID clsidNowhere = {
    0x3d2b5a11, 0x8c4e, 0x4f61, { 0x9a, 0x7b, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66 }
};
constexpr IID iidNothing = {
    0x3d2b5a12, 0x8c4e, 0x4f61, { 0x9a, 0x7b, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66 }
};

std::atomic<int> g_liveWidgets { 0 };

class Widget final : public IUnknown
{
public:
    Widget() { ++g_liveWidgets; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown))
            return E_NOINTERFACE;
        *object = static_cast<IUnknown *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            --g_liveWidgets;
            delete this;
        }
        return left;
    }
    ULONG references() const { return m_references; }

private:
    std::atomic<ULONG> m_references { 1 };
};

class WidgetFactory final : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *object = static_cast<IClassFactory *>(this);
        AddRef();
        return S_OK;
    }
    // Lives on the stack of main(); the runtime's references are counted but own nothing.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_references; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID riid, void **object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto *widget = new Widget; // owned by its reference count from here on
        const HRESULT hr = widget->QueryInterface(riid, object);
        widget->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    ULONG references() const { return m_references; }

private:
    std::atomic<ULONG> m_references { 0 };
};

void apartments()
{
    line("CoInitializeEx apartment-threaded, first",
         CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    line("CoInitializeEx apartment-threaded, again",
         CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    line("CoInitializeEx multithreaded on that thread",
         CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
    CoUninitialize();
    // Balanced: the failed call took nothing, so the thread may now choose the other model.
    line("CoInitializeEx multithreaded after balancing",
         CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();
    HRESULT elsewhere = S_OK;
    std::thread other([&] {
        line("CoInitializeEx multithreaded, other thread",
             CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        CoUninitialize();
        IUnknown *object = nullptr;
        elsewhere = CoCreateInstance(clsidNowhere, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void **>(&object));
    });
    other.join();
    line("CoCreateInstance on a thread without COM", elsewhere);
}

void strings()
{
    const OLECHAR withNul[] = TEXT16("ab\0cd");
    BSTR text = SysAllocStringLen(withNul, 5);
    line("SysStringLen over an embedded NUL", static_cast<long long>(SysStringLen(text)));
    line("character after the embedded NUL", static_cast<long long>(text[3]));
    line("terminator after the length", static_cast<long long>(text[5]));
    SysFreeString(text);
    BSTR empty = SysAllocString(TEXT16(""));
    line("empty BSTR is a string", static_cast<long long>(empty != nullptr));
    line("SysStringLen of the empty BSTR", static_cast<long long>(SysStringLen(empty)));
    SysFreeString(empty);
    line("SysStringLen of the null BSTR", static_cast<long long>(SysStringLen(nullptr)));
    SysFreeString(nullptr);
    line("SysFreeString of null returns", 1LL);
    BSTR name = SysAllocString(TEXT16("Mainboard_Master"));
    line("SysStringLen of \"Mainboard_Master\"", static_cast<long long>(SysStringLen(name)));
    SysFreeString(name);

    BstrHolder holder;
    line("holder starts null", static_cast<long long>(holder.get() == nullptr));
    *holder.receive() = SysAllocString(TEXT16("first"));
    *holder.receive() = SysAllocString(TEXT16("second one")); // the first is freed
    line("holder length after a second receive", static_cast<long long>(holder.length()));
    holder.reset();
    line("holder length after reset", static_cast<long long>(holder.length()));
}

void activation()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IUnknown *object = reinterpret_cast<IUnknown *>(std::uintptr_t(1));
    line("CoCreateInstance of an unregistered class",
         CoCreateInstance(clsidNowhere, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void **>(&object)));
    line("  out pointer cleared", static_cast<long long>(object == nullptr));

    WidgetFactory factory;
    DWORD cookie = 0;
    line("CoRegisterClassObject",
         CoRegisterClassObject(clsidWidget, &factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                               &cookie));
    {
        ComPtr<IUnknown> widget;
        line("CoCreateInstance of the registered class",
             CoCreateInstance(clsidWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              widget.receiveVoid()));
        line("  object returned", static_cast<long long>(widget.get() != nullptr));
        line("  live objects", static_cast<long long>(g_liveWidgets.load()));
        {
            ComPtr<IUnknown> copy = widget;
            line("  references with a copy",
                 static_cast<long long>(static_cast<Widget *>(copy.get())->references()));
            ComPtr<IUnknown> moved = std::move(copy);
            line("  references after a move",
                 static_cast<long long>(static_cast<Widget *>(moved.get())->references()));
        }
        line("  references after both went",
             static_cast<long long>(static_cast<Widget *>(widget.get())->references()));

        ComPtr<IUnknown> wrong;
        line("CoCreateInstance with an interface it lacks",
             CoCreateInstance(clsidWidget, nullptr, CLSCTX_INPROC_SERVER, iidNothing,
                              wrong.receiveVoid()));
        line("  out pointer null", static_cast<long long>(wrong.get() == nullptr));
    }
    line("live objects after the owners went", static_cast<long long>(g_liveWidgets.load()));
    line("CoRevokeClassObject", CoRevokeClassObject(cookie));
    IUnknown *after = nullptr;
    line("CoCreateInstance after revoking",
         CoCreateInstance(clsidWidget, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void **>(&after)));
    line("factory references held by the runtime", static_cast<long long>(factory.references()));
    CoUninitialize();
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    apartments();
    strings();
    activation();
    return 0;
}
