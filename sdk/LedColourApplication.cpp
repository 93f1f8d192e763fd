#include "LedColourApplication.h"

#include "GlintSdkLog.h"

namespace {

void logPutFailure(const char *call, HRESULT hr)
{
    qCCritical(glintSdkControllerLog) << call << hresultText(hr) << "). Skip this lighting frame...";
}

} // namespace

void applyLedColours(const DeviceStore &store, const QByteArray &deviceId,
                     const QVector<TalvernPluginLedColor> &colours)
{
    const auto device = store.devices().constFind(deviceId);
    if (device == store.devices().constEnd()) {
        qCCritical(glintSdkControllerLog)
            << "TalvernPluginSetLedsColors: Invalid device id requested. Skip this lighting frame...";
        return;
    }
    const DeviceData &data = device.value();
    for (const TalvernPluginLedColor &colour : colours) {
        const auto light = data.ledsMap.constFind(colour.ledId);
        if (light == data.ledsMap.constEnd()) {
            qCWarning(glintSdkControllerLog) << "Invalid LUID received from host:" << colour.ledId;
            continue;
        }
        IGlintRgbLight *rgb = light.value().get();
        HRESULT hr = rgb->put_Red(BYTE(colour.r & 0xFF));
        if (FAILED(hr))
            return logPutFailure("Failed IGlintRgbLight::put_Red() with HRESULT(", hr);
        hr = rgb->put_Green(BYTE(colour.g & 0xFF));
        if (FAILED(hr))
            return logPutFailure("Failed IGlintRgbLight::put_Green() with HRESULT(", hr);
        hr = rgb->put_Blue(BYTE(colour.b & 0xFF));
        if (FAILED(hr))
            return logPutFailure("Failed IGlintRgbLight::put_Blue() with HRESULT(", hr);
    }
    const HRESULT hr = data.device->Apply();
    if (FAILED(hr)) {
        qCCritical(glintSdkControllerLog)
            << "Failed IGlintSyncDevice::Apply() with HRESULT(" << hresultText(hr) << ")";
    }
    const auto subDevices = store.combinedSubDevices().constFind(deviceId);
    if (subDevices == store.combinedSubDevices().constEnd())
        return;
    for (const ComPtr<IGlintSyncDevice> &subDevice : subDevices.value()) {
        if (!subDevice)
            continue;
        const HRESULT subHr = subDevice->Apply();
        if (FAILED(subHr)) {
            qCCritical(glintSdkControllerLog)
                << "[Combined SubDevice] Failed IGlintSyncDevice::Apply() with HRESULT("
                << hresultText(subHr) << ")";
        }
    }
}
