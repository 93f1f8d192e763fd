// What the plug-in relies on from COM and OLE Automation strings, as result lines, each held to
// what Windows gives. Built twice: against the project's own COM layer on Linux (a test of every
// Linux build, the sanitizer and 32-bit ones included) and against ole32/oleaut32 for Windows
// (run under wine); both runs must also print the same lines.
// No Qt and no test framework, so that it builds where neither exists.
#include "TestServer.h"
#include "platform/BstrHolder.h"
#include "platform/ComPtr.h"

#include <cstdint>
#include <cstdio>
#include <thread>

#ifdef _WIN32
#define TEXT16(text) L##text
#else
#define TEXT16(text) u##text
#endif

namespace {

int g_failures = 0;

// One result line. The expected value is what ole32/oleaut32 give (scripts/wine-checks holds this
// program's lines against wine's): a difference here is the project's layer going wrong.
void check(const char *name, HRESULT hr, HRESULT expected)
{
    std::printf("%s: 0x%08X\n", name, static_cast<unsigned>(hr));
    if (hr != expected) {
        std::fprintf(stderr, "  expected 0x%08X\n", static_cast<unsigned>(expected));
        ++g_failures;
    }
}

void check(const char *name, long long value, long long expected)
{
    std::printf("%s: %lld\n", name, value);
    if (value != expected) {
        std::fprintf(stderr, "  expected %lld\n", expected);
        ++g_failures;
    }
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
    check("CoInitializeEx apartment-threaded, first",
          CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    check("CoInitializeEx apartment-threaded, again",
          CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    check("CoInitializeEx multithreaded on that thread",
          CoInitializeEx(nullptr, COINIT_MULTITHREADED), static_cast<HRESULT>(0x80010106u));
    CoUninitialize();
    CoUninitialize();
    // Balanced: the failed call took nothing, so the thread may now choose the other model.
    check("CoInitializeEx multithreaded after balancing",
          CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
    HRESULT elsewhere = S_OK;
    std::thread other([&] {
        check("CoInitializeEx multithreaded, other thread",
              CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
        IUnknown *object = nullptr;
        elsewhere = CoCreateInstance(clsidNowhere, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                     reinterpret_cast<void **>(&object));
    });
    other.join();
    check("CoCreateInstance on a thread without COM", elsewhere, static_cast<HRESULT>(0x800401F0u));
}

// The byte count in front of a BSTR's characters.
long long prefixOf(BSTR text)
{
    return reinterpret_cast<const std::uint32_t *>(text)[-1];
}

void strings()
{
    const OLECHAR withNul[] = TEXT16("ab\0cd");
    BSTR text = SysAllocStringLen(withNul, 5);
    check("SysStringLen over an embedded NUL", static_cast<long long>(SysStringLen(text)), 5LL);
    check("character after the embedded NUL", static_cast<long long>(text[3]), 99LL);
    check("terminator after the length", static_cast<long long>(text[5]), 0LL);
    check("length prefix in bytes", prefixOf(text), 10LL);
    SysFreeString(text);
    text = SysAllocString(withNul);
    check("SysAllocString stops at the first NUL", static_cast<long long>(SysStringLen(text)), 2LL);
    check("its length prefix", prefixOf(text), 4LL);
    SysFreeString(text);
    BSTR empty = SysAllocString(TEXT16(""));
    check("empty BSTR is a string", static_cast<long long>(empty != nullptr), 1LL);
    check("SysStringLen of the empty BSTR", static_cast<long long>(SysStringLen(empty)), 0LL);
    check("its terminator", static_cast<long long>(empty[0]), 0LL);
    SysFreeString(empty);
    check("SysAllocString of null", static_cast<long long>(SysAllocString(nullptr) != nullptr),
          0LL);
    check("SysStringLen of the null BSTR", static_cast<long long>(SysStringLen(nullptr)), 0LL);
    SysFreeString(nullptr); // must simply return
    BSTR name = SysAllocString(TEXT16("Mainboard_Master"));
    check("SysStringLen of \"Mainboard_Master\"", static_cast<long long>(SysStringLen(name)), 16LL);
    SysFreeString(name);

    BstrHolder holder;
    check("holder starts null", static_cast<long long>(holder.get() == nullptr), 1LL);
    *holder.receive() = SysAllocString(TEXT16("first"));
    *holder.receive() = SysAllocString(TEXT16("second one")); // the first is freed
    check("holder length after a second receive", static_cast<long long>(holder.length()), 10LL);
    holder.reset();
    check("holder length after reset", static_cast<long long>(holder.length()), 0LL);
}

// A creation that must fail: its result, and its out pointer (set beforehand) cleared.
void failedCreation(const char *name, REFCLSID clsid, REFIID iid, HRESULT expected)
{
    IUnknown *object = reinterpret_cast<IUnknown *>(std::uintptr_t(1));
    check(name,
          CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid,
                           reinterpret_cast<void **>(&object)),
          expected);
    check("  out pointer cleared", static_cast<long long>(object == nullptr), 1LL);
}

void activation()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    failedCreation("CoCreateInstance of an unregistered class", clsidNowhere, IID_IUnknown,
                   static_cast<HRESULT>(0x80040154u));

    // The test server's class, registered in this process as a host would register its own.
    DWORD cookie = 0;
    {
        ComPtr<IClassFactory> factory;
        check("DllGetClassObject of the test server",
              DllGetClassObject(CLSID_TestServer, IID_IClassFactory, factory.receiveVoid()), S_OK);
        check("CoRegisterClassObject",
              CoRegisterClassObject(CLSID_TestServer, factory.get(), CLSCTX_INPROC_SERVER,
                                    REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    }
    {
        ComPtr<IUnknown> created;
        check("CoCreateInstance of the registered class",
              CoCreateInstance(CLSID_TestServer, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                               created.receiveVoid()),
              S_OK);
        check("  object returned", static_cast<long long>(created.get() != nullptr), 1LL);
        check("  references", references(created.get()), 1LL);
        {
            ComPtr<IUnknown> copy = created;
            check("  references with a copy", references(copy.get()), 2LL);
            ComPtr<IUnknown> moved = std::move(copy);
            check("  references after a move", references(moved.get()), 2LL);
        }
        check("  references after both went", references(created.get()), 1LL);

        failedCreation("CoCreateInstance with an interface it lacks", CLSID_TestServer, iidNothing,
                       static_cast<HRESULT>(0x80004002u));
    }
    check("CoRevokeClassObject", CoRevokeClassObject(cookie), S_OK);
    failedCreation("CoCreateInstance after revoking", CLSID_TestServer, IID_IUnknown,
                   static_cast<HRESULT>(0x80040154u));
    // The runtime let go of the factory, and every object went with its last owner.
    check("test server objects left", static_cast<long long>(TestServerLiveObjects()), 0LL);
    CoUninitialize();
}

} // namespace

int main()
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    apartments();
    strings();
    activation();
    return g_failures == 0 ? 0 : 1;
}
