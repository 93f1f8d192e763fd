#include "ObjectTarget.h"

#include <vector>

namespace simulator {
namespace {

const char *kindName(ObjectTarget::Kind kind)
{
    switch (kind) {
    case ObjectTarget::Sdk:
        return "sdk";
    case ObjectTarget::Devices:
        return "devices";
    case ObjectTarget::Board:
        return "board";
    case ObjectTarget::Lights:
        return "lights";
    case ObjectTarget::Light:
        return "light";
    }
    return "?";
}

// Splits at every ':', keeping empty parts ("" gives one empty part).
std::vector<std::string> parts(const std::string &text)
{
    std::vector<std::string> result;
    std::string::size_type start = 0;
    for (;;) {
        const std::string::size_type colon = text.find(':', start);
        result.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos)
            return result;
        start = colon + 1;
    }
}

} // namespace

ObjectTarget ObjectTarget::child(Kind childKind, int childBoard, int childLight) const
{
    ObjectTarget target = *this;
    target.kind = childKind;
    target.board = childBoard;
    target.light = childLight;
    return target;
}

std::string objectName(const ObjectTarget &target)
{
    std::string name = kindName(target.kind);
    if (target.kind == ObjectTarget::Board || target.kind == ObjectTarget::Lights
        || target.kind == ObjectTarget::Light)
        name += ':' + std::to_string(target.board);
    if (target.kind == ObjectTarget::Light)
        name += ':' + std::to_string(target.light);
    return name;
}

bool objectMatches(const std::string &pattern, const ObjectTarget &target)
{
    const std::vector<std::string> wanted = parts(pattern);
    const std::string values[] = { kindName(target.kind), std::to_string(target.board),
                                   std::to_string(target.light) };
    const std::size_t used = target.kind == ObjectTarget::Light                       ? 3
        : (target.kind == ObjectTarget::Board || target.kind == ObjectTarget::Lights) ? 2
                                                                                      : 1;
    if (wanted.size() > used && !(wanted.size() == 1 && wanted.front() == "*"))
        return false;
    for (std::size_t i = 0; i < wanted.size() && i < used; ++i) {
        if (wanted[i] != "*" && wanted[i] != values[i])
            return false;
    }
    return true;
}

bool journalNameMatches(const std::string &pattern, const std::string &name)
{
    const std::vector<std::string> want = parts(pattern);
    const std::vector<std::string> have = parts(name);
    bool match = want.size() == have.size() || pattern == "*";
    for (std::size_t i = 0; match && i < want.size() && i < have.size(); ++i)
        match = want[i] == "*" || want[i] == have[i];
    return match;
}

} // namespace simulator
