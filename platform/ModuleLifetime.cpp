#include "ModuleLifetime.h"

#ifdef _WIN32
#include <windows.h>

#include <atomic>

namespace {
// Set by DllMain before the C runtime runs the static destructors of this module.
std::atomic<bool> g_detaching { false };
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    // Both ways out (FreeLibrary, reserved null; ExitProcess, reserved set) run the static
    // destructors under the loader lock, and at ExitProcess the other threads are gone.
    if (reason == DLL_PROCESS_DETACH)
        g_detaching.store(true);
    return TRUE;
}

namespace ModuleLifetime {

bool staticDestructionMayStop()
{
    return !g_detaching.load();
}

ModuleReference::ModuleReference() noexcept
{
    const auto address = reinterpret_cast<LPCWSTR>(&staticDestructionMayStop);
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, address, &module)) {
        m_module = module;
        return;
    }
    // No counted reference to be had: never unmapping is the safe side.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       address, &module);
}

ModuleReference::~ModuleReference()
{
    if (m_module)
        FreeLibrary(static_cast<HMODULE>(m_module));
}

SystemThread::~SystemThread()
{
    if (m_handle)
        CloseHandle(m_handle);
}

void SystemThread::captureCurrent() noexcept
{
    HANDLE handle = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle,
                        SYNCHRONIZE, FALSE, 0)) {
        if (m_handle)
            CloseHandle(m_handle);
        m_handle = handle;
    }
}

void SystemThread::waitForExit() noexcept
{
    if (m_handle)
        WaitForSingleObject(m_handle, INFINITE);
}

} // namespace ModuleLifetime

#else
#include <ctime>

#include <sys/syscall.h>
#include <unistd.h>

namespace ModuleLifetime {

bool staticDestructionMayStop()
{
    return true;
}

ModuleReference::ModuleReference() noexcept = default;
ModuleReference::~ModuleReference() = default;
SystemThread::~SystemThread() = default;

void SystemThread::captureCurrent() noexcept
{
    m_threadId = static_cast<long>(syscall(SYS_gettid));
}

void SystemThread::waitForExit() noexcept
{
    if (m_threadId == 0)
        return;
    // Qt's threads are detached, so there is nothing to join. The kernel keeps the id until the
    // thread has run its key destructors (Qt's drops the thread's own reference to its QThreadData
    // there) and ended; signal 0 only asks whether it is still there.
    // Bounded, for a stop reached from dlclose: never a hang, at worst the old behaviour.
    const pid_t process = getpid();
    for (int polls = 0; polls < 25000 && syscall(SYS_tgkill, process, m_threadId, 0) == 0;
         ++polls) {
        timespec pause { 0, 200 * 1000 };
        nanosleep(&pause, nullptr);
    }
}

} // namespace ModuleLifetime

#endif
