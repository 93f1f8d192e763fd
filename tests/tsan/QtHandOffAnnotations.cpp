// Preloaded into every test process of the ThreadSanitizer build. Debian's Qt is not instrumented,
// so the synchronisation inside it (futex-based QMutex, the wait condition behind QThread::wait,
// the posted-event queue between threads) is invisible to ThreadSanitizer, and every hand-off
// through Qt would be reported as a race in the code on either side. These wrappers stand in front
// of the Qt entry points the project calls and tell ThreadSanitizer the ordering Qt guarantees:
//  - QMutex::lock/unlock: acquire and release on the mutex;
//  - anything that posts across threads (signal emission, invokeMethod): a release before the
//    post, and the delivery (QObject::event) acquires before and releases after the handler;
//  - a blocking invokeMethod acquires when it returns, as does QThread::wait.
// All threads' event queues count as one synchronisation object. That is coarser than Qt's
// per-thread queues, so a race between two threads that only meet in different queues could go
// unseen; the plug-in's own hand-offs all pass through its worker's queue, where Qt orders them
// the same way. Only calls that go through the dynamic linker can be wrapped, which is why the
// wrappers sit on the project's side of the boundary. Uses Qt's headers but does not link Qt, so
// that it can be preloaded into any process.
#include <QtCore/qobjectdefs.h>

#include <dlfcn.h>

extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);

namespace {

char g_eventQueue;

// The next definition in the lookup order, that is Qt's own.
template<class Function>
Function *next(const char *symbol)
{
    return reinterpret_cast<Function *>(dlsym(RTLD_NEXT, symbol));
}

} // namespace

// A function-local static: resolved once, and its guarded initialisation is visible to
// ThreadSanitizer.
#define GLINT_NEXT(symbol, ...) static auto *const real = next<__VA_ARGS__>(#symbol)

extern "C" {

// void QMutex::lock()
void _ZN6QMutex4lockEv(void *mutex)
{
    GLINT_NEXT(_ZN6QMutex4lockEv, void(void *));
    real(mutex);
    __tsan_acquire(mutex);
}

// void QMutex::unlock()
void _ZN6QMutex6unlockEv(void *mutex)
{
    GLINT_NEXT(_ZN6QMutex6unlockEv, void(void *));
    __tsan_release(mutex);
    real(mutex);
}

// bool QMutex::tryLock(int)
bool _ZN6QMutex7tryLockEi(void *mutex, int timeout)
{
    GLINT_NEXT(_ZN6QMutex7tryLockEi, bool(void *, int));
    const bool locked = real(mutex, timeout);
    if (locked)
        __tsan_acquire(mutex);
    return locked;
}

// void QMetaObject::activate(QObject *, const QMetaObject *, int, void **)
void _ZN11QMetaObject8activateEP7QObjectPKS_iPPv(void *sender, const void *meta, int index,
                                                 void **arguments)
{
    GLINT_NEXT(_ZN11QMetaObject8activateEP7QObjectPKS_iPPv,
              void(void *, const void *, int, void **));
    __tsan_release(&g_eventQueue);
    real(sender, meta, index, arguments);
}

// bool QMetaObject::invokeMethodImpl(QObject *, QtPrivate::QSlotObjectBase *, Qt::ConnectionType,
//                                    void *)
bool _ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv(
    void *context, void *slot, int type, void *result)
{
    GLINT_NEXT(
        _ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv,
        bool(void *, void *, int, void *));
    auto *const slotObject = static_cast<QtPrivate::QSlotObjectBase *>(slot);
    const bool blocking = type == Qt::BlockingQueuedConnection && slotObject;
    // Qt drops its references to a blocking call's functor as soon as the call has run, on this
    // thread and before returning; holding one more lets the functor go only once the ordering
    // is known.
    if (blocking)
        slotObject->ref();
    __tsan_release(&g_eventQueue);
    const bool invoked = real(context, slot, type, result);
    if (blocking) {
        __tsan_acquire(&g_eventQueue);
        slotObject->destroyIfLastRef();
    }
    return invoked;
}

// bool QObject::event(QEvent *): reached through the vtables of the project's QObject subclasses,
// which is where queued calls and signals to them are delivered.
bool _ZN7QObject5eventEP6QEvent(void *receiver, void *event)
{
    GLINT_NEXT(_ZN7QObject5eventEP6QEvent, bool(void *, void *));
    __tsan_acquire(&g_eventQueue);
    const bool handled = real(receiver, event);
    __tsan_release(&g_eventQueue);
    return handled;
}

// bool QThread::wait(unsigned long): the thread's last event was delivered before it returns.
bool _ZN7QThread4waitEm(void *thread, unsigned long milliseconds)
{
    GLINT_NEXT(_ZN7QThread4waitEm, bool(void *, unsigned long));
    const bool finished = real(thread, milliseconds);
    if (finished)
        __tsan_acquire(&g_eventQueue);
    return finished;
}

} // extern "C"
