// The substitute SDK's COM objects. Each owns itself through its reference count, reports to the
// SimulatorControl and names itself by its ObjectTarget. Children never hold their parents; parents
// cache their children so that the same index always gives the same object.
#pragma once

#include "SimulatorControl.h"
#include "glint/GlintSdkInterfaces.h"
#include "platform/ComPtr.h"

#include <vector>

// Creates the SDK object for the calling thread's apartment, with one reference for the caller;
// null and the failure when a fault fails the creation.
HRESULT createSimulatedSdk(IGlintSdk2 **sdk);
