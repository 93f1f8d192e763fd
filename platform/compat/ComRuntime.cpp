// Apartments and in-process activation with ole32's observable behaviour.
#include "ComApi.h"

#include <dlfcn.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr HRESULT CO_E_OBJNOTREG = static_cast<HRESULT>(0x800401FBu);

struct Apartment
{
    int initCount = 0;
    bool singleThreaded = false;
};

thread_local Apartment t_apartment;
std::atomic<int> g_outstandingInits { 0 };

struct Registration
{
    DWORD cookie;
    CLSID clsid;
    IUnknown *classObject;
};

// Process-wide activation state. Loaded server libraries stay loaded for the life of the
// process, as ole32 keeps them until the last apartment closes. Never destroyed: as with ole32's,
// it lasts until the process is gone, and a thread that creates an object while the process exits
// (on Linux other threads run on through the static destructors) must still find it.
struct Activation
{
    std::mutex mutex;
    std::vector<Registration> registrations;
    DWORD nextCookie = 1;
    std::map<std::string, void *> loadedServers;
};

Activation &activation()
{
    static Activation *const instance = new Activation;
    return *instance;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in any letter case.
bool parseClsid(const std::string &text, CLSID *out)
{
    static const char pattern[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
    if (text.size() != sizeof(pattern) - 1)
        return false;
    std::uint8_t bytes[16] = {};
    int nibble = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (pattern[i] != 'X') {
            if (text[i] != pattern[i])
                return false;
            continue;
        }
        const int value = hexValue(text[i]);
        if (value < 0)
            return false;
        bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] << 4 | value);
        ++nibble;
    }
    out->Data1 = std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16
        | std::uint32_t(bytes[2]) << 8 | bytes[3];
    out->Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    out->Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        out->Data4[i] = bytes[8 + i];
    return true;
}

std::string trimmed(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Finds the server library registered for a CLSID in the registry file; empty when none.
std::string registeredServerPath(REFCLSID clsid)
{
    const char *fileName = std::getenv("COMPAT_INPROC_SERVERS");
    if (!fileName || !*fileName)
        return {};
    std::ifstream file(fileName);
    if (!file) {
        std::fprintf(stderr, "compat COM: cannot read the registry file %s\n", fileName);
        return {};
    }
    std::string line;
    int lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        const auto comment = line.find('#');
        if (comment != std::string::npos)
            line.erase(comment);
        line = trimmed(line);
        if (line.empty())
            continue;
        const auto gap = line.find_first_of(" \t");
        CLSID lineClsid {};
        const std::string path =
            gap == std::string::npos ? std::string() : trimmed(line.substr(gap));
        if (gap == std::string::npos || !parseClsid(line.substr(0, gap), &lineClsid) || path.empty()
            || path.front() != '/') {
            std::fprintf(stderr, "compat COM: %s:%d: expected \"{CLSID} /absolute/path\"\n",
                         fileName, lineNumber);
            continue;
        }
        if (IsEqualGUID(lineClsid, clsid))
            return path;
    }
    return {};
}

DllGetClassObjectFunction loadServer(const std::string &path)
{
    Activation &state = activation();
    std::lock_guard<std::mutex> lock(state.mutex);
    void *&handle = state.loadedServers[path];
    if (!handle) {
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            std::fprintf(stderr, "compat COM: cannot load %s: %s\n", path.c_str(), dlerror());
            state.loadedServers.erase(path);
            return nullptr;
        }
    }
    auto entry = reinterpret_cast<DllGetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
    if (!entry)
        std::fprintf(stderr, "compat COM: %s exports no DllGetClassObject\n", path.c_str());
    return entry;
}

// Returns the registered class object with one reference for the caller, or null.
IUnknown *registeredClassObject(REFCLSID clsid)
{
    Activation &state = activation();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (const Registration &registration : state.registrations) {
        if (IsEqualGUID(registration.clsid, clsid)) {
            registration.classObject->AddRef();
            return registration.classObject;
        }
    }
    return nullptr;
}

} // namespace

STDAPI CoInitializeEx(LPVOID /*pvReserved*/, DWORD dwCoInit)
{
    const bool singleThreaded = (dwCoInit & COINIT_APARTMENTTHREADED) != 0;
    Apartment &apartment = t_apartment;
    if (apartment.initCount > 0 && apartment.singleThreaded != singleThreaded)
        return RPC_E_CHANGED_MODE;
    apartment.singleThreaded = singleThreaded;
    ++g_outstandingInits;
    return apartment.initCount++ == 0 ? S_OK : S_FALSE;
}

STDAPI_(void) CoUninitialize()
{
    Apartment &apartment = t_apartment;
    if (apartment.initCount == 0)
        return;
    --apartment.initCount;
    --g_outstandingInits;
}

STDAPI CoRegisterClassObject(REFCLSID rclsid, IUnknown *pUnk, DWORD /*dwClsContext*/,
                             DWORD /*flags*/, DWORD *lpdwRegister)
{
    if (!lpdwRegister || !pUnk)
        return E_INVALIDARG;
    *lpdwRegister = 0;
    if (t_apartment.initCount == 0)
        return CO_E_NOTINITIALIZED;
    Activation &state = activation();
    std::lock_guard<std::mutex> lock(state.mutex);
    pUnk->AddRef();
    const DWORD cookie = state.nextCookie++;
    state.registrations.push_back({ cookie, rclsid, pUnk });
    *lpdwRegister = cookie;
    return S_OK;
}

STDAPI CoRevokeClassObject(DWORD dwRegister)
{
    IUnknown *classObject = nullptr;
    {
        Activation &state = activation();
        std::lock_guard<std::mutex> lock(state.mutex);
        for (auto it = state.registrations.begin(); it != state.registrations.end(); ++it) {
            if (it->cookie == dwRegister) {
                classObject = it->classObject;
                state.registrations.erase(it);
                break;
            }
        }
    }
    if (!classObject)
        return CO_E_OBJNOTREG;
    // Released outside the lock: the object may call back into COM while it goes away.
    classObject->Release();
    return S_OK;
}

STDAPI CoCreateInstance(REFCLSID rclsid, IUnknown *pUnkOuter, DWORD dwClsContext, REFIID riid,
                        LPVOID *ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    if (t_apartment.initCount == 0)
        return CO_E_NOTINITIALIZED;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;

    IUnknown *classObject = registeredClassObject(rclsid);
    IClassFactory *factory = nullptr;
    HRESULT hr = S_OK;
    if (classObject) {
        hr = classObject->QueryInterface(IID_IClassFactory, reinterpret_cast<void **>(&factory));
        classObject->Release();
    } else {
        const std::string path = registeredServerPath(rclsid);
        if (path.empty())
            return REGDB_E_CLASSNOTREG;
        DllGetClassObjectFunction entry = loadServer(path);
        if (!entry)
            return REGDB_E_CLASSNOTREG;
        hr = entry(rclsid, IID_IClassFactory, reinterpret_cast<void **>(&factory));
    }
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_NOINTERFACE;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    return hr;
}

STDAPI_(int) CompatApartmentInitCount()
{
    return t_apartment.initCount;
}

STDAPI_(int) CompatOutstandingApartmentInits()
{
    return g_outstandingInits.load();
}
