// ExitProcess while a host thread is inside the colour frame (slot 1), waiting for a board whose
// Apply takes 2 s. Windows ends every other thread first, the worker and the host thread among
// them, then runs the DLLs' detach: the plug-in must touch nothing there and wait for nothing, so
// the process ends at once with the code it was given.
#include "SimulatorChecks.h"
#include "UnloadCase.h"

#include <QDeadlineTimer>

#include <cstdio>
#include <thread>

namespace {

int exitDuringSlowFrame()
{
    CaseChecks checks;
    SimulatorControl &sdk = SimulatorControl::instance();
    BoardScenario board = BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4);
    board.applyDelayMs = 2000;
    useScenario({ board });
    HostPlugin plugin;
    if (!checks.check(plugin.isLoaded(), "the plug-in loads and gives a table"))
        return checks.exitCode();
    HostCallbackRecorder recorder;
    if (!checks.check(startDeviceAccess(plugin, recorder), "the motherboard is reported"))
        return checks.exitCode();

    const SimulatedColour shown { 40, 50, 60 };
    const TalvernPluginLedColor frame[] = { { 0x20001, 40, 50, 60 } };
    const TalvernPluginInstance &table = plugin.table();
    std::thread host(
        [&table, &frame] { table.setLedsColors(norvaneMotherboardId.constData(), 1, frame); });
    // The lights hold the frame's colours once the worker has written them; Apply then sleeps.
    const bool waiting =
        runEventsUntil([&] { return sdk.currentColours(0).value(0) == shown; }, StopBoundMs);
    if (!checks.check(waiting && sdk.latchedColours(0).value(0) != shown,
                      "the frame waits for the slow Apply")) {
        host.join();
        return checks.exitCode();
    }
    std::printf("ExitProcess with the frame waiting\n");
    announceRiskyStep();
    ExitProcess(0);
}

} // namespace

int main(int argc, char **argv)
{
    return runUnloadCase(argc, argv, "exit while a frame waits for a slow Apply",
                         &exitDuringSlowFrame);
}
