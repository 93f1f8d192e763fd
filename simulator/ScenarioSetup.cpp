#include "ScenarioSetup.h"

namespace simulator {

BoardSetup BoardSetup::withLights(const std::u16string &name, int count, int type)
{
    BoardSetup board;
    board.name = name;
    board.type = type;
    board.lightNames.reserve(count > 0 ? std::size_t(count) : 0);
    for (int i = 1; i <= count; ++i) {
        std::u16string light = u"LED ";
        for (const char digit : std::to_string(i))
            light += char16_t(digit);
        board.lightNames.push_back(light);
    }
    return board;
}

ScenarioSetup ScenarioSetup::defaultSetup()
{
    ScenarioSetup setup;
    setup.boards.push_back(BoardSetup::withLights(u"Mainboard_Master", 8));
    return setup;
}

} // namespace simulator
