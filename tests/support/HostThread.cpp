#include "HostThread.h"

#include "platform/Com.h"

#include <QEventLoop>
#include <QThread>

HostThread::HostThread(bool apartment)
{
    std::promise<void> started;
    m_thread = std::thread([this, apartment, &started] {
        if (apartment)
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        {
            QEventLoop loop;
            m_context = std::make_unique<QObject>();
            QObject::connect(m_context.get(), &QObject::destroyed, &loop, &QEventLoop::quit);
            m_id = QThread::currentThreadId();
            started.set_value();
            loop.exec();
        }
        if (apartment)
            CoUninitialize();
    });
    started.get_future().wait();
    m_running = true;
}

HostThread::~HostThread()
{
    end();
}

std::shared_future<void> HostThread::post(std::function<void()> work)
{
    auto done = std::make_shared<std::promise<void>>();
    std::shared_future<void> future = done->get_future().share();
    QMetaObject::invokeMethod(
        m_context.get(),
        [work = std::move(work), done] {
            work();
            done->set_value();
        },
        Qt::QueuedConnection);
    return future;
}

void HostThread::end()
{
    if (!m_running)
        return;
    m_running = false;
    // The context goes on its own thread, after what was queued before; its destruction quits
    // the loop.
    m_context.release()->deleteLater();
    m_thread.join();
}
