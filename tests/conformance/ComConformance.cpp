// What the plug-in relies on from COM and OLE Automation strings, as result lines. Built twice:
// against the project's own COM layer on Linux and against ole32/oleaut32 for Windows (run under
// wine). Both runs must print the same lines; a difference means the project's layer is wrong.
// No Qt and no test framework, so that it builds where neither exists.
#include "platform/BstrHolder.h"
#include "platform/ComPtr.h"
#include "tests/platform/TestServer.h"

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

// A class nobody registers, and an interface nothing implements.
constexpr CLSID clsidNowhere = {
    0x3d2b5a11, 0x8c4e, 0x4f61, { 0x9a, 0x7b, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66 }
};
constexpr IID iidNothing = {
    0x3d2b5a12, 0x8c4e, 0x4f61, { 0x9a, 0x7b, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66 }
};

// The object's count, read through its own AddRef and Release (exact for the test server).
long long references(IUnknown *object)
{
    const ULONG count = object->AddRef() - 1;
    object->Release();
    return static_cast<long long>(count);
}

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

    // The test server's class, registered in this process as a host would register its own.
    DWORD cookie = 0;
    {
        ComPtr<IClassFactory> factory;
        line("DllGetClassObject of the test server",
             DllGetClassObject(CLSID_TestServer, IID_IClassFactory, factory.receiveVoid()));
        line("CoRegisterClassObject",
             CoRegisterClassObject(CLSID_TestServer, factory.get(), CLSCTX_INPROC_SERVER,
                                   REGCLS_MULTIPLEUSE, &cookie));
    }
    {
        ComPtr<IUnknown> created;
        line("CoCreateInstance of the registered class",
             CoCreateInstance(CLSID_TestServer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              created.receiveVoid()));
        line("  object returned", static_cast<long long>(created.get() != nullptr));
        line("  references", references(created.get()));
        {
            ComPtr<IUnknown> copy = created;
            line("  references with a copy", references(copy.get()));
            ComPtr<IUnknown> moved = std::move(copy);
            line("  references after a move", references(moved.get()));
        }
        line("  references after both went", references(created.get()));

        ComPtr<IUnknown> wrong;
        line("CoCreateInstance with an interface it lacks",
             CoCreateInstance(CLSID_TestServer, nullptr, CLSCTX_INPROC_SERVER, iidNothing,
                              wrong.receiveVoid()));
        line("  out pointer null", static_cast<long long>(wrong.get() == nullptr));
    }
    line("CoRevokeClassObject", CoRevokeClassObject(cookie));
    IUnknown *after = nullptr;
    line("CoCreateInstance after revoking",
         CoCreateInstance(CLSID_TestServer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                          reinterpret_cast<void **>(&after)));
    // The runtime let go of the factory, and every object went with its last owner.
    line("test server objects left", static_cast<long long>(TestServerLiveObjects()));
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
