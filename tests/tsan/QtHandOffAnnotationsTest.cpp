// Hand-offs through Qt as ThreadSanitizer sees them with QtHandOffAnnotations.cpp preloaded. ctest
// runs each case in a process of its own, since the first report ends the process.
//  - Ordered cases hand g_handedOver over through Qt the way Qt guarantees; they must run clean,
//    and without the annotations they are reported.
//  - Unordered cases write g_handedOver on one side of one hand-off and read it on the far side of
//    another, in another thread; ThreadSanitizer must report the race. The first hand-off is made,
//    in real time, before the second one starts, but only through a relaxed atomic, which orders
//    nothing: were all hand-offs one synchronisation object, the second would acquire the first
//    and the race would go unseen.
#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QThread>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

namespace {

int g_handedOver = 0;
// What a reading side saw; only there so that the read is not optimised away.
std::atomic<int> g_seen { 0 };

void readHandedOver()
{
    g_seen.store(g_handedOver, std::memory_order_relaxed);
}

void spinUntil(const std::atomic<bool> &flag)
{
    while (!flag.load(std::memory_order_relaxed))
        std::this_thread::yield();
}

// A QObject subclass of the project's own: Qt delivers queued signals and posted events to it
// through the vtable entry that the annotations stand in front of, as it does to the plug-in's
// objects. An event of the user's type reads what was handed over.
std::atomic<int> g_customEvents { 0 };

class Receiver : public QObject
{
protected:
    void customEvent(QEvent *) override
    {
        readHandedOver();
        ++g_customEvents;
    }
};

class Sender : public QObject
{
    Q_OBJECT
Q_SIGNALS:
    void ping();
};

// A receiver living in a QThread of its own that runs an event loop.
class EventThread
{
public:
    EventThread()
    {
        receiver.moveToThread(&thread);
        thread.start();
    }
    ~EventThread()
    {
        thread.quit();
        thread.wait();
    }

    Receiver receiver;
    QThread thread;
};

// A receiver living in a thread of its own that delivers what is posted to it by polling
// QCoreApplication::sendPostedEvents, with no event loop: nothing wakes that thread, so between a
// post and its delivery ThreadSanitizer sees no ordering but the one the annotations tell it.
class PollingThread
{
public:
    PollingThread()
        : m_thread([this] { run(); })
    {
        while (!m_receiver.load())
            std::this_thread::yield();
    }
    ~PollingThread()
    {
        m_stop.store(true);
        m_thread.join();
    }

    QObject *receiver() const { return m_receiver.load(); }

private:
    void run()
    {
        Receiver receiver;
        m_receiver.store(&receiver);
        while (!m_stop.load()) {
            QCoreApplication::sendPostedEvents();
            std::this_thread::yield();
        }
    }

    std::atomic<Receiver *> m_receiver { nullptr };
    std::atomic<bool> m_stop { false };
    std::thread m_thread;
};

void post(QObject *receiver, std::function<void()> call)
{
    QMetaObject::invokeMethod(receiver, std::move(call), Qt::QueuedConnection);
}

void callAndWait(QObject *receiver, std::function<void()> call)
{
    QMetaObject::invokeMethod(receiver, std::move(call), Qt::BlockingQueuedConnection);
}

// One thread writes and hands a call over to `first`; once that post is made, another hands a
// call that reads over to `second`.
void writeThenReadThroughCalls(QObject *first, QObject *second)
{
    std::atomic<bool> firstPosted { false };
    std::thread writer([&] {
        g_handedOver = 1;
        post(first, [] {});
        firstPosted.store(true, std::memory_order_relaxed);
    });
    std::thread reader([&] {
        spinUntil(firstPosted);
        callAndWait(second, readHandedOver);
    });
    writer.join();
    reader.join();
}

// The same with queued signals: the writer emits `first`'s signal, the reader `second`'s; the
// reading slot is connected to the second signal.
void writeThenReadThroughSignals(Sender *first, QObject *firstReceiver, Sender *second,
                                 QObject *secondReceiver)
{
    std::atomic<int> reads { 0 };
    if (first != second)
        QObject::connect(
            first, &Sender::ping, firstReceiver, [] {}, Qt::QueuedConnection);
    QObject::connect(
        second, &Sender::ping, secondReceiver,
        [&reads] {
            readHandedOver();
            ++reads;
        },
        Qt::QueuedConnection);
    std::atomic<bool> firstEmitted { false };
    std::thread writer([&] {
        g_handedOver = 1;
        Q_EMIT first->ping();
        firstEmitted.store(true, std::memory_order_relaxed);
    });
    std::thread reader([&] {
        spinUntil(firstEmitted);
        Q_EMIT second->ping();
    });
    writer.join();
    reader.join();
    // Both emissions reach the reading slot when they come from one sender.
    const int expected = first == second ? 2 : 1;
    while (reads.load() < expected)
        std::this_thread::yield();
}

// Ordered: the reading call goes to the receiver the writer's call went to. Qt delivers one
// receiver's events in the order they were posted, so the reading call runs after the writer's
// call on the same thread.
void callsThroughOneReceiver()
{
    PollingThread target;
    writeThenReadThroughCalls(target.receiver(), target.receiver());
}

// Unordered: the two calls go to receivers in different threads.
void callsThroughSeparateReceivers()
{
    PollingThread first;
    PollingThread second;
    writeThenReadThroughCalls(first.receiver(), second.receiver());
}

// Ordered: one sender, one receiver; the reading delivery follows the writer's emission.
void signalsFromOneSender()
{
    PollingThread target;
    Sender sender;
    writeThenReadThroughSignals(&sender, target.receiver(), &sender, target.receiver());
}

// Unordered: separate senders, receivers in different threads.
void signalsFromSeparateSenders()
{
    PollingThread first;
    PollingThread second;
    Sender firstSender;
    Sender secondSender;
    writeThenReadThroughSignals(&firstSender, first.receiver(), &secondSender, second.receiver());
}

// Ordered: a blocking call has run, and what it wrote is visible, when the caller goes on.
void blockingCall()
{
    PollingThread target;
    callAndWait(target.receiver(), [] { g_handedOver = 1; });
    readHandedOver();
}

// Ordered: QThread::wait returns after everything the thread did, including its finished
// handlers, which run after its last event. Waiting once it has finished is the case
// ThreadSanitizer cannot see by itself: Qt then returns on its finished flag alone.
void waitForTheThread()
{
    EventThread target;
    QObject::connect(
        &target.thread, &QThread::finished, &target.receiver, [] { ++g_handedOver; },
        Qt::DirectConnection);
    post(&target.receiver, [] { g_handedOver = 1; });
    post(&target.receiver, [] { QThread::currentThread()->quit(); });
    while (!target.thread.isFinished())
        std::this_thread::yield();
    target.thread.wait(ULONG_MAX);
    readHandedOver();
}

// Unordered: waiting for one thread orders nothing another thread did, even when that thread
// handed it over to a third one, in real time, before the waited-for thread ended.
void waitForAnotherThread()
{
    EventThread third;
    EventThread waited;
    std::atomic<bool> posted { false };
    std::thread writer([&] {
        g_handedOver = 1;
        post(&third.receiver, [] {});
        posted.store(true, std::memory_order_relaxed);
    });
    spinUntil(posted);
    waited.thread.quit();
    waited.thread.wait(ULONG_MAX); // the overload the plug-in calls
    readHandedOver();
    writer.join();
}

// Ordered: an event of the user's type, posted by the writer, is delivered after the post.
void postedEvent()
{
    PollingThread target;
    std::thread writer([&] {
        g_handedOver = 1;
        QCoreApplication::postEvent(target.receiver(), new QEvent(QEvent::User));
    });
    writer.join();
    while (g_customEvents.load() == 0)
        std::this_thread::yield();
}

// Ordered: increments under one QMutex from two threads.
void oneMutex()
{
    QMutex mutex;
    const auto increment = [&mutex] {
        for (int i = 0; i < 1000; ++i) {
            QMutexLocker locker(&mutex);
            ++g_handedOver;
        }
    };
    std::thread first(increment);
    std::thread second(increment);
    first.join();
    second.join();
}

struct Case
{
    const char *name;
    void (*run)();
};

const Case cases[] = {
    { "calls-through-one-receiver", callsThroughOneReceiver },
    { "calls-through-separate-receivers", callsThroughSeparateReceivers },
    { "signals-from-one-sender", signalsFromOneSender },
    { "signals-from-separate-senders", signalsFromSeparateSenders },
    { "blocking-call", blockingCall },
    { "posted-event", postedEvent },
    { "wait-for-the-thread", waitForTheThread },
    { "wait-for-another-thread", waitForAnotherThread },
    { "one-mutex", oneMutex },
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    for (const Case &c : cases) {
        if (argc == 2 && std::strcmp(argv[1], c.name) == 0) {
            c.run();
            std::printf("%s: done\n", c.name);
            return 0;
        }
    }
    std::fprintf(stderr, "usage: %s CASE, one of:\n", argv[0]);
    for (const Case &c : cases)
        std::fprintf(stderr, "  %s\n", c.name);
    return 2;
}

#include "QtHandOffAnnotationsTest.moc"
