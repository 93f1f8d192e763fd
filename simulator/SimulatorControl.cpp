#include "SimulatorControl.h"

#include <QStringList>

#include <QMutex>
#include <QThread>

namespace {

struct LightState
{
    QString name;
    SimulatedColour current;
    SimulatedColour latched;
};

struct BoardState
{
    QString name;
    int type = 0;
    QVector<LightState> lights;
    int applyCount = 0;
    int applyDelayMs = 0;
};

using Kind = SimulatorControl::Target::Kind;

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::Sdk:
        return "sdk";
    case Kind::Devices:
        return "devices";
    case Kind::Board:
        return "board";
    case Kind::Lights:
        return "lights";
    case Kind::Light:
        return "light";
    }
    return "?";
}

QString objectName(const SimulatorControl::Target &target)
{
    QString name = QLatin1String(kindName(target.kind));
    if (target.kind == Kind::Board || target.kind == Kind::Lights || target.kind == Kind::Light)
        name += QLatin1Char(':') + QString::number(target.board);
    if (target.kind == Kind::Light)
        name += QLatin1Char(':') + QString::number(target.light);
    return name;
}

// "kind:board:light" with "*" for any part; missing parts match anything.
bool objectMatches(const QString &pattern, const SimulatorControl::Target &target)
{
    const QStringList parts = pattern.split(QLatin1Char(':'));
    const QString values[] = { QLatin1String(kindName(target.kind)), QString::number(target.board),
                               QString::number(target.light) };
    const int used = target.kind == Kind::Light                       ? 3
        : (target.kind == Kind::Board || target.kind == Kind::Lights) ? 2
                                                                      : 1;
    if (parts.size() > used && !(parts.size() == 1 && parts.front() == QLatin1String("*")))
        return false;
    for (int i = 0; i < parts.size() && i < used; ++i) {
        if (parts.at(i) != QLatin1String("*") && parts.at(i) != values[i])
            return false;
    }
    return true;
}

struct ActiveFault
{
    FaultRule rule;
    int matches = 0;
};

} // namespace

struct SimulatorControl::State
{
    mutable QMutex mutex;
    quint64 generation = 1;
    Scenario scenario;
    QVector<BoardState> boards;
    QVector<ActiveFault> faults;
    bool journalEnabled = true;
    QVector<CallRecord> journal;
    int startCalls = 0;
    int stopCalls = 0;

    // Null for an object of an earlier scenario or a board the scenario does not have.
    BoardState *board(const Target &target)
    {
        if (target.generation != generation || target.board < 0 || target.board >= boards.size())
            return nullptr;
        return &boards[target.board];
    }
    LightState *light(const Target &target)
    {
        BoardState *state = board(target);
        if (!state || target.light < 0 || target.light >= state->lights.size())
            return nullptr;
        return &state->lights[target.light];
    }
};

SimulatorControl &SimulatorControl::instance()
{
    // Never destroyed: SDK objects may be released from other libraries' static destructors,
    // after this library's own would have run.
    static SimulatorControl *const control = new SimulatorControl;
    return *control;
}

SimulatorControl::SimulatorControl()
    : m_state(std::make_unique<State>())
{
    setScenario(Scenario::defaultScenario());
}

SimulatorControl::~SimulatorControl() = default;

void SimulatorControl::setScenario(const Scenario &scenario)
{
    QMutexLocker lock(&m_state->mutex);
    State &state = *m_state;
    ++state.generation;
    state.scenario = scenario;
    state.boards.clear();
    for (const BoardScenario &board : scenario.boards) {
        BoardState boardState;
        boardState.name = board.name;
        boardState.type = board.type;
        boardState.applyDelayMs = board.applyDelayMs;
        for (const QString &name : board.lightNames)
            boardState.lights.append({ name, {}, {} });
        state.boards.append(boardState);
    }
    state.faults.clear();
    for (const FaultRule &fault : scenario.faults)
        state.faults.append({ fault, 0 });
    state.journal.clear();
    state.startCalls = 0;
    state.stopCalls = 0;
    m_foreignCalls = 0;
}

Scenario SimulatorControl::scenario() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->scenario;
}

void SimulatorControl::addFault(const FaultRule &fault)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->scenario.faults.append(fault);
    m_state->faults.append({ fault, 0 });
}

void SimulatorControl::clearFaults()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->scenario.faults.clear();
    m_state->faults.clear();
}

void SimulatorControl::setApplyDelay(int board, int milliseconds)
{
    QMutexLocker lock(&m_state->mutex);
    if (board >= 0 && board < m_state->boards.size()) {
        m_state->boards[board].applyDelayMs = milliseconds;
        m_state->scenario.boards[board].applyDelayMs = milliseconds;
    }
}

void SimulatorControl::setJournalEnabled(bool enabled)
{
    QMutexLocker lock(&m_state->mutex);
    m_state->journalEnabled = enabled;
}

QVector<CallRecord> SimulatorControl::journal() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->journal;
}

void SimulatorControl::clearJournal()
{
    QMutexLocker lock(&m_state->mutex);
    m_state->journal.clear();
}

int SimulatorControl::countCalls(const QString &object, const QString &method) const
{
    QMutexLocker lock(&m_state->mutex);
    int count = 0;
    for (const CallRecord &record : m_state->journal) {
        if (!method.isEmpty() && record.method != method)
            continue;
        const QStringList want = object.split(QLatin1Char(':'));
        const QStringList have = record.object.split(QLatin1Char(':'));
        bool match = want.size() == have.size() || object == QLatin1String("*");
        for (int i = 0; match && i < want.size() && i < have.size(); ++i)
            match = want.at(i) == QLatin1String("*") || want.at(i) == have.at(i);
        count += match ? 1 : 0;
    }
    return count;
}

QVector<SimulatedColour> SimulatorControl::currentColours(int board) const
{
    QMutexLocker lock(&m_state->mutex);
    QVector<SimulatedColour> colours;
    if (board >= 0 && board < m_state->boards.size()) {
        for (const LightState &light : m_state->boards.at(board).lights)
            colours.append(light.current);
    }
    return colours;
}

QVector<SimulatedColour> SimulatorControl::latchedColours(int board) const
{
    QMutexLocker lock(&m_state->mutex);
    QVector<SimulatedColour> colours;
    if (board >= 0 && board < m_state->boards.size()) {
        for (const LightState &light : m_state->boards.at(board).lights)
            colours.append(light.latched);
    }
    return colours;
}

int SimulatorControl::applyCount(int board) const
{
    QMutexLocker lock(&m_state->mutex);
    return board >= 0 && board < m_state->boards.size() ? m_state->boards.at(board).applyCount : 0;
}

int SimulatorControl::startCalls() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->startCalls;
}

int SimulatorControl::stopCalls() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->stopCalls;
}

void SimulatorControl::objectCreated()
{
    ++m_liveObjects;
    ++m_references;
}

void SimulatorControl::objectDestroyed()
{
    --m_liveObjects;
}

quint64 SimulatorControl::generation() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->generation;
}

QVector<int> SimulatorControl::boardsOfType(quint64 generation, int type) const
{
    QMutexLocker lock(&m_state->mutex);
    QVector<int> boards;
    if (generation != m_state->generation)
        return boards;
    for (int i = 0; i < m_state->boards.size(); ++i) {
        if (m_state->boards.at(i).type == type)
            boards.append(i);
    }
    return boards;
}

int SimulatorControl::boardCount(quint64 generation) const
{
    QMutexLocker lock(&m_state->mutex);
    return generation == m_state->generation ? m_state->boards.size() : 0;
}

bool SimulatorControl::boardName(const Target &target, QString *name) const
{
    QMutexLocker lock(&m_state->mutex);
    const BoardState *board = m_state->board(target);
    if (board)
        *name = board->name;
    return board != nullptr;
}

bool SimulatorControl::lightCount(const Target &target, int *count) const
{
    QMutexLocker lock(&m_state->mutex);
    const BoardState *board = m_state->board(target);
    if (board)
        *count = board->lights.size();
    return board != nullptr;
}

bool SimulatorControl::lightName(const Target &target, QString *name) const
{
    QMutexLocker lock(&m_state->mutex);
    const LightState *light = m_state->light(target);
    if (light)
        *name = light->name;
    return light != nullptr;
}

bool SimulatorControl::putComponent(const Target &target, int component, quint8 value)
{
    QMutexLocker lock(&m_state->mutex);
    LightState *light = m_state->light(target);
    if (!light)
        return false;
    quint8 *components[] = { &light->current.red, &light->current.green, &light->current.blue };
    *components[component] = value;
    return true;
}

int SimulatorControl::applyDelay(const Target &target) const
{
    QMutexLocker lock(&m_state->mutex);
    const BoardState *board = m_state->board(target);
    return board ? board->applyDelayMs : 0;
}

bool SimulatorControl::apply(const Target &target)
{
    QMutexLocker lock(&m_state->mutex);
    BoardState *board = m_state->board(target);
    if (!board)
        return false;
    for (LightState &light : board->lights)
        light.latched = light.current;
    ++board->applyCount;
    return true;
}

void SimulatorControl::started()
{
    QMutexLocker lock(&m_state->mutex);
    ++m_state->startCalls;
}

void SimulatorControl::stopped()
{
    QMutexLocker lock(&m_state->mutex);
    ++m_state->stopCalls;
}

SimulatorControl::Call::Call(const Target &target, const char *method, int index, int argument)
    : m_target(target)
    , m_method(method)
    , m_index(index)
    , m_argument(argument)
{
    SimulatorControl &control = instance();
    if (target.apartment != QThread::currentThreadId())
        ++control.m_foreignCalls;
    State &state = *control.m_state;
    QMutexLocker lock(&state.mutex);
    for (ActiveFault &fault : state.faults) {
        if (fault.rule.method != QLatin1String(method)
            || (fault.rule.index >= 0 && fault.rule.index != index && index != NoArgument)
            || !objectMatches(fault.rule.object, target))
            continue;
        ++fault.matches;
        if (m_result == S_OK && (fault.rule.call == 0 || fault.rule.call == fault.matches))
            m_result = fault.rule.result;
    }
}

SimulatorControl::Call::~Call()
{
    State &state = *instance().m_state;
    QMutexLocker lock(&state.mutex);
    if (!state.journalEnabled)
        return;
    CallRecord record;
    record.object = objectName(m_target);
    record.method = QLatin1String(m_method);
    QStringList arguments;
    if (m_index != NoArgument)
        arguments.append(QString::number(m_index));
    if (m_argument != NoArgument)
        arguments.append(QString::number(m_argument));
    record.arguments = arguments.join(QLatin1Char(','));
    record.result = m_result;
    record.thread = QThread::currentThreadId();
    state.journal.append(record);
}
