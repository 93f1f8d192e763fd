// What the plug-in needs to know about its own module's life in the host process.
//
// On Windows a DLL's static destructors run inside DllMain with the loader lock held: a thread
// that ends needs that lock, so waiting there for one deadlocks FreeLibrary; and at ExitProcess
// every other thread has already been killed, wherever it was. Elsewhere (dlclose, exit) neither
// holds, and the orderly stop may run from static destruction.
#pragma once

namespace ModuleLifetime {

// False while static destructors run under the Windows loader lock or at process exit: they must
// then wait for no thread, take no lock another thread may hold and call no COM function.
bool staticDestructionMayStop();

// Keeps this module mapped while held (Windows: one more reference on the DLL), so that a host
// that unloads while the worker thread still runs cannot unmap code under it. Nothing elsewhere,
// where unloading stops the worker first.
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

// The operating system's thread, as opposed to its Qt object: Qt 5's QThread::wait() returns once
// the thread is marked finished, before the system thread has left this module's code.
class SystemThread
{
public:
    SystemThread() noexcept = default;
    ~SystemThread();
    SystemThread(const SystemThread &) = delete;
    SystemThread &operator=(const SystemThread &) = delete;

    // Called on the thread itself.
    void captureCurrent() noexcept;
    // Any other thread: returns once the captured thread has ended (at once if none was captured).
    void waitForExit() noexcept;

private:
#ifdef _WIN32
    void *m_handle = nullptr;
#else
    long m_threadId = 0; // the kernel's id of the thread
#endif
};

} // namespace ModuleLifetime
