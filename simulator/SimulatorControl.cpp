#include "SimulatorControl.h"

#include <algorithm>
#include <chrono>

namespace {

using simulator::ObjectTarget;

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

SimulatorControl &SimulatorControl::instance()
{
    // Never destroyed: SDK objects may be released from other libraries' static destructors,
    // after this library's own would have run.
    static SimulatorControl *const state = new SimulatorControl;
    return *state;
}

SimulatorControl::SimulatorControl()
{
    setScenario(Scenario::defaultScenario());
}

const SimulatorControl::BoardState *SimulatorControl::board(const ObjectTarget &target) const
{
    if (target.generation != m_generation || target.board < 0
        || std::size_t(target.board) >= m_boards.size())
        return nullptr;
    return &m_boards[std::size_t(target.board)];
}

const SimulatorControl::LightState *SimulatorControl::light(const ObjectTarget &target) const
{
    const BoardState *state = board(target);
    if (!state || target.light < 0 || std::size_t(target.light) >= state->lights.size())
        return nullptr;
    return &state->lights[std::size_t(target.light)];
}

SimulatorControl::BoardState *SimulatorControl::board(const ObjectTarget &target)
{
    return const_cast<BoardState *>(static_cast<const SimulatorControl *>(this)->board(target));
}

SimulatorControl::LightState *SimulatorControl::light(const ObjectTarget &target)
{
    return const_cast<LightState *>(static_cast<const SimulatorControl *>(this)->light(target));
}

void SimulatorControl::setScenario(const Scenario &setup)
{
    SimulatorLocker lock(m_lock);
    ++m_generation;
    m_scenario = setup;
    m_boards.clear();
    for (const BoardScenario &board : setup.boards) {
        BoardState state;
        state.name = board.name;
        state.type = board.type;
        state.applyDelayMs = board.applyDelayMs;
        state.lights.reserve(board.lightNames.size());
        for (const QString &name : board.lightNames)
            state.lights.push_back({ name, {}, {} });
        m_boards.push_back(std::move(state));
    }
    m_faults.clear();
    for (const FaultRule &fault : setup.faults)
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

Scenario SimulatorControl::scenario() const
{
    SimulatorLocker lock(m_lock);
    return m_scenario;
}

void SimulatorControl::addFault(const FaultRule &fault)
{
    SimulatorLocker lock(m_lock);
    m_scenario.faults.push_back(fault);
    m_faults.push_back({ fault, 0 });
}

void SimulatorControl::clearFaults()
{
    SimulatorLocker lock(m_lock);
    m_scenario.faults.clear();
    m_faults.clear();
}

void SimulatorControl::setApplyDelay(int board, int milliseconds)
{
    SimulatorLocker lock(m_lock);
    if (board >= 0 && std::size_t(board) < m_boards.size()) {
        m_boards[std::size_t(board)].applyDelayMs = milliseconds;
        m_scenario.boards[std::size_t(board)].applyDelayMs = milliseconds;
    }
}

void SimulatorControl::releaseBlockedCalls()
{
    SimulatorLocker lock(m_lock);
    ++m_releases;
    m_faults.erase(std::remove_if(m_faults.begin(), m_faults.end(),
                                  [](const ActiveFault &fault) {
                                      return fault.rule.blockMs == FaultRule::BlockUntilReleased;
                                  }),
                   m_faults.end());
    m_released.notifyAll();
}

int SimulatorControl::blockedCalls() const
{
    SimulatorLocker lock(m_lock);
    return m_blockedCalls;
}

void SimulatorControl::restartService()
{
    SimulatorLocker lock(m_lock);
    ++m_serviceEpoch;
}

int SimulatorControl::holdCall(const FaultRule &rule)
{
    SimulatorLocker lock(m_lock);
    m_holds.push_back({ rule });
    return int(m_holds.size()) - 1;
}

bool SimulatorControl::waitUntilHeld(int hold, int milliseconds) const
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

bool SimulatorControl::waitUntilLeft(int hold, int milliseconds) const
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

bool SimulatorControl::isHeld(int hold) const
{
    SimulatorLocker lock(m_lock);
    const Hold &state = m_holds.at(std::size_t(hold));
    return state.entered && !state.left;
}

void SimulatorControl::releaseHold(int hold)
{
    SimulatorLocker lock(m_lock);
    m_holds.at(std::size_t(hold)).released = true;
    m_holdsChanged.notifyAll();
}

void SimulatorControl::releaseHolds()
{
    SimulatorLocker lock(m_lock);
    for (Hold &hold : m_holds)
        hold.released = true;
    m_holdsChanged.notifyAll();
}

HRESULT SimulatorControl::holdIfMatched(const ObjectTarget &target, const char *method, int index)
{
    SimulatorLocker lock(m_lock);
    std::size_t number = 0;
    for (; number < m_holds.size(); ++number) {
        const Hold &hold = m_holds[number];
        const FaultRule &rule = hold.rule;
        if (!hold.entered && !hold.released && rule.method == QLatin1String(method)
            && (rule.index < 0 || rule.index == index || index == NoArgument)
            && simulator::objectMatches(rule.object, target))
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
        simulator::pumpThreadEvents();
        m_lock.lock();
    }
    m_holds[number].left = true;
    m_holdsChanged.notifyAll();
    return m_holds[number].rule.result;
}

void SimulatorControl::markHostThread()
{
    t_hostThread = true;
}

void SimulatorControl::countForeign(const ObjectTarget &target)
{
    if (target.apartment != simulator::currentThreadId())
        ++m_foreignCalls;
    if (t_hostThread)
        ++m_hostThreadCalls;
}

void SimulatorControl::sessionCreating()
{
    if (m_liveSessions.fetch_add(1) != 0)
        ++m_overlappingSessions;
}

void SimulatorControl::finalReleaseStarted(const ObjectTarget &target)
{
    holdIfMatched(target, "Release", NoArgument);
}

std::uint64_t SimulatorControl::serviceEpoch() const
{
    SimulatorLocker lock(m_lock);
    return m_serviceEpoch;
}

void SimulatorControl::block(int milliseconds)
{
    SimulatorLocker lock(m_lock);
    const std::uint64_t release = m_releases;
    const std::int64_t deadline = nowMs() + milliseconds;
    ++m_blockedCalls;
    for (;;) {
        if (m_releases != release)
            break;
        if (milliseconds == FaultRule::BlockUntilReleased) {
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

void SimulatorControl::setJournalEnabled(bool enabled)
{
    SimulatorLocker lock(m_lock);
    m_journalEnabled = enabled;
}

QVector<CallRecord> SimulatorControl::journal() const
{
    SimulatorLocker lock(m_lock);
    return m_journal;
}

void SimulatorControl::clearJournal()
{
    SimulatorLocker lock(m_lock);
    m_journal.clear();
}

int SimulatorControl::countCalls(const QString &object, const QString &method) const
{
    SimulatorLocker lock(m_lock);
    int count = 0;
    for (const CallRecord &entry : m_journal) {
        if (!method.isEmpty() && entry.method != method)
            continue;
        count += simulator::journalNameMatches(object, entry.object) ? 1 : 0;
    }
    return count;
}

QVector<SimulatedColour> SimulatorControl::currentColours(int board) const
{
    return colours(board, &LightState::current);
}

QVector<SimulatedColour> SimulatorControl::latchedColours(int board) const
{
    return colours(board, &LightState::latched);
}

QVector<SimulatedColour> SimulatorControl::colours(int board,
                                                   SimulatedColour LightState::*which) const
{
    SimulatorLocker lock(m_lock);
    QVector<SimulatedColour> colours;
    if (board >= 0 && std::size_t(board) < m_boards.size()) {
        for (const LightState &light : m_boards[std::size_t(board)].lights)
            colours.push_back(light.*which);
    }
    return colours;
}

int SimulatorControl::applyCount(int board) const
{
    SimulatorLocker lock(m_lock);
    return board >= 0 && std::size_t(board) < m_boards.size()
        ? m_boards[std::size_t(board)].applyCount
        : 0;
}

int SimulatorControl::startCalls() const
{
    SimulatorLocker lock(m_lock);
    return m_startCalls;
}

int SimulatorControl::stopCalls() const
{
    SimulatorLocker lock(m_lock);
    return m_stopCalls;
}

void SimulatorControl::objectCreated()
{
    ++m_liveObjects;
    ++m_references;
}

std::uint64_t SimulatorControl::generation() const
{
    SimulatorLocker lock(m_lock);
    return m_generation;
}

std::vector<int> SimulatorControl::boardsOfType(std::uint64_t generation, int type) const
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

bool SimulatorControl::boardName(const ObjectTarget &target, QString *name) const
{
    SimulatorLocker lock(m_lock);
    const BoardState *state = board(target);
    if (state)
        *name = state->name;
    return state != nullptr;
}

bool SimulatorControl::lightCount(const ObjectTarget &target, int *count) const
{
    SimulatorLocker lock(m_lock);
    const BoardState *state = board(target);
    if (state) {
        const int claimed = m_scenario.boards[std::size_t(target.board)].claimedLights;
        *count = claimed >= 0 ? claimed : int(state->lights.size());
    }
    return state != nullptr;
}

int SimulatorControl::deviceCount(int actual) const
{
    SimulatorLocker lock(m_lock);
    return m_scenario.claimedDevices >= 0 ? m_scenario.claimedDevices : actual;
}

bool SimulatorControl::lightName(const ObjectTarget &target, QString *name) const
{
    SimulatorLocker lock(m_lock);
    const LightState *state = light(target);
    if (state)
        *name = state->name;
    return state != nullptr;
}

bool SimulatorControl::putComponent(const ObjectTarget &target, int component, std::uint8_t value)
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

int SimulatorControl::applyDelay(const ObjectTarget &target) const
{
    SimulatorLocker lock(m_lock);
    const BoardState *state = board(target);
    return state ? state->applyDelayMs : 0;
}

bool SimulatorControl::apply(const ObjectTarget &target)
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

void SimulatorControl::started()
{
    SimulatorLocker lock(m_lock);
    ++m_startCalls;
}

void SimulatorControl::stopped()
{
    SimulatorLocker lock(m_lock);
    ++m_stopCalls;
}

HRESULT SimulatorControl::callStarted(const ObjectTarget &target, const char *method, int index)
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
            const FaultRule &rule = fault.rule;
            if (rule.method != QLatin1String(method)
                || (rule.index >= 0 && rule.index != index && index != NoArgument)
                || !simulator::objectMatches(rule.object, target))
                continue;
            ++fault.matches;
            if ((rule.call != 0 && rule.call != fault.matches)
                || (rule.times > 0 && fault.matches > rule.times)
                || (rule.forMs > 0 && nowMs() - m_scenarioStartMs >= rule.forMs))
                continue;
            if (result == S_OK && FAILED(rule.result))
                result = rule.result;
            if (rule.blockMs == FaultRule::BlockUntilReleased
                || blockMs == FaultRule::BlockUntilReleased)
                blockMs = FaultRule::BlockUntilReleased;
            else
                blockMs = std::max(blockMs, rule.blockMs);
            pump = pump || rule.pump;
        }
    }
    if (blockMs != 0)
        block(blockMs);
    if (pump)
        simulator::pumpThreadEvents();
    const HRESULT answer = holdIfMatched(target, method, index);
    return result == S_OK ? answer : result;
}

void SimulatorControl::callFinished(const ObjectTarget &target, const char *method, int index,
                                    int argument, HRESULT result)
{
    --t_callDepth;
    SimulatorLocker lock(m_lock);
    if (!m_journalEnabled)
        return;
    CallRecord entry;
    entry.object = simulator::objectName(target);
    entry.method = QLatin1String(method);
    if (index != NoArgument)
        entry.arguments = QString::number(index);
    if (argument != NoArgument) {
        if (!entry.arguments.isEmpty())
            entry.arguments += QLatin1Char(',');
        entry.arguments += QString::number(argument);
    }
    entry.result = result;
    entry.thread = reinterpret_cast<Qt::HANDLE>(simulator::currentThreadId());
    m_journal.append(entry);
}

int SimulatorControl::liveObjects() const
{
    return m_liveObjects.load();
}

int SimulatorControl::outstandingReferences() const
{
    return m_references.load();
}

int SimulatorControl::foreignThreadCalls() const
{
    return m_foreignCalls.load();
}

int SimulatorControl::nestedCalls() const
{
    return m_nestedCalls.load();
}

int SimulatorControl::overlappingSessions() const
{
    return m_overlappingSessions.load();
}

int SimulatorControl::hostThreadCalls() const
{
    return m_hostThreadCalls.load();
}
