// Process-wide state shared by the table's operations. The host does not call subscribe,
// unsubscribe and set-mode at the same time as each other or as a notification, so the callback
// and its context are plain. Frames and lookups may come from any thread at any time: what they
// read (the mode, the controller) is atomic.
#pragma once

#include "TalvernPlugin.h"

#include <atomic>
#include <memory>

class GlintSdkController;

extern void *g_context;
extern TalvernPluginDeviceCallback g_callback;
extern std::atomic<int32_t> g_currentPluginMode;

// Null until the first subscription; the controller then lives until the library is unloaded.
// Only subscription, set-mode and the notification use the owner directly.
std::unique_ptr<GlintSdkController> &controllerOwner();
// Makes the owner's new controller visible to ControllerUse on other threads.
void publishController();

// Held by the operations that host threads may call at any time (frames and lookups) while they
// use the controller. Unloading refuses new uses and waits for those in progress before it
// deletes the controller, so a frame still waiting for a slow Apply finishes normally.
class ControllerUse
{
public:
    ControllerUse();
    ~ControllerUse();
    // Null before the first subscription and once unloading has begun.
    GlintSdkController *controller() const { return m_controller; }

    ControllerUse(const ControllerUse &) = delete;
    ControllerUse &operator=(const ControllerUse &) = delete;

private:
    GlintSdkController *m_controller = nullptr;
};

constexpr int32_t PluginModeStopped = 1;
constexpr int32_t PluginModeRunning = 2;
