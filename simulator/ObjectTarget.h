// What one SDK object stands for: its kind, its board and light places in the scenario, the
// scenario it belongs to and the thread that created the SDK. Gives the object's journal name
// ("light:1:3") and matches fault patterns against it.
#pragma once

#include "SimulatorThreads.h"

#include <QString>

#include <cstdint>

namespace simulator {

struct ObjectTarget
{
    enum Kind { Sdk, Devices, Board, Lights, Light } kind = Sdk;
    int board = -1;
    int light = -1;
    std::uint64_t generation = 0; // the scenario the object belongs to
    std::uint64_t service = 0; // the life of the vendor's service the object was handed out in
    ThreadId apartment = 0;

    // The same target for a child object.
    ObjectTarget child(Kind childKind, int childBoard, int childLight = -1) const;
};

// "sdk", "devices", "board:B", "lights:B" or "light:B:L".
QString objectName(const ObjectTarget &target);
// A fault's object pattern: "kind:board:light" with "*" for any part; missing parts match anything.
bool objectMatches(const QString &pattern, const ObjectTarget &target);
// A journal query: name and pattern have the same number of parts, each equal or "*" in the
// pattern; the pattern "*" alone matches every name.
bool journalNameMatches(const QString &pattern, const QString &name);

} // namespace simulator
