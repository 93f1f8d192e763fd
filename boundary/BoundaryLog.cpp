#include "BoundaryLog.h"

#include "HostCallGuard.h"
#include "platform/ModuleLifetime.h"

const QLoggingCategory &boundaryLog()
{
    static ModuleLifetime::ModuleStatic<QLoggingCategory> category("vesk.plugin.glint_mb_dll",
                                                                   QtDebugMsg);
    return category.get();
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
