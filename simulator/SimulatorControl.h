// The substitute SDK's control and observation interface, for tests and the host emulator. One per
// process, shared by every SDK object the server hands out. Every member is thread-safe.
#pragma once

#include "Scenario.h"

#include <QString>
#include <QVector>

#include <QtGlobal>

#include <atomic>
#include <climits>
#include <memory>

struct AURA_SIMULATOR_EXPORT SimulatedColour
{
    quint8 red = 0;
    quint8 green = 0;
    quint8 blue = 0;
    bool operator==(const SimulatedColour &o) const
    {
        return red == o.red && green == o.green && blue == o.blue;
    }
    bool operator!=(const SimulatedColour &o) const { return !(*this == o); }
};

// One call on an SDK object, in the order calls were made.
struct AURA_SIMULATOR_EXPORT CallRecord
{
    QString object; // as in FaultRule::object
    QString method;
    QString arguments; // decimal, comma separated; out parameters are not listed
    HRESULT result = S_OK;
    Qt::HANDLE thread = nullptr;
};

class AURA_SIMULATOR_EXPORT SimulatorControl
{
public:
    static SimulatorControl &instance();

    // Replaces boards and faults and clears every observation except the object counts, which
    // follow the objects still alive. Objects of an earlier scenario fail their calls.
    void setScenario(const Scenario &scenario);
    Scenario scenario() const;
    void addFault(const FaultRule &fault);
    void clearFaults();
    void setApplyDelay(int board, int milliseconds);

    // The journal costs an allocation or more per call; benchmarks turn it off.
    void setJournalEnabled(bool enabled);
    QVector<CallRecord> journal() const;
    void clearJournal();
    // Calls in the journal matching object (with "*" parts) and method; empty method matches any.
    int countCalls(const QString &object, const QString &method) const;

    // Colours as the put_ calls left them, and as the board's last Apply showed them.
    QVector<SimulatedColour> currentColours(int board) const;
    QVector<SimulatedColour> latchedColours(int board) const;
    int applyCount(int board) const;
    int startCalls() const;
    int stopCalls() const;

    int liveObjects() const { return m_liveObjects.load(); }
    int outstandingReferences() const { return m_references.load(); }
    // Calls made on a thread other than the one that created the SDK object; must stay 0.
    int foreignThreadCalls() const { return m_foreignCalls.load(); }

    // For the SDK objects themselves.
    struct Target
    {
        enum Kind { Sdk, Devices, Board, Lights, Light } kind = Sdk;
        int board = -1;
        int light = -1;
        quint64 generation = 0; // the scenario the object belongs to
        Qt::HANDLE apartment = nullptr;
    };
    class Call;
    void objectCreated();
    void objectDestroyed();
    void referenceAdded() { ++m_references; }
    void referenceReleased() { --m_references; }
    quint64 generation() const;
    int boardCount(quint64 generation) const;
    QVector<int> boardsOfType(quint64 generation, int type) const;
    bool boardName(const Target &target, QString *name) const;
    bool lightCount(const Target &target, int *count) const;
    bool lightName(const Target &target, QString *name) const;
    bool putComponent(const Target &target, int component, quint8 value);
    int applyDelay(const Target &target) const;
    bool apply(const Target &target);
    void started();
    void stopped();

    SimulatorControl(const SimulatorControl &) = delete;
    SimulatorControl &operator=(const SimulatorControl &) = delete;

private:
    SimulatorControl();
    ~SimulatorControl();
    friend class Call;

    struct State;
    std::unique_ptr<State> m_state;
    std::atomic<int> m_liveObjects { 0 };
    std::atomic<int> m_references { 0 };
    std::atomic<int> m_foreignCalls { 0 };
};

// One SDK method call: checks the apartment, applies a matching fault, and journals the outcome.
class AURA_SIMULATOR_EXPORT SimulatorControl::Call
{
public:
    static constexpr int NoArgument = INT_MIN;
    Call(const Target &target, const char *method, int index = NoArgument,
         int argument = NoArgument);
    ~Call();
    // The failure to return instead of doing the work, or S_OK.
    HRESULT injected() const { return m_result; }
    HRESULT finish(HRESULT result)
    {
        m_result = result;
        return result;
    }

    Call(const Call &) = delete;
    Call &operator=(const Call &) = delete;

private:
    const Target &m_target;
    const char *m_method;
    int m_index;
    int m_argument;
    HRESULT m_result = S_OK;
};
