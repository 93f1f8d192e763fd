// The lock of the simulated state. An SRWLOCK on Windows, since the MinGW toolchain of the
// Windows compile check has no std::mutex, and std::mutex elsewhere. Not recursive.
#pragma once

#include "platform/Com.h"

#ifndef _WIN32
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
