#include "SimulatorChecks.h"

#include "platform/Com.h"

#include <gtest/gtest.h>

void useScenario(const QVector<BoardScenario> &boards, const QVector<FaultRule> &faults)
{
    Scenario scenario;
    scenario.boards = boards;
    scenario.faults = faults;
    SimulatorControl::instance().setScenario(scenario);
}

FaultRule failingCall(const char *object, const char *method, HRESULT result)
{
    FaultRule rule;
    rule.object = QLatin1String(object);
    rule.method = QLatin1String(method);
    rule.result = result;
    return rule;
}

FaultRule blockedCall(const char *object, const char *method)
{
    FaultRule rule = failingCall(object, method, S_OK);
    rule.blockMs = FaultRule::BlockUntilReleased;
    return rule;
}

void expectSdkAndComReleased()
{
    const SimulatorControl &control = SimulatorControl::instance();
    EXPECT_EQ(control.liveObjects(), 0);
    EXPECT_EQ(control.outstandingReferences(), 0);
    EXPECT_EQ(control.foreignThreadCalls(), 0);
#ifndef _WIN32
    EXPECT_EQ(CompatOutstandingApartmentInits(), 0);
#endif
}
