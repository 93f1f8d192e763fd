// One SDK method call: checks the apartment and applies a matching fault when it begins, and
// journals the outcome when it ends.
#pragma once

#include "SimulatorControl.h"

namespace simulator {

class SimulatedCall
{
public:
    static constexpr int NoArgument = SimulatorControl::NoArgument;
    SimulatedCall(const ObjectTarget &target, const char *method, int index = NoArgument,
                  int argument = NoArgument)
        : m_target(target)
        , m_method(method)
        , m_index(index)
        , m_argument(argument)
        , m_result(SimulatorControl::instance().callStarted(target, method, index))
    { }
    ~SimulatedCall()
    {
        SimulatorControl::instance().callFinished(m_target, m_method, m_index, m_argument,
                                                  m_result);
    }
    // The failure to return instead of doing the work, or S_OK.
    HRESULT injected() const { return m_result; }
    HRESULT finish(HRESULT result)
    {
        m_result = result;
        return result;
    }

    SimulatedCall(const SimulatedCall &) = delete;
    SimulatedCall &operator=(const SimulatedCall &) = delete;

private:
    const ObjectTarget &m_target;
    const char *m_method;
    int m_index;
    int m_argument;
    HRESULT m_result;
};

} // namespace simulator
