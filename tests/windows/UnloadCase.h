// Windows only: what the unload cases share. Each case runs in a child process of its own that
// its parent bounds from outside, since a hang at unload or at exit can stop every thread of the
// child, and the process's end is part of what a case checks (a crash in a detach shows there as
// the exit code). Inside the child, a Watchdog bounds the risky call itself.
#pragma once

#include "BuiltPlugin.h"
#include "HostEvents.h"
#include "SimulatorChecks.h"
#include "WindowsHandle.h"
#include "boundary/TalvernPlugin.h"

#include <QByteArray>

#include <memory>

// Generous bounds for hangs: a clean stop takes well under the 2 s the host allows, under wine too.
constexpr int StopBoundMs = 10000;
constexpr int CaseBoundMs = 120000;
// The parent's bound after the risky step leaves the child's own watchdog room to report first.
constexpr int ExitBoundMs = StopBoundMs + 5000;

// The case's body, run in the child; returns the child's exit code.
using CaseBody = int (*)();

// In the parent (no "--child" argument): starts this program again as the child, waits for it
// at most CaseBoundMs, and after the child has announced its risky step (announceRiskyStep) at
// most ExitBoundMs more; ends it with TerminateProcess and fails when a bound is passed, and fails
// unless it exits with 0. In the child: makes the QCoreApplication the host would have, a message
// handler that shows Qt's log lines, registers the substitute SDK, and runs the body.
int runUnloadCase(int argc, char **argv, const char *name, CaseBody body);

// Tells the parent that the step the stop bound applies to begins now.
void announceRiskyStep();

// Prints one check's outcome; the child's exit code counts the failed ones.
class CaseChecks
{
public:
    bool check(bool passed, const char *what);
    int exitCode() const { return m_failures == 0 ? 0 : 1; }

private:
    int m_failures = 0;
};

// The host's stop sequence up to the unload: mode 1, unsubscribe, the table given back.
void stopDeviceAccess(PluginLibrary &plugin);
// Unloads the plug-in under a watchdog (a hang becomes a failure) and says how long it took; true
// when it left the process within waitMs after that.
bool unloadPlugin(PluginLibrary &plugin, int waitMs);

// What every case begins with: the substitute SDK's boards, the plug-in loaded, subscribed with
// the recorder and in mode 2, and the motherboard reported. Null, with the failed check printed,
// when one step fails.
std::unique_ptr<PluginLibrary> startCase(CaseChecks &checks, const QVector<BoardScenario> &boards,
                                         HostCallbackRecorder &recorder);
