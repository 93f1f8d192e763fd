// FreeLibrary while device access still runs: subscribed, mode 2, the table never freed. The host
// gave the plug-in no moment to stop outside the loader lock, so it may keep itself loaded until
// the process ends; what it must not do is hang in FreeLibrary or at the process's exit, or crash
// there. If it does leave the process, it must have taken its thread and the SDK along.
#include "PluginLibrary.h"
#include "ProcessThreads.h"
#include "SimulatorChecks.h"
#include "UnloadCase.h"

#include <cstdio>

namespace {

int unloadWhileRunning()
{
    CaseChecks checks;
    SimulatorControl &sdk = SimulatorControl::instance();
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4),
                  BoardScenario::withLights(QStringLiteral("Second"), 2) });
    const int threadsBeforeLoad = threadCount();
    HostPlugin plugin;
    if (!checks.check(plugin.isLoaded(), "the plug-in loads and gives a table"))
        return checks.exitCode();
    HostCallbackRecorder recorder;
    if (!checks.check(startDeviceAccess(plugin, recorder), "the motherboard is reported"))
        return checks.exitCode();
    const TalvernPluginLedColor frame[] = { { 0x20001, 1, 2, 3 } };
    plugin.table().setLedsColors(norvaneMotherboardId.constData(), 1, frame);

    announceRiskyStep();
    checks.check(plugin.freeLibrary(), "FreeLibrary succeeds");
    runPendingEvents(200);
    if (PluginLibrary::isInProcess()) {
        std::printf("the plug-in stays loaded (its own reference) with %d threads more than "
                    "before the load; the process's exit must not wait for them\n",
                    threadCount() - threadsBeforeLoad);
    } else {
        std::printf("the plug-in left the process\n");
        checks.check(
            runEventsUntil([&] { return threadCount() == threadsBeforeLoad; }, StopBoundMs),
            "no thread of the plug-in is left");
        checks.check(sdk.liveObjects() == 0 && sdk.outstandingReferences() == 0,
                     "every SDK object and reference is released");
        checks.check(sdk.foreignThreadCalls() == 0, "no SDK call came from a foreign thread");
    }
    return checks.exitCode();
}

} // namespace

int main(int argc, char **argv)
{
    return runUnloadCase(argc, argv, "unload while device access runs", &unloadWhileRunning);
}
