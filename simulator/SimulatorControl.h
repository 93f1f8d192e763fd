// The substitute SDK's simulated state, its control and its observation: boards and lights with
// their current and latched colours, faults and holds, the call journal and the counts the tests,
// the host emulator and the benchmarks read. One per process, shared by every SDK object the
// server hands out, which report to it through the part marked for them. Every member is
// thread-safe. Objects of an earlier scenario (an older generation) fail their calls.
#pragma once

#include "ObjectTarget.h"
#include "Scenario.h"
#include "SimulatedColour.h"
#include "SimulatorLock.h"

#include <QString>
#include <QVector>

#include <QtGlobal>

#include <atomic>
#include <climits>
#include <cstdint>
#include <vector>

// One call on an SDK object, in the order calls were made.
struct GLINT_SIMULATOR_EXPORT CallRecord
{
    QString object; // as in FaultRule::object
    QString method;
    QString arguments; // decimal, comma separated; out parameters are not listed
    HRESULT result = S_OK;
    Qt::HANDLE thread = nullptr;
};

class GLINT_SIMULATOR_EXPORT SimulatorControl
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
    // Lets every call a fault blocks go on, and drops the faults that block until released.
    void releaseBlockedCalls();
    // Calls a fault blocks right now: a test waits for its stall to have begun.
    int blockedCalls() const;
    // The vendor's service restarts: every object handed out so far answers RPC_E_DISCONNECTED.
    void restartService();

    // Holds, the handshakes of an ordering test: the first call that matches rule (object,
    // method and index as a fault's; the method "Release" is the release that destroys an object;
    // blockMs, call, times and forMs do not apply) waits at its entry until the hold is released,
    // delivering its thread's events meanwhile if rule.pump is set, then answers rule.result
    // (S_OK: does its work). Returns the hold's number.
    int holdCall(const FaultRule &rule);
    // Until a call has entered the hold, or until the held call has left it; at most
    // milliseconds (negative: no limit). True when it has.
    bool waitUntilHeld(int hold, int milliseconds) const;
    bool waitUntilLeft(int hold, int milliseconds) const;
    bool isHeld(int hold) const;
    void releaseHold(int hold);
    void releaseHolds();
    // Calls that began while another call of the same thread was still running.
    int nestedCalls() const;
    // SDK objects created while another was still alive: two sessions at once.
    int overlappingSessions() const;
    // The calling thread is one of the host's own, which never call the SDK; calls, AddRef and
    // Release made on such a thread are counted.
    static void markHostThread();
    int hostThreadCalls() const;

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

    int liveObjects() const;
    int outstandingReferences() const;
    // Calls made on a thread other than the one that created the SDK object; must stay 0.
    int foreignThreadCalls() const;

    // For the SDK objects themselves.
    using ObjectTarget = simulator::ObjectTarget;
    void objectCreated();
    void objectDestroyed() { --m_liveObjects; }
    // The SDK object itself (a session) is about to be created, and is gone.
    void sessionCreating();
    void sessionEnded() { --m_liveSessions; }
    // The release that will destroy the object begins: a hold on "Release" may hold it.
    void finalReleaseStarted(const ObjectTarget &target);
    // A reference taken or dropped outside the object's apartment is a foreign-thread call too:
    // a single-threaded apartment's objects count their references without any lock.
    void referenceAdded(const ObjectTarget &target)
    {
        ++m_references;
        countForeign(target);
    }
    void referenceReleased(const ObjectTarget &target)
    {
        --m_references;
        countForeign(target);
    }
    std::uint64_t generation() const;
    std::uint64_t serviceEpoch() const;
    std::vector<int> boardsOfType(std::uint64_t generation, int type) const;
    bool boardName(const ObjectTarget &target, QString *name) const;
    bool lightCount(const ObjectTarget &target, int *count) const;
    // What a device collection holding `actual` boards reports as its count.
    int deviceCount(int actual) const;
    bool lightName(const ObjectTarget &target, QString *name) const;
    bool putComponent(const ObjectTarget &target, int component, std::uint8_t value);
    int applyDelay(const ObjectTarget &target) const;
    bool apply(const ObjectTarget &target);
    void started();
    void stopped();
    // A call begins: counts it if it comes from a foreign thread, blocks and pumps as matching
    // faults say, and gives the failure one injects (RPC_E_DISCONNECTED for an object of an
    // earlier life of the service), or S_OK.
    HRESULT callStarted(const ObjectTarget &target, const char *method, int index);
    // A call ends: journals it with the arguments that are not NoArgument.
    void callFinished(const ObjectTarget &target, const char *method, int index, int argument,
                      HRESULT result);
    static constexpr int NoArgument = INT32_MIN;

    SimulatorControl(const SimulatorControl &) = delete;
    SimulatorControl &operator=(const SimulatorControl &) = delete;

private:
    SimulatorControl();
    ~SimulatorControl() = default;
    void countForeign(const ObjectTarget &target);

    struct LightState
    {
        QString name;
        SimulatedColour current;
        SimulatedColour latched;
    };
    struct BoardState
    {
        QString name;
        int type = 0;
        std::vector<LightState> lights;
        int applyCount = 0;
        int applyDelayMs = 0;
    };
    struct ActiveFault
    {
        FaultRule rule;
        int matches = 0;
    };
    // Null for an object of an earlier scenario or a board or light the scenario does not have.
    // The caller holds the lock.
    const BoardState *board(const ObjectTarget &target) const;
    void block(int milliseconds);
    // A call of target's method begins: waits in the first hold it matches, if any, and gives
    // that hold's answer (S_OK when none).
    HRESULT holdIfMatched(const ObjectTarget &target, const char *method, int index);
    struct Hold
    {
        FaultRule rule;
        bool entered = false;
        bool released = false;
        bool left = false;
    };
    // One board's colours as the put_ calls left them or as its last Apply showed them.
    QVector<SimulatedColour> colours(int board, SimulatedColour LightState::*which) const;
    const LightState *light(const ObjectTarget &target) const;
    BoardState *board(const ObjectTarget &target);
    LightState *light(const ObjectTarget &target);

    mutable SimulatorLock m_lock;
    SimulatorCondition m_released;
    std::uint64_t m_generation = 1;
    std::uint64_t m_serviceEpoch = 1;
    std::uint64_t m_releases = 0;
    int m_blockedCalls = 0;
    std::int64_t m_scenarioStartMs = 0;
    Scenario m_scenario;
    std::vector<BoardState> m_boards;
    std::vector<ActiveFault> m_faults;
    std::vector<Hold> m_holds; // by number; released ones stay, so that numbers stay valid
    mutable SimulatorCondition m_holdsChanged;
    bool m_journalEnabled = true;
    QVector<CallRecord> m_journal;
    int m_startCalls = 0;
    int m_stopCalls = 0;
    std::atomic<int> m_liveObjects { 0 };
    std::atomic<int> m_references { 0 };
    std::atomic<int> m_foreignCalls { 0 };
    std::atomic<int> m_nestedCalls { 0 };
    std::atomic<int> m_hostThreadCalls { 0 };
    std::atomic<int> m_liveSessions { 0 };
    std::atomic<int> m_overlappingSessions { 0 };
};
