// Between the Qt facade's scenario values and the core's: names as QString and UTF-16, fault
// patterns as QString and UTF-8. Lossless both ways.
#pragma once

#include "Scenario.h"
#include "ScenarioSetup.h"

#include <QString>

#include <string>

std::u16string toU16(const QString &text);
QString fromU16(const std::u16string &text);

simulator::BoardSetup toSetup(const BoardScenario &board);
BoardScenario fromSetup(const simulator::BoardSetup &board);
simulator::FaultSetup toSetup(const FaultRule &fault);
FaultRule fromSetup(const simulator::FaultSetup &fault);
simulator::ScenarioSetup toSetup(const Scenario &scenario);
Scenario fromSetup(const simulator::ScenarioSetup &setup);
