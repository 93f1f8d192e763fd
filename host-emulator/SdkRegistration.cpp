#include "SdkRegistration.h"

#include <QtGlobal>

#ifdef _WIN32
#include <windows.h>

namespace {

using ServerFunction = HRESULT(STDAPICALLTYPE *)();

bool callServer(const char *name)
{
    const HMODULE server = GetModuleHandleW(L"glint_sdk_simulator.dll");
    const auto entry = server ? reinterpret_cast<ServerFunction>(
                           reinterpret_cast<void (*)()>(GetProcAddress(server, name)))
                              : nullptr;
    return entry && SUCCEEDED(entry());
}

} // namespace

SdkRegistration::~SdkRegistration()
{
    if (m_registered)
        callServer("DllUnregisterServer");
}

bool SdkRegistration::setRegistered(bool registered)
{
    m_registered = registered;
    return callServer(registered ? "DllRegisterServer" : "DllUnregisterServer");
}

#else

SdkRegistration::~SdkRegistration()
{
    qunsetenv("COMPAT_INPROC_SERVERS");
}

bool SdkRegistration::setRegistered(bool registered)
{
    if (!registered) {
        qunsetenv("COMPAT_INPROC_SERVERS");
        return true;
    }
    if (!m_file.isOpen()) {
        if (!m_file.open())
            return false;
        m_file.write("# the substitute lighting "
                     "SDK\n{05921124-5057-483E-A037-E9497B523590} " GLINT_SIMULATOR_PATH "\n");
        m_file.flush();
    }
    qputenv("COMPAT_INPROC_SERVERS", m_file.fileName().toLocal8Bit());
    return true;
}

#endif
