// A C interface to set up and observe the substitute SDK, for programs that cannot use the Qt
// facade: the Qt-free Windows build of the server has no SimulatorControl. Resolved by name
// (GetProcAddress, dlsym), so the types below are what callers cast to.
#pragma once

#include "SimulatorExport.h"
#include "platform/Com.h"

extern "C" {

// Makes the substitute SDK reachable by CoCreateInstance as an installed SDK is (registered is
// not 0), or makes sure it is not: on Windows for the current user, through its own
// DllRegisterServer or DllUnregisterServer; with the project's COM layer through a registry file,
// named by COMPAT_INPROC_SERVERS, that maps the SDK's class to this very library. S_OK or why not.
GLINT_SIMULATOR_EXPORT HRESULT GlintSimulatorSetRegistered(int registered);

// Replaces the scenario by one without boards or faults; clears every observation but the
// object counts.
GLINT_SIMULATOR_EXPORT void GlintSimulatorClearScenario();
// Adds a board to the scenario, with lightCount lights named by lightNames, or "LED 1" ... when
// lightNames is null. This makes a new scenario: objects handed out before fail their calls.
// Returns the board's place, or -1 for a null name or a negative count.
GLINT_SIMULATOR_EXPORT int GlintSimulatorAddBoard(const char16_t *name, int type,
                                                  const char16_t *const *lightNames,
                                                  int lightCount);
// The colour the board's last Apply showed on a light, as 0xRRGGBB; -1 for no such light.
GLINT_SIMULATOR_EXPORT int GlintSimulatorLatchedColour(int board, int light);
GLINT_SIMULATOR_EXPORT int GlintSimulatorApplyCount(int board);
GLINT_SIMULATOR_EXPORT int GlintSimulatorStartCalls();
GLINT_SIMULATOR_EXPORT int GlintSimulatorStopCalls();
GLINT_SIMULATOR_EXPORT int GlintSimulatorLiveObjects();
GLINT_SIMULATOR_EXPORT int GlintSimulatorOutstandingReferences();
GLINT_SIMULATOR_EXPORT int GlintSimulatorForeignThreadCalls();
}

using GlintSimulatorSetRegisteredFunction = HRESULT (*)(int);
using GlintSimulatorClearScenarioFunction = void (*)();
using GlintSimulatorAddBoardFunction = int (*)(const char16_t *, int, const char16_t *const *, int);
using GlintSimulatorBoardLightFunction = int (*)(int, int);
using GlintSimulatorBoardFunction = int (*)(int);
using GlintSimulatorCountFunction = int (*)();
