// Test entry point for suites that need Qt's event loop and the substitute SDK registered.
#include "SimulatorRegistration.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <thread>

SimulatorRegistration *g_simulatorRegistration = nullptr;

int main(int argc, char **argv)
{
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer starts a thread of its own with the process's second thread; start it now so
    // that the tests' thread counts see only the plug-in's threads come and go.
    std::thread([] {}).join();
#endif
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    SimulatorRegistration registration;
    g_simulatorRegistration = &registration;
    return RUN_ALL_TESTS();
}
