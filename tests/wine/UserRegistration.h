// Registers the substitute SDK for the current user the way a user's machine has it: on Windows
// through the DLL's own DllRegisterServer (HKEY_CURRENT_USER\Software\Classes\CLSID); with the
// project's COM layer, a registry file named by COMPAT_INPROC_SERVERS. Undone by
// unregisterServer or at the latest by the destructor.
#pragma once

#include "SimulatorLibrary.h"

#include "platform/Com.h"

#include <string>

class UserRegistration
{
public:
    explicit UserRegistration(const SimulatorLibrary &library);
    ~UserRegistration();
    HRESULT registerServer();
    HRESULT unregisterServer();

    UserRegistration(const UserRegistration &) = delete;
    UserRegistration &operator=(const UserRegistration &) = delete;

private:
    const SimulatorLibrary &m_library;
    bool m_registered = false;
    std::string m_file; // the registry file, without Windows
};
