#include "FrameRequest.h"

#include <cstring>
#include <new>

FrameRequest *FrameRequest::create(const char *deviceId, const LedColourFrame &colours)
{
    const std::size_t length = std::strlen(deviceId);
    if (length > std::size_t(INT32_MAX))
        throw std::bad_alloc();
    // The id lives in the same block: one allocation for the request, none for the id.
    void *block = ::operator new(sizeof(FrameRequest) + length + 1);
    return new (block) FrameRequest(deviceId, length, colours);
}

FrameRequest::FrameRequest(const char *deviceId, std::size_t length, const LedColourFrame &colours)
    : m_colours(colours)
    , m_idLength(int(length))
    , m_id(reinterpret_cast<char *>(this + 1))
{
    std::memcpy(m_id, deviceId, length + 1);
}

void FrameRequest::release() noexcept
{
    if (m_references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        this->~FrameRequest();
        ::operator delete(static_cast<void *>(this));
    }
}

bool FrameRequest::move(State from, State to) noexcept
{
    int expected = from;
    return m_state.compare_exchange_strong(expected, to, std::memory_order_acq_rel);
}

void FrameRequest::settle(State from, State to) noexcept
{
    // Only the thread that moves the state wakes the host: the semaphore sleeps the host thread,
    // the state (an atomic) hands the frame over.
    if (move(from, to))
        m_settled.release();
}

FrameRequest::State FrameRequest::waitFor(int milliseconds)
{
    m_settled.tryAcquire(1, milliseconds);
    return State(m_state.load(std::memory_order_acquire));
}
