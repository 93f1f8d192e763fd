#include "SimulatorCApi.h"

#include "SimulatorState.h"

using simulator::SimulatorState;

void GlintSimulatorClearScenario()
{
    SimulatorState::instance().setScenario({});
}

int GlintSimulatorAddBoard(const char16_t *name, int type, const char16_t *const *lightNames,
                           int lightCount)
{
    if (!name || lightCount < 0)
        return -1;
    simulator::BoardSetup board = simulator::BoardSetup::withLights(name, lightCount, type);
    if (lightNames) {
        for (int i = 0; i < lightCount; ++i)
            board.lightNames[std::size_t(i)] = lightNames[i] ? lightNames[i] : u"";
    }
    SimulatorState &state = SimulatorState::instance();
    simulator::ScenarioSetup setup = state.scenario();
    setup.boards.push_back(std::move(board));
    state.setScenario(setup);
    return int(setup.boards.size()) - 1;
}

int GlintSimulatorLatchedColour(int board, int light)
{
    const std::vector<SimulatedColour> colours = SimulatorState::instance().latchedColours(board);
    if (light < 0 || std::size_t(light) >= colours.size())
        return -1;
    const SimulatedColour &colour = colours[std::size_t(light)];
    return colour.red << 16 | colour.green << 8 | colour.blue;
}

int GlintSimulatorApplyCount(int board)
{
    return SimulatorState::instance().applyCount(board);
}

int GlintSimulatorStartCalls()
{
    return SimulatorState::instance().startCalls();
}

int GlintSimulatorStopCalls()
{
    return SimulatorState::instance().stopCalls();
}

int GlintSimulatorLiveObjects()
{
    return SimulatorState::instance().liveObjects();
}

int GlintSimulatorOutstandingReferences()
{
    return SimulatorState::instance().outstandingReferences();
}

int GlintSimulatorForeignThreadCalls()
{
    return SimulatorState::instance().foreignThreadCalls();
}
