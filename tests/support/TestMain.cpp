// Test entry point for suites that need Qt's event loop and the substitute SDK registered.
#include "ProcessThreads.h"
#include "StandardErrorLog.h"
#include "simulator/SimulatorCApi.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    startSanitizerThread();
#ifdef _WIN32
    // Under wine the program has no console: the plug-in's log lines would not show otherwise.
    qInstallMessageHandler(&writeLogLineToStandardError);
#endif
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    {
        // On Windows GoogleTest starts a thread that watches each thread using its per-thread
        // state (a trace, a failure) and lives as long as that thread: start the main thread's now,
        // so that the tests' thread counts see only the plug-in's threads come and go.
        SCOPED_TRACE("starting GoogleTest's thread watcher");
    }
#endif
    if (FAILED(GlintSimulatorSetRegistered(true)))
        qFatal("cannot register the substitute SDK");
    const int result = RUN_ALL_TESTS();
    GlintSimulatorSetRegistered(false);
    return result;
}
