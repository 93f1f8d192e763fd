#include "HostEvents.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

void TALVERN_CDECL HostCallbackRecorder::callback(void *context, const char *deviceId,
                                                  int32_t status)
{
    auto *recorder = static_cast<HostCallbackRecorder *>(context);
    {
        QMutexLocker lock(&recorder->m_mutex);
        recorder->m_notifications.append(
            { context, QByteArray(deviceId), status, QThread::currentThreadId() });
    }
    if (recorder->onNotification)
        recorder->onNotification(deviceId);
}

QVector<DeviceNotification> HostCallbackRecorder::notifications() const
{
    QMutexLocker lock(&m_mutex);
    return m_notifications;
}

int HostCallbackRecorder::count() const
{
    QMutexLocker lock(&m_mutex);
    return m_notifications.size();
}

bool runEventsUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void runPendingEvents(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
}
