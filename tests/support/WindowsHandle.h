// Windows only: an owning holder for a kernel handle (thread, event, snapshot), closed when it goes
// out of scope.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include <memory>

struct WindowsHandleCloser
{
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using WindowsHandle = std::unique_ptr<void, WindowsHandleCloser>;

// Null for both of the system's "no handle" values: null and INVALID_HANDLE_VALUE.
inline WindowsHandle windowsHandle(HANDLE handle)
{
    return WindowsHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

#endif
