// The worker's requests on their way from any thread to the worker thread, where they run one at
// a time in the order they came: colour frames, and connection changes, which carry nothing of
// their own but act on what the connection should be, kept here under the same mutex.
//
// Invariants, all under the mutex:
// - at most one change waits: it acts on the latest wanted state, so one queued acts on every
//   change made since; a change made after it was taken queues one of its own;
// - a wake (one event to the worker) is on its way exactly while requests wait and none was handed
//   out since the last run; it is handed out under the mutex and posted after it is given back (a
//   worker woken at once must not find the mutex still held), and counts as in flight until it is
//   posted: the worker's thread, and its event dispatcher, may end only when none is;
// - once closed, nothing is queued: a frame is dropped at once, and its host returns;
// - the vector keeps its capacity: a frame costs no allocation here.
// Host threads hand requests over here rather than through Qt's event queue, so that every
// hand-off is one a thread checker sees; Qt's event only wakes the worker. A request never runs
// inside another: run() called while one runs (an SDK call that delivers the thread's events, as
// a COM apartment does) leaves what is queued to the outer call.
#pragma once

#include "FrameRequest.h"
#include "platform/ModuleLifetime.h"

#include <QEvent>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class QObject;

class RequestQueue
{
public:
    static constexpr QEvent::Type WakeEvent = QEvent::Type(QEvent::User + 0x0C02);

    // What the connection should be: open or closed, and how many times it was wanted open after
    // being wanted closed (an opening wanted again is a new one, even before the close ran).
    struct Wanted
    {
        bool open = false;
        std::uint64_t opening = 0;
    };

    // Wakes go to `worker`, which calls run() when one arrives.
    explicit RequestQueue(QObject *worker)
        : m_worker(worker)
    { }
    RequestQueue(const RequestQueue &) = delete;
    RequestQueue &operator=(const RequestQueue &) = delete;

    // Any thread: what the connection should be, and a change to act on it. Throws
    // std::bad_alloc when the change cannot be queued; the wanted state stays as it was then.
    void want(bool open);
    // Any thread: queues the frame with a reference of the queue's, or drops it once closed.
    // Throws std::bad_alloc when it cannot be queued.
    void post(FrameRequest *frame);
    Wanted wanted() const;
    // Worker thread: sets what the connection should be, without a change (the worker acts on it
    // at once), and gives the state set.
    Wanted setWanted(bool open);
    // Worker thread: a change of the worker's own (a retry), for the next run(); none once closed.
    void queueChange();
    // Worker thread, as a change runs: the state to act on. A change made from now on is queued.
    Wanted takeChange();
    // Any thread, as the worker stops: nothing is queued any more, and frames queued are dropped;
    // returns once no wake is in flight.
    void close() noexcept;
    // Drops the frames queued (their hosts return at once); with `changesToo`, the changes too.
    void dropFrames(bool changesToo) noexcept;

    // Worker thread: runs what is queued, in order. execute(frame) runs one request (null: a
    // change) and must not throw; then the queue finishes the frame and gives back its reference.
    template<class Execute>
    void run(Execute &&execute);

private:
    bool queueLocked(FrameRequest *request, std::unique_ptr<QEvent> &wake);
    std::unique_ptr<QEvent> wakeLocked();
    void postWake(std::unique_ptr<QEvent> wake) noexcept;
    // The next request, or false when none waits: the run is over, and a new wake may go out.
    bool next(FrameRequest *&request);

    QObject *const m_worker;
    mutable std::mutex m_mutex;
    std::vector<FrameRequest *> m_queue; // from m_head on; null stands for a change
    std::size_t m_head = 0;
    bool m_wakePosted = false; // a wake is handed out or posted, not yet delivered
    std::atomic<int> m_wakesInFlight { 0 }; // handed out, not yet posted
    bool m_changeQueued = false;
    bool m_closed = false;
    Wanted m_wanted;
    bool m_running = false; // worker thread only
};

template<class Execute>
void RequestQueue::run(Execute &&execute)
{
    if (m_running)
        return; // inside a request: the outer run goes on once it has returned
    m_running = true;
    FrameRequest *request = nullptr;
    while (next(request)) {
        execute(request);
        if (request) {
            request->finish(); // a frame that threw is over too; a finished one stays as it is
            request->release();
        }
        ModuleLifetime::parkIfExiting();
    }
    m_running = false;
}
