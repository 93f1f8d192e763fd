#include "PluginLibrary.h"

#include <dlfcn.h>

PluginLibrary::PluginLibrary()
    : m_library(QStringLiteral(GLINT_PLUGIN_PATH))
{
    if (!m_library.load())
        return;
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

bool PluginLibrary::unload()
{
    if (!m_library.isLoaded())
        return true;
    if (m_table)
        m_freeInstance(m_table);
    m_table = nullptr;
    m_library.unload();
    // QLibrary only drops its own handle; ask the loader whether the module is really gone.
    void *stillThere = dlopen(GLINT_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (stillThere)
        dlclose(stillThere);
    return stillThere == nullptr;
}
