#include "StallMonitor.h"

#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

#include <QTime>

#include <chrono>

std::int64_t StallMonitor::nowMs() noexcept
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void StallMonitor::requestStarted(const char *what) noexcept
{
    m_what.store(what, std::memory_order_relaxed);
    m_waitingIn.store("", std::memory_order_relaxed);
    m_sinceMs.store(nowMs(), std::memory_order_relaxed);
    m_request.store(++m_lastNumber << 1, std::memory_order_release);
}

void StallMonitor::requestFinished() noexcept
{
    const std::uint64_t request = m_request.exchange(0, std::memory_order_acq_rel);
    if (!(request & 1))
        return;
    const std::int64_t length = nowMs() - m_sinceMs.load(std::memory_order_relaxed);
    const int dropped = m_dropped.exchange(0, std::memory_order_relaxed);
    writeLogLine(glintSdkControllerLog(), QtInfoMsg, [&](QDebug &line) {
        line.nospace() << "SDK stall ended after " << length << " ms; " << dropped
                       << " frames dropped";
    });
}

bool StallMonitor::isStalled() const noexcept
{
    const std::uint64_t request = m_request.load(std::memory_order_acquire);
    return request != 0 && nowMs() - m_sinceMs.load(std::memory_order_relaxed) > BoundMs;
}

bool StallMonitor::stalled() noexcept
{
    std::uint64_t request = m_request.load(std::memory_order_acquire);
    if (request == 0)
        return false;
    const std::int64_t since = m_sinceMs.load(std::memory_order_relaxed);
    // The start time belongs to this request only if the worker has not moved on meanwhile.
    if ((m_request.load(std::memory_order_acquire) | 1) != (request | 1))
        return false;
    const std::int64_t age = nowMs() - since;
    if (age <= BoundMs)
        return false;
    if (!(request & 1) && m_request.compare_exchange_strong(request, request | 1)) {
        m_dropped.store(0, std::memory_order_relaxed);
        const char *call = m_waitingIn.load(std::memory_order_relaxed);
        // On a host's frame thread, whose heap may be exhausted: a line that cannot be built is
        // dropped, and the stall is reported all the same.
        writeLogLine(glintSdkControllerLog(), QtWarningMsg, [&](QDebug &line) {
            line.nospace() << "SDK stall: " << m_what.load(std::memory_order_relaxed)
                           << " has been waiting" << (*call ? " in " : "") << call << " since "
                           << QTime::currentTime()
                                  .addMSecs(int(-age))
                                  .toString(QStringLiteral("HH:mm:ss.zzz"))
                                  .toLatin1()
                                  .constData()
                           << " (" << age << " ms); frames are dropped until it returns";
        });
    }
    return true;
}
