// The simulated boards and injected failures as the Qt-free core holds them: the same values as
// Scenario, with UTF-16 names (a BSTR's encoding) and UTF-8 fault patterns.
#pragma once

#include "platform/Com.h"

#include <string>
#include <vector>

namespace simulator {

struct BoardSetup
{
    std::u16string name;
    int type = 0x10000; // the Enumerate type code that reports this board
    std::vector<std::u16string> lightNames; // one per light, in index order
    int applyDelayMs = 0; // how long each Apply of this board blocks
    int claimedLights = -1; // what get_Count of its lights says, when it lies (-1: the truth)

    // A board of count lights named "LED 1" to "LED count".
    static BoardSetup withLights(const std::u16string &name, int count, int type = 0x10000);
};

// As FaultRule: object "sdk", "devices", "board:B", "lights:B" or "light:B:L", any part "*".
struct FaultSetup
{
    std::string object;
    std::string method;
    HRESULT result = static_cast<HRESULT>(0x80004005u); // S_OK: the call only blocks or pumps
    int call = 0;
    int index = -1;
    int times = 0;
    int forMs = 0;
    int blockMs = 0;
    bool pump = false;
};

// FaultSetup::blockMs for a call that blocks until SimulatorState::releaseBlockedCalls().
constexpr int BlockUntilReleased = -1;

struct ScenarioSetup
{
    std::vector<BoardSetup> boards;
    std::vector<FaultSetup> faults;
    int claimedDevices = -1; // what get_Count of every device collection says (-1: the truth)

    // One board as the SDK names the motherboard, with eight lights.
    static ScenarioSetup defaultSetup();
};

} // namespace simulator
