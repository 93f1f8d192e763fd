// The plug-in this tree built, loaded as the host loads it.
#pragma once

#include "PluginLibrary.h"

#include <memory>

// On Windows the one in the program's own folder, where the build puts every program and DLL (the
// build tree's path means nothing to a program that runs under wine); elsewhere where it was built.
QString builtPluginPath();
// Loaded, with its table open; the test fails in its assertion on isLoaded() otherwise.
std::unique_ptr<PluginLibrary> loadBuiltPlugin();
