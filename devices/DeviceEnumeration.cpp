#include "DeviceEnumeration.h"

#include "DeviceBuilder.h"
#include "DeviceTypes.h"
#include "MotherboardMerge.h"
#include "sdk/AuraSdkLog.h"

void enumerateDevices(IAuraSdk2 *sdk, std::int32_t type, DeviceStore &store)
{
    store.clear();
    if (!sdk)
        return;
    ComPtr<IAuraSyncDeviceCollection> collection;
    HRESULT hr = sdk->Enumerate(type, collection.receive());
    if (FAILED(hr)) {
        qCCritical(auraSdkControllerLog)
            << "Failed IAuraSdk::Enumerate() with HRESULT(" << hresultText(hr) << ")";
        return;
    }
    if (!collection)
        return;
    int count = 0;
    hr = collection->get_Count(&count);
    if (FAILED(hr)) {
        qCCritical(auraSdkControllerLog)
            << "Failed IAuraSyncDeviceCollection::get_Count() with HRESULT(" << hresultText(hr)
            << ")";
        return;
    }
    qCDebug(auraSdkControllerLog) << "IAuraSdk2::Enumerate(" << deviceTypeName(type) << ") returns"
                                  << count << "devices";
    if (type == AuraMotherboardType && count >= 2) {
        qCDebug(auraSdkControllerLog) << "Multiple motherboards detected. Merge them into one device...";
        enumerateMultipleMotherboards(collection.get(), count, store);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const DeviceBuildResult result = buildDeviceData(collection.get(), i, type);
        if (!result.first.isEmpty())
            store.insert(result.first, result.second);
    }
}
