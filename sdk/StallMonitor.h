// The age of the request the worker runs, seen from any thread. A stall is one request that has
// run longer than the bound (not frames withdrawn behind a slow but working SDK): frames that come
// during one are dropped at once, so nothing piles up behind it and the host keeps its rate.
// One warning when a host thread first sees a stall, one info line from the worker when the
// request returns.
#pragma once

#include <atomic>
#include <cstdint>

class StallMonitor
{
public:
    static constexpr int BoundMs = 500;

    // Worker thread: a request begins, the SDK call it now waits in, the request ends.
    void requestStarted(const char *what) noexcept;
    void waitingIn(const char *call) noexcept
    {
        m_waitingIn.store(call, std::memory_order_relaxed);
    }
    void requestFinished() noexcept;

    // Any thread: whether the running request is older than the bound. The first caller to see a
    // given stall writes its warning.
    bool stalled() noexcept;
    // A frame was dropped or withdrawn while the worker stalled.
    void frameDropped() noexcept { m_dropped.fetch_add(1, std::memory_order_relaxed); }

    // Any thread: the same, without the warning.
    bool isStalled() const noexcept;

    // Milliseconds on a monotonic clock.
    static std::int64_t nowMs() noexcept;

    // Worker thread: one request, from its start to the end of the scope, however it ends.
    class Request
    {
    public:
        Request(StallMonitor &monitor, const char *what) noexcept
            : m_monitor(monitor)
        {
            m_monitor.requestStarted(what);
        }
        ~Request() { m_monitor.requestFinished(); }
        Request(const Request &) = delete;
        Request &operator=(const Request &) = delete;

    private:
        StallMonitor &m_monitor;
    };

private:
    // The running request's number, shifted left once; the low bit is set once its stall was
    // reported. 0 while the worker is idle. Both sides change it only by atomic exchanges, so a
    // reported stall always gets its end line and an ended request never gets a warning.
    std::atomic<std::uint64_t> m_request { 0 };
    std::uint64_t m_lastNumber = 0; // worker thread only
    std::atomic<std::int64_t> m_sinceMs { 0 };
    std::atomic<const char *> m_what { "" };
    std::atomic<const char *> m_waitingIn { "" };
    std::atomic<int> m_dropped { 0 };
};
