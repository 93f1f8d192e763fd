// Subscription and mode switching: they start and stop the worker's device access.
#include "HostCallGuard.h"
#include "PluginState.h"
#include "TableOperations.h"
#include "sdk/GlintSdkController.h"

// A controller that cannot be built leaves the plug-in without one (the callback is stored); the
// next subscription tries again.
void TALVERN_CDECL TalvernPluginSubscribe(void *context, TalvernPluginDeviceCallback callback)
{
    guardHostCall("TalvernPluginSubscribe", [&] {
        setSubscriber(context, callback);
        startController();
        if (g_currentPluginMode != PluginModeRunning)
            return;
        notifyHostAboutCurrentConnectedDevices();
        // The callback may have given back the host's last table meanwhile, ending the controller.
        if (GlintSdkController *controller = currentController())
            controller->initialize();
    });
}

void TALVERN_CDECL TalvernPluginUnsubscribe()
{
    guardHostCall("TalvernPluginUnsubscribe", [] {
        if (GlintSdkController *controller = currentController())
            controller->uninitialize();
    });
    setSubscriber(nullptr, nullptr);
}

// A request that cannot be posted leaves the mode as it was, so that the mode and the worker's
// state never disagree.
void TALVERN_CDECL TalvernPluginSetPluginMode(int32_t mode)
{
    guardHostCall("TalvernPluginSetPluginMode", [mode] {
        const int32_t previous = g_currentPluginMode.exchange(mode);
        if (mode == previous)
            return;
        // Before the first subscription there is nothing to start: the mode is kept, and the
        // subscription starts device access if it is 2 by then.
        GlintSdkController *controller = currentController();
        if (!controller)
            return;
        try {
            if (mode == PluginModeRunning)
                controller->initialize();
            else
                controller->uninitialize();
        } catch (...) {
            g_currentPluginMode.store(previous);
            throw;
        }
    });
}
