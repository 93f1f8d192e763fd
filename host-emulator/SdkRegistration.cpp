#include "SdkRegistration.h"

#include <QtGlobal>

SdkRegistration::~SdkRegistration()
{
#ifndef _WIN32
    qunsetenv("COMPAT_INPROC_SERVERS");
#endif
}

bool SdkRegistration::setRegistered(bool registered)
{
#ifndef _WIN32
    if (!registered) {
        qunsetenv("COMPAT_INPROC_SERVERS");
        return true;
    }
    if (!m_file.isOpen()) {
        if (!m_file.open())
            return false;
        m_file.write("# the substitute lighting "
                     "SDK\n{05921124-5057-483E-A037-E9497B523590} " GLINT_SIMULATOR_PATH "\n");
        m_file.flush();
    }
    qputenv("COMPAT_INPROC_SERVERS", m_file.fileName().toLocal8Bit());
#else
    Q_UNUSED(registered);
#endif
    return true;
}
