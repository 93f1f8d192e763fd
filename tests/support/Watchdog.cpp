#include "Watchdog.h"

#include <cstdio>

#ifdef _WIN32
#include "WindowsHandle.h"

struct Watchdog::Guard
{
    std::string what;
    DWORD milliseconds = 0;
    WindowsHandle running = windowsHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    WindowsHandle disarmed = windowsHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    WindowsHandle thread;

    static DWORD WINAPI watch(void *parameter)
    {
        const auto *guard = static_cast<const Guard *>(parameter);
        SetEvent(guard->running.get());
        if (WaitForSingleObject(guard->disarmed.get(), guard->milliseconds) == WAIT_OBJECT_0)
            return 0;
        std::fprintf(stderr, "watchdog: %s did not finish within %lu ms; ending the process\n",
                     guard->what.c_str(), static_cast<unsigned long>(guard->milliseconds));
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
        return 0;
    }
};

Watchdog::Watchdog(std::string what, int milliseconds)
    : m_guard(std::make_unique<Guard>())
{
    m_guard->what = std::move(what);
    m_guard->milliseconds = DWORD(milliseconds);
    m_guard->thread =
        windowsHandle(CreateThread(nullptr, 0, &Guard::watch, m_guard.get(), 0, nullptr));
    // A new thread runs the DLLs' attach code, under the loader lock, before its own function:
    // until it is past that, a hang in the loader would hold the watchdog too.
    if (!m_guard->running || !m_guard->disarmed || !m_guard->thread
        || WaitForSingleObject(m_guard->running.get(), INFINITE) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "watchdog: cannot start a watchdog for %s\n", m_guard->what.c_str());
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), 3);
    }
}

Watchdog::~Watchdog()
{
    SetEvent(m_guard->disarmed.get());
    WaitForSingleObject(m_guard->thread.get(), INFINITE);
}

#else
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

struct Watchdog::Guard
{
    std::mutex mutex;
    std::condition_variable changed;
    bool disarmed = false;
    std::thread thread;
};

Watchdog::Watchdog(std::string what, int milliseconds)
    : m_guard(std::make_unique<Guard>())
{
    Guard *guard = m_guard.get();
    guard->thread = std::thread([guard, what = std::move(what), milliseconds] {
        std::unique_lock<std::mutex> lock(guard->mutex);
        if (guard->changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                    [guard] { return guard->disarmed; }))
            return;
        std::fprintf(stderr, "watchdog: %s did not finish within %d ms; ending the process\n",
                     what.c_str(), milliseconds);
        std::fflush(stderr);
        std::_Exit(3);
    });
}

Watchdog::~Watchdog()
{
    {
        const std::lock_guard<std::mutex> lock(m_guard->mutex);
        m_guard->disarmed = true;
    }
    m_guard->changed.notify_one();
    m_guard->thread.join();
}
#endif
