// Process-wide state shared by the table's operations, besides the controller's life
// (ControllerLifecycle.h).
//
// The mode is atomic: frames and lookups read it from any host thread. The callback and its
// context are one pair, written together and read together, never torn between two
// subscriptions.
#pragma once

#include "TalvernPlugin.h"

#include <qnamespace.h>

#include <atomic>

extern std::atomic<int32_t> g_currentPluginMode;

constexpr int32_t PluginModeStopped = 1;
constexpr int32_t PluginModeRunning = 2;

// The host's callback, the context handed back with it, and the thread that subscribed: the only
// one its reports may run on.
struct HostSubscriber
{
    void *context = nullptr;
    TalvernPluginDeviceCallback callback = nullptr;
    Qt::HANDLE thread = nullptr;
};
HostSubscriber currentSubscriber() noexcept;
void setSubscriber(const HostSubscriber &subscriber) noexcept;
