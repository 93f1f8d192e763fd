#include "GlintSdkController.h"

#include <climits>

GlintSdkController::GlintSdkController(QObject *parent)
    : QObject(parent)
    , worker(std::make_unique<GlintSdkWorker>())
{
    worker->moveToThread(&thread);
    connect(worker.get(), &GlintSdkWorker::enumerationCompleted, this,
            &GlintSdkController::enumerationCompleted);
    thread.start();
}

GlintSdkController::~GlintSdkController()
{
    // Close the connection on the thread that opened it, behind every request already queued,
    // so that each SDK call and the CoUninitialize happen where COM was set up; then end the loop.
    GlintSdkWorker *closing = worker.get();
    QMetaObject::invokeMethod(
        closing,
        [closing] {
            closing->uninitialize();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    thread.wait(ULONG_MAX);
    // Frames posted after the close are discarded with the worker's pending events, which also
    // wakes their waiting callers.
    worker.reset();
}

void GlintSdkController::initialize()
{
    QMetaObject::invokeMethod(worker.get(), &GlintSdkWorker::initialize, Qt::QueuedConnection);
}

void GlintSdkController::uninitialize()
{
    QMetaObject::invokeMethod(worker.get(), &GlintSdkWorker::uninitialize, Qt::QueuedConnection);
}

void GlintSdkController::setLedsColors(const char *deviceId,
                                      const QVector<TalvernPluginLedColor> &colours)
{
    QMetaObject::invokeMethod(
        worker.get(),
        [this, deviceId, colours] {
            if (qstrcmp(frameDeviceId.constData(), deviceId) != 0)
                frameDeviceId = QByteArray(deviceId);
            worker->setLedsColors(frameDeviceId, colours);
        },
        Qt::BlockingQueuedConnection);
}
