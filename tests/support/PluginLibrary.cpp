#include "PluginLibrary.h"

#include "HostEvents.h"

#ifdef _WIN32
#include "Watchdog.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>
#else
#include <dlfcn.h>
#endif

PluginLibrary::PluginLibrary()
    : m_library(path())
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
    if (m_apiVersion && m_features && m_getInstance && m_freeInstance)
        m_table = m_getInstance();
}

PluginLibrary::~PluginLibrary()
{
    unload();
}

#ifdef _WIN32

QString PluginLibrary::path()
{
    wchar_t program[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    const QString folder = QFileInfo(QString::fromWCharArray(program, int(length))).absolutePath();
    return QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral(GLINT_PLUGIN_FILE)));
}

bool PluginLibrary::isInProcess()
{
    return GetModuleHandleW(reinterpret_cast<const wchar_t *>(path().utf16())) != nullptr;
}

bool PluginLibrary::unload(int waitMs)
{
    // QLibrary's own isLoaded() tells whether any QLibrary of the same file has it loaded.
    if (!m_loaded)
        return true;
    m_loaded = false;
    {
        // A wait at unload that needs the loader lock never ends: make it a failure.
        const Watchdog watchdog("the plug-in's table release and FreeLibrary", 30000);
        if (m_table)
            m_freeInstance(m_table);
        m_table = nullptr;
        m_library.unload();
    }
    return runEventsUntil([] { return !isInProcess(); }, waitMs);
}

#else

QString PluginLibrary::path()
{
    return QStringLiteral(GLINT_PLUGIN_PATH);
}

bool PluginLibrary::isInProcess()
{
    void *handle = dlopen(GLINT_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (handle)
        dlclose(handle);
    return handle != nullptr;
}

bool PluginLibrary::unload(int waitMs)
{
    // QLibrary's own isLoaded() tells whether any QLibrary of the same file has it loaded.
    if (!m_loaded)
        return true;
    m_loaded = false;
    if (m_table)
        m_freeInstance(m_table);
    m_table = nullptr;
    m_library.unload();
    return runEventsUntil([] { return !isInProcess(); }, waitMs);
}

#endif
