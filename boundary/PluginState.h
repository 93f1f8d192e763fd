// Process-wide state shared by the table's operations. Plain and unlocked: the host does not call
// subscribe, unsubscribe and set-mode at the same time as each other or as a notification.
#pragma once

#include "TalvernPlugin.h"

#include <memory>

class AuraSdkController;

extern void *g_context;
extern TalvernPluginDeviceCallback g_callback;
extern int32_t g_currentPluginMode;

// Null until the first subscription; the controller then lives until the library is unloaded.
std::unique_ptr<AuraSdkController> &controllerOwner();

constexpr int32_t PluginModeStopped = 1;
constexpr int32_t PluginModeRunning = 2;
