// Subscription and mode switching: they start and stop the worker's device access.
#include "PluginState.h"
#include "TableOperations.h"
#include "sdk/GlintSdkController.h"

void TALVERN_CDECL TalvernPluginSubscribe(void *context, TalvernPluginDeviceCallback callback)
{
    g_context = context;
    g_callback = callback;
    std::unique_ptr<GlintSdkController> &controller = controllerOwner();
    if (!controller) {
        controller = std::make_unique<GlintSdkController>();
        QObject::connect(controller.get(), &GlintSdkController::enumerationCompleted,
                         controller.get(), &notifyHostAboutCurrentConnectedDevices);
        publishController();
    }
    if (g_currentPluginMode == PluginModeRunning) {
        notifyHostAboutCurrentConnectedDevices();
        controller->initialize();
    }
}

void TALVERN_CDECL TalvernPluginUnsubscribe()
{
    if (const std::unique_ptr<GlintSdkController> &controller = controllerOwner())
        controller->uninitialize();
    g_callback = nullptr;
    g_context = nullptr;
}

void TALVERN_CDECL TalvernPluginSetPluginMode(int32_t mode)
{
    if (mode == g_currentPluginMode)
        return;
    g_currentPluginMode = mode;
    // Before the first subscription there is nothing to start: the mode is kept, and the
    // subscription starts device access if it is 2 by then.
    const std::unique_ptr<GlintSdkController> &controller = controllerOwner();
    if (!controller)
        return;
    if (mode == PluginModeRunning)
        controller->initialize();
    else
        controller->uninitialize();
}
