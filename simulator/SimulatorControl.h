// The substitute SDK's control and observation interface, for tests and the host emulator: a Qt
// facade over the Qt-free SimulatorState that the SDK objects report to. One per process. Every
// member is thread-safe.
#pragma once

#include "Scenario.h"
#include "SimulatedColour.h"

#include <QString>
#include <QVector>

#include <QtGlobal>

#include <atomic>
#include <climits>
#include <memory>

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

    SimulatorControl(const SimulatorControl &) = delete;
    SimulatorControl &operator=(const SimulatorControl &) = delete;

private:
    SimulatorControl() = default;
    ~SimulatorControl() = default;
};
