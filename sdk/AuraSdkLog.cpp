#include "AuraSdkLog.h"

Q_LOGGING_CATEGORY(auraSdkControllerCategory, "vesk.plugin.aura_sdk_controller", QtDebugMsg)

const QLoggingCategory &auraSdkControllerLog()
{
    return auraSdkControllerCategory();
}

QString hresultText(HRESULT code)
{
    return QStringLiteral("0x") + QString::number(int(code), 16).toUpper();
}
