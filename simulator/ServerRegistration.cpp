// Registration of the substitute SDK as an installed SDK is registered: on Windows regsvr32's
// entry points, which register it for the current user (no administrator rights needed); with the
// project's COM layer a registry file that maps the SDK's class to this library. The tests, the
// host emulator and the benchmarks all register it through GlintSimulatorSetRegistered.
#include "SimulatorCApi.h"
#include "glint/GlintSdkInterfaces.h"

#ifdef _WIN32
#include <windows.h>

#include <string>

namespace {

const wchar_t g_classKey[] = L"Software\\Classes\\CLSID\\{05921124-5057-483E-A037-E9497B523590}";

// The path of this DLL, wherever it was loaded from.
std::wstring modulePath()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                                | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&modulePath), &module))
        return std::wstring();
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, &path[0], DWORD(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

HRESULT setValue(HKEY key, const wchar_t *name, const std::wstring &value)
{
    const LSTATUS status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                       DWORD((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(status);
}

} // namespace

STDAPI DllRegisterServer()
{
    const std::wstring path = modulePath();
    if (path.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    const std::wstring serverKey = std::wstring(g_classKey) + L"\\InprocServer32";
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, serverKey.c_str(), 0, nullptr, 0,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    HRESULT hr = setValue(key, nullptr, path);
    if (SUCCEEDED(hr))
        hr = setValue(key, L"ThreadingModel", L"Apartment");
    RegCloseKey(key);
    return hr;
}

STDAPI DllUnregisterServer()
{
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, g_classKey);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK
                                                                     : HRESULT_FROM_WIN32(status);
}

HRESULT GlintSimulatorSetRegistered(int registered)
{
    return registered ? DllRegisterServer() : DllUnregisterServer();
}

#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// The registry file, made once per process and removed with this library.
struct RegistryFile
{
    std::string path;
    ~RegistryFile()
    {
        if (!path.empty())
            std::remove(path.c_str());
    }
};
RegistryFile g_registry;

// This library's own path, as COM is to load it.
std::string libraryPath()
{
    Dl_info info {};
    char resolved[PATH_MAX];
    if (!dladdr(reinterpret_cast<void *>(&GlintSimulatorSetRegistered), &info) || !info.dli_fname
        || !realpath(info.dli_fname, resolved))
        return std::string();
    return resolved;
}

bool writeRegistryFile()
{
    const std::string library = libraryPath();
    const char *directory = std::getenv("TMPDIR");
    std::string name =
        std::string(directory && *directory ? directory : "/tmp") + "/glint-sdk-registry-XXXXXX";
    const int descriptor = mkstemp(&name[0]);
    if (library.empty() || descriptor < 0)
        return false;
    const std::string line =
        "# the substitute lighting SDK\n{05921124-5057-483E-A037-E9497B523590} " + library + "\n";
    const bool written = write(descriptor, line.data(), line.size()) == ssize_t(line.size());
    close(descriptor);
    g_registry.path = name;
    return written;
}

} // namespace

HRESULT GlintSimulatorSetRegistered(int registered)
{
    if (!registered)
        return unsetenv("COMPAT_INPROC_SERVERS") == 0 ? S_OK : E_FAIL;
    if (g_registry.path.empty() && !writeRegistryFile())
        return E_FAIL;
    return setenv("COMPAT_INPROC_SERVERS", g_registry.path.c_str(), 1) == 0 ? S_OK : E_FAIL;
}

#endif
