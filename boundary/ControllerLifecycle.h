// The plug-in's controller over its whole life: the current one, created by a subscription and
// stopped when the host gives back its last operation table, and the earlier ones that were
// stopped but could not go yet. One object, behind one mutex that is never held while the host,
// the worker or the SDK is waited for.
//
//   None --subscribe--> current (Running: its connection opening, open, retrying or stalled)
//   current --last table back--> stop: the worker closes its connection and its thread ends
//     within 1 s; then the controller is deleted, unless something still holds it (a notification
//     running in the host, a frame past its bound, a completion Qt is delivering) or its worker is
//     still inside the SDK (let go). Such a controller is retired: kept beside the current one,
//     and deleted by the thread that drops its last hold (a frame or a lookup inside a host's
//     call; a notification, or a report Qt delivers, on the subscribing thread), or, when its
//     worker was let go and has ended since, at a later call of the host. The plug-in's
//     reference on its own module goes once no controller is left, only where the host's own
//     reference keeps the code mapped: inside a host's call, or inside the subscribing thread's
//     delivery of the plug-in's report, once the callback and Qt's delivery around it are over.
//
// Which host calls come from which threads, and what the plug-in does about it:
// - subscribe, unsubscribe and set-mode: one host thread at a time, as the host promises; each
//   is safe beside frames, lookups, notifications and a stop on other threads all the same.
// - frames and lookups: any thread, at any time, also during a stop (they find no controller and
//   are refused, or hold the one they found until they return; the stop waits for them up to its
//   bound).
// - the last table back: any thread, under any lock of the host's; it never waits for a
//   notification on another thread, which may be waiting for that very lock.
// - notifications run on the subscribing thread from its event loop, or inside subscribe.
// What cannot be made safe: a host that unloads the library while one of its threads is still
// inside a call into the plug-in, or while its subscribing thread is still delivering the
// plug-in's events (a host that unloads from another thread lets its subscribing thread return to
// its event loop first); the module's reference keeps the code mapped while any controller lives,
// until the host's next call or the process's end.
#pragma once

#include "sdk/GlintSdkController.h"

#include "platform/ModuleLifetime.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

class ControllerLifecycle
{
public:
    // How long giving back the last table may take at most.
    static constexpr std::chrono::milliseconds StopBound { 1000 };

    static ControllerLifecycle &instance();

    // A host call's use of the current controller: null when there is none; otherwise it holds
    // the controller until the use ends.
    enum class UseKind {
        Frame, // the stop waits for these, up to its bound
        Lookup,
        Notification, // calls the host: the stop never waits for it
    };
    class Use
    {
    public:
        Use(Use &&other) noexcept;
        ~Use();
        Use(const Use &) = delete;
        Use &operator=(const Use &) = delete;
        Use &operator=(Use &&) = delete;

        explicit operator bool() const { return m_controller != nullptr; }
        GlintSdkController *operator->() const { return m_controller; }
        // Still the current controller: the host may have ended its session meanwhile.
        bool isCurrent() const;

    private:
        friend class ControllerLifecycle;
        Use(GlintSdkController *controller, UseKind kind) noexcept;
        GlintSdkController *m_controller;
        bool m_waited;
    };
    Use use(UseKind kind);

    // Subscribe: makes the current controller on the calling thread if there is none, wired to
    // the host notification; the calling thread receives the reports from now on. Throws when it
    // cannot (no memory, no worker thread to be had); nothing is left behind then.
    void ensureController();
    // Subscribe, unsubscribe and set-mode: what the current controller's connection should be.
    // Nothing before the first subscription. Throws std::bad_alloc when it cannot be asked.
    void requestOpen(bool open);

    // The operation tables the host holds. When it gives back the last one, the current
    // controller is stopped; a later table and subscription start afresh.
    void tableHandedOut() noexcept;
    void tableReturned() noexcept;
    // At the end of a host call (but frames and lookups, which come at any rate): what stopped
    // earlier and has ended since goes now, inside the host's call, and with the last of it the
    // module's reference.
    void hostCallEnds() noexcept { reap(); }

    // The current controller's state; None without one.
    ControllerState state() const;

    ControllerLifecycle(const ControllerLifecycle &) = delete;
    ControllerLifecycle &operator=(const ControllerLifecycle &) = delete;

private:
    friend struct LifecycleOwner;
    ControllerLifecycle() = default;
    ~ControllerLifecycle() = default;

    void stop() noexcept;
    // Deletes every retired controller that is free, and gives the module's reference back once
    // none is left. Only in a host's call into the plug-in, where the host's own reference keeps
    // the code mapped.
    void reap() noexcept;
    // The same for one controller, on the thread that dropped its last hold.
    void deleteIfFree(GlintSdkController *retired) noexcept;
    void releaseModuleIfIdle() noexcept;
    void destroy(GlintSdkController *controller) noexcept;

    mutable std::mutex m_mutex;
    GlintSdkController *m_current = nullptr;
    std::vector<GlintSdkController *> m_retired;
    // One reference on the module while any controller exists (and until the host's next call
    // after the last one went); taken and given back only while no worker thread exists.
    std::unique_ptr<ModuleLifetime::ModuleReference> m_module;
    std::atomic<int> m_controllers { 0 };
    std::atomic<int> m_liveTables { 0 };
};
