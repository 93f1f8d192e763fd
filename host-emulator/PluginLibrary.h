// The plug-in as a host sees it: loaded by path, its four exports resolved by name, and, once the
// host has checked the version, one operation table. Nothing of the plug-in's internals is linked.
// Shared by the host emulator, the tests and the benchmarks.
#pragma once

#include "boundary/TalvernPlugin.h"

#include <QLibrary>

#include <utility>

class PluginLibrary
{
public:
    // Loads the library and resolves its exports.
    explicit PluginLibrary(const QString &path);
    // Gives the table back and unloads, if unload() has not done so already.
    ~PluginLibrary();

    // Whether a module of that path is in the process, asked of the loader (not of QLibrary,
    // which only knows its own handle).
    static bool isInProcess(const QString &path);

    // Loaded, with all four exports.
    bool hasExports() const { return m_loaded && m_freeInstance; }
    // Takes the table the host works with (table()); false when the plug-in gives none.
    bool openTable();
    // Loaded, with a table.
    bool isLoaded() const { return m_table != nullptr; }
    QString errorString() const { return m_library.errorString(); }
    int32_t apiVersion() const { return m_apiVersion(); }
    int32_t features() const { return m_features(); }
    TalvernPluginInstance *newTable() const { return m_getInstance(); }
    void freeTable(TalvernPluginInstance *table) const { m_freeInstance(table); }
    // The table from openTable().
    const TalvernPluginInstance &table() const { return *m_table; }
    // Gives that table back, as a host does before it unloads; table() is gone then.
    void freeLoadTable() { m_freeInstance(std::exchange(m_table, nullptr)); }
    // That table, which the unload will then not give back (a host that lost it).
    TalvernPluginInstance *takeLoadTable() { return std::exchange(m_table, nullptr); }

    // Gives the table back (unless taken) and unloads; true when the library left the process,
    // waiting for that at most waitMs while this thread's events run: a module reference of the
    // plug-in's own may outlive the unload while its worker thread winds down.
    bool unload(int waitMs = 5000);

    PluginLibrary(const PluginLibrary &) = delete;
    PluginLibrary &operator=(const PluginLibrary &) = delete;

private:
    QString m_path;
    QLibrary m_library;
    decltype(&TalvernPluginGetAPIVersion) m_apiVersion = nullptr;
    decltype(&TalvernPluginGetFeatures) m_features = nullptr;
    decltype(&TalvernPluginGetInstance) m_getInstance = nullptr;
    decltype(&TalvernPluginFreeInstance) m_freeInstance = nullptr;
    TalvernPluginInstance *m_table = nullptr;
    bool m_loaded = false; // by this object
};
