#include "BuiltPlugin.h"

#ifdef _WIN32
#include <QDir>
#include <QFileInfo>

#include <windows.h>

QString builtPluginPath()
{
    wchar_t program[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    const QString folder = QFileInfo(QString::fromWCharArray(program, int(length))).absolutePath();
    return QDir::toNativeSeparators(QDir(folder).filePath(QStringLiteral(GLINT_PLUGIN_FILE)));
}

#else

QString builtPluginPath()
{
    return QStringLiteral(GLINT_PLUGIN_PATH);
}

#endif

std::unique_ptr<PluginLibrary> loadBuiltPlugin()
{
    auto plugin = std::make_unique<PluginLibrary>(builtPluginPath());
    plugin->openTable();
    return plugin;
}
