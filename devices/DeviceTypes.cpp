#include "DeviceTypes.h"

namespace {

// Constant tables: no construction at first use and no destructor, so the worker may read them
// at any moment, also while the process exits under it.
struct TypeName
{
    std::int32_t type;
    const char *name;
};
constexpr TypeName typeNames[] = {
    { 0x10000, "Motherboard" },
    { 0x11000, "MotherboardLEDStrip" },
    { 0x12000, "AllInOnePC" },
    { 0x20000, "VGA" },
    { 0x30000, "Display" },
    { 0x40000, "Headset" },
    { 0x50000, "Microphone" },
    { 0x60000, "ExternalHDD" },
    { 0x61000, "ExternalBDDrive" },
    { 0x70000, "DRAM" },
    { 0x80000, "Keyboard" },
    { 0x81000, "NotebookKeyboard" },
    { 0x81001, "NotebookKeyboard4ZoneType" },
    { 0x90000, "Mouse" },
    { 0xB0000, "Chassis" },
    { 0xC0000, "Projector" },
};
constexpr std::int32_t motherboardType = 0x10000;
constexpr std::int32_t motherboardLedIdBase = 0x20001;
constexpr std::int32_t otherLedIdBase = 119;

} // namespace

QString deviceTypeName(std::int32_t type)
{
    for (const TypeName &entry : typeNames) {
        if (entry.type == type)
            return QLatin1String(entry.name);
    }
    return QStringLiteral("Unknown");
}

std::int32_t ledIdBase(std::int32_t type)
{
    return type == motherboardType ? motherboardLedIdBase : otherLedIdBase;
}
