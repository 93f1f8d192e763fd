#include "SimulatorRegistration.h"

#include <QtGlobal>

#ifdef _WIN32
#include <windows.h>

namespace {

using ServerFunction = HRESULT(STDAPICALLTYPE *)();

void callServer(const char *name)
{
    // The module this program was linked against, not a second copy found by a search.
    const HMODULE server = GetModuleHandleW(L"glint_sdk_simulator.dll");
    const auto entry = server ? reinterpret_cast<ServerFunction>(
                           reinterpret_cast<void (*)()>(GetProcAddress(server, name)))
                              : nullptr;
    if (!entry)
        qFatal("the substitute SDK's %s is not there", name);
    const HRESULT hr = entry();
    if (FAILED(hr))
        qFatal("the substitute SDK's %s failed: 0x%08lX", name, static_cast<unsigned long>(hr));
}

} // namespace

SimulatorRegistration::SimulatorRegistration()
{
    setRegistered(true);
}

SimulatorRegistration::~SimulatorRegistration()
{
    callServer("DllUnregisterServer");
}

void SimulatorRegistration::setRegistered(bool registered)
{
    callServer(registered ? "DllRegisterServer" : "DllUnregisterServer");
}

#else

SimulatorRegistration::SimulatorRegistration()
{
    if (!m_file.open())
        qFatal("cannot write the COM registry file");
    m_file.write("# the substitute lighting "
                 "SDK\n{05921124-5057-483E-A037-E9497B523590} " GLINT_SIMULATOR_PATH "\n");
    m_file.flush();
    setRegistered(true);
}

SimulatorRegistration::~SimulatorRegistration()
{
    qunsetenv("COMPAT_INPROC_SERVERS");
}

void SimulatorRegistration::setRegistered(bool registered)
{
    if (registered)
        qputenv("COMPAT_INPROC_SERVERS", m_file.fileName().toLocal8Bit());
    else
        qunsetenv("COMPAT_INPROC_SERVERS");
}

#endif
