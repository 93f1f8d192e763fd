// ExitProcess while the worker is inside an Apply that never returns and a host thread waits for
// its frame (slot 1). Windows ends every other thread first, the worker and the host thread among
// them, then runs the DLLs' detach: the plug-in must touch nothing there and wait for nothing, so
// the process ends at once with the code it was given.
#include "UnloadCase.h"

#include <cstdio>
#include <thread>

namespace {

int exitDuringHungApply()
{
    CaseChecks checks;
    SimulatorControl &sdk = SimulatorControl::instance();
    HostCallbackRecorder recorder;
    const std::unique_ptr<PluginLibrary> plugin = startCase(
        checks, { BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) }, recorder);
    if (!plugin)
        return checks.exitCode();

    sdk.addFault(blockedCall("board:0", "Apply"));
    const TalvernPluginLedColor frame[] = { { 0x20001, 40, 50, 60 } };
    const TalvernPluginInstance &table = plugin->table();
    std::thread([&table, &frame] {
        table.setLedsColors(norvaneMotherboardId.constData(), 1, frame);
    }).detach(); // still inside the frame, or just out of it, when the process ends
    if (!checks.check(runEventsUntil([&] { return sdk.blockedCalls() == 1; }, StopBoundMs),
                      "the worker hangs in Apply"))
        return checks.exitCode();
    std::printf("ExitProcess with the worker inside Apply\n");
    announceRiskyStep();
    ExitProcess(0);
}

} // namespace

int main(int argc, char **argv)
{
    return runUnloadCase(argc, argv, "exit while the worker hangs in Apply", &exitDuringHungApply);
}
