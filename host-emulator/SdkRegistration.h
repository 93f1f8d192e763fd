// Makes the substitute SDK reachable by CoCreateInstance as an installed SDK would be: a registry
// file, named by COMPAT_INPROC_SERVERS, that maps the SDK's CLSID to the server library. On
// Windows the real registry is used and nothing is written.
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
    QTemporaryFile m_file;
};
