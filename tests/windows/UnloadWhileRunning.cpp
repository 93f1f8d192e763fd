// The unload while device access still runs: subscribed, mode 2, the table never given back. The
// plug-in keeps its module loaded while its worker runs; what it must not do is hang in the unload
// or at the process's exit, or crash there.
#include "ProcessThreads.h"
#include "UnloadCase.h"

#include <cstdio>

namespace {

int unloadWhileRunning()
{
    CaseChecks checks;
    const int threadsBeforeLoad = threadCount();
    HostCallbackRecorder recorder;
    const std::unique_ptr<PluginLibrary> plugin =
        startCase(checks,
                  { BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4),
                    BoardScenario::withLights(QStringLiteral("Second"), 2) },
                  recorder);
    if (!plugin)
        return checks.exitCode();
    const TalvernPluginLedColor frame[] = { { 0x20001, 1, 2, 3 } };
    plugin->table().setLedsColors(norvaneMotherboardId.constData(), 1, frame);
    plugin->takeLoadTable(); // the host never gives it back
    announceRiskyStep();
    checks.check(!unloadPlugin(*plugin, 200), "the plug-in stays loaded while its worker runs");
    std::printf("%d threads more than before the load; the process's exit must not wait for them\n",
                threadCount() - threadsBeforeLoad);
    return checks.exitCode();
}

} // namespace

int main(int argc, char **argv)
{
    return runUnloadCase(argc, argv, "unload while device access runs", &unloadWhileRunning);
}
