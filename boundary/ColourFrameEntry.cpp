// The per-frame path: one contiguous copy of the host's entries, handed to the worker thread.
#include "PluginState.h"
#include "TableOperations.h"
#include "sdk/GlintSdkController.h"

#include <cstring>
#include <new>

// Frames that cannot be read safely (null id, negative count, null entries with a positive count),
// that arrive before the first subscription, or that cannot be copied are dropped: the host's
// call returns normally and nothing is read.
void TALVERN_CDECL TalvernPluginSetLedsColors(const char *deviceId, int32_t count,
                                              const TalvernPluginLedColor *colors)
{
    const ControllerUse use;
    GlintSdkController *controller = use.controller();
    if (!controller || !deviceId || count < 0 || (count > 0 && !colors))
        return;
    QVector<TalvernPluginLedColor> frame;
    try {
        if (count > 0) {
            frame.resize(count);
            std::memcpy(frame.data(), colors, std::size_t(count) * sizeof(TalvernPluginLedColor));
        }
    } catch (const std::bad_alloc &) {
        return;
    }
    controller->setLedsColors(deviceId, frame);
}
