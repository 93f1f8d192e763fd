// Process-wide state shared by the table's operations.
//
// The mode is atomic: frames and lookups read it from any host thread. The callback and its
// context are one pair, written together and read together, never torn between two
// subscriptions. The controller is created by the first subscription and stopped when the host
// gives back its last operation table, outside any loader lock; host threads that use it in the
// meantime (frames, lookups, notifications) hold a ControllerUse, which the stop waits for.
#pragma once

#include "TalvernPlugin.h"

#include <atomic>

class GlintSdkController;

extern std::atomic<int32_t> g_currentPluginMode;

constexpr int32_t PluginModeStopped = 1;
constexpr int32_t PluginModeRunning = 2;

// The host's callback and the context handed back with it.
struct HostSubscriber
{
    void *context = nullptr;
    TalvernPluginDeviceCallback callback = nullptr;
};
HostSubscriber currentSubscriber() noexcept;
void setSubscriber(void *context, TalvernPluginDeviceCallback callback) noexcept;

// For subscribe and set-mode, which the host does not call at the same time as a stop: the
// controller, or null before the first subscription and after a stop.
GlintSdkController *currentController() noexcept;
// Subscribe only: the controller, created (with its worker thread) and wired to the notification
// if there is none. Throws std::bad_alloc when it cannot be built; nothing is left behind then.
GlintSdkController *startController();

// The operation tables the host holds. When it gives back the last one, the worker is stopped:
// the connection closed on the worker thread, the thread ended, the controller deleted. A later
// table and subscription start afresh.
void tableHandedOut() noexcept;
void tableReturned() noexcept;

// Held by the operations that host threads may call at any time (frames, lookups, notifications)
// while they use the controller. A stop refuses new uses and waits for those in progress, so a
// frame still waiting for a slow Apply finishes normally.
class ControllerUse
{
public:
    ControllerUse() noexcept;
    ~ControllerUse();
    // Null before the first subscription and once a stop has begun.
    GlintSdkController *controller() const { return m_controller; }

    ControllerUse(const ControllerUse &) = delete;
    ControllerUse &operator=(const ControllerUse &) = delete;

private:
    GlintSdkController *m_controller = nullptr;
};

// Marks the calling thread as inside a notification of the host. A stop that the host's callback
// asks for from in there (it gave back its last table) waits until the outermost notification
// has returned: the controller is still emitting the signal that runs it.
class NotificationScope
{
public:
    NotificationScope() noexcept;
    ~NotificationScope();

    NotificationScope(const NotificationScope &) = delete;
    NotificationScope &operator=(const NotificationScope &) = delete;
};
