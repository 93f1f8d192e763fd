#include "LedColourApplication.h"

#include "StallMonitor.h"
#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

namespace {
const char skipFrame[] = "). Skip this lighting frame...";
} // namespace

void applyLedColours(const DeviceStore &store, const QByteArray &deviceId,
                     const LedColourFrame &colours, StallMonitor *stalls)
{
    const auto waitingIn = [stalls](const char *call) {
        if (stalls)
            stalls->waitingIn(call);
    };
    const auto device = store.devices().constFind(deviceId);
    if (device == store.devices().constEnd()) {
        writeLogLine(glintSdkControllerLog(), QtCriticalMsg, [](QDebug &line) {
            line << "TalvernPluginSetLedsColors: Invalid device id requested. Skip this lighting "
                    "frame...";
        });
        return;
    }
    const DeviceData &data = device.value();
    waitingIn("IGlintRgbLight::put_Red(), put_Green() and put_Blue()");
    for (const LedColour &colour : colours) {
        const auto light = data.ledsMap.constFind(colour.ledId);
        if (light == data.ledsMap.constEnd()) {
            writeLogLine(glintSdkControllerLog(), QtWarningMsg, [&](QDebug &line) {
                line << "Invalid LUID received from host:" << colour.ledId;
            });
            continue;
        }
        IGlintRgbLight *rgb = light.value().get();
        HRESULT hr = rgb->put_Red(BYTE(colour.r & 0xFF));
        if (FAILED(hr))
            return logFailedCall("Failed IGlintRgbLight::put_Red() with HRESULT(", hr, skipFrame);
        hr = rgb->put_Green(BYTE(colour.g & 0xFF));
        if (FAILED(hr))
            return logFailedCall("Failed IGlintRgbLight::put_Green() with HRESULT(", hr, skipFrame);
        hr = rgb->put_Blue(BYTE(colour.b & 0xFF));
        if (FAILED(hr))
            return logFailedCall("Failed IGlintRgbLight::put_Blue() with HRESULT(", hr, skipFrame);
    }
    waitingIn("IGlintSyncDevice::Apply()");
    const HRESULT hr = data.device->Apply();
    if (FAILED(hr))
        logFailedCall("Failed IGlintSyncDevice::Apply() with HRESULT(", hr);
    const auto subDevices = store.combinedSubDevices().constFind(deviceId);
    if (subDevices == store.combinedSubDevices().constEnd())
        return;
    for (const ComPtr<IGlintSyncDevice> &subDevice : subDevices.value()) {
        if (!subDevice)
            continue;
        const HRESULT subHr = subDevice->Apply();
        if (FAILED(subHr))
            logFailedCall("[Combined SubDevice] Failed IGlintSyncDevice::Apply() with HRESULT(",
                          subHr);
    }
}
