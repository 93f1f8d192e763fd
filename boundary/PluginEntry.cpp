// The four exports. Every table is a new block. The host giving back its last table is the last
// moment its calling order offers before it unloads the library, and one outside any loader
// lock: the controller is stopped there (ControllerLifecycle.h).
#include "ControllerLifecycle.h"
#include "HostCallGuard.h"
#include "HostMemory.h"
#include "HostRecordRelease.h"
#include "TableOperations.h"

#include <cstdlib>

namespace {

TalvernPluginInstance *newInstance()
{
    ControllerLifecycle &lifecycle = ControllerLifecycle::instance(); // may throw: nothing made yet
    auto *instance = allocateHostArray<TalvernPluginInstance>(1);
    if (!instance)
        return nullptr;
    instance->getDeviceInfo = &TalvernPluginGetDeviceInfo;
    instance->setLedsColors = &TalvernPluginSetLedsColors;
    instance->subscribe = &TalvernPluginSubscribe;
    instance->unsubscribe = &TalvernPluginUnsubscribe;
    instance->getDeviceView = &TalvernPluginGetDeviceView;
    instance->freeDeviceInfo = &TalvernPluginFreeDeviceInfo;
    instance->freeDeviceView = &TalvernPluginFreeDeviceView;
    instance->setPluginMode = &TalvernPluginSetPluginMode;
    lifecycle.tableHandedOut();
    return instance;
}

} // namespace

extern "C" {

TALVERN_EXPORT int32_t TALVERN_CDECL TalvernPluginGetAPIVersion(void)
{
    return 102;
}

TALVERN_EXPORT int32_t TALVERN_CDECL TalvernPluginGetFeatures(void)
{
    return 4;
}

TALVERN_EXPORT TalvernPluginInstance *TALVERN_CDECL TalvernPluginGetInstance(void)
{
    return guardHostCall("TalvernPluginGetInstance", static_cast<TalvernPluginInstance *>(nullptr),
                         [] { return newInstance(); });
}

TALVERN_EXPORT void TALVERN_CDECL TalvernPluginFreeInstance(TalvernPluginInstance *instance)
{
    if (!instance)
        return;
    std::free(instance);
    guardHostCall("TalvernPluginFreeInstance",
                  [] { ControllerLifecycle::instance().tableReturned(); });
}

} // extern "C"
