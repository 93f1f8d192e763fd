#include "GlintSdkLog.h"

#include "glint/LogLine.h"
#include "platform/ModuleLifetime.h"

#include <cstdint>
#include <utility>

namespace {
thread_local bool t_disconnected = false;
} // namespace

const QLoggingCategory &glintSdkControllerLog()
{
    // The worker logs until its last line, also while a process exits under it.
    static ModuleLifetime::ModuleStatic<QLoggingCategory> category(
        "vesk.plugin.glint_sdk_controller", QtDebugMsg);
    return category.get();
}

QString hresultText(HRESULT code)
{
    return QStringLiteral("0x") + QString::number(int(code), 16).toUpper();
}

void logFailedCall(const char *opening, HRESULT code, const char *closing)
{
    if (isDisconnection(code))
        t_disconnected = true;
    writeLogLine(glintSdkControllerLog(), QtCriticalMsg, [&](QDebug &line) {
        line << opening << hresultText(code);
        if (closing)
            line << closing;
    });
}

bool isDisconnection(HRESULT code)
{
    switch (static_cast<unsigned long>(static_cast<std::uint32_t>(code))) {
    case 0x80010108u: // RPC_E_DISCONNECTED
    case 0x800706BAu: // RPC_S_SERVER_UNAVAILABLE
    case 0x800401FDu: // CO_E_OBJNOTCONNECTED
        return true;
    default:
        return false;
    }
}

bool takeDisconnectionNote()
{
    return std::exchange(t_disconnected, false);
}
