#include "PluginState.h"

#include "BoundaryLog.h"
#include "sdk/AuraSdkController.h"
#include "sdk/AuraSdkLog.h"

void *g_context = nullptr;
TalvernPluginDeviceCallback g_callback = nullptr;
int32_t g_currentPluginMode = 0;

std::unique_ptr<AuraSdkController> &controllerOwner()
{
    // Statics are destroyed in reverse order of construction: creating the logging categories
    // first keeps them alive while the controller winds its worker down at unload.
    auraSdkControllerLog();
    boundaryLog();
    static std::unique_ptr<AuraSdkController> owner;
    return owner;
}
