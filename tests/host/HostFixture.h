// A host's session with the plug-in: the library loaded by path, the substitute SDK set up with
// a scenario, the host's callback recorded. Every test ends with the library unloaded and
// nothing of the SDK or of COM left behind.
#pragma once

#include "BuiltPlugin.h"
#include "HostEvents.h"
#include "LogCapture.h"
#include "ProcessThreads.h"
#include "SimulatorChecks.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

constexpr int32_t firstMotherboardLed = 0x20001;

// A frame for the motherboard's first `leds` LEDs, each in the grey `value`.
std::vector<TalvernPluginLedColor> greyFrame(int leds, int value);

class HostFixture : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    const TalvernPluginInstance &table() const { return plugin->table(); }
    // Subscribes from this thread with the recorder as context and sets mode 2; waits until
    // the host has been told about `devices` devices.
    void subscribeAndRun(int devices = 1);
    // Runs the event loop until the worker has made `count` stop calls and released the SDK.
    bool waitForStop(int count = 1);
    // Runs the event loop until a call of the substitute SDK is blocked.
    bool waitForBlockedCall();
    // Sends greyFrame(leds, value) from a thread of its own, which the caller joins.
    std::thread sendFromAThread(int leds, int value);

    SimulatorControl &control = SimulatorControl::instance();
    HostCallbackRecorder recorder;
    LogCapture log;
    std::unique_ptr<PluginLibrary> plugin;
    int threadsBeforeLoad = 0;
};
