#include "SimulatorState.h"

#include <algorithm>
#include <chrono>

namespace simulator {
namespace {

constexpr HRESULT RpcDisconnected = static_cast<HRESULT>(0x80010108u);

// How deep the calling thread is in SDK calls: a call that begins inside another is nested.
thread_local int t_callDepth = 0;
thread_local bool t_hostThread = false;

// How often a held call that delivers its thread's events looks for new ones.
constexpr int PumpIntervalMs = 2;

std::int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

SimulatorState &SimulatorState::instance()
{
    // Never destroyed: SDK objects may be released from other libraries' static destructors,
    // after this library's own would have run.
    static SimulatorState *const state = new SimulatorState;
    return *state;
}

SimulatorState::SimulatorState()
{
    setScenario(ScenarioSetup::defaultSetup());
}

const SimulatorState::BoardState *SimulatorState::board(const ObjectTarget &target) const
{
    if (target.generation != m_generation || target.board < 0
        || std::size_t(target.board) >= m_boards.size())
        return nullptr;
    return &m_boards[std::size_t(target.board)];
}

const SimulatorState::LightState *SimulatorState::light(const ObjectTarget &target) const
{
    const BoardState *state = board(target);
    if (!state || target.light < 0 || std::size_t(target.light) >= state->lights.size())
        return nullptr;
    return &state->lights[std::size_t(target.light)];
}

SimulatorState::BoardState *SimulatorState::board(const ObjectTarget &target)
{
    return const_cast<BoardState *>(static_cast<const SimulatorState *>(this)->board(target));
}

SimulatorState::LightState *SimulatorState::light(const ObjectTarget &target)
{
    return const_cast<LightState *>(static_cast<const SimulatorState *>(this)->light(target));
}

void SimulatorState::setScenario(const ScenarioSetup &setup)
{
    SimulatorLocker lock(m_lock);
    ++m_generation;
    m_scenario = setup;
    m_boards.clear();
    for (const BoardSetup &board : setup.boards) {
        BoardState state;
        state.name = board.name;
        state.type = board.type;
        state.applyDelayMs = board.applyDelayMs;
        state.lights.reserve(board.lightNames.size());
        for (const std::u16string &name : board.lightNames)
            state.lights.push_back({ name, {}, {} });
        m_boards.push_back(std::move(state));
    }
    m_faults.clear();
    for (const FaultSetup &fault : setup.faults)
        m_faults.push_back({ fault, 0 });
    m_journal.clear();
    m_startCalls = 0;
    m_stopCalls = 0;
    m_foreignCalls = 0;
    m_scenarioStartMs = nowMs();
    m_nestedCalls = 0;
    m_hostThreadCalls = 0;
    m_overlappingSessions = 0;
    // A call blocked by the scenario before must not hang the next one.
    ++m_releases;
    m_released.notifyAll();
    for (Hold &hold : m_holds)
        hold.released = true;
    m_holdsChanged.notifyAll();
}

ScenarioSetup SimulatorState::scenario() const
{
    SimulatorLocker lock(m_lock);
    return m_scenario;
}

void SimulatorState::addFault(const FaultSetup &fault)
{
    SimulatorLocker lock(m_lock);
    m_scenario.faults.push_back(fault);
    m_faults.push_back({ fault, 0 });
}

void SimulatorState::clearFaults()
{
    SimulatorLocker lock(m_lock);
    m_scenario.faults.clear();
    m_faults.clear();
}

void SimulatorState::setApplyDelay(int board, int milliseconds)
{
    SimulatorLocker lock(m_lock);
    if (board >= 0 && std::size_t(board) < m_boards.size()) {
        m_boards[std::size_t(board)].applyDelayMs = milliseconds;
        m_scenario.boards[std::size_t(board)].applyDelayMs = milliseconds;
    }
}

void SimulatorState::releaseBlockedCalls()
{
    SimulatorLocker lock(m_lock);
    ++m_releases;
    m_faults.erase(std::remove_if(m_faults.begin(), m_faults.end(),
                                  [](const ActiveFault &fault) {
                                      return fault.rule.blockMs == BlockUntilReleased;
                                  }),
                   m_faults.end());
    m_released.notifyAll();
}

int SimulatorState::blockedCalls() const
{
    SimulatorLocker lock(m_lock);
    return m_blockedCalls;
}

void SimulatorState::restartService()
{
    SimulatorLocker lock(m_lock);
    ++m_serviceEpoch;
}

int SimulatorState::addHold(const FaultSetup &rule)
{
    SimulatorLocker lock(m_lock);
    m_holds.push_back({ rule });
    return int(m_holds.size()) - 1;
}

bool SimulatorState::waitUntilHeld(int hold, int milliseconds)
{
    SimulatorLocker lock(m_lock);
    const std::int64_t deadline = nowMs() + milliseconds;
    while (!m_holds.at(std::size_t(hold)).entered) {
        const std::int64_t left = deadline - nowMs();
        if (milliseconds >= 0 && left <= 0)
            return false;
        m_holdsChanged.wait(m_lock, milliseconds < 0 ? -1 : int(left));
    }
    return true;
}

bool SimulatorState::waitUntilLeft(int hold, int milliseconds)
{
    SimulatorLocker lock(m_lock);
    const std::int64_t deadline = nowMs() + milliseconds;
    while (!m_holds.at(std::size_t(hold)).left) {
        const std::int64_t left = deadline - nowMs();
        if (milliseconds >= 0 && left <= 0)
            return false;
        m_holdsChanged.wait(m_lock, milliseconds < 0 ? -1 : int(left));
    }
    return true;
}

bool SimulatorState::isHeld(int hold) const
{
    SimulatorLocker lock(m_lock);
    const Hold &state = m_holds.at(std::size_t(hold));
    return state.entered && !state.left;
}

void SimulatorState::releaseHold(int hold)
{
    SimulatorLocker lock(m_lock);
    m_holds.at(std::size_t(hold)).released = true;
    m_holdsChanged.notifyAll();
}

void SimulatorState::releaseHolds()
{
    SimulatorLocker lock(m_lock);
    for (Hold &hold : m_holds)
        hold.released = true;
    m_holdsChanged.notifyAll();
}

HRESULT SimulatorState::holdIfMatched(const ObjectTarget &target, const char *method, int index)
{
    SimulatorLocker lock(m_lock);
    std::size_t number = 0;
    for (; number < m_holds.size(); ++number) {
        const Hold &hold = m_holds[number];
        const FaultSetup &rule = hold.rule;
        if (!hold.entered && !hold.released && rule.method == method
            && (rule.index < 0 || rule.index == index || index == NoArgument)
            && objectMatches(rule.object, target))
            break;
    }
    if (number == m_holds.size())
        return S_OK;
    m_holds[number].entered = true;
    m_holdsChanged.notifyAll();
    const bool pump = m_holds[number].rule.pump;
    while (!m_holds[number].released) {
        if (!pump) {
            m_holdsChanged.wait(m_lock, -1);
            continue;
        }
        m_holdsChanged.wait(m_lock, PumpIntervalMs);
        m_lock.unlock();
        pumpThreadEvents();
        m_lock.lock();
    }
    m_holds[number].left = true;
    m_holdsChanged.notifyAll();
    return m_holds[number].rule.result;
}

void SimulatorState::markHostThread()
{
    t_hostThread = true;
}

void SimulatorState::countForeign(const ObjectTarget &target)
{
    if (target.apartment != currentThreadId())
        ++m_foreignCalls;
    if (t_hostThread)
        ++m_hostThreadCalls;
}

void SimulatorState::sessionCreating()
{
    if (m_liveSessions.fetch_add(1) != 0)
        ++m_overlappingSessions;
}

void SimulatorState::finalReleaseStarted(const ObjectTarget &target)
{
    holdIfMatched(target, "Release", NoArgument);
}

std::uint64_t SimulatorState::serviceEpoch() const
{
    SimulatorLocker lock(m_lock);
    return m_serviceEpoch;
}

void SimulatorState::block(int milliseconds)
{
    SimulatorLocker lock(m_lock);
    const std::uint64_t release = m_releases;
    const std::int64_t deadline = nowMs() + milliseconds;
    ++m_blockedCalls;
    for (;;) {
        if (m_releases != release)
            break;
        if (milliseconds == BlockUntilReleased) {
            m_released.wait(m_lock, -1);
            continue;
        }
        const std::int64_t left = deadline - nowMs();
        if (left <= 0)
            break;
        m_released.wait(m_lock, int(left));
    }
    --m_blockedCalls;
}

void SimulatorState::setJournalEnabled(bool enabled)
{
    SimulatorLocker lock(m_lock);
    m_journalEnabled = enabled;
}

std::vector<JournalEntry> SimulatorState::journal() const
{
    SimulatorLocker lock(m_lock);
    return m_journal;
}

void SimulatorState::clearJournal()
{
    SimulatorLocker lock(m_lock);
    m_journal.clear();
}

int SimulatorState::countCalls(const std::string &object, const std::string &method) const
{
    SimulatorLocker lock(m_lock);
    int count = 0;
    for (const JournalEntry &entry : m_journal) {
        if (!method.empty() && entry.method != method)
            continue;
        count += journalNameMatches(object, entry.object) ? 1 : 0;
    }
    return count;
}

std::vector<SimulatedColour> SimulatorState::currentColours(int board) const
{
    return colours(board, &LightState::current);
}

std::vector<SimulatedColour> SimulatorState::latchedColours(int board) const
{
    return colours(board, &LightState::latched);
}

std::vector<SimulatedColour> SimulatorState::colours(int board,
                                                     SimulatedColour LightState::*which) const
{
    SimulatorLocker lock(m_lock);
    std::vector<SimulatedColour> colours;
    if (board >= 0 && std::size_t(board) < m_boards.size()) {
        for (const LightState &light : m_boards[std::size_t(board)].lights)
            colours.push_back(light.*which);
    }
    return colours;
}

int SimulatorState::applyCount(int board) const
{
    SimulatorLocker lock(m_lock);
    return board >= 0 && std::size_t(board) < m_boards.size()
        ? m_boards[std::size_t(board)].applyCount
        : 0;
}

int SimulatorState::startCalls() const
{
    SimulatorLocker lock(m_lock);
    return m_startCalls;
}

int SimulatorState::stopCalls() const
{
    SimulatorLocker lock(m_lock);
    return m_stopCalls;
}

void SimulatorState::objectCreated()
{
    ++m_liveObjects;
    ++m_references;
}

std::uint64_t SimulatorState::generation() const
{
    SimulatorLocker lock(m_lock);
    return m_generation;
}

std::vector<int> SimulatorState::boardsOfType(std::uint64_t generation, int type) const
{
    SimulatorLocker lock(m_lock);
    std::vector<int> boards;
    if (generation != m_generation)
        return boards;
    for (std::size_t i = 0; i < m_boards.size(); ++i) {
        if (m_boards[i].type == type)
            boards.push_back(int(i));
    }
    return boards;
}

bool SimulatorState::boardName(const ObjectTarget &target, std::u16string *name) const
{
    SimulatorLocker lock(m_lock);
    const BoardState *state = board(target);
    if (state)
        *name = state->name;
    return state != nullptr;
}

bool SimulatorState::lightCount(const ObjectTarget &target, int *count) const
{
    SimulatorLocker lock(m_lock);
    const BoardState *state = board(target);
    if (state) {
        const int claimed = m_scenario.boards[std::size_t(target.board)].claimedLights;
        *count = claimed >= 0 ? claimed : int(state->lights.size());
    }
    return state != nullptr;
}

int SimulatorState::deviceCount(int actual) const
{
    SimulatorLocker lock(m_lock);
    return m_scenario.claimedDevices >= 0 ? m_scenario.claimedDevices : actual;
}

bool SimulatorState::lightName(const ObjectTarget &target, std::u16string *name) const
{
    SimulatorLocker lock(m_lock);
    const LightState *state = light(target);
    if (state)
        *name = state->name;
    return state != nullptr;
}

bool SimulatorState::putComponent(const ObjectTarget &target, int component, std::uint8_t value)
{
    SimulatorLocker lock(m_lock);
    LightState *state = light(target);
    if (!state)
        return false;
    std::uint8_t *components[] = { &state->current.red, &state->current.green,
                                   &state->current.blue };
    *components[component] = value;
    return true;
}

int SimulatorState::applyDelay(const ObjectTarget &target) const
{
    SimulatorLocker lock(m_lock);
    const BoardState *state = board(target);
    return state ? state->applyDelayMs : 0;
}

bool SimulatorState::apply(const ObjectTarget &target)
{
    SimulatorLocker lock(m_lock);
    BoardState *state = board(target);
    if (!state)
        return false;
    for (LightState &light : state->lights)
        light.latched = light.current;
    ++state->applyCount;
    return true;
}

void SimulatorState::started()
{
    SimulatorLocker lock(m_lock);
    ++m_startCalls;
}

void SimulatorState::stopped()
{
    SimulatorLocker lock(m_lock);
    ++m_stopCalls;
}

HRESULT SimulatorState::callStarted(const ObjectTarget &target, const char *method, int index)
{
    countForeign(target);
    if (t_callDepth++ > 0)
        ++m_nestedCalls;
    HRESULT result = S_OK;
    int blockMs = 0;
    bool pump = false;
    {
        SimulatorLocker lock(m_lock);
        if (target.service != m_serviceEpoch)
            return RpcDisconnected;
        for (ActiveFault &fault : m_faults) {
            const FaultSetup &rule = fault.rule;
            if (rule.method != method
                || (rule.index >= 0 && rule.index != index && index != NoArgument)
                || !objectMatches(rule.object, target))
                continue;
            ++fault.matches;
            if ((rule.call != 0 && rule.call != fault.matches)
                || (rule.times > 0 && fault.matches > rule.times)
                || (rule.forMs > 0 && nowMs() - m_scenarioStartMs >= rule.forMs))
                continue;
            if (result == S_OK && FAILED(rule.result))
                result = rule.result;
            if (rule.blockMs == BlockUntilReleased || blockMs == BlockUntilReleased)
                blockMs = BlockUntilReleased;
            else
                blockMs = std::max(blockMs, rule.blockMs);
            pump = pump || rule.pump;
        }
    }
    if (blockMs != 0)
        block(blockMs);
    if (pump)
        pumpThreadEvents();
    const HRESULT answer = holdIfMatched(target, method, index);
    return result == S_OK ? answer : result;
}

void SimulatorState::callFinished(const ObjectTarget &target, const char *method, int index,
                                  int argument, HRESULT result)
{
    --t_callDepth;
    SimulatorLocker lock(m_lock);
    if (!m_journalEnabled)
        return;
    JournalEntry entry;
    entry.object = objectName(target);
    entry.method = method;
    if (index != NoArgument)
        entry.arguments = std::to_string(index);
    if (argument != NoArgument) {
        if (!entry.arguments.empty())
            entry.arguments += ',';
        entry.arguments += std::to_string(argument);
    }
    entry.result = result;
    entry.thread = currentThreadId();
    m_journal.push_back(std::move(entry));
}

} // namespace simulator
