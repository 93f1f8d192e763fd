#include "DeviceEnumeration.h"

#include "DeviceBuilder.h"
#include "DeviceTypes.h"
#include "MotherboardMerge.h"
#include "sdk/GlintSdkLog.h"

void enumerateDevices(IGlintSdk2 *sdk, std::int32_t type, DeviceStore &store)
{
    store.clear();
    if (!sdk)
        return;
    ComPtr<IGlintSyncDeviceCollection> collection;
    HRESULT hr = sdk->Enumerate(type, collection.receive());
    if (FAILED(hr)) {
        qCCritical(glintSdkControllerLog)
            << "Failed IGlintSdk::Enumerate() with HRESULT(" << hresultText(hr) << ")";
        return;
    }
    if (!collection)
        return;
    int count = 0;
    hr = collection->get_Count(&count);
    if (FAILED(hr)) {
        qCCritical(glintSdkControllerLog)
            << "Failed IGlintSyncDeviceCollection::get_Count() with HRESULT(" << hresultText(hr)
            << ")";
        return;
    }
    qCDebug(glintSdkControllerLog) << "IGlintSdk2::Enumerate(" << deviceTypeName(type) << ") returns"
                                  << count << "devices";
    if (type == GlintMotherboardType && count >= 2) {
        qCDebug(glintSdkControllerLog) << "Multiple motherboards detected. Merge them into one device...";
        enumerateMultipleMotherboards(collection.get(), count, store);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const DeviceBuildResult result = buildDeviceData(collection.get(), i, type);
        if (!result.first.isEmpty())
            store.insert(result.first, result.second);
    }
}
