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
