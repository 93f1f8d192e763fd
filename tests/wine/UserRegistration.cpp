#include "UserRegistration.h"

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using ServerFunction = HRESULT(STDAPICALLTYPE *)();

} // namespace

UserRegistration::UserRegistration(const SimulatorLibrary &library)
    : m_library(library)
{ }

UserRegistration::~UserRegistration()
{
    if (m_registered)
        unregisterServer();
#ifndef _WIN32
    if (!m_file.empty())
        std::remove(m_file.c_str());
#endif
}

#ifdef _WIN32

HRESULT UserRegistration::registerServer()
{
    const auto entry = m_library.resolve<ServerFunction>("DllRegisterServer");
    if (!entry)
        return E_NOTIMPL;
    const HRESULT hr = entry();
    m_registered = SUCCEEDED(hr);
    return hr;
}

HRESULT UserRegistration::unregisterServer()
{
    const auto entry = m_library.resolve<ServerFunction>("DllUnregisterServer");
    if (!entry)
        return E_NOTIMPL;
    m_registered = false;
    return entry();
}

#else

HRESULT UserRegistration::registerServer()
{
    const char *directory = std::getenv("TMPDIR");
    std::string name =
        std::string(directory && *directory ? directory : "/tmp") + "/sdk-walk-servers-XXXXXX";
    const int descriptor = mkstemp(&name[0]);
    if (descriptor < 0)
        return E_FAIL;
    m_file = name;
    const std::string line = "{05921124-5057-483E-A037-E9497B523590} " + m_library.path() + "\n";
    const bool written = write(descriptor, line.data(), line.size()) == ssize_t(line.size());
    close(descriptor);
    if (!written || setenv("COMPAT_INPROC_SERVERS", m_file.c_str(), 1) != 0)
        return E_FAIL;
    m_registered = true;
    return S_OK;
}

HRESULT UserRegistration::unregisterServer()
{
    m_registered = false;
    return unsetenv("COMPAT_INPROC_SERVERS") == 0 ? S_OK : E_FAIL;
}

#endif
