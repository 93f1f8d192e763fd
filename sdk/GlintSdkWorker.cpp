#include "GlintSdkWorker.h"

#include "GlintSdkLog.h"
#include "LedColourApplication.h"
#include "SdkConnectionGate.h"
#include "devices/DeviceEnumeration.h"
#include "platform/LogLine.h"
#include "platform/ModuleLifetime.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

namespace {

constexpr QEvent::Type WakeEvent = QEvent::Type(QEvent::User + 0x0C02);

// After the n-th failed opening in a row: 1, 2, 4, 8, 16 s, then every 30 s.
int retryDelayMs(int failedAttempts)
{
    constexpr int doublings = 5;
    return failedAttempts <= doublings ? 1000 << (failedAttempts - 1) : 30000;
}

} // namespace

GlintSdkWorker::GlintSdkWorker()
    : QObject(nullptr)
    , m_retry(this)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        ModuleLifetime::parkIfExiting();
        {
            const std::lock_guard<std::mutex> lock(m_queueMutex);
            if (!m_changeQueued && !m_queueClosed) {
                m_queue.push_back({});
                m_changeQueued = true;
            }
        }
        runQueued();
    });
}

GlintSdkWorker::~GlintSdkWorker()
{
    dropFrames(true);
    // The connection is closed on the thread that opened it: the worker thread's end does that
    // (shutDown()). Only a worker used on one thread alone (the discovery tests) closes here.
    if (thread() == QThread::currentThread())
        uninitialize();
}

void GlintSdkWorker::setWantedOpen(bool open)
{
    std::unique_ptr<QEvent> wake;
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        const Target previous = m_target;
        if (open && !m_target.open)
            ++m_target.opening;
        m_target.open = open;
        try {
            // A change already queued acts on the new target too; it still needs a wake if the
            // one it had could not be posted.
            if (m_changeQueued)
                wake = wakeLocked();
            else
                m_changeQueued = queueLocked({}, wake);
        } catch (...) {
            m_target = previous;
            throw;
        }
    }
    postWake(std::move(wake));
}

void GlintSdkWorker::post(FrameRequest *frame)
{
    frame->addRef();
    bool queued = false;
    std::unique_ptr<QEvent> wake;
    try {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        queued = queueLocked({ frame }, wake);
    } catch (...) {
        frame->release();
        throw;
    }
    if (!queued) {
        frame->drop();
        frame->release();
    }
    postWake(std::move(wake));
}

bool GlintSdkWorker::queueLocked(Request request, std::unique_ptr<QEvent> &wake)
{
    if (m_queueClosed)
        return false;
    m_queue.push_back(request);
    try {
        wake = wakeLocked();
    } catch (...) {
        m_queue.pop_back();
        throw;
    }
    return true;
}

std::unique_ptr<QEvent> GlintSdkWorker::wakeLocked()
{
    if (m_wakePosted || m_queueClosed || m_queueHead == m_queue.size())
        return nullptr;
    auto wake = std::make_unique<QEvent>(WakeEvent);
    m_wakePosted = true;
    m_wakesInFlight.fetch_add(1);
    return wake;
}

void GlintSdkWorker::postWake(std::unique_ptr<QEvent> wake) noexcept
{
    if (!wake)
        return;
    // Posted outside the queue's mutex: a worker woken at once (one core) must not find the mutex
    // still held by the thread that woke it.
    try {
        QCoreApplication::postEvent(this, wake.release()); // Qt deletes it if it cannot post
    } catch (...) {
        // Out of memory: what is queued waits for the next request's wake (a frame waiting
        // meanwhile is withdrawn at its bound).
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        m_wakePosted = false;
    }
    // The last touch of this object: once the count is back at zero a stopping controller may end
    // the thread and delete the worker.
    m_wakesInFlight.fetch_sub(1);
}

void GlintSdkWorker::closeQueue() noexcept
{
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        m_queueClosed = true;
    }
    // The thread's end deletes its event dispatcher, which a post still in flight would wake: the
    // stop waits for those first. A post takes only Qt's own short locks, so this ends within
    // moments; after a few turns the wait sleeps, since a yield gives way on Windows only to a
    // thread ready on the same processor, never to one of lower priority elsewhere.
    for (int turn = 0; m_wakesInFlight.load() != 0; ++turn) {
        if (turn < 64)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    dropFrames(false);
}

void GlintSdkWorker::cancel()
{
    m_cancelled.store(true);
    SdkConnectionGate::instance().wakeWaiters();
}

GlintSdkWorker::Target GlintSdkWorker::target()
{
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    return m_target;
}

void GlintSdkWorker::customEvent(QEvent *event)
{
    if (event->type() == WakeEvent)
        runQueued();
}

void GlintSdkWorker::runQueued()
{
    ModuleLifetime::parkIfExiting();
    if (m_running)
        return; // inside a request: the outer call runs these once it has returned
    m_running = true;
    for (;;) {
        Request request;
        {
            const std::lock_guard<std::mutex> lock(m_queueMutex);
            if (m_queueHead == m_queue.size()) {
                m_queue.clear();
                m_queueHead = 0;
                m_wakePosted = false;
                break;
            }
            request = m_queue[m_queueHead++];
        }
        execute(request);
    }
    m_running = false;
}

void GlintSdkWorker::dropFrames(bool all) noexcept
{
    // In place, without an allocation: also reached where memory ran out. A frame's own lock is
    // never held while this one is taken, so dropping under it cannot deadlock.
    const std::lock_guard<std::mutex> lock(m_queueMutex);
    std::size_t kept = m_queueHead;
    for (std::size_t i = m_queueHead; i < m_queue.size(); ++i) {
        const Request request = m_queue[i];
        if (request.frame) {
            request.frame->drop();
            request.frame->release();
        } else if (!all) {
            m_queue[kept++] = request;
        }
    }
    m_queue.resize(kept);
    if (all)
        m_changeQueued = false;
}

void GlintSdkWorker::execute(const Request &request) noexcept
{
    // What one request throws (in practice std::bad_alloc) ends it with a critical line instead
    // of unwinding into Qt's event loop, which would end the host.
    try {
        if (request.frame)
            runFrame(request.frame);
        else
            reconcile();
    } catch (const std::exception &error) {
        writeLogLine(glintSdkControllerLog(), QtCriticalMsg, [&](QDebug &line) {
            line << "A request of the worker failed:" << error.what();
        });
    } catch (...) { }
    if (request.frame) {
        request.frame->finish(); // a frame that threw is over too; a finished one stays as it is
        request.frame->release();
    }
    ModuleLifetime::parkIfExiting();
}

void GlintSdkWorker::runFrame(FrameRequest *frame)
{
    if (!frame->start())
        return; // its host stopped waiting before it began
    takeDisconnectionNote();
    // Hosts send frame after frame to the same device: the id is copied only when it changes, so
    // a frame costs no allocation here.
    if (m_frameDeviceId.size() != frame->deviceIdLength()
        || std::memcmp(m_frameDeviceId.constData(), frame->deviceId(),
                       std::size_t(frame->deviceIdLength()))
            != 0)
        m_frameDeviceId = QByteArray(frame->deviceId(), frame->deviceIdLength());
    {
        const StallMonitor::Request running(m_stalls, "a colour frame");
        setLedsColors(m_frameDeviceId, frame->colours());
    }
    frame->finish();
    if (takeDisconnectionNote()) {
        const StallMonitor::Request running(m_stalls, "closing a dropped connection");
        connectionLost();
    }
}

void GlintSdkWorker::reconcile()
{
    const StallMonitor::Request running(m_stalls, "a connection change");
    if (m_cancelled.load())
        return; // stopping: the end of the thread closes what is open
    Target wanted;
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        m_changeQueued = false; // a change from now on queues a request of its own
        wanted = m_target;
    }
    if (!wanted.open) {
        m_retry.stop();
        m_attempts = 0;
        if (isInitialized())
            close(ControllerState::Closed);
        else if (m_state.state() == ControllerState::Retrying)
            m_state.move(ControllerState::Closed);
    } else if (!isInitialized() || m_openedFor != wanted.opening) {
        if (isInitialized())
            close(ControllerState::Closed);
        open(wanted.opening);
    }
}

void GlintSdkWorker::initialize()
{
    if (isInitialized())
        return;
    std::uint64_t opening = 0;
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        if (!m_target.open)
            ++m_target.opening;
        m_target.open = true;
        opening = m_target.opening;
    }
    open(opening);
}

void GlintSdkWorker::open(std::uint64_t opening)
{
    m_retry.stop();
    ModuleLifetime::parkIfExiting();
    if (m_cancelled.load())
        return; // a worker that is stopping (or was let go) never opens again
    m_state.move(ControllerState::Opening);
    m_stalls.waitingIn("the end of an earlier worker's connection");
    if (!SdkConnectionGate::instance().acquire(m_cancelled)) {
        m_state.move(ControllerState::Closed);
        return;
    }
    takeDisconnectionNote();
    m_stalls.waitingIn("CoInitializeEx()");
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(hr)) {
        SdkConnectionGate::instance().release();
        openingFailed("Failed call to ::CoInitializeEx() with HRESULT:", hr);
        return;
    }
    ComPtr<IGlintSdk2> created;
    m_stalls.waitingIn("CoCreateInstance()");
    hr = CoCreateInstance(CLSID_GlintSdk, nullptr, CLSCTX_INPROC_SERVER, IID_IGlintSdk2,
                          created.receiveVoid());
    ModuleLifetime::parkIfExiting();
    if (m_cancelled.load()) {
        // Stopped while the SDK was slow: what it made goes, on this thread, and nothing starts.
        created.reset();
        CoUninitialize();
        SdkConnectionGate::instance().release();
        m_state.move(ControllerState::Closed);
        return;
    }
    if (FAILED(hr) || !created) {
        created.reset();
        CoUninitialize();
        SdkConnectionGate::instance().release();
        openingFailed("Failed call to create instance of GlintSdk with HRESULT:", hr);
        return;
    }
    m_stalls.waitingIn("IGlintSdk2::StartControl()");
    created->StartControl(); // its result tells nothing the plug-in acts on
    ModuleLifetime::parkIfExiting();
    sdk = created;
    initialized.exchange(true);
    m_openedFor = opening;
    m_state.move(ControllerState::Open);
    // A change that came while the SDK was slow has posted a request of its own, which acts on
    // it: an opening nobody wants any more is not enumerated or reported. A worker that was
    // stopped meanwhile closes at the end of its thread. The SDK answered all the same: the
    // failures in a row are over.
    const Target wanted = target();
    if (!wanted.open || wanted.opening != opening || m_cancelled.load()) {
        m_attempts = 0;
        return;
    }
    m_stalls.waitingIn("the enumeration");
    enumerate(GlintMotherboardType);
    ModuleLifetime::parkIfExiting();
    if (takeDisconnectionNote()) {
        connectionLost();
        return;
    }
    // Open and answering: the failures in a row are over.
    if (m_attempts > 0) {
        writeLogLine(glintSdkControllerLog(), QtInfoMsg, [&](QDebug &line) {
            line.nospace() << "Opened the SDK connection at attempt " << m_attempts + 1;
        });
        m_attempts = 0;
    }
    Q_EMIT enumerationCompleted();
}

void GlintSdkWorker::openingFailed(const char *text, HRESULT hr)
{
    ++m_attempts;
    if (m_attempts == 1)
        logFailedCall(text, hr, nullptr);
    else
        writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
            line.nospace() << "Attempt " << m_attempts
                           << " to open the SDK connection failed with code " << hresultText(hr);
        });
    takeDisconnectionNote();
    if (!target().open || m_cancelled.load()) {
        m_attempts = 0;
        m_state.move(ControllerState::Closed);
        return;
    }
    m_state.move(ControllerState::Retrying);
    m_retry.start(retryDelayMs(m_attempts));
}

void GlintSdkWorker::connectionLost()
{
    // The first loss after a healthy connection: one warning, and a new opening at once. A loss
    // right after a reopening (the service is still coming back) is a failed opening like any
    // other, tried again on the schedule.
    if (m_attempts == 0)
        writeLogLine(glintSdkControllerLog(), QtWarningMsg, [](QDebug &line) {
            line << "The SDK's service dropped the connection; closing it and opening it again";
        });
    else
        writeLogLine(glintSdkControllerLog(), QtDebugMsg, [&](QDebug &line) {
            line.nospace() << "Attempt " << m_attempts + 1
                           << " to open the SDK connection failed: its service dropped it again";
        });
    const int delay = m_attempts == 0 ? 0 : retryDelayMs(m_attempts);
    ++m_attempts;
    close(ControllerState::Retrying);
    if (!target().open || m_cancelled.load()) {
        m_attempts = 0;
        m_state.move(ControllerState::Closed);
        return;
    }
    m_retry.start(delay);
}

void GlintSdkWorker::uninitialize()
{
    {
        const std::lock_guard<std::mutex> lock(m_queueMutex);
        m_target.open = false;
    }
    m_retry.stop();
    m_attempts = 0;
    close(ControllerState::Closed);
    if (m_state.state() == ControllerState::Retrying)
        m_state.move(ControllerState::Closed);
}

void GlintSdkWorker::close(ControllerState after) noexcept
{
    if (!isInitialized())
        return;
    m_state.move(ControllerState::Closing);
    m_store.clear();
    m_stalls.waitingIn("IGlintSdk2::StopControl()");
    sdk->StopControl(0); // its result tells nothing the plug-in acts on
    ModuleLifetime::parkIfExiting();
    sdk.reset();
    CoUninitialize();
    initialized.exchange(false);
    SdkConnectionGate::instance().release();
    m_state.move(after);
}

void GlintSdkWorker::shutDown()
{
    ModuleLifetime::parkIfExiting();
    m_retry.stop();
    // Frames still queued go now: their hosts return at once.
    dropFrames(true);
    close(ControllerState::Closed);
    if (m_state.state() == ControllerState::Retrying)
        m_state.move(ControllerState::Closed);
}

void GlintSdkWorker::setLedsColors(const QByteArray &deviceId, const LedColourFrame &colours)
{
    if (!isInitialized())
        return;
    applyLedColours(m_store, deviceId, colours, &m_stalls);
}

void GlintSdkWorker::enumerate(std::int32_t type)
{
    enumerateDevices(sdk.get(), type, m_store);
}
