#include "BoundaryLog.h"

#include "HostCallGuard.h"
#include "glint/LogLine.h"
#include "platform/ModuleLifetime.h"

const QLoggingCategory &boundaryLog()
{
    static ModuleLifetime::ModuleStatic<QLoggingCategory> category("vesk.plugin.glint_mb_dll",
                                                                   QtDebugMsg);
    return category.get();
}

void logRefusedHostCall(const char *operation, const std::exception *error) noexcept
{
    // A line that cannot be built is dropped; the refusal itself still stands.
    writeLogLine(boundaryLog(), QtCriticalMsg, [&](QDebug &line) {
        line.nospace() << operation << "(): refused, "
                       << (error ? error->what() : "unknown exception");
    });
}
