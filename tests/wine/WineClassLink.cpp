// Run under wine by the Windows build's wine fixture, before its first test. Windows looks classes
// up in a merged view where a per-user entry (HKEY_CURRENT_USER\Software\Classes) wins; wine's COM
// reads the machine's classes only. This links the machine's key of the SDK's class to the per-user
// one, so that what DllRegisterServer writes for the user, and what DllUnregisterServer removes, is
// what wine's CoCreateInstance sees, as on Windows. Nothing else is linked; an existing link stays.
#include <windows.h>

#include <sddl.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t g_classKey[] = L"Software\\Classes\\CLSID\\{05921124-5057-483E-A037-E9497B523590}";

// \Registry\User\<SID>: where HKEY_CURRENT_USER of this process lives.
std::wstring currentUserRoot()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    std::wstring root;
    char buffer[256];
    DWORD size = 0;
    wchar_t *sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)
        && ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid, &sid)) {
        root = std::wstring(L"\\Registry\\User\\") + sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return root;
}

int fail(const char *what, LSTATUS status)
{
    std::fprintf(stderr, "wine class link: %s failed (%ld)\n", what, long(status));
    return 1;
}

} // namespace

int main()
{
    const std::wstring root = currentUserRoot();
    if (root.empty())
        return fail("reading the user's SID", LSTATUS(GetLastError()));
    const std::wstring target = root + L"\\" + g_classKey;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, g_classKey, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &key)
        == ERROR_SUCCESS) {
        RegCloseKey(key);
        return 0;
    }
    LSTATUS status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, g_classKey, 0, nullptr, REG_OPTION_CREATE_LINK,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return fail("creating the link key", status);
    // The link's target is stored without a terminating NUL.
    status = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE *>(target.c_str()),
                            DWORD(target.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : fail("setting the link's target", status);
}
