// The lock of the simulated state and a condition to wait on under it. An SRWLOCK and a
// CONDITION_VARIABLE on Windows, since the MinGW toolchain of the Windows compile check has no
// std::mutex, and the standard ones elsewhere. Not recursive.
#pragma once

#include "platform/Com.h"

#ifndef _WIN32
#include <chrono>
#include <condition_variable>
#include <mutex>
#endif

class SimulatorLock
{
public:
    SimulatorLock() = default;
    SimulatorLock(const SimulatorLock &) = delete;
    SimulatorLock &operator=(const SimulatorLock &) = delete;

#ifdef _WIN32
    void lock()
    {
        AcquireSRWLockExclusive(&m_lock);
    }
    void unlock()
    {
        ReleaseSRWLockExclusive(&m_lock);
    }

private:
    friend class SimulatorCondition;
    SRWLOCK m_lock = SRWLOCK_INIT;
#else
    void lock()
    {
        m_mutex.lock();
    }
    void unlock()
    {
        m_mutex.unlock();
    }

private:
    friend class SimulatorCondition;
    std::mutex m_mutex;
#endif
};

// Holds a SimulatorLock for its scope.
class SimulatorLocker
{
public:
    explicit SimulatorLocker(SimulatorLock &lock)
        : m_lock(lock)
    {
        m_lock.lock();
    }
    ~SimulatorLocker() { m_lock.unlock(); }
    SimulatorLocker(const SimulatorLocker &) = delete;
    SimulatorLocker &operator=(const SimulatorLocker &) = delete;

private:
    SimulatorLock &m_lock;
};

class SimulatorCondition
{
public:
    SimulatorCondition() = default;
    SimulatorCondition(const SimulatorCondition &) = delete;
    SimulatorCondition &operator=(const SimulatorCondition &) = delete;

    // With the lock held: gives it up until notified or milliseconds have passed (negative: no
    // limit), then takes it again. May also return early; callers test their own condition.
    void wait(SimulatorLock &lock, int milliseconds)
    {
#ifdef _WIN32
        SleepConditionVariableSRW(&m_condition, &lock.m_lock,
                                  milliseconds < 0 ? INFINITE : DWORD(milliseconds), 0);
#else
        std::unique_lock<std::mutex> held(lock.m_mutex, std::adopt_lock);
        if (milliseconds < 0)
            m_condition.wait(held);
        else
            m_condition.wait_for(held, std::chrono::milliseconds(milliseconds));
        held.release();
#endif
    }
    void notifyAll()
    {
#ifdef _WIN32
        WakeAllConditionVariable(&m_condition);
#else
        m_condition.notify_all();
#endif
    }

private:
#ifdef _WIN32
    CONDITION_VARIABLE m_condition = CONDITION_VARIABLE_INIT;
#else
    std::condition_variable m_condition;
#endif
};
