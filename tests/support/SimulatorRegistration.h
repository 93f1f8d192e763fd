// Makes the substitute SDK reachable by CoCreateInstance the way a user's machine would have it
// registered. With the project's COM layer: a registry file named by COMPAT_INPROC_SERVERS that
// maps the SDK's CLSID to the server library. On Windows: the server's own DllRegisterServer,
// for the current user, called in the DLL this program links, so that the registered path is
// exactly that module's and COM's activation reaches the same simulated state as the tests'
// SimulatorControl. (Under wine a link from the machine's class key to the user's must be made
// once per prefix: tests/wine/WineClassLink.cpp.)
#pragma once

#include <QTemporaryFile>

class SimulatorRegistration
{
public:
    SimulatorRegistration();
    ~SimulatorRegistration();
    // Registers the server, or makes sure none is (the SDK is then not installed).
    void setRegistered(bool registered);

    SimulatorRegistration(const SimulatorRegistration &) = delete;
    SimulatorRegistration &operator=(const SimulatorRegistration &) = delete;

private:
#ifndef _WIN32
    QTemporaryFile m_file;
#endif
};
