#include "GlintSdkWorker.h"

#include "GlintSdkLog.h"
#include "devices/DeviceEnumeration.h"

GlintSdkWorker::GlintSdkWorker()
    : QObject(nullptr)
{ }

GlintSdkWorker::~GlintSdkWorker()
{
    uninitialize();
}

void GlintSdkWorker::initialize()
{
    if (initialized.load())
        return;
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(hr)) {
        logFailedCall("Failed call to ::CoInitializeEx() with HRESULT:", hr, nullptr);
    } else {
        ComPtr<IGlintSdk2> created;
        hr = CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                              created.receiveVoid());
        if (FAILED(hr) || !created) {
            logFailedCall("Failed call to create instance of GlintSdk with HRESULT:", hr, nullptr);
            created.reset();
            CoUninitialize();
        } else {
            created->StartControl(); // its result tells nothing the plug-in acts on
            sdk = created;
            initialized.exchange(true);
        }
    }
    if (sdk) {
        enumerate(GlintMotherboardType);
        Q_EMIT enumerationCompleted();
    }
}

void GlintSdkWorker::uninitialize()
{
    if (!initialized.load())
        return;
    m_store.clear();
    sdk->StopControl(0); // its result tells nothing the plug-in acts on
    sdk.reset();
    CoUninitialize();
    initialized.exchange(false);
}

void GlintSdkWorker::setLedsColors(const QByteArray &deviceId, const LedColourFrame &colours)
{
    if (!isInitialized())
        return;
    applyLedColours(m_store, deviceId, colours);
}

void GlintSdkWorker::enumerate(std::int32_t type)
{
    enumerateDevices(sdk.get(), type, m_store);
}
