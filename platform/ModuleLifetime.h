// What the plug-in needs to know about its own module's life in the host process.
//
// A module's static destructors run at unload under the loader's lock (Windows' loader lock in
// DllMain, glibc's in dlclose), and at process exit, when on Windows every other thread is
// already gone and on Linux the plug-in's threads still run. So static destruction waits for
// nothing and calls no COM. Instead, everything of the plug-in that runs (its worker threads,
// and what the host may still be using) holds a ModuleReference: a host's unload then never
// reaches the static destructors while any of it lives, and they run at unload only when nothing
// is left. Finding something left there means the process is exiting: beginExit() tells the
// plug-in's threads to touch nothing more.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

namespace ModuleLifetime {

// One counted reference on this module (Windows: the DLL's reference count; elsewhere the dynamic
// loader's, taken with dlopen). Release it only inside a call the host makes into the plug-in,
// where the host's own reference keeps the code mapped: released anywhere else it may be the last
// and unmap the code that is still running.
class ModuleReference
{
public:
    ModuleReference() noexcept;
    ~ModuleReference();
    ModuleReference(const ModuleReference &) = delete;
    ModuleReference &operator=(const ModuleReference &) = delete;

private:
    void *m_module = nullptr;
};

// The plug-in's own threads, counted from before they start to the last line of the plug-in's
// code they run.
void threadStarting() noexcept;
void threadEnded() noexcept;
bool ownThreadsRunning() noexcept;

// Static destruction found the plug-in still running: the process is exiting.
void beginExit() noexcept;
bool exiting() noexcept;
// On one of the plug-in's threads: once the process is exiting, never returns (the process ends
// around it), so that the thread touches nothing that exit destroys.
void parkIfExiting() noexcept;

// The operating system's thread, as opposed to its Qt object: Qt 5's QThread::wait() returns once
// the thread is marked finished, before the system thread has left this module's code.
class SystemThread
{
public:
    SystemThread() noexcept = default;
    ~SystemThread();
    SystemThread(const SystemThread &) = delete;
    SystemThread &operator=(const SystemThread &) = delete;

    // Called on the thread itself, as it starts.
    void captureCurrent() noexcept;
    // Any other thread: true once the captured thread has ended, waiting at most milliseconds
    // (0: only asks). True at once if none was captured.
    bool waitForExit(int milliseconds) noexcept;

private:
    // Written by the thread as it starts, read by others once it has said it is done.
#ifdef _WIN32
    std::atomic<void *> m_handle { nullptr };
#else
    std::atomic<long> m_threadId { 0 }; // the kernel's id of the thread
    // When the kernel started it: an id is given again to a later thread once this one has
    // ended, and only the start time tells the two apart.
    std::atomic<unsigned long long> m_startTime { 0 };
#endif
};

// A static object that the plug-in's threads may use: destroyed with the module, unless one of
// those threads still runs (the process is exiting then, and the thread may still use it).
template<class T>
class ModuleStatic
{
public:
    template<class... Arguments>
    explicit ModuleStatic(Arguments &&...arguments)
    {
        new (m_storage) T(std::forward<Arguments>(arguments)...);
    }
    ~ModuleStatic()
    {
        if (!ownThreadsRunning())
            get().~T();
    }
    ModuleStatic(const ModuleStatic &) = delete;
    ModuleStatic &operator=(const ModuleStatic &) = delete;

    T &get() noexcept { return *std::launder(reinterpret_cast<T *>(m_storage)); }
    const T &get() const noexcept { return *std::launder(reinterpret_cast<const T *>(m_storage)); }

private:
    alignas(T) unsigned char m_storage[sizeof(T)];
};

} // namespace ModuleLifetime
