// The four exports. Every table is a new block; nothing here touches the plug-in's state.
#include "HostMemory.h"
#include "HostRecordRelease.h"
#include "TableOperations.h"

#include <cstdlib>

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
    return instance;
}

TALVERN_EXPORT void TALVERN_CDECL TalvernPluginFreeInstance(TalvernPluginInstance *instance)
{
    std::free(instance);
}

} // extern "C"
