// Test entry point for suites that need Qt's event loop and the substitute SDK registered.
#include "SimulatorRegistration.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

SimulatorRegistration *g_simulatorRegistration = nullptr;

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    SimulatorRegistration registration;
    g_simulatorRegistration = &registration;
    return RUN_ALL_TESTS();
}
