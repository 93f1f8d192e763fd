// Windows only: owning holders for kernel handles and loaded modules, closed or freed when they
// go out of scope.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <utility>

// A kernel handle (thread, process, event, snapshot). Both null and INVALID_HANDLE_VALUE mean none.
class WindowsHandle
{
public:
    WindowsHandle() = default;
    explicit WindowsHandle(HANDLE handle)
        : m_handle(handle)
    { }
    ~WindowsHandle() { reset(); }
    WindowsHandle(WindowsHandle &&other) noexcept
        : m_handle(std::exchange(other.m_handle, nullptr))
    { }
    WindowsHandle &operator=(WindowsHandle &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_handle = std::exchange(other.m_handle, nullptr);
        }
        return *this;
    }
    bool isValid() const { return m_handle && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_handle; }
    void reset()
    {
        if (isValid())
            CloseHandle(m_handle);
        m_handle = nullptr;
    }

    WindowsHandle(const WindowsHandle &) = delete;
    WindowsHandle &operator=(const WindowsHandle &) = delete;

private:
    HANDLE m_handle = nullptr;
};

// A module reference from LoadLibrary, given back with FreeLibrary.
class ModuleReference
{
public:
    ModuleReference() = default;
    explicit ModuleReference(HMODULE module)
        : m_module(module)
    { }
    ~ModuleReference() { free(); }
    ModuleReference(ModuleReference &&other) noexcept
        : m_module(std::exchange(other.m_module, nullptr))
    { }
    ModuleReference &operator=(ModuleReference &&other) noexcept
    {
        if (this != &other) {
            free();
            m_module = std::exchange(other.m_module, nullptr);
        }
        return *this;
    }
    HMODULE get() const { return m_module; }
    // Gives the reference back now; false when FreeLibrary failed.
    bool free()
    {
        const HMODULE module = std::exchange(m_module, nullptr);
        return !module || FreeLibrary(module);
    }

    ModuleReference(const ModuleReference &) = delete;
    ModuleReference &operator=(const ModuleReference &) = delete;

private:
    HMODULE m_module = nullptr;
};
#endif
