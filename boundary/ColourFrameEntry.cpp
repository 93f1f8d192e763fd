// The per-frame path: one contiguous copy of the host's entries, handed to the worker thread.
#include "ControllerLifecycle.h"
#include "HostCallGuard.h"
#include "PluginState.h"
#include "TableOperations.h"
#include "sdk/GlintSdkController.h"
#include "sdk/LedColourFrame.h"

#include <cstddef>
#include <cstring>

// The host's records are copied into the frame as they stand: the two must agree to the byte.
static_assert(sizeof(LedColour) == sizeof(TalvernPluginLedColor), "colour record");
static_assert(offsetof(LedColour, ledId) == offsetof(TalvernPluginLedColor, ledId), "LED id");
static_assert(offsetof(LedColour, r) == offsetof(TalvernPluginLedColor, r), "red");
static_assert(offsetof(LedColour, g) == offsetof(TalvernPluginLedColor, g), "green");
static_assert(offsetof(LedColour, b) == offsetof(TalvernPluginLedColor, b), "blue");

// Frames that cannot be read safely (null id, negative count, null entries with a positive count),
// that arrive before the first subscription or after a stop, while the SDK stalls, or that cannot
// be copied or handed over are dropped: the host's call returns normally, after at most the stall
// bound.
void TALVERN_CDECL TalvernPluginSetLedsColors(const char *deviceId, int32_t count,
                                              const TalvernPluginLedColor *colors)
{
    if (!deviceId || count < 0 || (count > 0 && !colors))
        return;
    guardHostCall("TalvernPluginSetLedsColors", [&] {
        const ControllerLifecycle::Use use =
            ControllerLifecycle::instance().use(ControllerLifecycle::UseKind::Frame);
        if (!use)
            return;
        LedColourFrame frame;
        if (count > 0) {
            frame.resize(count);
            std::memcpy(static_cast<void *>(frame.data()), colors,
                        std::size_t(count) * sizeof(TalvernPluginLedColor));
        }
        use->setLedsColors(deviceId, frame);
    });
}
