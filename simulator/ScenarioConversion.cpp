#include "ScenarioConversion.h"

std::u16string toU16(const QString &text)
{
    return std::u16string(reinterpret_cast<const char16_t *>(text.utf16()),
                          std::size_t(text.size()));
}

QString fromU16(const std::u16string &text)
{
    return QString(reinterpret_cast<const QChar *>(text.data()), int(text.size()));
}

simulator::BoardSetup toSetup(const BoardScenario &board)
{
    simulator::BoardSetup setup;
    setup.name = toU16(board.name);
    setup.type = board.type;
    setup.lightNames.reserve(std::size_t(board.lightNames.size()));
    for (const QString &name : board.lightNames)
        setup.lightNames.push_back(toU16(name));
    setup.applyDelayMs = board.applyDelayMs;
    setup.claimedLights = board.claimedLights;
    return setup;
}

BoardScenario fromSetup(const simulator::BoardSetup &board)
{
    BoardScenario scenario;
    scenario.name = fromU16(board.name);
    scenario.type = board.type;
    scenario.lightNames.reserve(int(board.lightNames.size()));
    for (const std::u16string &name : board.lightNames)
        scenario.lightNames.append(fromU16(name));
    scenario.applyDelayMs = board.applyDelayMs;
    scenario.claimedLights = board.claimedLights;
    return scenario;
}

simulator::FaultSetup toSetup(const FaultRule &fault)
{
    simulator::FaultSetup setup;
    setup.object = fault.object.toStdString();
    setup.method = fault.method.toStdString();
    setup.result = fault.result;
    setup.call = fault.call;
    setup.index = fault.index;
    setup.times = fault.times;
    setup.forMs = fault.forMs;
    setup.blockMs = fault.blockMs;
    setup.pump = fault.pump;
    return setup;
}

FaultRule fromSetup(const simulator::FaultSetup &fault)
{
    FaultRule rule;
    rule.object = QString::fromStdString(fault.object);
    rule.method = QString::fromStdString(fault.method);
    rule.result = fault.result;
    rule.call = fault.call;
    rule.index = fault.index;
    rule.times = fault.times;
    rule.forMs = fault.forMs;
    rule.blockMs = fault.blockMs;
    rule.pump = fault.pump;
    return rule;
}

simulator::ScenarioSetup toSetup(const Scenario &scenario)
{
    simulator::ScenarioSetup setup;
    for (const BoardScenario &board : scenario.boards)
        setup.boards.push_back(toSetup(board));
    for (const FaultRule &fault : scenario.faults)
        setup.faults.push_back(toSetup(fault));
    setup.claimedDevices = scenario.claimedDevices;
    return setup;
}

Scenario fromSetup(const simulator::ScenarioSetup &setup)
{
    Scenario scenario;
    for (const simulator::BoardSetup &board : setup.boards)
        scenario.boards.append(fromSetup(board));
    for (const simulator::FaultSetup &fault : setup.faults)
        scenario.faults.append(fromSetup(fault));
    scenario.claimedDevices = setup.claimedDevices;
    return scenario;
}
