// ExitProcess while the worker is inside an Apply that never returns and a host thread waits for
// its frame (slot 1). Windows ends every other thread first, the worker and the host thread among
// them, then runs the DLLs' detach: the plug-in must touch nothing there and wait for nothing, so
// the process ends at once with the code it was given.
#include "SimulatorChecks.h"
#include "UnloadCase.h"

#include <cstdio>
#include <thread>

namespace {

int exitDuringHungApply()
{
    CaseChecks checks;
    SimulatorControl &sdk = SimulatorControl::instance();
    FaultRule hang;
    hang.object = QStringLiteral("board:0");
    hang.method = QStringLiteral("Apply");
    hang.result = S_OK;
    hang.blockMs = FaultRule::BlockUntilReleased;
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    HostPlugin plugin;
    if (!checks.check(plugin.isLoaded(), "the plug-in loads and gives a table"))
        return checks.exitCode();
    HostCallbackRecorder recorder;
    if (!checks.check(startDeviceAccess(plugin, recorder), "the motherboard is reported"))
        return checks.exitCode();

    sdk.addFault(hang);
    const TalvernPluginLedColor frame[] = { { 0x20001, 40, 50, 60 } };
    const TalvernPluginInstance &table = plugin.table();
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
