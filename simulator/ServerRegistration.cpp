// Windows only: regsvr32 registers the substitute SDK for the current user, so that a test run
// needs neither the vendor's SDK nor administrator rights, and unregisters it again.
#ifdef _WIN32
#include "sdk/GlintSdkInterfaces.h"

#include <windows.h>

#include <string>

namespace {

const wchar_t g_classKey[] = L"Software\\Classes\\CLSID\\{05921124-5057-483E-A037-E9497B523590}";

// The path of this DLL, wherever regsvr32 loaded it from.
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
#endif
