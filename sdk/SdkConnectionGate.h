// One connection to the vendor's SDK at a time in the process. A worker that was let go keeps its
// connection until the SDK returns and it has closed it; a newer worker opens only after that:
// two instances at once, and the old one's late stop call could end the new one's session.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

class SdkConnectionGate
{
public:
    static SdkConnectionGate &instance();

    // Worker thread: waits until no other worker holds a connection, or until *cancelled is true
    // (its controller is stopping). True when the caller now holds the gate: never once cancelled.
    bool acquire(const std::atomic<bool> &cancelled);
    void release() noexcept;
    // A cancellation was set: waiting workers look at it again.
    void wakeWaiters();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
};
