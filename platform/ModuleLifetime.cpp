#include "ModuleLifetime.h"

#include <atomic>

namespace {
// Constant-initialised: valid before any static constructor and after every static destructor.
std::atomic<int> g_ownThreads { 0 };
std::atomic<bool> g_exiting { false };
} // namespace

#ifdef _WIN32
#include <windows.h>

namespace ModuleLifetime {

ModuleReference::ModuleReference() noexcept
{
    const auto address = reinterpret_cast<LPCWSTR>(&threadStarting);
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
    if (void *handle = m_handle.load())
        CloseHandle(handle);
}

void SystemThread::captureCurrent() noexcept
{
    HANDLE handle = nullptr;
    if (DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &handle,
                        SYNCHRONIZE, FALSE, 0)) {
        if (void *previous = m_handle.exchange(handle))
            CloseHandle(previous);
    }
}

bool SystemThread::waitForExit(int milliseconds) noexcept
{
    void *handle = m_handle.load();
    return !handle
        || WaitForSingleObject(handle, DWORD(milliseconds > 0 ? milliseconds : 0)) == WAIT_OBJECT_0;
}

static void parkForever()
{
    for (;;)
        Sleep(INFINITE);
}

} // namespace ModuleLifetime

#else
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The kernel's start time of one of this process's threads, in clock ticks since boot (the 22nd
// field of its stat file); 0 when it is gone or cannot be read. Allocates nothing.
unsigned long long threadStartTime(long threadId) noexcept
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%ld/stat", threadId);
    const int file = open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return 0;
    char text[1024];
    const ssize_t length = read(file, text, sizeof text - 1);
    close(file);
    if (length <= 0)
        return 0;
    text[length] = '\0';
    // The second field, the command name in parentheses, may hold spaces and parentheses itself.
    const char *field = std::strrchr(text, ')');
    for (int skipped = 2; field && skipped < 22; ++skipped)
        field = std::strchr(field + 1, ' ');
    return field ? std::strtoull(field + 1, nullptr, 10) : 0;
}

} // namespace

namespace ModuleLifetime {

ModuleReference::ModuleReference() noexcept
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void *>(&threadStarting), &info) || !info.dli_fname)
        return;
    // A program that links the plug-in's code statically is never unloaded: nothing to hold.
    m_module = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

ModuleReference::~ModuleReference()
{
    if (m_module)
        dlclose(m_module);
}

SystemThread::~SystemThread() = default;

void SystemThread::captureCurrent() noexcept
{
    const long threadId = static_cast<long>(syscall(SYS_gettid));
    m_startTime.store(threadStartTime(threadId));
    m_threadId.store(threadId);
}

bool SystemThread::waitForExit(int milliseconds) noexcept
{
    const long threadId = m_threadId.load();
    if (threadId == 0)
        return true;
    // Qt's threads are detached, so there is nothing to join. The kernel keeps the id until the
    // thread has run its key destructors (Qt's drops the thread's own reference to its QThreadData
    // there) and ended; signal 0 only asks whether a thread of that id is there, and its start
    // time whether it is still the same one. Nothing tells a waiter when a detached thread's id
    // goes (no join, and a futex on the kernel's clear-tid word belongs to glibc), so the wait
    // polls; the last stretch of a thread's exit takes well under a millisecond, and a 200 us
    // pause keeps the stop short without spinning.
    const pid_t process = getpid();
    const unsigned long long started = m_startTime.load();
    const long long polls = milliseconds > 0 ? milliseconds * 5LL : 0;
    for (long long poll = 0;; ++poll) {
        if (syscall(SYS_tgkill, process, threadId, 0) != 0)
            return true;
        if (started != 0 && threadStartTime(threadId) != started)
            return true; // another thread has its id now
        if (poll >= polls)
            return false;
        timespec pause { 0, 200000 }; // 0.2 ms
        nanosleep(&pause, nullptr);
    }
}

static void parkForever()
{
    for (;;)
        pause();
}

} // namespace ModuleLifetime

#endif

namespace ModuleLifetime {

void threadStarting() noexcept
{
    g_ownThreads.fetch_add(1);
}

void threadEnded() noexcept
{
    g_ownThreads.fetch_sub(1);
}

bool ownThreadsRunning() noexcept
{
    return g_ownThreads.load() > 0;
}

void beginExit() noexcept
{
    g_exiting.store(true);
}

bool exiting() noexcept
{
    return g_exiting.load();
}

void parkIfExiting() noexcept
{
    if (exiting())
        parkForever();
}

} // namespace ModuleLifetime
