// A C interface to set up and observe the substitute SDK, for programs that cannot use the Qt
// facade: the Qt-free Windows build of the server has no SimulatorControl. Resolved by name
// (GetProcAddress, dlsym), so the types below are what callers cast to.
#pragma once

#include "SimulatorExport.h"

extern "C" {

// Replaces the scenario by one without boards or faults; clears every observation but the
// object counts.
AURA_SIMULATOR_EXPORT void AuraSimulatorClearScenario();
// Adds a board to the scenario, with lightCount lights named by lightNames, or "LED 1" ... when
// lightNames is null. This makes a new scenario: objects handed out before fail their calls.
// Returns the board's place, or -1 for a null name or a negative count.
AURA_SIMULATOR_EXPORT int AuraSimulatorAddBoard(const char16_t *name, int type,
                                                const char16_t *const *lightNames, int lightCount);
// The colour the board's last Apply showed on a light, as 0xRRGGBB; -1 for no such light.
AURA_SIMULATOR_EXPORT int AuraSimulatorLatchedColour(int board, int light);
AURA_SIMULATOR_EXPORT int AuraSimulatorApplyCount(int board);
AURA_SIMULATOR_EXPORT int AuraSimulatorStartCalls();
AURA_SIMULATOR_EXPORT int AuraSimulatorStopCalls();
AURA_SIMULATOR_EXPORT int AuraSimulatorLiveObjects();
AURA_SIMULATOR_EXPORT int AuraSimulatorOutstandingReferences();
AURA_SIMULATOR_EXPORT int AuraSimulatorForeignThreadCalls();
}

using AuraSimulatorClearScenarioFunction = void (*)();
using AuraSimulatorAddBoardFunction = int (*)(const char16_t *, int, const char16_t *const *, int);
using AuraSimulatorBoardLightFunction = int (*)(int, int);
using AuraSimulatorBoardFunction = int (*)(int);
using AuraSimulatorCountFunction = int (*)();
