#include "PluginLibrary.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

PluginLibrary::PluginLibrary(const QString &path)
    : m_path(path)
    , m_library(path)
{
    if (!m_library.load())
        return;
    m_loaded = true;
    m_apiVersion =
        reinterpret_cast<decltype(m_apiVersion)>(m_library.resolve(TALVERN_PLUGIN_GET_API_VERSION));
    m_features =
        reinterpret_cast<decltype(m_features)>(m_library.resolve(TALVERN_PLUGIN_GET_FEATURES));
    m_getInstance =
        reinterpret_cast<decltype(m_getInstance)>(m_library.resolve(TALVERN_PLUGIN_GET_INSTANCE));
    m_freeInstance =
        reinterpret_cast<decltype(m_freeInstance)>(m_library.resolve(TALVERN_PLUGIN_FREE_INSTANCE));
    if (!m_apiVersion || !m_features || !m_getInstance)
        m_freeInstance = nullptr;
}

bool PluginLibrary::openTable()
{
    if (!m_table && hasExports())
        m_table = m_getInstance();
    return m_table != nullptr;
}

PluginLibrary::~PluginLibrary()
{
    unload(0);
}

bool PluginLibrary::isInProcess(const QString &path)
{
#ifdef _WIN32
    return GetModuleHandleW(reinterpret_cast<const wchar_t *>(path.utf16())) != nullptr;
#else
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
#endif
}

bool PluginLibrary::unload(int waitMs)
{
    // QLibrary's own isLoaded() tells whether any QLibrary of the same file has it loaded.
    if (!m_loaded)
        return !isInProcess(m_path);
    m_loaded = false;
    if (m_table)
        m_freeInstance(std::exchange(m_table, nullptr));
    m_library.unload();
    const QDeadlineTimer deadline(waitMs);
    while (isInProcess(m_path)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}
