// What a host sees of the plug-in's notification, and a way to run the event loop until
// something has happened. The notification arrives through the subscribing thread's Qt event loop.
#pragma once

#include "boundary/TalvernPlugin.h"

#include <QByteArray>
#include <QMutex>
#include <QThread>
#include <QVector>

#include <functional>

struct DeviceNotification
{
    void *context = nullptr;
    QByteArray deviceId;
    int32_t status = 0;
    Qt::HANDLE thread = nullptr;
};

// The host's context: the subscription hands its address to the plug-in.
class HostCallbackRecorder
{
public:
    static void TALVERN_CDECL callback(void *context, const char *deviceId, int32_t status);
    QVector<DeviceNotification> notifications() const;
    int count() const;
    // Runs inside the callback, on the subscribing thread, after the notification was recorded.
    std::function<void(const char *deviceId)> onNotification;

private:
    mutable QMutex m_mutex;
    QVector<DeviceNotification> m_notifications;
};

// Spins the calling thread's event loop until done() holds or the time is up (generous: the
// 32-bit suite runs under an emulator). Returns done().
bool runEventsUntil(const std::function<bool()> &done, int timeoutMs = 30000);
// Spins the event loop for a while so that anything already posted gets delivered.
void runPendingEvents(int milliseconds = 50);
