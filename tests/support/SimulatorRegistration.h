// Makes the substitute SDK reachable by CoCreateInstance the way a user's machine would have it
// registered: a registry file named by COMPAT_INPROC_SERVERS that maps the SDK's CLSID to the
// server library.
#pragma once

#include <QTemporaryFile>

class SimulatorRegistration
{
public:
    SimulatorRegistration();
    ~SimulatorRegistration();
    // Points the registry at the file, or at nothing (the SDK is then not installed).
    void setRegistered(bool registered);

    SimulatorRegistration(const SimulatorRegistration &) = delete;
    SimulatorRegistration &operator=(const SimulatorRegistration &) = delete;

private:
    QTemporaryFile m_file;
};
