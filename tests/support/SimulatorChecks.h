// What the suites that run against the substitute SDK share about it: the id the plug-in gives
// the merged motherboards, setting up a scenario, and the check every test ends with, that
// nothing of the SDK or of COM outlived the code under test.
#pragma once

#include "simulator/SimulatorControl.h"

#include <QByteArray>

// printf 'Norvane Motherboard' | md5sum
inline const QByteArray norvaneMotherboardId("786af07ea0cb0dbb480824d6c4d5d6bd");

// Replaces the substitute SDK's boards and faults.
void useScenario(const QVector<BoardScenario> &boards, const QVector<FaultRule> &faults = {});
// A call of the substitute SDK that fails with `result` (every matching call; see FaultRule).
FaultRule failingCall(const char *object, const char *method,
                      HRESULT result = static_cast<HRESULT>(0x80004005u));
// A call of the substitute SDK that blocks until the test releases it: a stall the test controls.
FaultRule blockedCall(const char *object, const char *method);

// GoogleTest expectations: no SDK object alive, no reference outstanding, no SDK call from a
// thread other than the object's own, and every COM initialisation undone. The last is counted by
// the project's COM layer only; on Windows the SDK's own counters carry the check.
void expectSdkAndComReleased();
