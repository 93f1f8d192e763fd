// The ordering explorer's combinations: one SDK call point held by the substitute SDK, a host
// action while it is held, where that action runs, what the held call does and answers, when it
// is let go, and the host action that follows. Each combination has a short text form (for a
// command line and a ctest log), a readable schedule, and the rule that leaves out what the host's
// threading contract forbids or what cannot happen.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace explorer {

// Where the worker is held: its opening (the SDK's creation, its start call, the enumeration and
// the collection and light queries), a colour frame (the three writes and Apply), or its closing
// (the stop call and the release of the SDK object).
enum class Point {
    Create,
    Start,
    Enumerate,
    DeviceQuery,
    LightQuery,
    PutRed,
    PutGreen,
    PutBlue,
    Apply,
    Stop,
    Release,
};
enum class Action {
    Subscribe,
    Unsubscribe,
    ModeOne,
    ModeTwo,
    Frame,
    Describe,
    View,
    TakeTable,
    GiveBackTable, // one that is not the last
    GiveBackLastTable,
    EndThread, // the subscribing thread ends
    Unload,
    Exit, // the process ends
};
enum class Where {
    Subscribing,
    Other,
    Apartment, // a host thread with a COM apartment of its own
    Locked, // a host thread holding a lock that the host's callback, due on the subscribing thread,
            // wants
    Callback, // inside the host's callback
    FailingHeap, // a host thread whose heap fails (Linux suites only)
};
enum class Held { Quiet, Pumping };
enum class Answer { Success, Failure, Disconnected, ServerUnavailable, NotConnected };
enum class Release { Before, After, Never };

enum class Dimension { Point, First, Where, Held, Answer, Release, Second };
constexpr int DimensionCount = 7;

struct Combination
{
    Point point = Point::Create;
    Action first = Action::Subscribe;
    Where where = Where::Subscribing;
    Held held = Held::Quiet;
    Answer answer = Answer::Success;
    Release release = Release::Before;
    // A call that reaps (TakeTable, GiveBackTable, Subscribe), Unload or Exit.
    Action second = Action::TakeTable;
    // A pinned schedule may hold a later point too: the worker meets it once the first is let go,
    // and it stays held until the end.
    std::optional<Point> later;

    // Each dimension's value as its index, and the same back.
    std::array<int, DimensionCount> values() const;
    static Combination fromValues(const std::array<int, DimensionCount> &values);
};

// How many values each dimension has, and a value's name.
int valueCount(Dimension dimension);
const char *valueName(Dimension dimension, int value);

// "Apply/frame@failing-heap/pumping/E_FAIL/never/take-table" (a later point as
// "Apply+StopControl").
std::string toText(const Combination &combination);
std::optional<Combination> fromText(const std::string &text);
// The schedule as a host developer reads it, a line a step.
std::string describe(const Combination &combination);

enum class Platform { Linux, Windows };
// Null when the combination can run; otherwise why it cannot (the contract forbids it, or it
// cannot happen).
const char *whyNot(const Combination &combination, Platform platform);
// Whether a dimension's value takes part in the combination: none of the second action when the
// first ends the process, no answer for a release.
bool isActive(const Combination &combination, Dimension dimension);

enum class Phase { Opening, Frame, Closing };
Phase phaseOf(Point point);
// Whether the action closes the connection (and so takes the worker to the closing points itself).
bool closesConnection(Action action);

} // namespace explorer
