#include "SimulatorControl.h"

#include "ScenarioConversion.h"
#include "SimulatorState.h"

#include <QCoreApplication>

namespace {

#ifndef _WIN32
// What a waiting COM apartment does on Windows, where the thread's messages carry Qt's posted
// events: here the posted events are delivered directly.
void deliverPostedEvents()
{
    QCoreApplication::sendPostedEvents();
}
const bool g_pumpSet = (simulator::setThreadEventPump(&deliverPostedEvents), true);
#endif

simulator::SimulatorState &state()
{
    return simulator::SimulatorState::instance();
}

QVector<SimulatedColour> toVector(const std::vector<SimulatedColour> &colours)
{
    return QVector<SimulatedColour>(colours.begin(), colours.end());
}

} // namespace

SimulatorControl &SimulatorControl::instance()
{
    // Never destroyed, like the state behind it.
    static SimulatorControl *const control = new SimulatorControl;
    return *control;
}

void SimulatorControl::setScenario(const Scenario &scenario)
{
    state().setScenario(toSetup(scenario));
}

Scenario SimulatorControl::scenario() const
{
    return fromSetup(state().scenario());
}

void SimulatorControl::addFault(const FaultRule &fault)
{
    state().addFault(toSetup(fault));
}

void SimulatorControl::clearFaults()
{
    state().clearFaults();
}

void SimulatorControl::setApplyDelay(int board, int milliseconds)
{
    state().setApplyDelay(board, milliseconds);
}

void SimulatorControl::releaseBlockedCalls()
{
    state().releaseBlockedCalls();
}

int SimulatorControl::blockedCalls() const
{
    return state().blockedCalls();
}

void SimulatorControl::restartService()
{
    state().restartService();
}

int SimulatorControl::holdCall(const FaultRule &rule)
{
    return state().addHold(toSetup(rule));
}

bool SimulatorControl::waitUntilHeld(int hold, int milliseconds) const
{
    return state().waitUntilHeld(hold, milliseconds);
}

bool SimulatorControl::waitUntilLeft(int hold, int milliseconds) const
{
    return state().waitUntilLeft(hold, milliseconds);
}

bool SimulatorControl::isHeld(int hold) const
{
    return state().isHeld(hold);
}

void SimulatorControl::releaseHold(int hold)
{
    state().releaseHold(hold);
}

void SimulatorControl::releaseHolds()
{
    state().releaseHolds();
}

int SimulatorControl::nestedCalls() const
{
    return state().nestedCalls();
}

int SimulatorControl::overlappingSessions() const
{
    return state().overlappingSessions();
}

void SimulatorControl::markHostThread()
{
    simulator::SimulatorState::markHostThread();
}

int SimulatorControl::hostThreadCalls() const
{
    return state().hostThreadCalls();
}

void SimulatorControl::setJournalEnabled(bool enabled)
{
    state().setJournalEnabled(enabled);
}

QVector<CallRecord> SimulatorControl::journal() const
{
    const std::vector<simulator::JournalEntry> entries = state().journal();
    QVector<CallRecord> records;
    records.reserve(int(entries.size()));
    for (const simulator::JournalEntry &entry : entries) {
        CallRecord record;
        record.object = QString::fromStdString(entry.object);
        record.method = QString::fromStdString(entry.method);
        record.arguments = QString::fromStdString(entry.arguments);
        record.result = entry.result;
        record.thread = reinterpret_cast<Qt::HANDLE>(entry.thread);
        records.append(record);
    }
    return records;
}

void SimulatorControl::clearJournal()
{
    state().clearJournal();
}

int SimulatorControl::countCalls(const QString &object, const QString &method) const
{
    return state().countCalls(object.toStdString(), method.toStdString());
}

QVector<SimulatedColour> SimulatorControl::currentColours(int board) const
{
    return toVector(state().currentColours(board));
}

QVector<SimulatedColour> SimulatorControl::latchedColours(int board) const
{
    return toVector(state().latchedColours(board));
}

int SimulatorControl::applyCount(int board) const
{
    return state().applyCount(board);
}

int SimulatorControl::startCalls() const
{
    return state().startCalls();
}

int SimulatorControl::stopCalls() const
{
    return state().stopCalls();
}

int SimulatorControl::liveObjects() const
{
    return state().liveObjects();
}

int SimulatorControl::outstandingReferences() const
{
    return state().outstandingReferences();
}

int SimulatorControl::foreignThreadCalls() const
{
    return state().foreignThreadCalls();
}
