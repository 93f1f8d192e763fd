#include "AuraSdkWorker.h"

#include "AuraSdkLog.h"
#include "devices/DeviceEnumeration.h"

AuraSdkWorker::AuraSdkWorker() : QObject(nullptr) { }

AuraSdkWorker::~AuraSdkWorker()
{
    uninitialize();
}

void AuraSdkWorker::initialize()
{
    if (initialized.load())
        return;
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(hr)) {
        qCCritical(auraSdkControllerLog)
            << "Failed call to ::CoInitializeEx() with HRESULT:" << hresultText(hr);
    } else {
        ComPtr<IAuraSdk2> created;
        hr = CoCreateInstance(CLSID_AuraSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IAuraSdk2,
                              created.receiveVoid());
        if (FAILED(hr) || !created) {
            qCCritical(auraSdkControllerLog)
                << "Failed call to create instance of AuraSdk with HRESULT:" << hresultText(hr);
            created.reset();
            CoUninitialize();
        } else {
            created->StartControl(); // its result tells nothing the plug-in acts on
            sdk = created;
            initialized.exchange(true);
        }
    }
    if (sdk) {
        enumerate(AuraMotherboardType);
        Q_EMIT enumerationCompleted();
    }
}

void AuraSdkWorker::uninitialize()
{
    if (!initialized.load())
        return;
    store.clear();
    sdk->StopControl(0); // its result tells nothing the plug-in acts on
    sdk.reset();
    CoUninitialize();
    initialized.exchange(false);
}

void AuraSdkWorker::setLedsColors(const QByteArray &deviceId,
                                  const QVector<TalvernPluginLedColor> &colours)
{
    if (!isInitialized())
        return;
    applyLedColours(store, deviceId, colours);
}

void AuraSdkWorker::enumerate(std::int32_t type)
{
    enumerateDevices(sdk.get(), type, store);
}
