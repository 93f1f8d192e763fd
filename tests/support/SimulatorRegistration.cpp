#include "SimulatorRegistration.h"

#include <QtGlobal>

SimulatorRegistration::SimulatorRegistration()
{
    if (!m_file.open())
        qFatal("cannot write the COM registry file");
    m_file.write(
        "# the substitute lighting SDK\n{05921124-5057-483E-A037-E9497B523590} " GLINT_SIMULATOR_PATH
        "\n");
    m_file.flush();
    setRegistered(true);
}

SimulatorRegistration::~SimulatorRegistration()
{
    qunsetenv("COMPAT_INPROC_SERVERS");
}

void SimulatorRegistration::setRegistered(bool registered)
{
    if (registered)
        qputenv("COMPAT_INPROC_SERVERS", m_file.fileName().toLocal8Bit());
    else
        qunsetenv("COMPAT_INPROC_SERVERS");
}
