#include "DeviceBuilder.h"

#include "DeviceTypes.h"
#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"
#include "platform/BstrString.h"

#include <QCryptographicHash>

namespace {

// The host's codes for an LED's position and zone; what they mean is the host's.
constexpr std::int32_t LedPositionKind = 1;
constexpr std::int32_t LedZoneKind = 2;

std::string imageName(std::int32_t type, const char *suffix)
{
    return deviceTypeName(type).toStdString() + "-" + suffix;
}

} // namespace

std::vector<LedPosition> buildLedPositions(std::int32_t type, std::int32_t ledCount)
{
    std::vector<LedPosition> positions;
    const std::int32_t base = ledIdBase(type);
    if (ledCount > 0)
        positions.reserve(std::size_t(ledCount));
    for (std::int32_t i = 0; i < ledCount; ++i)
        positions.push_back({ base + i, double(i), 0.0, LedPositionKind });
    return positions;
}

std::vector<LedZone> buildLedZones(std::int32_t type, IGlintRgbLightCollection *lights,
                                   std::int32_t ledCount)
{
    std::vector<LedZone> zones;
    const std::int32_t base = ledIdBase(type);
    for (std::int32_t i = 0; i < ledCount; ++i) {
        ComPtr<IGlintRgbLight> light;
        HRESULT hr = lights->get_Item(i, light.receive());
        if (FAILED(hr)) {
            logFailedCall("Failed IGlintRgbLightCollection::get_Item() with HRESULT(", hr);
            continue;
        }
        if (!light)
            continue;
        BstrHolder name;
        hr = light->get_Name(name.receive());
        if (FAILED(hr)) {
            logFailedCall("Failed IGlintRgbLight::get_Name() with HRESULT(", hr);
            continue;
        }
        const QString zoneName = toQString(name);
        zones.push_back({ base + i, std::string(), LedZoneKind, zoneName.toStdString() });
        writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
            line.nospace() << "Led zone #" << i << "; zoneName: " << zoneName;
        });
    }
    return zones;
}

DeviceBuild buildDeviceData(IGlintSyncDeviceCollection *collection, std::int32_t index,
                            std::int32_t type)
{
    ComPtr<IGlintSyncDevice> device;
    HRESULT hr = collection->get_Item(index, device.receive());
    if (FAILED(hr)) {
        logFailedCall("Failed IGlintSyncDeviceCollection::get_Item() with HRESULT(", hr);
        return {};
    }
    // A device that failed to arrive is caught by the validity check below, after the name.
    BstrHolder rawName;
    if (device) {
        hr = device->get_Name(rawName.receive());
        if (FAILED(hr)) {
            logFailedCall("Failed IGlintSyncDevice::get_Name() with HRESULT(", hr);
            return {};
        }
    }
    QString name = toQString(rawName);
    if (type == GlintMotherboardType && name == QLatin1String("Mainboard_Master"))
        name = QStringLiteral("Norvane Motherboard");
    const QByteArray id = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Md5).toHex();

    ComPtr<IGlintRgbLightCollection> lights;
    std::int32_t ledCount = 0;
    if (device) {
        hr = device->get_Lights(lights.receive());
        if (FAILED(hr)) {
            logFailedCall("Failed IGlintSyncDevice::get_Lights() with HRESULT(", hr);
            return {};
        }
    }
    if (lights) {
        int count = 0;
        hr = lights->get_Count(&count);
        if (FAILED(hr)) {
            logFailedCall("Failed IGlintRgbLightCollection::get_Count() with HRESULT(", hr);
            return {};
        }
        ledCount = count;
    }
    if (!device || !lights || name.isEmpty() || id.isEmpty() || ledCount > maxCountFromSdk) {
        writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
            line.nospace() << "Device #" << index
                           << ": Invalid data received. Skipping this device";
        });
        return {};
    }
    writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
        line.nospace() << "Device #" << index << "; friendly name: " << name << "; id:" << id
                       << "; Leds Count: " << ledCount;
    });

    // Positions, zones and the LED map each give the board's light i the id base + i, so the
    // three agree by index alone. The lights are fetched twice, once for their zone names and once
    // for the colours, and each pass skips only what failed in it: a light whose name cannot be
    // read has no zone but still takes colours, and one that cannot be fetched for the map keeps
    // its position and zone. No light ever takes another's id.
    DeviceBuild build;
    DeviceDescription &description = build.description;
    description.ledPositions = buildLedPositions(type, ledCount);
    std::vector<LedZone> zones = buildLedZones(type, lights.get(), ledCount);
    for (std::int32_t i = 0; i < ledCount; ++i) {
        ComPtr<IGlintRgbLight> light;
        hr = lights->get_Item(i, light.receive());
        if (FAILED(hr)) {
            logFailedCall(
                "Failed IGlintRgbLightCollection::get_Item() during enumeration with HRESULT(", hr,
                ").");
            continue;
        }
        if (light)
            build.ledsMap.insert(description.ledPositions[std::size_t(i)].ledId, light);
    }
    build.id = id;
    build.device = device;
    description.friendlyName = name.toStdString();
    description.promoImage = imageName(type, "promo.png");
    description.thumbnailImage = imageName(type, "thumbnail.png");
    DeviceView view;
    view.hullLayoutMaskImage = imageName(type, "hullLayoutMask.png");
    view.deviceViewImage = imageName(type, "device_view.png");
    view.ledZones = std::move(zones);
    description.deviceViews.push_back(std::move(view));
    return build;
}
