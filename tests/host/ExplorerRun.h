// One combination of the ordering explorer, run by the child process it was given to: a host
// that loads the plug-in by path and uses only its four exports, the substitute SDK driven only
// through its control interface, every step ordered by a handshake (a call held, a callback
// entered, a host call begun or returned), never by a sleep. Afterwards the host's threading
// contract is checked:
// - every host call returns within its bound plus a slack (250 ms; 750 ms under wine or a
//   sanitizer); a last table given back while only a notification on another thread still runs
//   returns within the slack alone;
// - no request runs inside another (no SDK call begins inside another of the same thread);
// - no SDK call, AddRef or Release runs off the worker thread;
// - at most one SDK session exists at a time;
// - a host thread's own COM apartment survives every call into the plug-in;
// - once everything is let go, the last wanted state is reached: the board reported on the
//   subscribing thread (and on no other) and frames reach the lights, or the connection closed;
// - once the host has given everything back and unloaded the library, nothing is left: no SDK
//   object or reference, COM initialisation, thread, and no module (the library leaves the
//   process; where the plug-in's lifetime rules ask for a later call of the host first, that call
//   is made).
// The process exits 0 when every check holds, 1 when one fails (each printed as "violation: ...").
#pragma once

#include "ExplorerSchedule.h"

namespace explorer {

int runCombination(const Combination &combination);

} // namespace explorer
