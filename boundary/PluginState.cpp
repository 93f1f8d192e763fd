#include "PluginState.h"

#include <QMutex>

std::atomic<int32_t> g_currentPluginMode { 0 };

namespace {
// All constant-initialised: valid before any static constructor and after every static destructor.
QBasicMutex g_subscriberMutex;
HostSubscriber g_subscriber;
} // namespace

HostSubscriber currentSubscriber() noexcept
{
    const QMutexLocker locker(&g_subscriberMutex);
    return g_subscriber;
}

void setSubscriber(const HostSubscriber &subscriber) noexcept
{
    const QMutexLocker locker(&g_subscriberMutex);
    g_subscriber = subscriber;
}
