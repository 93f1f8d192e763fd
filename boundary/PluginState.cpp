#include "PluginState.h"

#include <QMutex>

std::atomic<int32_t> g_currentPluginMode { 0 };

namespace {
// All constant-initialised: valid before any static constructor and after every static destructor.
QBasicMutex g_subscriberMutex;
void *g_context = nullptr;
TalvernPluginDeviceCallback g_callback = nullptr;
} // namespace

HostSubscriber currentSubscriber() noexcept
{
    const QMutexLocker locker(&g_subscriberMutex);
    return { g_context, g_callback };
}

void setSubscriber(void *context, TalvernPluginDeviceCallback callback) noexcept
{
    const QMutexLocker locker(&g_subscriberMutex);
    g_context = context;
    g_callback = callback;
}
