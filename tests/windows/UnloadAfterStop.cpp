// The unload after the host's whole stop sequence (mode 2, then mode 1, unsubscribe, the table
// given back): it returns within the bound, the plug-in leaves the process and takes its worker
// thread along, and the SDK was closed on the worker's thread with nothing left open.
#include "ProcessThreads.h"
#include "UnloadCase.h"

namespace {

int unloadAfterStop()
{
    CaseChecks checks;
    const SimulatorControl &sdk = SimulatorControl::instance();
    const int threadsBeforeLoad = threadCount();
    HostCallbackRecorder recorder;
    const std::unique_ptr<PluginLibrary> plugin = startCase(
        checks, { BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) }, recorder);
    if (!plugin)
        return checks.exitCode();
    const TalvernPluginLedColor frame[] = { { 0x20001, 10, 20, 30 } };
    plugin->table().setLedsColors(norvaneMotherboardId.constData(), 1, frame);
    checks.check(sdk.latchedColours(0).value(0) == SimulatedColour { 10, 20, 30 },
                 "a frame shows on the board");
    stopDeviceAccess(*plugin);
    announceRiskyStep();
    checks.check(unloadPlugin(*plugin, StopBoundMs), "the plug-in's module leaves the process");
    checks.check(runEventsUntil([&] { return threadCount() == threadsBeforeLoad; }, StopBoundMs),
                 "no thread of the plug-in is left");
    checks.check(sdk.stopCalls() == 1, "the SDK's stop call was made once");
    checks.check(sdk.liveObjects() == 0 && sdk.outstandingReferences() == 0,
                 "every SDK object and reference is released");
    checks.check(sdk.foreignThreadCalls() == 0, "no SDK call came from a foreign thread");
    return checks.exitCode();
}

} // namespace

int main(int argc, char **argv)
{
    return runUnloadCase(argc, argv, "unload after the host's stop sequence", &unloadAfterStop);
}
