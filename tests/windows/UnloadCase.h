// Windows only: what the unload cases share. Each case runs in a child process of its own that
// its parent bounds from outside, since a hang at unload or at exit can stop every thread of the
// child, and the process's end is part of what a case checks (a crash in a detach shows there as
// the exit code). Inside the child, a Watchdog bounds the risky call itself.
#pragma once

#include "HostEvents.h"
#include "WindowsHandle.h"
#include "boundary/TalvernPlugin.h"

#include <QByteArray>

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

// The plug-in loaded as a Windows host loads it: LoadLibrary by path, the four exports resolved
// with GetProcAddress, one table.
class HostPlugin
{
public:
    HostPlugin();
    bool isLoaded() const { return m_table != nullptr; }
    const TalvernPluginInstance &table() const { return *m_table; }
    // The host's stop sequence up to the unload: mode 1, unsubscribe, the table freed.
    void stop();
    // FreeLibrary, under a watchdog: a hang becomes a failure. True when it returned success.
    bool freeLibrary();

    HostPlugin(const HostPlugin &) = delete;
    HostPlugin &operator=(const HostPlugin &) = delete;

private:
    ModuleReference m_module;
    decltype(&TalvernPluginFreeInstance) m_freeInstance = nullptr;
    TalvernPluginInstance *m_table = nullptr;
};

// Subscribes with the recorder, sets mode 2 and waits until the host has been told about the
// merged motherboard.
bool startDeviceAccess(const HostPlugin &plugin, HostCallbackRecorder &recorder);
