// The SDK's device type codes: their names and the first LED id each type numbers from.
#pragma once

#include <QString>

#include <cstdint>

// "Motherboard" for 0x10000 and so on; "Unknown" for a code the table lacks.
QString deviceTypeName(std::int32_t type);
// 0x20001 for motherboards, 119 for every other type.
std::int32_t ledIdBase(std::int32_t type);
