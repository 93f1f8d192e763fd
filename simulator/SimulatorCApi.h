// The substitute SDK's registration, the one way every program (tests, host emulator, benchmarks)
// makes it reachable by CoCreateInstance. A C function, exported under its plain name.
#pragma once

#include "SimulatorExport.h"
#include "platform/Com.h"

extern "C" {

// Makes the substitute SDK reachable by CoCreateInstance as an installed SDK is (registered is
// not 0), or makes sure it is not: on Windows for the current user, through its own
// DllRegisterServer or DllUnregisterServer; with the project's COM layer through a registry file,
// named by COMPAT_INPROC_SERVERS, that maps the SDK's class to this very library. S_OK or why not.
GLINT_SIMULATOR_EXPORT HRESULT GlintSimulatorSetRegistered(int registered);
}
