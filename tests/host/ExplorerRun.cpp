#include "ExplorerRun.h"

#include "BuiltPlugin.h"
#include "HostEvents.h"
#include "HostThread.h"
#include "ProcessThreads.h"
#include "SimulatorChecks.h"
#include "StandardErrorLog.h"
#include "Watchdog.h"
#ifndef _WIN32
#include "FailingHeap.h"
#endif

#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <mutex>
#include <string>
#include <vector>

namespace explorer {
namespace {

using Clock = std::chrono::steady_clock;

#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int SlackMs = 750;
#else
constexpr int SlackMs = 250;
#endif
constexpr int FrameBoundMs = 500;
constexpr int StopBoundMs = 1000;
// How long a handshake, or the last wanted state once everything is let go (an opening is tried
// again after 1 and 2 s), may take before it counts as a hang.
constexpr int HandshakeMs = 30000;
constexpr int32_t FirstLed = 0x20001;

FaultRule holdRule(Point point, Held held, Answer answer)
{
    static const struct
    {
        const char *object;
        const char *method;
        int index;
    } points[] = {
        { "sdk", "create", -1 },          { "sdk", "StartControl", -1 },
        { "sdk", "Enumerate", -1 },       { "devices", "get_Item", -1 },
        { "lights:0", "get_Item", 1 },    { "light:0:0", "put_Red", -1 },
        { "light:0:0", "put_Green", -1 }, { "light:0:0", "put_Blue", -1 },
        { "board:0", "Apply", -1 },       { "sdk", "StopControl", -1 },
        { "sdk", "Release", -1 },
    };
    // S_OK, E_FAIL, RPC_E_DISCONNECTED, RPC_S_SERVER_UNAVAILABLE, CO_E_OBJNOTCONNECTED
    static const std::uint32_t answers[] = { 0, 0x80004005u, 0x80010108u, 0x800706BAu,
                                             0x800401FDu };
    FaultRule rule = failingCall(points[int(point)].object, points[int(point)].method,
                                 static_cast<HRESULT>(answers[int(answer)]));
    rule.index = points[int(point)].index;
    rule.pump = held == Held::Pumping;
    return rule;
}

// The hold that the end of the process lets go.
std::atomic<int> g_exitHold { 0 };
// The stall warnings the plug-in has written; each line also goes on to standard error.
std::atomic<int> g_stallWarnings { 0 };

void countStallWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg && text.startsWith(QLatin1String("SDK stall:")))
        ++g_stallWarnings;
    writeLogLineToStandardError(type, context, text);
}

void waitOrHang(const std::shared_future<void> &future, const char *what)
{
    if (future.wait_for(std::chrono::milliseconds(HandshakeMs)) != std::future_status::ready) {
        std::printf("violation: %s did not happen within %d ms\n", what, HandshakeMs);
        std::fflush(stdout);
        std::_Exit(1);
    }
}

bool ready(const std::shared_future<void> &future)
{
    return !future.valid() || future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// A host thread's heap: whole; failing at the k-th block, Qt's containers' blocks too; or failing
// at the plug-in's own blocks only (creating a controller makes Qt objects, a thread and its
// connections, whose internals do not survive their blocks failing).
enum class Heap { Whole, Failing, FailingOutsideQt };

class Run
{
public:
    explicit Run(const Combination &combination)
        : m_c(combination)
    { }
    int execute();

private:
    static void TALVERN_CDECL report(void *context, const char *deviceId, int32_t status);
    void reported(Qt::HANDLE subscribedOn);
    void violation(const std::string &text);
    // One host call, timed against its bound; on the failing heap, as that dimension says. The
    // checks come after the heap is whole again.
    template<class Call>
    void call(const char *what, int boundMs, Heap heap, bool repeatable, Call &&body);
    template<class Call>
    void timed(const char *what, int boundMs, Call &&body)
    {
        call(what, boundMs, Heap::Whole, true, body);
    }

    void start();
    void trigger();
    void sendFramesUntilHeld();
    void first();
    void second();
    void beforeTheUnload();
    void settle();
    void tearDown();
    void checkWhatIsLeft();

    // One action of the host on the calling thread, host thread `on` (null: the main thread), on
    // a heap as whole or failing as given.
    void perform(Action action, HostThread *on, Heap heap = Heap::Whole);
    // The table the host calls through, taking one if it holds none; or the one it gives back
    // next (null when it holds none).
    TalvernPluginInstance *table();
    TalvernPluginInstance *tableToGiveBack();
    void load();
    HostThread *newThread(bool apartment = false);
    int reportsSinceMark();
    bool hostCallsDone() { return m_inCallback.load() == 0 && ready(m_renderFrame); }

    const Combination m_c;
    SimulatorControl &m_control = SimulatorControl::instance();
    int m_baselineThreads = 0;
    std::unique_ptr<PluginLibrary> m_plugin;

    std::mutex m_mutex; // the host's model below, and the violations
    std::vector<std::string> m_violations;
    std::vector<TalvernPluginInstance *> m_tables;
    bool m_loaded = false;
    bool m_subscribed = false;
    int m_mode = 1;
    bool m_session = false; // a subscription's device access, until the last table comes back
    HostThread *m_subscriber = nullptr;
    Qt::HANDLE m_subscriberId = nullptr;
    // Each subscription's context: the thread that made it, the only one its reports may come on
    // (a report of an earlier subscription may still be under way on that one's thread).
    struct Subscription
    {
        Run *run;
        Qt::HANDLE thread;
    };
    std::vector<std::unique_ptr<Subscription>> m_subscriptions;
    std::vector<std::unique_ptr<HostThread>> m_threads;
    std::vector<Qt::HANDLE> m_reports; // the thread of each report
    int m_reportMark = 0; // the reports when the host last asked for device access
    int m_wrongThreadReports = 0;
    bool m_letGo = false; // a stop waited for its bound: its worker was let go

    std::recursive_mutex m_hostLock; // the host's own lock, which its callback takes
    std::atomic<int> m_inCallback { 0 };
    // The first report's callback waits for the go, for an action inside it or on a locked
    // thread.
    bool m_gateArmed = false;
    bool m_gateUsed = false;
    std::promise<void> m_gateEntered;
    std::promise<void> m_gateOpen;
    std::shared_future<void> m_gateOpened = m_gateOpen.get_future().share();
    std::promise<void> m_wantsLock;
    std::function<void()> m_callbackAction;

    int m_hold = -1;
    int m_laterHold = -1;
    // The last table's bound: the stop's, or none but the slack where only a notification on
    // another thread may hold it (the first action, the held call let go as it begins).
    std::atomic<int> m_stopBoundMs { StopBoundMs };
    std::shared_future<void> m_renderFrame;
    HostThread *m_renderer = nullptr;
    HostThread *m_actor = nullptr; // the first action's own thread, when it has one
    // The first action's thread, when it has one of its own; the render thread reads it meanwhile.
    std::atomic<Qt::HANDLE> m_apartment { nullptr };
};

void Run::violation(const std::string &text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_violations.push_back(text);
}

template<class Call>
void Run::call(const char *what, int boundMs, Heap heap, bool repeatable, Call &&body)
{
    bool failing = heap != Heap::Whole;
    long long took = 0;
    const auto once = [&] {
        const Clock::time_point started = Clock::now();
        body();
        took = std::max<long long>(
            took,
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count());
    };
#ifndef _WIN32
    const FailingHeap::Reach reach =
        heap == Heap::Failing ? FailingHeap::NewAndContainers : FailingHeap::NewOnly;
    if (failing && !repeatable) {
        const FailingHeap failingHeap(FailingHeap::EveryBlock, reach);
        once();
    }
    for (long failAt = 1; failing && repeatable; ++failAt) {
        FailingHeap::clearFailed();
        {
            const FailingHeap failingHeap(failAt, reach);
            once();
        }
        if (!FailingHeap::failed())
            break;
    }
#else
    static_cast<void>(repeatable); // no failing heap on Windows
    failing = false;
#endif
    if (!failing)
        once();
    if (took > boundMs + SlackMs)
        violation(std::string(what) + " took " + std::to_string(took) + " ms; its bound is "
                  + std::to_string(boundMs) + " ms and " + std::to_string(SlackMs)
                  + " ms of slack");
    if (QThread::currentThreadId() == m_apartment.load()) {
        // Still the apartment it made: a second initialisation only counts.
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(hr))
            CoUninitialize();
        if (hr != S_FALSE)
            violation(std::string("the host thread's own COM apartment did not survive ") + what);
    }
}

void TALVERN_CDECL Run::report(void *context, const char *, int32_t)
{
    const auto *subscription = static_cast<const Subscription *>(context);
    subscription->run->reported(subscription->thread);
}

// Allocates nothing: it may run on a thread whose heap fails.
void Run::reported(Qt::HANDLE subscribedOn)
{
    ++m_inCallback;
    bool gate = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back(QThread::currentThreadId()); // room kept beforehand
        if (QThread::currentThreadId() != subscribedOn)
            ++m_wrongThreadReports;
        gate = m_gateArmed && !m_gateUsed;
        m_gateUsed = m_gateUsed || gate;
    }
    if (gate) {
        m_gateEntered.set_value();
        waitOrHang(m_gateOpened, "the go for the callback");
        m_wantsLock.set_value();
    }
    {
        const std::lock_guard<std::recursive_mutex> lock(m_hostLock);
        if (gate && m_callbackAction)
            m_callbackAction();
    }
    --m_inCallback;
}

int Run::reportsSinceMark()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return int(std::count(m_reports.begin() + m_reportMark, m_reports.end(), m_subscriberId));
}

HostThread *Run::newThread(bool apartment)
{
    auto thread = std::make_unique<HostThread>(apartment);
    thread->run(&SimulatorControl::markHostThread);
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_threads.push_back(std::move(thread));
    return m_threads.back().get();
}

void Run::load()
{
    m_plugin = loadBuiltPlugin();
    if (!m_plugin->isLoaded()) {
        std::printf("violation: the plug-in does not load: %s\n",
                    qPrintable(m_plugin->errorString()));
        std::exit(1);
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_tables.push_back(m_plugin->takeLoadTable());
    m_loaded = true;
}

TalvernPluginInstance *Run::table()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_tables.empty())
            return m_tables.front();
    }
    perform(Action::TakeTable, nullptr);
    return table();
}

TalvernPluginInstance *Run::tableToGiveBack()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_tables.empty())
        return nullptr;
    TalvernPluginInstance *last = m_tables.back();
    m_tables.pop_back();
    return last;
}

void Run::perform(Action action, HostThread *on, Heap heap)
{
    // Those that give something back cannot simply be made again after a refusal.
    const bool repeatable = action < Action::GiveBackTable;
    const char *name = valueName(Dimension::First, int(action));
    const auto hostCall = [&](int boundMs, auto &&body) {
        call(name, boundMs, heap, repeatable, body);
    };
    if (!m_loaded && action != Action::Unload && action != Action::Exit)
        load(); // a host that unloaded the library loads it again for its next call
    const char *id = norvaneMotherboardId.constData();
    switch (action) {
    case Action::Subscribe: {
        TalvernPluginInstance *subscribing = table();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_subscriber = on;
            m_subscriberId = QThread::currentThreadId();
            m_reportMark = int(m_reports.size());
            m_subscribed = m_session = true;
            m_subscriptions.push_back(
                std::make_unique<Subscription>(Subscription { this, m_subscriberId }));
        }
        Subscription *context = m_subscriptions.back().get();
        hostCall(0, [&] { subscribing->subscribe(context, &Run::report); });
        break;
    }
    case Action::Unsubscribe:
        hostCall(0, [t = table()] { t->unsubscribe(); });
        m_subscribed = false;
        break;
    case Action::ModeOne:
    case Action::ModeTwo: {
        const int mode = action == Action::ModeOne ? 1 : 2;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (mode == 2 && m_mode == 1)
                m_reportMark = int(m_reports.size());
            m_mode = mode;
        }
        hostCall(0, [t = table(), mode] { t->setPluginMode(mode); });
        break;
    }
    case Action::Frame: {
        const TalvernPluginLedColor colour { FirstLed, 40, 50, 60 };
        hostCall(FrameBoundMs, [t = table(), id, &colour] { t->setLedsColors(id, 1, &colour); });
        break;
    }
    case Action::Describe:
        hostCall(0, [t = table(), id] { t->freeDeviceInfo(t->getDeviceInfo(id)); });
        break;
    case Action::View:
        hostCall(0, [t = table(), id] { t->freeDeviceView(t->getDeviceView(id, 0)); });
        break;
    case Action::TakeTable: {
        TalvernPluginInstance *taken = nullptr;
        hostCall(0, [&] { taken = taken ? taken : m_plugin->newTable(); });
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tables.push_back(taken);
        break;
    }
    case Action::GiveBackTable: {
        if (m_tables.size() < 2)
            perform(Action::TakeTable, on);
        hostCall(0, [&, given = tableToGiveBack()] { m_plugin->freeTable(given); });
        break;
    }
    case Action::GiveBackLastTable: {
        while (m_tables.size() > 1) {
            timed("giving back a table that is not the last", 0,
                  [&, given = tableToGiveBack()] { m_plugin->freeTable(given); });
        }
        TalvernPluginInstance *last = tableToGiveBack();
        if (!last)
            break;
        // Only a notification on another thread may hold the stop once the worker is let go:
        // the stop never waits for that.
        const Clock::time_point started = Clock::now();
        hostCall(m_stopBoundMs.load(), [&] { m_plugin->freeTable(last); });
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_session = false;
        m_letGo = m_letGo || Clock::now() - started >= std::chrono::milliseconds(900);
        break;
    }
    case Action::EndThread:
        timed(name, 0, [subscriber = m_subscriber] { subscriber->end(); });
        break;
    case Action::Unload:
        timed(name, 0, [&] { m_plugin->unload(0); });
        m_loaded = false;
        break;
    case Action::Exit:
        if (!m_violations.empty())
            return; // reported by execute(), which exits 1
        std::printf("explorer: exiting\n");
        std::fflush(stdout);
        std::exit(0);
    }
}

// Subscribed on the subscribing thread in mode 2, the board reported; for an action on a locked
// thread or in the callback, the subscribing thread stays inside the callback of that report.
void Run::start()
{
    useScenario({ BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 4) });
    m_reports.reserve(4096);
    m_gateArmed = m_c.where == Where::Locked || m_c.where == Where::Callback;
    load();
    perform(Action::TakeTable, nullptr); // a second table, to give back one not the last
    HostThread *subscriber = newThread();
    subscriber->run([&] {
        perform(Action::Subscribe, subscriber);
        perform(Action::ModeTwo, subscriber);
    });
    if (m_gateArmed)
        waitOrHang(m_gateEntered.get_future().share(), "the first report");
    else if (!runEventsUntil([&] { return reportsSinceMark() > 0; }, HandshakeMs))
        violation("the board was not reported at the start");
    m_hold = m_control.holdCall(holdRule(m_c.point, m_c.held, m_c.answer));
    g_exitHold = m_hold;
    if (m_c.later)
        m_laterHold = m_control.holdCall(holdRule(*m_c.later, Held::Quiet, Answer::Success));
}

// What takes the worker to the held point, unless the first action itself does.
void Run::trigger()
{
    switch (phaseOf(m_c.point)) {
    case Phase::Opening:
        perform(Action::ModeOne, nullptr);
        perform(Action::ModeTwo, nullptr);
        break;
    case Phase::Frame:
        m_renderer = newThread();
        for (int attempt = 0;; ++attempt) {
            const int stallsSeen = g_stallWarnings.load();
            sendFramesUntilHeld();
            // A frame of the first action comes once the render thread's frame has returned,
            // into a stall that no host thread has seen yet. The render thread's own frame, at
            // its bound, sees it only now and then (its request began a moment after it was
            // posted): then the frame is let go and sent again.
            if (m_c.first != Action::Frame)
                return;
            waitOrHang(m_renderFrame, "the render thread's frame");
            if (g_stallWarnings.load() == stallsSeen || attempt == 9)
                return;
            m_control.releaseHold(m_hold);
            m_control.waitUntilLeft(m_hold, HandshakeMs);
            m_hold = m_control.holdCall(holdRule(m_c.point, m_c.held, m_c.answer));
        }
    case Phase::Closing:
        if (closesConnection(m_c.first))
            return;
        perform(Action::Unsubscribe, nullptr);
        break;
    }
    if (!m_control.waitUntilHeld(m_hold, HandshakeMs))
        violation(std::string("the worker never reached ")
                  + valueName(Dimension::Point, int(m_c.point)));
}

// Frames from the render thread, one after another, until one reaches the held point (one sent
// while the connection opens again is dropped before it gets there).
void Run::sendFramesUntilHeld()
{
    for (int frame = 0; frame < 40; ++frame) {
        m_renderFrame = m_renderer->post([this, t = table()] {
            const TalvernPluginLedColor colour { FirstLed, 10, 20, 30 };
            timed("the render thread's frame", FrameBoundMs,
                  [&] { t->setLedsColors(norvaneMotherboardId.constData(), 1, &colour); });
        });
        runEventsUntil([&] { return m_control.isHeld(m_hold) || ready(m_renderFrame); },
                       HandshakeMs);
        if (m_control.isHeld(m_hold))
            return;
    }
    violation(std::string("no frame reached ") + valueName(Dimension::Point, int(m_c.point)));
}

void Run::first()
{
    auto began = std::make_shared<std::promise<void>>();
    const std::shared_future<void> begun = began->get_future().share();
    const auto action = [this, began](HostThread *on) {
        began->set_value();
        perform(m_c.first, on, m_c.where == Where::FailingHeap ? Heap::Failing : Heap::Whole);
    };
    if ((m_c.where == Where::Locked || m_c.where == Where::Callback)
        && m_c.release == Release::Before)
        m_stopBoundMs = 0;
    std::shared_future<void> returned;
    if (m_c.first == Action::EndThread) {
        action(nullptr); // the subscribing thread ends; the main thread waits for that
    } else if (m_c.where == Where::Subscribing) {
        returned = m_subscriber->post([action, this] { action(m_subscriber); });
    } else if (m_c.where == Where::Callback) {
        auto done = std::make_shared<std::promise<void>>();
        returned = done->get_future().share();
        m_callbackAction = [this, action, done] {
            action(m_subscriber);
            done->set_value();
        };
        m_gateOpen.set_value();
    } else {
        HostThread *thread = m_actor = newThread(m_c.where == Where::Apartment);
        if (m_c.where == Where::Apartment)
            m_apartment = thread->id();
        returned = thread->post([this, action, thread] {
            if (m_c.where != Where::Locked)
                return action(thread);
            const std::lock_guard<std::recursive_mutex> lock(m_hostLock);
            m_gateOpen.set_value();
            waitOrHang(m_wantsLock.get_future().share(), "the callback's wait for the lock");
            action(thread);
        });
    }
    // The end of the process lets the held call go itself, if at all (execute()).
    const Release release = m_c.first == Action::Exit ? Release::Never : m_c.release;
    if (release == Release::Before) {
        waitOrHang(begun, "the first action's beginning");
        if (!m_control.waitUntilHeld(m_hold, HandshakeMs))
            violation("the worker never reached the held call");
        m_control.releaseHold(m_hold);
    }
    if (returned.valid())
        waitOrHang(returned, "the first action's return");
    m_stopBoundMs = StopBoundMs;
    if (release == Release::After) {
        m_control.waitUntilHeld(m_hold, HandshakeMs);
        m_control.releaseHold(m_hold);
        m_control.waitUntilLeft(m_hold, HandshakeMs);
    }
    if (m_laterHold >= 0 && release != Release::Never
        && !m_control.waitUntilHeld(m_laterHold, HandshakeMs))
        violation("the worker never reached the later held call");
}

void Run::second()
{
    // The exit has no rule of the unload's, but it waits alike so that it meets the plug-in in
    // the same state.
    if (m_c.second == Action::Unload || m_c.second == Action::Exit)
        beforeTheUnload();
    if (m_c.second != Action::Subscribe)
        return perform(m_c.second, nullptr);
    // On the failing heap's thread the subscription fails there too, at the plug-in's own blocks:
    // after the last table, one that makes a new controller.
    const bool failing = m_c.where == Where::FailingHeap;
    HostThread *subscriber = failing ? m_actor
        : m_subscriber->isRunning()  ? m_subscriber
                                     : newThread();
    subscriber->run([&] {
        perform(Action::Subscribe, subscriber, failing ? Heap::FailingOutsideQt : Heap::Whole);
    });
}

// No host thread may be inside a call into the library as it goes, and the subscribing thread
// has returned to its event loop from any delivery of the plug-in's.
void Run::beforeTheUnload()
{
    if (!runEventsUntil([&] { return hostCallsDone(); }, HandshakeMs))
        violation("a host call into the plug-in did not end");
    if (m_subscriber->isRunning())
        waitOrHang(m_subscriber->post([] {}), "the subscribing thread's return to its loop");
}

// Everything let go; the last wanted state: reported on the subscribing thread with frames
// reaching the lights, or the connection closed.
void Run::settle()
{
    m_control.releaseHolds();
    if (!runEventsUntil([&] { return hostCallsDone(); }, HandshakeMs))
        violation("a host call into the plug-in did not end once everything was let go");
    if (!m_loaded)
        return; // the host sees nothing of a library it unloaded
    if (!m_subscribed || m_mode != 2 || !m_session) {
        if (!runEventsUntil([&] { return m_control.liveObjects() == 0; }, HandshakeMs))
            violation("device access is off, but the connection was not closed: "
                      + std::to_string(m_control.liveObjects()) + " SDK objects alive");
        return;
    }
    // A failure the SDK answered while listing its boards leaves the board out: no report, no
    // frames, until the host asks again.
    if (m_c.answer == Answer::Failure
        && (m_c.point == Point::Enumerate || m_c.point == Point::DeviceQuery))
        return;
    if (m_subscriber->isRunning()
        && !runEventsUntil([&] { return reportsSinceMark() > 0; }, HandshakeMs))
        violation("the board was not reported on the subscribing thread after the host last "
                  "asked for device access");
    const TalvernPluginLedColor colour { FirstLed, 70, 80, 90 };
    const bool shown = runEventsUntil(
        [&, t = table()] {
            timed("a frame once everything was let go", FrameBoundMs,
                  [&] { t->setLedsColors(norvaneMotherboardId.constData(), 1, &colour); });
            return m_control.latchedColours(0).value(0) == SimulatedColour { 70, 80, 90 };
        },
        HandshakeMs);
    if (!shown)
        violation("frames did not reach the lights once everything was let go");
}

// The host gives everything back and unloads the library.
void Run::tearDown()
{
    if (m_letGo) {
        // A worker let go, and ended since, goes at a call of the host made after its end. Such
        // a host sees the plug-in's threads go first.
        runEventsUntil(
            [&] {
                int hostThreads = 0;
                for (const auto &thread : m_threads)
                    hostThreads += thread->isRunning() ? 1 : 0;
                return threadCount() == m_baselineThreads + hostThreads + (m_session ? 1 : 0);
            },
            HandshakeMs);
    }
    // A library unloaded while device access ran, or while a worker let go was still there, goes
    // at a later call of the host: such a host loads it again, gives back its tables, and
    // unloads.
    if (m_loaded || !m_tables.empty() || m_letGo) {
        if (!m_loaded)
            load(); // its load table joins the tables
        if (m_subscribed)
            perform(Action::Unsubscribe, nullptr);
        while (!m_tables.empty())
            perform(Action::GiveBackLastTable, nullptr);
        beforeTheUnload();
        perform(Action::Unload, nullptr);
    }
    for (const auto &thread : m_threads)
        thread->end();
}

void Run::checkWhatIsLeft()
{
    const QString path = builtPluginPath();
    runEventsUntil(
        [&] {
            return !PluginLibrary::isInProcess(path) && m_control.liveObjects() == 0
                && threadCount() == m_baselineThreads;
        },
        HandshakeMs);
    if (PluginLibrary::isInProcess(path))
        violation("the library is still in the process after the host gave everything back "
                  "and unloaded it");
    if (threadCount() != m_baselineThreads)
        violation(std::to_string(threadCount() - m_baselineThreads)
                  + " threads left: " + describeThreads().toStdString());
    const struct
    {
        const char *what;
        int count;
    } counts[] = {
        { "SDK objects alive", m_control.liveObjects() },
        { "SDK references outstanding", m_control.outstandingReferences() },
        { "SDK calls, AddRef or Release outside the object's apartment",
          m_control.foreignThreadCalls() },
        { "SDK calls, AddRef or Release on a host thread", m_control.hostThreadCalls() },
        { "SDK calls that began inside another on the same thread (a request run inside another)",
          m_control.nestedCalls() },
        { "SDK objects created while another one lived (two sessions at once)",
          m_control.overlappingSessions() },
        { "reports on a thread other than the subscribing one", m_wrongThreadReports },
#ifndef _WIN32
        { "COM initialisations not undone", CompatOutstandingApartmentInits() },
#endif
    };
    for (const auto &count : counts) {
        if (count.count != 0)
            violation(std::to_string(count.count) + " " + count.what);
    }
}

int Run::execute()
{
    const Watchdog watchdog("the schedule " + toText(m_c), 3 * HandshakeMs);
    qInstallMessageHandler(&countStallWarnings);
    m_baselineThreads = threadCount();
    SimulatorControl::markHostThread();
    if (m_c.first == Action::Exit && m_c.release == Release::Before) {
        // Registered before the plug-in loads, so it runs after the plug-in's static destructors:
        // the worker goes on while the process ends.
        std::atexit([] {
            SimulatorControl &control = SimulatorControl::instance();
            control.releaseHolds();
            control.waitUntilLeft(g_exitHold.load(), HandshakeMs);
        });
    }
    start();
    trigger();
    first();
    if (m_c.first != Action::Exit) { // which returns only when it was not made
        second();
        settle();
        tearDown();
        checkWhatIsLeft();
    }
    for (const std::string &text : m_violations)
        std::printf("violation: %s\n", text.c_str());
    if (!m_violations.empty())
        return 1;
    std::printf("explorer: passed\n");
    return 0;
}

} // namespace

int runCombination(const Combination &combination)
{
    Run run(combination);
    return run.execute();
}

} // namespace explorer
