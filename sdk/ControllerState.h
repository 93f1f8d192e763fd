// The states of a controller, as a state chart would draw them. Two machines: the connection,
// which the worker thread alone moves, and the controller's own life, which the stopping host
// thread moves. Stalled is what the host sees while one request has run past the bound in any
// connection state.
//
//   connection:  Closed --open--> Opening --opened--> Open --close--> Closing --closed--> Closed
//                Opening --failed--> Retrying --retry--> Opening;   Retrying --off--> Closed
//                Closing --lost connection, reopen--> Retrying;     Opening --cancelled--> Closed
//   controller:  Running --stop--> Stopping --thread ended--> Ended
//                Stopping --bound passed, worker inside the SDK--> LetGo --thread ended--> Ended
#pragma once

#include <atomic>

enum class ControllerState {
    None, // no controller
    Closed,
    Opening,
    Open,
    Retrying,
    Closing,
    Stalled,
    Running,
    Stopping,
    LetGo,
    Ended,
};

const char *controllerStateName(ControllerState state);
bool isAllowedTransition(ControllerState from, ControllerState to);

// One machine's current state. Moved by one thread at a time, read by any.
class StateMachine
{
public:
    explicit StateMachine(ControllerState initial)
        : m_state(initial)
    { }
    ControllerState state() const { return m_state.load(); }
    // Moves to `to` if the chart allows it from the current state; otherwise stays, logs the
    // refused transition at critical level and returns false.
    bool move(ControllerState to) noexcept;

private:
    std::atomic<ControllerState> m_state;
};
