#include "ProcessThreads.h"

#ifdef _WIN32
#include "WindowsHandle.h"

#include <windows.h>

#include <tlhelp32.h>

int threadCount()
{
    // The snapshot lists every thread of the system; count this process's.
    const WindowsHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.isValid())
        return -1;
    const DWORD process = GetCurrentProcessId();
    THREADENTRY32 entry {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == process)
            ++count;
    }
    return count;
}

#else
#include <QDir>

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}
#endif
