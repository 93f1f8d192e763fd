// The plug-in as the host sees it: loaded by path, the four exports resolved by name, one
// operation table. Nothing of the plug-in's internals is linked.
#pragma once

#include "boundary/TalvernPlugin.h"

#include <QLibrary>

#include <utility>

class PluginLibrary
{
public:
    // Loads the plug-in built by this tree and takes one table from it.
    PluginLibrary();
    // Frees the table and unloads, if unload() has not done so already.
    ~PluginLibrary();

    // The plug-in this tree built. On Windows the one in the program's own folder, where the
    // build puts every program and DLL: the build tree's path means nothing to a program that
    // runs under wine.
    static QString path();
    // Whether the plug-in's module is in the process, asked of the loader (not of QLibrary,
    // which only knows its own handle).
    static bool isInProcess();

    bool isLoaded() const { return m_table != nullptr; }
    QString errorString() const { return m_library.errorString(); }
    int32_t apiVersion() const { return m_apiVersion(); }
    int32_t features() const { return m_features(); }
    TalvernPluginInstance *newTable() const { return m_getInstance(); }
    void freeTable(TalvernPluginInstance *table) const { m_freeInstance(table); }
    // The table taken at load.
    const TalvernPluginInstance &table() const { return *m_table; }
    // Gives the table taken at load back, as a host does before it unloads; table() is then gone.
    void freeLoadTable() { m_freeInstance(std::exchange(m_table, nullptr)); }

    // Frees the table and unloads the library; true when the library left the process, waiting
    // for that at most waitMs (a module reference of the plug-in's own may outlive the unload
    // while its worker thread winds down).
    bool unload(int waitMs = 5000);

    PluginLibrary(const PluginLibrary &) = delete;
    PluginLibrary &operator=(const PluginLibrary &) = delete;

private:
    QLibrary m_library;
    decltype(&TalvernPluginGetAPIVersion) m_apiVersion = nullptr;
    decltype(&TalvernPluginGetFeatures) m_features = nullptr;
    decltype(&TalvernPluginGetInstance) m_getInstance = nullptr;
    decltype(&TalvernPluginFreeInstance) m_freeInstance = nullptr;
    TalvernPluginInstance *m_table = nullptr;
    bool m_loaded = false; // by this object
};
