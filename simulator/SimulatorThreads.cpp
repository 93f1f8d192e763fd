#include "SimulatorThreads.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <ctime>

#include <pthread.h>
#endif

#include <QCoreApplication>

namespace simulator {

ThreadId currentThreadId()
{
#ifdef _WIN32
    return ThreadId(GetCurrentThreadId());
#else
    return ThreadId(pthread_self());
#endif
}

void sleepMilliseconds(int milliseconds)
{
    if (milliseconds <= 0)
        return;
#ifdef _WIN32
    Sleep(DWORD(milliseconds));
#else
    timespec left { milliseconds / 1000, long(milliseconds % 1000) * 1000000L };
    // A signal cuts the sleep short; finish the rest of it.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) { }
#endif
}

void pumpThreadEvents()
{
#ifdef _WIN32
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
#else
    QCoreApplication::sendPostedEvents();
#endif
}

} // namespace simulator
