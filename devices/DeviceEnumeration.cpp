#include "DeviceEnumeration.h"

#include "DeviceBuilder.h"
#include "DeviceTypes.h"
#include "MotherboardMerge.h"
#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

void enumerateDevices(IGlintSdk2 *sdk, std::int32_t type, DeviceStore &store)
{
    store.clear();
    if (!sdk)
        return;
    ComPtr<IGlintSyncDeviceCollection> collection;
    HRESULT hr = sdk->Enumerate(type, collection.receive());
    if (FAILED(hr)) {
        logFailedCall("Failed IGlintSdk::Enumerate() with HRESULT(", hr);
        return;
    }
    if (!collection)
        return;
    int count = 0;
    hr = collection->get_Count(&count);
    if (FAILED(hr)) {
        logFailedCall("Failed IGlintSyncDeviceCollection::get_Count() with HRESULT(", hr);
        return;
    }
    writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
        line << "IGlintSdk2::Enumerate(" << deviceTypeName(type) << ") returns" << count
             << "devices";
    });
    if (count > maxCountFromSdk) {
        writeLogLine(glintSdkControllerLog(), QtWarningMsg, [&](QDebug &line) {
            line.nospace() << "IGlintSdk2::Enumerate(): " << count
                           << " devices: Invalid data received. Skipping every device";
        });
        return;
    }
    if (type == GlintMotherboardType && count >= 2) {
        writeLogLine(glintSdkControllerLog(), QtDebugMsg, [](QDebug &line) {
            line << "Multiple motherboards detected. Merge them into one device...";
        });
        enumerateMultipleMotherboards(collection.get(), count, store);
        return;
    }
    for (int i = 0; i < count; ++i) {
        DeviceBuild build = buildDeviceData(collection.get(), i, type);
        if (build.isValid())
            store.insert(std::move(build));
    }
}
