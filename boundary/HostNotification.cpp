#include "BoundaryLog.h"
#include "PluginState.h"
#include "TableOperations.h"
#include "sdk/GlintSdkController.h"

void notifyHostAboutCurrentConnectedDevices()
{
    const std::unique_ptr<GlintSdkController> &controller = controllerOwner();
    if (g_currentPluginMode != PluginModeRunning || !g_callback || !g_context || !controller) {
        qCCritical(boundaryLog).nospace()
            << "notifyHostAboutCurrentConnectedDevices(), precondition(s) invalid => "
            << "g_currentPluginMode:" << g_currentPluginMode.load()
            << "; g_callback:" << reinterpret_cast<const void *>(g_callback)
            << "; g_context:" << static_cast<const void *>(g_context);
        return;
    }
    const QList<QByteArray> ids = controller->connectedDeviceIds();
    for (const QByteArray &id : ids) {
        // Read afresh: the callback itself may unsubscribe.
        TalvernPluginDeviceCallback callback = g_callback;
        if (!callback)
            break;
        callback(g_context, id.constData(), 1);
    }
}
