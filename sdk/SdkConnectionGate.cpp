#include "SdkConnectionGate.h"

#include "platform/ModuleLifetime.h"

SdkConnectionGate &SdkConnectionGate::instance()
{
    static ModuleLifetime::ModuleStatic<SdkConnectionGate> gate;
    return gate.get();
}

bool SdkConnectionGate::acquire(const std::atomic<bool> &cancelled)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return !m_held || cancelled.load(); });
    if (m_held || cancelled.load())
        return false;
    m_held = true;
    return true;
}

void SdkConnectionGate::release() noexcept
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_held = false;
    m_changed.notify_all();
}

void SdkConnectionGate::wakeWaiters()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_changed.notify_all();
}
