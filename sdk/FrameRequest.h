// One colour frame on its way from a host thread to the worker, shared by the host thread that
// waits for it and the worker's queue. Its state moves out of Pending exactly once, by
// compare-and-swap: the worker starts it, the waiting host withdraws it when its wait is over, or
// the worker drops it unrun (it is stopping). A started frame finishes on its own even when its
// host no longer waits.
//
// The device id and the colours are copies: nothing here points into the host's memory, which
// the host may reuse as soon as its call returns. The state, an atomic, is what hands the frame
// over; the semaphore only lets the host sleep until then (the same futex-based sleep a blocking
// queued call uses, at its cost).
#pragma once

#include "LedColourFrame.h"

#include <QSemaphore>

#include <atomic>

class FrameRequest
{
public:
    enum State { Pending, Running, Done, Withdrawn, Dropped };

    // One reference for the caller.
    static FrameRequest *create(const char *deviceId, const LedColourFrame &colours);
    void addRef() noexcept { m_references.fetch_add(1, std::memory_order_relaxed); }
    void release() noexcept;

    // Worker thread.
    bool start() noexcept { return move(Pending, Running); }
    void finish() noexcept { settle(Running, Done); }
    // Any thread: the frame will not run.
    void drop() noexcept { settle(Pending, Dropped); }
    // The host: waits until the frame is done or dropped, or until the time is up.
    State waitFor(int milliseconds);
    bool withdraw() noexcept { return move(Pending, Withdrawn); }

    // The id's bytes (NUL-terminated), valid while the request lives.
    const char *deviceId() const { return m_id; }
    int deviceIdLength() const { return m_idLength; }
    const LedColourFrame &colours() const { return m_colours; }

    FrameRequest(const FrameRequest &) = delete;
    FrameRequest &operator=(const FrameRequest &) = delete;

private:
    FrameRequest(const char *deviceId, std::size_t length, const LedColourFrame &colours);
    ~FrameRequest() = default;
    bool move(State from, State to) noexcept;
    void settle(State from, State to) noexcept;

    std::atomic<int> m_references { 1 };
    std::atomic<int> m_state { Pending };
    QSemaphore m_settled; // released once, when the frame is done or dropped
    LedColourFrame m_colours;
    int m_idLength = 0;
    char *m_id; // the bytes follow the object in its one allocation
};
