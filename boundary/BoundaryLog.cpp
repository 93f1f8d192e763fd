#include "BoundaryLog.h"

#include "HostCallGuard.h"

Q_LOGGING_CATEGORY(boundaryCategory, "vesk.plugin.glint_mb_dll", QtDebugMsg)

const QLoggingCategory &boundaryLog()
{
    return boundaryCategory();
}

void logRefusedHostCall(const char *operation, const std::exception *error) noexcept
{
    try {
        qCCritical(boundaryLog).nospace()
            << operation << "(): refused, " << (error ? error->what() : "unknown exception");
    } catch (...) {
        // Not even the line could be built; the refusal itself still stands.
    }
}
