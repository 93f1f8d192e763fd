#include "GlintSdkController.h"

#include "GlintSdkLog.h"

#include <climits>
#include <exception>

namespace {

// Runs one request on the worker thread; what it throws (in practice std::bad_alloc) ends the
// request with a critical line instead of unwinding into Qt's event loop, which would end the host.
template<class Request>
void runRequest(const char *name, Request &&request) noexcept
{
    try {
        request();
    } catch (const std::exception &error) {
        try {
            qCCritical(glintSdkControllerLog) << name << "failed:" << error.what();
        } catch (...) { }
    } catch (...) {
        try {
            qCCritical(glintSdkControllerLog) << name << "failed";
        } catch (...) { }
    }
}

} // namespace

GlintSdkController::GlintSdkController(QObject *parent)
    : QObject(parent)
    , worker(std::make_unique<GlintSdkWorker>())
{
    worker->moveToThread(&thread);
    connect(worker.get(), &GlintSdkWorker::enumerationCompleted, this,
            &GlintSdkController::enumerationCompleted);
    // However the thread's loop ends, the connection is closed on the thread that opened it, so
    // every SDK release and the CoUninitialize happen where COM was set up. Connected now, so
    // that stopping later needs no allocation.
    GlintSdkWorker *closing = worker.get();
    connect(
        &thread, &QThread::finished, closing,
        [this, closing] {
            runRequest("GlintSdkWorker::uninitialize()", [closing] { closing->uninitialize(); });
            m_workerSystemThread.captureCurrent();
        },
        Qt::DirectConnection);
    thread.start();
}

GlintSdkController::~GlintSdkController()
{
    thread.quit();
    thread.wait(ULONG_MAX);
    m_workerSystemThread.waitForExit();
    // Requests still queued are discarded with the worker's pending events.
    worker.reset();
}

void GlintSdkController::initialize()
{
    post("GlintSdkWorker::initialize()", &GlintSdkWorker::initialize);
}

void GlintSdkController::uninitialize()
{
    post("GlintSdkWorker::uninitialize()", &GlintSdkWorker::uninitialize);
}

void GlintSdkController::post(const char *name, void (GlintSdkWorker::*request)())
{
    GlintSdkWorker *target = worker.get();
    QMetaObject::invokeMethod(
        target, [name, target, request] { runRequest(name, [&] { (target->*request)(); }); },
        Qt::QueuedConnection);
}

void GlintSdkController::setLedsColors(const char *deviceId, const LedColourFrame &colours)
{
    QMetaObject::invokeMethod(
        worker.get(),
        [this, deviceId, colours] {
            runRequest("GlintSdkWorker::setLedsColors()", [&] {
                if (qstrcmp(m_frameDeviceId.constData(), deviceId) != 0)
                    m_frameDeviceId = QByteArray(deviceId);
                worker->setLedsColors(m_frameDeviceId, colours);
            });
        },
        Qt::BlockingQueuedConnection);
}
