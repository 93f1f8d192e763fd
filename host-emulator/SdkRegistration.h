// Makes the substitute SDK reachable by CoCreateInstance as an installed SDK would be. With the
// project's COM layer: a registry file, named by COMPAT_INPROC_SERVERS, that maps the SDK's CLSID
// to the server library. On Windows: the server DLL this program links registers itself for the
// current user (its DllRegisterServer, as regsvr32 would call it), so the registered path is that
// very module and the emulator's SimulatorControl sees what the plug-in's SDK objects do; the
// registration is removed again at the end.
#pragma once

#include <QTemporaryFile>

class SdkRegistration
{
public:
    SdkRegistration() = default;
    ~SdkRegistration();
    // Registers the server, or makes sure none is (the SDK is then not installed).
    bool setRegistered(bool registered);

    SdkRegistration(const SdkRegistration &) = delete;
    SdkRegistration &operator=(const SdkRegistration &) = delete;

private:
#ifdef _WIN32
    bool m_registered = false;
#else
    QTemporaryFile m_file;
#endif
};
