// Test entry point for suites that need Qt's event loop and the substitute SDK registered.
#include "SimulatorRegistration.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

SimulatorRegistration *g_simulatorRegistration = nullptr;

namespace {

#ifdef _WIN32
// Qt's own handler writes to the debugger when the program has no console, as under wine: the
// plug-in's log lines would not show in the test's output.
void writeToStandardError(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", context.category ? context.category : "default",
                 qUtf8Printable(text));
    std::fflush(stderr);
}
#endif

} // namespace

int main(int argc, char **argv)
{
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer starts a thread of its own with the process's second thread; start it now so
    // that the tests' thread counts see only the plug-in's threads come and go.
    std::thread([] {}).join();
#endif
#ifdef _WIN32
    qInstallMessageHandler(&writeToStandardError);
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
    SimulatorRegistration registration;
    g_simulatorRegistration = &registration;
    return RUN_ALL_TESTS();
}
