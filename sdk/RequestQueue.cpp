#include "RequestQueue.h"

#include <QCoreApplication>

#include <chrono>
#include <thread>

void RequestQueue::want(bool open)
{
    std::unique_ptr<QEvent> wake;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const Wanted previous = m_wanted;
        if (open && !m_wanted.open)
            ++m_wanted.opening;
        m_wanted.open = open;
        try {
            // A change already queued acts on the new state too; it still needs a wake if the
            // one it had could not be posted.
            if (m_changeQueued)
                wake = wakeLocked();
            else
                m_changeQueued = queueLocked(nullptr, wake);
        } catch (...) {
            m_wanted = previous;
            throw;
        }
    }
    postWake(std::move(wake));
}

void RequestQueue::post(FrameRequest *frame)
{
    frame->addRef();
    bool queued = false;
    std::unique_ptr<QEvent> wake;
    try {
        const std::lock_guard<std::mutex> lock(m_mutex);
        queued = queueLocked(frame, wake);
    } catch (...) {
        frame->release();
        throw;
    }
    if (!queued) {
        frame->drop();
        frame->release();
    }
    postWake(std::move(wake));
}

RequestQueue::Wanted RequestQueue::wanted() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_wanted;
}

RequestQueue::Wanted RequestQueue::setWanted(bool open)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (open && !m_wanted.open)
        ++m_wanted.opening;
    m_wanted.open = open;
    return m_wanted;
}

void RequestQueue::queueChange()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_changeQueued && !m_closed) {
        m_queue.push_back(nullptr);
        m_changeQueued = true;
    }
}

RequestQueue::Wanted RequestQueue::takeChange()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_changeQueued = false;
    return m_wanted;
}

bool RequestQueue::queueLocked(FrameRequest *request, std::unique_ptr<QEvent> &wake)
{
    if (m_closed)
        return false;
    m_queue.push_back(request);
    try {
        wake = wakeLocked();
    } catch (...) {
        m_queue.pop_back();
        throw;
    }
    return true;
}

std::unique_ptr<QEvent> RequestQueue::wakeLocked()
{
    if (m_wakePosted || m_closed || m_head == m_queue.size())
        return nullptr;
    auto wake = std::make_unique<QEvent>(WakeEvent);
    m_wakePosted = true;
    m_wakesInFlight.fetch_add(1);
    return wake;
}

void RequestQueue::postWake(std::unique_ptr<QEvent> wake) noexcept
{
    if (!wake)
        return;
    try {
        QCoreApplication::postEvent(m_worker, wake.release()); // Qt deletes it if it cannot post
    } catch (...) {
        // Out of memory: what is queued waits for the next request's wake (a frame waiting
        // meanwhile is withdrawn at its bound).
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_wakePosted = false;
    }
    // The last touch of this object: once the count is back at zero a stopping controller may end
    // the thread and delete the worker, and this queue with it.
    m_wakesInFlight.fetch_sub(1);
}

void RequestQueue::close() noexcept
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
    }
    // A post takes only Qt's own short locks, so this ends within moments; after a few turns the
    // wait sleeps, since a yield gives way on Windows only to a thread ready on the same
    // processor, never to one of lower priority elsewhere.
    for (int turn = 0; m_wakesInFlight.load() != 0; ++turn) {
        if (turn < 64)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    dropFrames(false);
}

void RequestQueue::dropFrames(bool changesToo) noexcept
{
    // In place, without an allocation: also reached where memory ran out. A frame's own lock is
    // never held while this one is taken, so dropping under it cannot deadlock.
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::size_t kept = m_head;
    for (std::size_t i = m_head; i < m_queue.size(); ++i) {
        FrameRequest *request = m_queue[i];
        if (request) {
            request->drop();
            request->release();
        } else if (!changesToo) {
            m_queue[kept++] = request;
        }
    }
    m_queue.resize(kept);
    if (changesToo)
        m_changeQueued = false;
}

bool RequestQueue::next(FrameRequest *&request)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_head == m_queue.size()) {
        m_queue.clear();
        m_head = 0;
        m_wakePosted = false;
        return false;
    }
    request = m_queue[m_head++];
    return true;
}
