#include "DeviceTypes.h"

#include <QHash>

QString deviceTypeName(std::int32_t type)
{
    static const QHash<std::int32_t, QString> names = {
        { 0x10000, QStringLiteral("Motherboard") },
        { 0x11000, QStringLiteral("MotherboardLEDStrip") },
        { 0x12000, QStringLiteral("AllInOnePC") },
        { 0x20000, QStringLiteral("VGA") },
        { 0x30000, QStringLiteral("Display") },
        { 0x40000, QStringLiteral("Headset") },
        { 0x50000, QStringLiteral("Microphone") },
        { 0x60000, QStringLiteral("ExternalHDD") },
        { 0x61000, QStringLiteral("ExternalBDDrive") },
        { 0x70000, QStringLiteral("DRAM") },
        { 0x80000, QStringLiteral("Keyboard") },
        { 0x81000, QStringLiteral("NotebookKeyboard") },
        { 0x81001, QStringLiteral("NotebookKeyboard4ZoneType") },
        { 0x90000, QStringLiteral("Mouse") },
        { 0xB0000, QStringLiteral("Chassis") },
        { 0xC0000, QStringLiteral("Projector") },
    };
    return names.value(type, QStringLiteral("Unknown"));
}

std::int32_t ledIdBase(std::int32_t type)
{
    static const QHash<std::int32_t, std::int32_t> bases = { { 0x10000, 0x20001 } };
    return bases.value(type, 119);
}
