#include "ControllerState.h"

#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"

namespace {

using S = ControllerState;

struct Transition
{
    S from;
    S to;
};
constexpr Transition allowed[] = {
    { S::Closed, S::Opening },   { S::Opening, S::Open },     { S::Opening, S::Retrying },
    { S::Opening, S::Closed },   { S::Retrying, S::Opening }, { S::Retrying, S::Closed },
    { S::Open, S::Closing },     { S::Closing, S::Closed },   { S::Closing, S::Retrying },
    { S::Running, S::Stopping }, { S::Stopping, S::Ended },   { S::Stopping, S::LetGo },
    { S::LetGo, S::Ended },
};

} // namespace

const char *controllerStateName(ControllerState state)
{
    switch (state) {
    case S::None:
        return "none";
    case S::Closed:
        return "closed";
    case S::Opening:
        return "opening";
    case S::Open:
        return "open";
    case S::Retrying:
        return "retrying";
    case S::Closing:
        return "closing";
    case S::Stalled:
        return "stalled";
    case S::Running:
        return "running";
    case S::Stopping:
        return "stopping";
    case S::LetGo:
        return "let go";
    case S::Ended:
        return "ended";
    }
    return "?";
}

bool isAllowedTransition(ControllerState from, ControllerState to)
{
    for (const Transition &transition : allowed) {
        if (transition.from == from && transition.to == to)
            return true;
    }
    return false;
}

bool StateMachine::move(ControllerState to) noexcept
{
    const ControllerState from = m_state.load();
    if (!isAllowedTransition(from, to)) {
        writeLogLine(glintSdkControllerLog(), QtCriticalMsg, [&](QDebug &line) {
            line.nospace() << "Refused state change from " << controllerStateName(from) << " to "
                           << controllerStateName(to);
        });
        return false;
    }
    m_state.store(to);
    return true;
}
