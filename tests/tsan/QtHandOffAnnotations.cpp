// Preloaded into every test process of the ThreadSanitizer build. Debian's Qt is not instrumented,
// so the futex-based synchronisation inside it (QMutex, the posted-event queues, the semaphore a
// blocking call waits on, the finished flag QThread::wait reads) is invisible to
// ThreadSanitizer, and every hand-off through Qt would be reported as a race in the code on either
// side. These wrappers stand in front of the Qt entry points the project calls and tell
// ThreadSanitizer the ordering Qt guarantees, each hand-off on its own synchronisation object, so
// that unrelated hand-offs never order each other:
//  - QMutex::lock/unlock: acquire and release on that mutex;
//  - QMetaObject::invokeMethod with a functor: posting the call happens before it runs, and a
//    blocking call has run before its caller goes on; the object is the call itself;
//  - QCoreApplication::postEvent: posting an event happens before its delivery through
//    QObject::event (which hands events of the user's types to customEvent); the object is the
//    event itself;
//  - a queued signal: its emission happens before the slot runs on the receiver's thread; the
//    object is the sender (these entry points do not name the receivers), so the emissions of one
//    sender order its deliveries, never another sender's;
//  - QThread::wait: what the project's code did on that thread (calls, events delivered to its
//    objects, slots connected with functors or member pointers, finished handlers among them)
//    happens before wait returns; the object is the QThread.
// ThreadSanitizer itself sees the descriptor that wakes a thread for posted events, so a thread's
// wake-up acquires whatever every poster did before it: two threads that post to the same thread
// can appear ordered, and no annotation can undo that. Only calls that go through the dynamic
// linker can be wrapped, which is why the wrappers sit on the project's side of the boundary
// (string-based connections and overrides of QThread::run are not seen). Uses Qt's headers but
// does not link Qt, so that it can be preloaded into any process.
#include <QtCore/qcoreevent.h>
#include <QtCore/qdeadlinetimer.h>
#include <QtCore/qobjectdefs.h>

#include <dlfcn.h>

#include <atomic>

static_assert(QT_VERSION >= QT_VERSION_CHECK(5, 15, 0) && QT_VERSION < QT_VERSION_CHECK(6, 0, 0),
              "the symbols and the event layout below are Qt 5.15's");

extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);

namespace {

// The next definition in the lookup order, that is Qt's own, looked up on first use. Not a
// guarded static: ThreadSanitizer sees a guarded initialisation as a hand-off from the first
// caller to every later one, which would order all threads that ever call the same wrapper.
// Threads that race to look it up store the same value.
template<class Function>
Function *next(std::atomic<void *> &cache, const char *symbol)
{
    void *function = cache.load(std::memory_order_relaxed);
    if (!function) {
        function = dlsym(RTLD_NEXT, symbol);
        cache.store(function, std::memory_order_relaxed);
    }
    return reinterpret_cast<Function *>(function);
}

// An object's hand-offs are synchronised on addresses inside it: ThreadSanitizer forgets them when
// its memory is freed, so an object later built at the same address starts with no history. The
// offsets keep them apart: one byte in for the signals it emits, two for what a QThread's thread
// did.
void *emittedBy(const void *sender)
{
    return static_cast<char *>(const_cast<void *>(sender)) + 1;
}

void *finishedBy(const void *thread)
{
    return static_cast<char *>(const_cast<void *>(thread)) + 2;
}

// Called after each piece of the project's code that Qt runs on a thread: the thread's last one
// is then ordered before QThread::wait returns.
void workDoneOnThisThread()
{
    static std::atomic<void *> cache { nullptr };
    auto *const currentThread = next<void *()>(cache, "_ZN7QThread13currentThreadEv");
    // Null while an adopted thread's data is torn down at its exit.
    if (void *thread = currentThread())
        __tsan_release(finishedBy(thread));
}

// The leading members of Qt 5.15's QAbstractMetaCallEvent (private; qobject_p.h), the event
// that carries a queued slot call. A queued signal's carries its sender; a queued
// invokeMethod's carries none.
struct MetaCallEventHead : QEvent
{
    int signalId;
    const void *sender;
};

// Takes the place of a slot object Qt runs on another thread, so that the hand-off of that very
// call or connection is what ThreadSanitizer is told. The thread that hands it over releases this
// object before Qt gets it (posting the call, making the connection), and each run acquires it
// first. A call also releases it when it has run, for a blocking caller and for its destruction.
class HandOffSlot final : public QtPrivate::QSlotObjectBase
{
public:
    enum class Kind { Call, Connection };

    HandOffSlot(QtPrivate::QSlotObjectBase *slot, Kind kind)
        : QSlotObjectBase(&impl)
        , m_slot(slot)
        , m_kind(kind)
    { }

private:
    static void impl(int which, QSlotObjectBase *base, QObject *receiver, void **arguments,
                     bool *result)
    {
        auto *const self = static_cast<HandOffSlot *>(base);
        switch (which) {
        case Destroy:
            // Where Qt drops the last reference: the receiver's thread, or the caller's, after
            // the call or when it never ran (its receiver or thread went away first).
            __tsan_acquire(self);
            self->m_slot->destroyIfLastRef();
            delete self;
            break;
        case Call:
            __tsan_acquire(self);
            self->m_slot->call(receiver, arguments);
            // A connection runs for every emission, from any thread: releasing here would order
            // those runs with each other.
            if (self->m_kind == Kind::Call)
                __tsan_release(self);
            workDoneOnThisThread();
            break;
        case Compare:
            *result = self->m_slot->compare(arguments);
            break;
        }
    }

    QtPrivate::QSlotObjectBase *const m_slot;
    const Kind m_kind;
};

} // namespace

// Constant-initialised, so without a guard.
#define GLINT_NEXT(symbol, ...)                                                                    \
    static std::atomic<void *> cache { nullptr };                                                  \
    auto *const real = next<__VA_ARGS__>(cache, #symbol)

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
    __tsan_release(emittedBy(sender));
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
    if (!slot)
        return real(context, slot, type, result);
    // Qt takes over the caller's reference, as it would the original's.
    auto *const call =
        new HandOffSlot(static_cast<QtPrivate::QSlotObjectBase *>(slot), HandOffSlot::Kind::Call);
    const bool blocking = type == Qt::BlockingQueuedConnection;
    // Qt drops its references to a blocking call as soon as the call has run, before returning;
    // holding one more keeps the object (and so its synchronisation state) until the caller has
    // acquired it.
    if (blocking)
        call->ref();
    __tsan_release(call);
    const bool invoked = real(context, call, type, result);
    if (blocking) {
        __tsan_acquire(call);
        call->destroyIfLastRef();
    }
    return invoked;
}

// void QCoreApplication::postEvent(QObject *, QEvent *, int)
void _ZN16QCoreApplication9postEventEP7QObjectP6QEventi(void *receiver, QEvent *event, int priority)
{
    GLINT_NEXT(_ZN16QCoreApplication9postEventEP7QObjectP6QEventi, void(void *, QEvent *, int));
    __tsan_release(event);
    real(receiver, event, priority);
}

// bool QObject::event(QEvent *): reached through the vtables of the project's QObject subclasses,
// which is where queued signals, posted events and deferred deletes reach them.
bool _ZN7QObject5eventEP6QEvent(void *receiver, QEvent *event)
{
    GLINT_NEXT(_ZN7QObject5eventEP6QEvent, bool(void *, QEvent *));
    __tsan_acquire(event); // a posted event's; nothing for one Qt made on this thread
    if (event->type() == QEvent::MetaCall) {
        if (const void *sender = static_cast<const MetaCallEventHead *>(event)->sender)
            __tsan_acquire(emittedBy(sender));
    }
    const bool handled = real(receiver, event);
    workDoneOnThisThread();
    return handled;
}

// QMetaObject::Connection QObject::connectImpl(const QObject *, void **, const QObject *,
//     void **, QtPrivate::QSlotObjectBase *, Qt::ConnectionType, const int *, const QMetaObject *):
// every connection to a functor or a member function, the thread's finished handlers among them.
QMetaObject::Connection
_ZN7QObject11connectImplEPKS_PPvS1_S3_PN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPKiPK11QMetaObject(
    const void *sender, void **signal, const void *receiver, void **slotPointer, void *slot,
    int type, const int *types, const void *senderMeta)
{
    GLINT_NEXT(
        _ZN7QObject11connectImplEPKS_PPvS1_S3_PN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPKiPK11QMetaObject,
        QMetaObject::Connection(const void *, void **, const void *, void **, void *, int,
                                const int *, const void *));
    void *connected = slot;
    if (slot) {
        // Qt takes over the caller's reference, and drops it (so this) if it does not connect.
        connected = new HandOffSlot(static_cast<QtPrivate::QSlotObjectBase *>(slot),
                                    HandOffSlot::Kind::Connection);
        __tsan_release(connected);
    }
    return real(sender, signal, receiver, slotPointer, connected, type, types, senderMeta);
}

// bool QThread::wait(QDeadlineTimer) and bool QThread::wait(unsigned long): Qt reads the thread's
// finished flag under a futex-based mutex and, when it is already set, returns without touching
// the condition variable ThreadSanitizer could see.
bool _ZN7QThread4waitE14QDeadlineTimer(void *thread, QDeadlineTimer deadline)
{
    GLINT_NEXT(_ZN7QThread4waitE14QDeadlineTimer, bool(void *, QDeadlineTimer));
    const bool finished = real(thread, deadline);
    if (finished)
        __tsan_acquire(finishedBy(thread));
    return finished;
}

bool _ZN7QThread4waitEm(void *thread, unsigned long milliseconds)
{
    GLINT_NEXT(_ZN7QThread4waitEm, bool(void *, unsigned long));
    const bool finished = real(thread, milliseconds);
    if (finished)
        __tsan_acquire(finishedBy(thread));
    return finished;
}

} // extern "C"
