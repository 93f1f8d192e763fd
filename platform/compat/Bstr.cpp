// BSTR as on Windows: a 4-byte byte-length prefix, the characters, a terminating NUL.
// Embedded NULs are allowed; the length comes from the prefix, never from scanning.
#include "ComApi.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t prefixSize = sizeof(std::uint32_t);

std::uint32_t *prefixOf(BSTR text)
{
    return reinterpret_cast<std::uint32_t *>(reinterpret_cast<char *>(text) - prefixSize);
}

} // namespace

STDAPI_(BSTR) SysAllocStringLen(const OLECHAR *strIn, UINT ui)
{
    // Keep the byte length representable in the prefix.
    if (ui > (0xFFFFFFFFu - prefixSize - sizeof(OLECHAR)) / sizeof(OLECHAR) / 2)
        return nullptr;
    const std::size_t bytes = std::size_t(ui) * sizeof(OLECHAR);
    void *block = std::calloc(1, prefixSize + bytes + sizeof(OLECHAR));
    if (!block)
        return nullptr;
    auto *prefix = static_cast<std::uint32_t *>(block);
    *prefix = static_cast<std::uint32_t>(bytes);
    auto *text = reinterpret_cast<OLECHAR *>(static_cast<char *>(block) + prefixSize);
    if (strIn)
        std::memcpy(text, strIn, bytes);
    return text;
}

STDAPI_(BSTR) SysAllocString(const OLECHAR *psz)
{
    if (!psz)
        return nullptr;
    UINT length = 0;
    while (psz[length] != 0)
        ++length;
    return SysAllocStringLen(psz, length);
}

STDAPI_(UINT) SysStringLen(BSTR pbstr)
{
    if (!pbstr)
        return 0;
    return *prefixOf(pbstr) / sizeof(OLECHAR);
}

STDAPI_(void) SysFreeString(BSTR bstrString)
{
    if (bstrString)
        std::free(prefixOf(bstrString));
}
