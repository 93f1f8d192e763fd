#include "ProcessThreads.h"

#include <QStringList>

#include <thread>

void startSanitizerThread()
{
#if defined(__SANITIZE_THREAD__)
    std::thread([] {}).join();
#endif
}

#ifdef _WIN32
#include "WindowsHandle.h"

#include <windows.h>

#include <tlhelp32.h>

#include <functional>

namespace {

// Calls visit for every thread of this process in the system's snapshot; returns the count.
int forEachThread(const std::function<void(DWORD)> &visit)
{
    const WindowsHandle snapshot = windowsHandle(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
        return -1;
    const DWORD process = GetCurrentProcessId();
    THREADENTRY32 entry {};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == process) {
            ++count;
            if (visit)
                visit(entry.th32ThreadID);
        }
    }
    return count;
}

// Where the thread started: the module's file name and the offset in it (nm resolves it).
QString startModule(DWORD threadId)
{
    using QueryThread = LONG(NTAPI *)(HANDLE, int, void *, ULONG, ULONG *);
    constexpr int ThreadQuerySetWin32StartAddress = 9;
    const auto query = reinterpret_cast<QueryThread>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    const WindowsHandle thread =
        windowsHandle(OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
    void *start = nullptr;
    if (!query || !thread
        || query(thread.get(), ThreadQuerySetWin32StartAddress, &start, sizeof start, nullptr) != 0)
        return QStringLiteral("?");
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS
                                | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(start), &module))
        return QStringLiteral("no module");
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    const QString file = QString::fromWCharArray(path, int(length));
    return QStringLiteral("%1+0x%2")
        .arg(file.mid(file.lastIndexOf(QLatin1Char('\\')) + 1))
        .arg(quintptr(start) - quintptr(module), 0, 16);
}

} // namespace

int threadCount()
{
    return forEachThread({});
}

QString describeThreads()
{
    QStringList threads;
    forEachThread([&](DWORD id) {
        threads.append(QStringLiteral("%1 from %2").arg(id).arg(startModule(id)));
    });
    return threads.join(QStringLiteral(", "));
}

#else
#include <QDir>
#include <QFile>

namespace {

QStringList taskIds()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
}

} // namespace

int threadCount()
{
    return int(taskIds().size());
}

QString describeThreads()
{
    QStringList threads;
    for (const QString &id : taskIds()) {
        QFile name(QStringLiteral("/proc/self/task/%1/comm").arg(id));
        const QByteArray comm = name.open(QIODevice::ReadOnly) ? name.readAll().trimmed() : "?";
        threads.append(id + QStringLiteral(" named ") + QString::fromLocal8Bit(comm));
    }
    return threads.join(QStringLiteral(", "));
}
#endif
