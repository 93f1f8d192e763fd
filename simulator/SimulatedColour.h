// One light's colour as the substitute SDK holds it.
#pragma once

#include "SimulatorExport.h"

#include <cstdint>

struct GLINT_SIMULATOR_EXPORT SimulatedColour
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const SimulatedColour &o) const
    {
        return red == o.red && green == o.green && blue == o.blue;
    }
    bool operator!=(const SimulatedColour &o) const { return !(*this == o); }
};
