#include "BoundaryLog.h"
#include "ControllerLifecycle.h"
#include "HostCallGuard.h"
#include "PluginState.h"
#include "TableOperations.h"
#include "glint/LogLine.h"

#include <QThread>

void notifyHostAboutCurrentConnectedDevices()
{
    // Runs from the controller's signal inside Qt's event loop, or from a subscription: nothing
    // may unwind out of it.
    guardHostCall("notifyHostAboutCurrentConnectedDevices", [] {
        const ControllerLifecycle::Use use =
            ControllerLifecycle::instance().use(ControllerLifecycle::UseKind::Notification);
        if (!use)
            return; // stopped: there is nobody left to report to
        const HostSubscriber subscriber = currentSubscriber();
        if (g_currentPluginMode != PluginModeRunning || !subscriber.callback
            || !subscriber.context) {
            writeLogLine(
                boundaryLog(), QtCriticalMsg, [&](QDebug &line) {
                    line.nospace()
                        << "notifyHostAboutCurrentConnectedDevices(), precondition(s) invalid => "
                        << "g_currentPluginMode:" << g_currentPluginMode.load()
                        << "; g_callback:" << reinterpret_cast<const void *>(subscriber.callback)
                        << "; g_context:" << subscriber.context;
                });
            return;
        }
        const QList<QByteArray> ids = use->connectedDeviceIds();
        for (const QByteArray &id : ids) {
            // A callback may have ended the session: its devices are gone with it.
            if (!use.isCurrent())
                break;
            // Read afresh for every report: the callback itself may unsubscribe or subscribe
            // again; a report always pairs a callback with its own context. A host that
            // subscribed again on another thread meanwhile heard of the devices there.
            const HostSubscriber current = currentSubscriber();
            if (!current.callback || !current.context
                || current.thread != QThread::currentThreadId())
                break;
            current.callback(current.context, id.constData(), 1);
        }
    });
}
