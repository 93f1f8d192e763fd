#include "GlintSdkLog.h"

Q_LOGGING_CATEGORY(glintSdkControllerCategory, "vesk.plugin.glint_sdk_controller", QtDebugMsg)

const QLoggingCategory &glintSdkControllerLog()
{
    return glintSdkControllerCategory();
}

QString hresultText(HRESULT code)
{
    return QStringLiteral("0x") + QString::number(int(code), 16).toUpper();
}

void logFailedCall(const char *opening, HRESULT code, const char *closing)
{
    if (closing)
        qCCritical(glintSdkControllerLog) << opening << hresultText(code) << closing;
    else
        qCCritical(glintSdkControllerLog) << opening << hresultText(code);
}
