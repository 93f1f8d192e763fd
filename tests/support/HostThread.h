// One of a host's own threads: it runs a Qt event loop (a host's subscribing thread must, and the
// plug-in's reports reach it there) and runs the functions given to it in that loop, one at a time.
// Optionally it is a single-threaded COM apartment of its own from start to end, as a host's UI
// thread is.
#pragma once

#include <QObject>

#include <functional>
#include <future>
#include <memory>
#include <thread>

class HostThread
{
public:
    explicit HostThread(bool apartment = false);
    // Ends the thread, if end() has not.
    ~HostThread();

    // Queues work for the thread's event loop; the future is ready once it has run.
    std::shared_future<void> post(std::function<void()> work);
    // Runs work there and waits for it.
    void run(std::function<void()> work) { post(std::move(work)).wait(); }
    // Quits the event loop once what is queued has run, and waits for the thread to end.
    void end();

    bool isRunning() const { return m_running; }
    // The thread's id as QThread::currentThreadId() gives it there.
    Qt::HANDLE id() const { return m_id; }

    HostThread(const HostThread &) = delete;
    HostThread &operator=(const HostThread &) = delete;

private:
    std::unique_ptr<QObject> m_context; // lives on the thread: what posted work is delivered to
    Qt::HANDLE m_id = nullptr;
    bool m_running = false;
    std::thread m_thread;
};
