#include "BoundaryLog.h"

Q_LOGGING_CATEGORY(boundaryCategory, "vesk.plugin.glint_mb_dll", QtDebugMsg)

const QLoggingCategory &boundaryLog()
{
    return boundaryCategory();
}
