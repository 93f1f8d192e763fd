// Subscription and mode switching: they say what the controller's connection should be.
#include "ControllerLifecycle.h"
#include "HostCallGuard.h"
#include "PluginState.h"
#include "TableOperations.h"

#include <QThread>

// A subscription that cannot be made (no memory for the controller or its request) is not made:
// the previous callback stays; the next subscription tries again.
void TALVERN_CDECL TalvernPluginSubscribe(void *context, TalvernPluginDeviceCallback callback)
{
    guardHostCall("TalvernPluginSubscribe", [&] {
        const HostSubscriber previous = currentSubscriber();
        setSubscriber({ context, callback, QThread::currentThreadId() });
        try {
            ControllerLifecycle &lifecycle = ControllerLifecycle::instance();
            lifecycle.ensureController();
            if (g_currentPluginMode != PluginModeRunning)
                return;
            notifyHostAboutCurrentConnectedDevices();
            // The callback may have given back the host's last table meanwhile: then there is no
            // controller to ask, or a new one of a new session.
            lifecycle.requestOpen(true);
            lifecycle.hostCallEnds();
        } catch (...) {
            setSubscriber(previous);
            throw;
        }
    });
}

// An unsubscription whose request cannot be made is not made either: the callback stays.
void TALVERN_CDECL TalvernPluginUnsubscribe()
{
    guardHostCall("TalvernPluginUnsubscribe", [] {
        ControllerLifecycle &lifecycle = ControllerLifecycle::instance();
        lifecycle.requestOpen(false);
        setSubscriber({});
        lifecycle.hostCallEnds();
    });
}

// A request that cannot be made leaves the mode as it was, so that the mode and the controller's
// connection never disagree. Before the first subscription there is nothing to start: the mode is
// kept, and the subscription starts device access if it is 2 by then.
void TALVERN_CDECL TalvernPluginSetPluginMode(int32_t mode)
{
    guardHostCall("TalvernPluginSetPluginMode", [mode] {
        ControllerLifecycle &lifecycle = ControllerLifecycle::instance();
        const int32_t previous = g_currentPluginMode.exchange(mode);
        if (mode != previous) {
            try {
                lifecycle.requestOpen(mode == PluginModeRunning);
            } catch (...) {
                g_currentPluginMode.store(previous);
                throw;
            }
        }
        lifecycle.hostCallEnds();
    });
}
