#include "PluginHost.h"

#include <QMutexLocker>

#include <cstdio>

namespace {

constexpr int32_t ExpectedApiVersion = 102;
constexpr int32_t ExpectedFeatures = 4;
// How long the unload may take to see the plug-in leave the process (its worker winding down).
constexpr int UnloadWaitMs = 2000;

const char *text(const char *value)
{
    return value ? value : "(null)";
}

void printImage(const char *what, const TalvernPluginImage *image)
{
    if (!image) {
        std::printf("    %s: none\n", what);
        return;
    }
    std::printf("    %s: %s, %s\n", what, text(image->fileName),
                image->checksum ? image->checksum : "no checksum");
}

} // namespace

PluginHost::PluginHost(bool printDevices)
    : m_printDevices(printDevices)
{ }

PluginHost::~PluginHost()
{
    stop();
}

bool PluginHost::load(const QString &path, QString *error)
{
    auto library = std::make_unique<PluginLibrary>(path);
    if (!library->hasExports()) {
        *error = PluginLibrary::isInProcess(path)
            ? QStringLiteral("the plug-in lacks one of its four exports")
            : QStringLiteral("cannot load the plug-in: ") + library->errorString();
        return false;
    }
    const int32_t version = library->apiVersion();
    const int32_t featureBits = library->features();
    if (version != ExpectedApiVersion || featureBits != ExpectedFeatures) {
        *error = QStringLiteral("plug-in mismatch: API version %1 (expected %2), features %3 "
                                "(expected %4)")
                     .arg(version)
                     .arg(ExpectedApiVersion)
                     .arg(featureBits)
                     .arg(ExpectedFeatures);
        return false;
    }
    if (!library->openTable()) {
        *error = QStringLiteral("the plug-in gives no operation table");
        return false;
    }
    const TalvernPluginInstance &table = library->table();
    if (!table.getDeviceInfo || !table.setLedsColors || !table.subscribe || !table.unsubscribe
        || !table.getDeviceView || !table.freeDeviceInfo || !table.freeDeviceView
        || !table.setPluginMode) {
        *error = QStringLiteral("the plug-in's operation table is incomplete");
        return false;
    }
    m_library = std::move(library);
    m_table = &m_library->table();
    std::printf("plug-in: %s (API version %d, features %d)\n", qPrintable(path), version,
                featureBits);
    return true;
}

void PluginHost::start()
{
    if (!m_table)
        return;
    m_table->subscribe(this, &PluginHost::deviceCallback);
    m_table->setPluginMode(2);
}

bool PluginHost::stop()
{
    if (!m_library)
        return true;
    if (m_table) {
        m_table->setPluginMode(1);
        m_table->unsubscribe();
    }
    m_table = nullptr;
    const bool left = m_library->unload(UnloadWaitMs);
    m_library.reset();
    return left;
}

QVector<HostDevice> PluginHost::devices() const
{
    QMutexLocker lock(&m_mutex);
    return m_devices;
}

void PluginHost::sendFrame(const QByteArray &deviceId,
                           const QVector<TalvernPluginLedColor> &colours) const
{
    if (m_table)
        m_table->setLedsColors(deviceId.constData(), colours.size(), colours.constData());
}

void TALVERN_CDECL PluginHost::deviceCallback(void *context, const char *deviceId, int32_t status)
{
    if (context)
        static_cast<PluginHost *>(context)->deviceReported(deviceId, status);
}

void PluginHost::deviceReported(const char *deviceId, int32_t status)
{
    ++m_reports;
    if (!deviceId || !m_table) {
        std::printf("device report without an id (status %d) ignored\n", status);
        return;
    }
    // Copied at once: the id is valid only during this call.
    const QByteArray id(deviceId);
    TalvernPluginDeviceInfo *info = m_table->getDeviceInfo(id.constData());
    if (!info) {
        std::printf("device %s (status %d): no description\n", id.constData(), status);
        return;
    }
    HostDevice device;
    device.id = id;
    device.name = QString::fromUtf8(text(info->deviceName));
    if (info->ledPositions && info->ledPositions->positions) {
        for (int i = 0; i < info->ledPositions->count; ++i) {
            const TalvernPluginLedPosition &p = info->ledPositions->positions[i];
            device.leds.append(HostLed { p.ledId, p.x, p.y });
        }
    }
    if (m_printDevices)
        printDescription(*info);
    const int viewCount = info->viewCount;
    m_table->freeDeviceInfo(info);
    for (int index = 0; index < viewCount; ++index) {
        TalvernPluginDeviceView *view = m_table->getDeviceView(id.constData(), index);
        if (!view) {
            if (m_printDevices)
                std::printf("  view %d: none\n", index);
            continue;
        }
        if (m_printDevices)
            printView(index, *view);
        m_table->freeDeviceView(view);
    }
    std::fflush(stdout);

    // Every enumeration reports every device again; keep one entry per id.
    QMutexLocker lock(&m_mutex);
    for (HostDevice &known : m_devices) {
        if (known.id == device.id) {
            known = device;
            return;
        }
    }
    m_devices.append(device);
}

void PluginHost::printDescription(const TalvernPluginDeviceInfo &info) const
{
    const int count = info.ledPositions ? info.ledPositions->count : 0;
    std::printf("device \"%s\"\n  id: %s\n  kind: %d\n  LEDs: %d\n", text(info.deviceName),
                text(info.deviceId), info.deviceKind, count);
    if (info.ledPositions && info.ledPositions->positions) {
        for (int i = 0; i < count; ++i) {
            const TalvernPluginLedPosition &p = info.ledPositions->positions[i];
            std::printf("    LED %d at (%g, %g)\n", p.ledId, p.x, p.y);
        }
    }
    printImage("thumbnail", info.thumbnail);
    printImage("promo", info.promo);
    std::printf("  views: %d\n", info.viewCount);
}

void PluginHost::printView(int index, const TalvernPluginDeviceView &view) const
{
    std::printf("  view %d\n", index);
    printImage("device view image", view.deviceViewImage);
    printImage("hull layout mask", view.hullLayoutMaskImage);
    const int count = view.ledZones ? view.ledZones->count : 0;
    std::printf("    zones: %d\n", count);
    if (view.ledZones && view.ledZones->zones) {
        for (int i = 0; i < count; ++i) {
            const TalvernPluginLedZone &z = view.ledZones->zones[i];
            std::printf("      LED %d: %s (zone \"%s\", kind %d)\n", z.ledId, text(z.label),
                        text(z.zoneName), z.zoneKind);
        }
    }
}
