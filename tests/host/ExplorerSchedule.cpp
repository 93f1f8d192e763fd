#include "ExplorerSchedule.h"

#include <algorithm>
#include <sstream>
#include <vector>

namespace explorer {
namespace {

// Each dimension's values, in the order of their enumerations: the short name of the text form,
// and the words of the readable schedule.
struct Value
{
    const char *name;
    const char *text;
};
const Value points[] = {
    { "create", "the SDK object's creation" },
    { "StartControl", "IGlintSdk2::StartControl" },
    { "Enumerate", "IGlintSdk2::Enumerate" },
    { "devices.get_Item", "the device collection's get_Item" },
    { "lights.get_Item", "the light collection's get_Item of light 1" },
    { "put_Red", "IGlintRgbLight::put_Red of light 0" },
    { "put_Green", "IGlintRgbLight::put_Green of light 0" },
    { "put_Blue", "IGlintRgbLight::put_Blue of light 0" },
    { "Apply", "IGlintSyncDevice::Apply" },
    { "StopControl", "IGlintSdk2::StopControl" },
    { "Release", "the release of the SDK object" },
};
const Value actions[] = {
    { "subscribe", "subscribes" },
    { "unsubscribe", "unsubscribes" },
    { "mode-1", "sets mode 1" },
    { "mode-2", "sets mode 2" },
    { "frame", "sends a colour frame" },
    { "describe", "asks for the board's description" },
    { "view", "asks for the board's view" },
    { "take-table", "takes an operation table" },
    { "give-back-table", "gives back a table that is not its last" },
    { "give-back-last-table", "gives back its last table" },
    { "end-subscribing-thread", "ends its subscribing thread" },
    { "unload", "unloads the library" },
    { "exit", "ends the process" },
};
const Value wheres[] = {
    { "subscribing", "on the subscribing thread" },
    { "other", "on another host thread" },
    { "apartment", "on a host thread with a COM apartment of its own" },
    { "locked",
      "on a host thread holding the lock that the callback, due on the subscribing "
      "thread, waits for" },
    { "callback", "inside the host's callback, on the subscribing thread" },
    { "failing-heap",
      "on a host thread whose heap fails at the k-th block, for k = 1, 2, ... "
      "until the call succeeds (at every block for a call that cannot be made "
      "twice); a subscription as the second action fails there too, at the plug-in's own blocks" },
};
const Value helds[] = { { "quiet", "" },
                        { "pumping", ", delivering the worker thread's events while it waits" } };
const Value answers[] = { { "ok", "" },
                          { "E_FAIL", "" },
                          { "RPC_E_DISCONNECTED", "" },
                          { "RPC_S_SERVER_UNAVAILABLE", "" },
                          { "CO_E_OBJNOTCONNECTED", "" } };
const Value releases[] = {
    { "before",
      "once it is held and the first action has begun (before that action returns if "
      "it waits for the worker)" },
    { "after", "after the first action has returned" },
    { "never", "not within any bound: after the second action" },
};
const Action seconds[] = { Action::TakeTable, Action::GiveBackTable, Action::Subscribe,
                           Action::Unload, Action::Exit };

struct Values
{
    const Value *values;
    int count;
};
template<std::size_t N>
constexpr Values all(const Value (&values)[N])
{
    return { values, int(N) };
}
const Values dimensions[DimensionCount] = { all(points),  all(actions),  all(wheres), all(helds),
                                            all(answers), all(releases), all(actions) };

int indexOf(Dimension dimension, const std::string &name)
{
    const Values &values = dimensions[int(dimension)];
    for (int i = 0; i < values.count; ++i) {
        if (name == values.values[i].name)
            return i;
    }
    return -1;
}

int secondIndex(Action action)
{
    return int(std::find(std::begin(seconds), std::end(seconds), action) - std::begin(seconds));
}

} // namespace

int valueCount(Dimension dimension)
{
    return dimension == Dimension::Second ? int(std::size(seconds))
                                          : dimensions[int(dimension)].count;
}

const char *valueName(Dimension dimension, int value)
{
    if (dimension == Dimension::Second)
        return actions[int(seconds[value])].name;
    return dimensions[int(dimension)].values[value].name;
}

std::array<int, DimensionCount> Combination::values() const
{
    return { int(point),  int(first),   int(where),         int(held),
             int(answer), int(release), secondIndex(second) };
}

Combination Combination::fromValues(const std::array<int, DimensionCount> &values)
{
    return { Point(values[0]),  Action(values[1]),  Where(values[2]),   Held(values[3]),
             Answer(values[4]), Release(values[5]), seconds[values[6]], std::nullopt };
}

std::string toText(const Combination &c)
{
    std::string text = points[int(c.point)].name;
    if (c.later)
        text += std::string("+") + points[int(*c.later)].name;
    return text + "/" + actions[int(c.first)].name + "@" + wheres[int(c.where)].name + "/"
        + helds[int(c.held)].name + "/" + answers[int(c.answer)].name + "/"
        + releases[int(c.release)].name + "/" + actions[int(c.second)].name;
}

std::optional<Combination> fromText(const std::string &text)
{
    std::string normalised = text;
    std::replace(normalised.begin(), normalised.end(), '@', '/');
    std::replace(normalised.begin(), normalised.end(), '+', '/');
    std::vector<std::string> parts;
    std::stringstream stream(normalised);
    for (std::string part; std::getline(stream, part, '/');)
        parts.push_back(part);
    const bool hasLater = text.find('+') != std::string::npos;
    if (parts.size() != (hasLater ? 8u : 7u))
        return std::nullopt;
    int later = 0;
    if (hasLater) {
        later = indexOf(Dimension::Point, parts[1]);
        parts.erase(parts.begin() + 1);
    }
    std::array<int, DimensionCount> values {};
    for (int d = 0; d < DimensionCount; ++d)
        values[d] = indexOf(Dimension(d), parts[std::size_t(d)]);
    if (values[6] >= 0)
        values[6] = secondIndex(Action(values[6]));
    if (later < 0 || *std::min_element(values.begin(), values.end()) < 0
        || values[6] >= valueCount(Dimension::Second))
        return std::nullopt;
    Combination combination = Combination::fromValues(values);
    if (hasLater)
        combination.later = Point(later);
    return combination;
}

Phase phaseOf(Point point)
{
    if (point >= Point::PutRed && point <= Point::Apply)
        return Phase::Frame;
    return point >= Point::Stop ? Phase::Closing : Phase::Opening;
}

bool closesConnection(Action action)
{
    return action == Action::ModeOne || action == Action::Unsubscribe
        || action == Action::GiveBackLastTable;
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
    out << "  from: subscribed on the subscribing thread in mode 2, the board reported";
    if (c.where == Where::Callback || c.where == Where::Locked)
        out << "; the subscribing thread is still inside the host's callback for that report";
    out << "\n  held: " << points[int(c.point)].text << helds[int(c.held)].text;
    if (c.point != Point::Release)
        out << ", then answering " << answers[int(c.answer)].name;
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
    out << "\n  first: the host " << actions[int(c.first)].text << " " << wheres[int(c.where)].text
        << "\n  the held call is let go: " << releases[int(c.release)].text;
    if (c.later)
        out << "\n  then held too, until the end: " << points[int(*c.later)].text;
    if (c.first != Action::Exit)
        out << "\n  second: the host " << actions[int(c.second)].text;
    if (c.first != Action::Exit && c.second != Action::Exit)
        out << "\n  then: everything let go, the last wanted state awaited, and everything given "
               "back";
    return out.str();
}

} // namespace explorer
