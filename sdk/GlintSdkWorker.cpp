#include "GlintSdkWorker.h"

#include "LedColourApplication.h"
#include "SdkConnectionGate.h"
#include "devices/DeviceEnumeration.h"
#include "glint/GlintSdkLog.h"
#include "glint/LogLine.h"
#include "platform/ModuleLifetime.h"

#include <QCoreApplication>
#include <QThread>

#include <cstring>
#include <exception>

namespace {

// After the n-th failed opening in a row: 1, 2, 4, 8, 16 s, then every 30 s.
int retryDelayMs(int failedAttempts)
{
    constexpr int doublings = 5;
    return failedAttempts <= doublings ? 1000 << (failedAttempts - 1) : 30000;
}

} // namespace

GlintSdkWorker::GlintSdkWorker()
    : QObject(nullptr)
    , m_requests(this)
    , m_retry(this)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        ModuleLifetime::parkIfExiting();
        m_requests.queueChange();
        runQueued();
    });
}

GlintSdkWorker::~GlintSdkWorker()
{
    m_requests.dropFrames(true);
    // The connection is closed on the thread that opened it: the worker thread's end does that
    // (shutDown()). Only a worker used on one thread alone (the discovery tests) closes here.
    if (thread() == QThread::currentThread())
        uninitialize();
}

void GlintSdkWorker::setWantedOpen(bool open)
{
    m_requests.want(open);
}

void GlintSdkWorker::post(FrameRequest *frame)
{
    m_requests.post(frame);
}

void GlintSdkWorker::closeQueue() noexcept
{
    m_requests.close();
}

void GlintSdkWorker::cancel()
{
    m_cancelled.store(true);
    SdkConnectionGate::instance().wakeWaiters();
}

void GlintSdkWorker::customEvent(QEvent *event)
{
    if (event->type() == RequestQueue::WakeEvent)
        runQueued();
}

void GlintSdkWorker::runQueued()
{
    ModuleLifetime::parkIfExiting();
    m_requests.run([this](FrameRequest *frame) { execute(frame); });
}

void GlintSdkWorker::execute(FrameRequest *frame) noexcept
{
    // What one request throws (in practice std::bad_alloc) ends it with a critical line instead
    // of unwinding into Qt's event loop, which would end the host.
    try {
        if (frame)
            runFrame(frame);
        else
            reconcile();
    } catch (const std::exception &error) {
        writeLogLine(glintSdkControllerLog(), QtCriticalMsg, [&](QDebug &line) {
            line << "A request of the worker failed:" << error.what();
        });
    } catch (...) { }
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
    const RequestQueue::Wanted wanted = m_requests.takeChange();
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
    open(m_requests.setWanted(true).opening);
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
    const RequestQueue::Wanted wanted = m_requests.wanted();
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
    if (!m_requests.wanted().open || m_cancelled.load()) {
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
    if (!m_requests.wanted().open || m_cancelled.load()) {
        m_attempts = 0;
        m_state.move(ControllerState::Closed);
        return;
    }
    m_retry.start(delay);
}

void GlintSdkWorker::uninitialize()
{
    m_requests.setWanted(false);
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
    m_requests.dropFrames(true);
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
