#include "PluginState.h"

#include "BoundaryLog.h"
#include "sdk/GlintSdkController.h"
#include "sdk/GlintSdkLog.h"

#include <QThread>

#include <atomic>

void *g_context = nullptr;
TalvernPluginDeviceCallback g_callback = nullptr;
std::atomic<int32_t> g_currentPluginMode { 0 };

namespace {

// Constant-initialised: valid before any static constructor and after every static destructor.
std::atomic<int> g_controllerUses { 0 };
std::atomic<bool> g_unloading { false };
// The owner's controller for threads other than the subscribing one, published once it is built.
std::atomic<GlintSdkController *> g_sharedController { nullptr };

struct ControllerAtUnload
{
    std::unique_ptr<GlintSdkController> controller;
    ~ControllerAtUnload()
    {
        g_unloading.store(true);
        while (g_controllerUses.load() != 0)
            QThread::msleep(1);
        g_sharedController.store(nullptr);
        controller.reset();
    }
};

} // namespace

std::unique_ptr<GlintSdkController> &controllerOwner()
{
    // Statics are destroyed in reverse order of construction: creating the logging categories
    // first keeps them alive while the controller winds its worker down at unload.
    glintSdkControllerLog();
    boundaryLog();
    static ControllerAtUnload owner;
    return owner.controller;
}

void publishController()
{
    g_sharedController.store(controllerOwner().get());
}

ControllerUse::ControllerUse()
{
    // Counted before the flag is read; unloading sets the flag before it reads the count.
    g_controllerUses.fetch_add(1);
    if (!g_unloading.load())
        m_controller = g_sharedController.load();
}

ControllerUse::~ControllerUse()
{
    g_controllerUses.fetch_sub(1);
}
