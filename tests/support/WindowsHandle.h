// Windows only: an owning holder for a kernel handle, closed when it goes out of scope.
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

#endif
