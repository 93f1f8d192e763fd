#include "ExplorerSchedule.h"

#include <algorithm>
#include <sstream>

namespace explorer {
namespace {

const char *const pointNames[] = { "create",           "StartControl",    "Enumerate",
                                   "devices.get_Item", "lights.get_Item", "put_Red",
                                   "put_Green",        "put_Blue",        "Apply",
                                   "StopControl",      "Release" };
const char *const actionNames[] = { "subscribe",
                                    "unsubscribe",
                                    "mode-1",
                                    "mode-2",
                                    "frame",
                                    "describe",
                                    "view",
                                    "take-table",
                                    "give-back-table",
                                    "give-back-last-table",
                                    "end-subscribing-thread",
                                    "unload",
                                    "exit" };
const char *const whereNames[] = { "subscribing", "other",    "apartment",
                                   "locked",      "callback", "failing-heap" };
const char *const heldNames[] = { "quiet", "pumping" };
const char *const answerNames[] = { "ok", "E_FAIL", "RPC_E_DISCONNECTED",
                                    "RPC_S_SERVER_UNAVAILABLE", "CO_E_OBJNOTCONNECTED" };
const char *const releaseNames[] = { "before", "after", "never" };

template<std::size_t N>
int indexOf(const char *const (&names)[N], const std::string &name)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i])
            return int(i);
    }
    return -1;
}

const char *pointText(Point point)
{
    switch (point) {
    case Point::Create:
        return "the SDK object's creation";
    case Point::Start:
        return "IGlintSdk2::StartControl";
    case Point::Enumerate:
        return "IGlintSdk2::Enumerate";
    case Point::DeviceQuery:
        return "the device collection's get_Item";
    case Point::LightQuery:
        return "the light collection's get_Item of light 1";
    case Point::PutRed:
        return "IGlintRgbLight::put_Red of light 0";
    case Point::PutGreen:
        return "IGlintRgbLight::put_Green of light 0";
    case Point::PutBlue:
        return "IGlintRgbLight::put_Blue of light 0";
    case Point::Apply:
        return "IGlintSyncDevice::Apply";
    case Point::Stop:
        return "IGlintSdk2::StopControl";
    case Point::Release:
        return "the release of the SDK object";
    }
    return "?";
}

const char *actionText(Action action)
{
    switch (action) {
    case Action::Subscribe:
        return "subscribes";
    case Action::Unsubscribe:
        return "unsubscribes";
    case Action::ModeOne:
        return "sets mode 1";
    case Action::ModeTwo:
        return "sets mode 2";
    case Action::Frame:
        return "sends a colour frame";
    case Action::Describe:
        return "asks for the board's description";
    case Action::View:
        return "asks for the board's view";
    case Action::TakeTable:
        return "takes an operation table";
    case Action::GiveBackTable:
        return "gives back a table that is not its last";
    case Action::GiveBackLastTable:
        return "gives back its last table";
    case Action::EndThread:
        return "ends its subscribing thread";
    case Action::Unload:
        return "unloads the library";
    case Action::Exit:
        return "ends the process";
    }
    return "?";
}

const char *whereText(Where where)
{
    switch (where) {
    case Where::Subscribing:
        return "on the subscribing thread";
    case Where::Other:
        return "on another host thread";
    case Where::Apartment:
        return "on a host thread with a COM apartment of its own";
    case Where::Locked:
        return "on a host thread holding the lock that the callback, due on the subscribing "
               "thread, waits for";
    case Where::Callback:
        return "inside the host's callback, on the subscribing thread";
    case Where::FailingHeap:
        return "on a host thread whose heap fails at the k-th block, for k = 1, 2, ... until the "
               "call succeeds (at every block for a call that cannot be made twice)";
    }
    return "?";
}

} // namespace

bool closesConnection(Action action)
{
    return action == Action::ModeOne || action == Action::Unsubscribe
        || action == Action::GiveBackLastTable;
}

Phase phaseOf(Point point)
{
    switch (point) {
    case Point::PutRed:
    case Point::PutGreen:
    case Point::PutBlue:
    case Point::Apply:
        return Phase::Frame;
    case Point::Stop:
    case Point::Release:
        return Phase::Closing;
    default:
        return Phase::Opening;
    }
}

int valueCount(Dimension dimension)
{
    switch (dimension) {
    case Dimension::Point:
        return int(std::size(pointNames));
    case Dimension::First:
        return int(std::size(actionNames));
    case Dimension::Where:
        return int(std::size(whereNames));
    case Dimension::Held:
        return int(std::size(heldNames));
    case Dimension::Answer:
        return int(std::size(answerNames));
    case Dimension::Release:
        return int(std::size(releaseNames));
    case Dimension::Second:
        return int(secondActions().size());
    }
    return 0;
}

const char *valueName(Dimension dimension, int value)
{
    switch (dimension) {
    case Dimension::Point:
        return pointNames[value];
    case Dimension::First:
        return actionNames[value];
    case Dimension::Where:
        return whereNames[value];
    case Dimension::Held:
        return heldNames[value];
    case Dimension::Answer:
        return answerNames[value];
    case Dimension::Release:
        return releaseNames[value];
    case Dimension::Second:
        return actionNames[int(secondActions()[std::size_t(value)])];
    }
    return "?";
}

const std::vector<Action> &secondActions()
{
    static const std::vector<Action> actions { Action::TakeTable, Action::GiveBackTable,
                                               Action::Subscribe, Action::Unload, Action::Exit };
    return actions;
}

std::array<int, DimensionCount> Combination::values() const
{
    const auto &seconds = secondActions();
    const int secondIndex =
        int(std::find(seconds.begin(), seconds.end(), second) - seconds.begin());
    return {
        int(point), int(first), int(where), int(held), int(answer), int(release), secondIndex
    };
}

Combination Combination::fromValues(const std::array<int, DimensionCount> &values)
{
    Combination combination;
    combination.point = Point(values[0]);
    combination.first = Action(values[1]);
    combination.where = Where(values[2]);
    combination.held = Held(values[3]);
    combination.answer = Answer(values[4]);
    combination.release = Release(values[5]);
    combination.second = secondActions()[std::size_t(values[6])];
    return combination;
}

std::string toText(const Combination &c)
{
    std::string text = pointNames[int(c.point)];
    if (c.later)
        text += std::string("+") + pointNames[int(*c.later)];
    return text + "/" + actionNames[int(c.first)] + "@" + whereNames[int(c.where)] + "/"
        + heldNames[int(c.held)] + "/" + answerNames[int(c.answer)] + "/"
        + releaseNames[int(c.release)] + "/" + actionNames[int(c.second)];
}

std::optional<Combination> fromText(const std::string &text)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, '/');)
        parts.push_back(part);
    if (parts.size() != 6)
        return std::nullopt;
    const std::size_t at = parts[1].find('@');
    const std::size_t plus = parts[0].find('+');
    if (at == std::string::npos)
        return std::nullopt;
    const int point = indexOf(pointNames, parts[0].substr(0, plus));
    const int later =
        plus == std::string::npos ? 0 : indexOf(pointNames, parts[0].substr(plus + 1));
    const int first = indexOf(actionNames, parts[1].substr(0, at));
    const int where = indexOf(whereNames, parts[1].substr(at + 1));
    const int held = indexOf(heldNames, parts[2]);
    const int answer = indexOf(answerNames, parts[3]);
    const int release = indexOf(releaseNames, parts[4]);
    const int second = indexOf(actionNames, parts[5]);
    const auto &seconds = secondActions();
    if (std::min({ point, later, first, where, held, answer, release, second }) < 0
        || std::find(seconds.begin(), seconds.end(), Action(second)) == seconds.end())
        return std::nullopt;
    Combination combination;
    combination.point = Point(point);
    if (plus != std::string::npos)
        combination.later = Point(later);
    combination.first = Action(first);
    combination.where = Where(where);
    combination.held = Held(held);
    combination.answer = Answer(answer);
    combination.release = Release(release);
    combination.second = Action(second);
    return combination;
}

bool isActive(const Combination &combination, Dimension dimension)
{
    if (dimension == Dimension::Second)
        return combination.first != Action::Exit;
    if (dimension == Dimension::Answer)
        return combination.point != Point::Release;
    return true;
}

const char *whyNot(const Combination &c, Platform platform)
{
    if (c.where == Where::FailingHeap && platform == Platform::Windows)
        return "the Windows DLL links its C++ runtime statically: a test program cannot fail its "
               "allocations";
    if (c.first == Action::EndThread && c.where != Where::Subscribing)
        return "the subscribing thread ends itself";
    if (c.first == Action::Unload && (c.where == Where::Callback || c.where == Where::Locked))
        return "the subscribing thread is inside the plug-in's notification: a host never unloads "
               "a library while one of its threads is inside a call into it";
    if (c.point == Point::Release && c.answer != Answer::Success)
        return "a release answers nothing";
    if (c.first == Action::Exit && c.release == Release::After)
        return "the end of the process does not return";
    if (c.first == Action::Exit && c.second != Action::TakeTable)
        return "nothing follows the end of the process";
    if (c.first == Action::Unload && c.second == Action::Unload)
        return "nothing is loaded to unload again";
    return nullptr;
}

std::string describe(const Combination &c)
{
    std::ostringstream out;
    const bool inCallback = c.where == Where::Callback || c.where == Where::Locked;
    out << "  from: subscribed on the subscribing thread in mode 2, the board reported";
    if (inCallback)
        out << "; the subscribing thread is still inside the host's callback for that report";
    out << "\n  held: " << pointText(c.point);
    if (c.held == Held::Pumping)
        out << ", delivering the worker thread's events while it waits";
    if (c.point != Point::Release)
        out << ", then answering " << answerNames[int(c.answer)];
    out << "\n  the worker gets there by: ";
    switch (phaseOf(c.point)) {
    case Phase::Opening:
        out << "mode 1 and mode 2 from another host thread (the connection opened again)";
        break;
    case Phase::Frame:
        out << "a colour frame from the host's render thread";
        if (c.first == Action::Frame)
            out << "; the first action comes once that frame's call has returned, before any "
                   "host thread has seen the stall";
        break;
    case Phase::Closing:
        out << (closesConnection(c.first) ? "the first action"
                                          : "an unsubscription from another host thread");
        break;
    }
    out << "\n  first: the host " << actionText(c.first) << " " << whereText(c.where);
    out << "\n  the held call is let go: ";
    switch (c.release) {
    case Release::Before:
        out << "once it is held and the first action has begun (before that action returns if it "
               "waits for the worker)";
        break;
    case Release::After:
        out << "after the first action has returned";
        break;
    case Release::Never:
        out << "not within any bound: after the second action";
        break;
    }
    if (c.later)
        out << "\n  then held too, until the end: " << pointText(*c.later);
    if (c.first != Action::Exit)
        out << "\n  second: the host " << actionText(c.second);
    if (c.first != Action::Exit && c.second != Action::Exit)
        out << "\n  then: everything let go, the last wanted state awaited, and everything given "
               "back";
    return out.str();
}

} // namespace explorer
