#include "SimulatorLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#ifdef _WIN32

SimulatorLibrary::SimulatorLibrary()
    : m_handle(LoadLibraryW(L"glint_sdk_simulator.dll"))
{ }

SimulatorLibrary::~SimulatorLibrary()
{
    if (m_handle)
        FreeLibrary(static_cast<HMODULE>(m_handle));
}

void (*SimulatorLibrary::symbol(const char *name) const)()
{
    if (!m_handle)
        return nullptr;
    return reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(m_handle), name));
}

#else

SimulatorLibrary::SimulatorLibrary()
    : m_handle(dlopen(GLINT_SIMULATOR_PATH, RTLD_NOW | RTLD_LOCAL))
{ }

SimulatorLibrary::~SimulatorLibrary()
{
    if (m_handle)
        dlclose(m_handle);
}

void (*SimulatorLibrary::symbol(const char *name) const)()
{
    if (!m_handle)
        return nullptr;
    return reinterpret_cast<void (*)()>(dlsym(m_handle, name));
}

#endif
