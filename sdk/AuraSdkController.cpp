#include "AuraSdkController.h"

#include <climits>

AuraSdkController::AuraSdkController(QObject *parent)
    : QObject(parent)
    , worker(std::make_unique<AuraSdkWorker>())
{
    worker->moveToThread(&thread);
    connect(worker.get(), &AuraSdkWorker::enumerationCompleted, this,
            &AuraSdkController::enumerationCompleted);
    thread.start();
}

AuraSdkController::~AuraSdkController()
{
    // Close the connection on the thread that opened it, behind every request already queued,
    // so that each SDK call and the CoUninitialize happen where COM was set up; then end the loop.
    AuraSdkWorker *closing = worker.get();
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

void AuraSdkController::initialize()
{
    QMetaObject::invokeMethod(worker.get(), &AuraSdkWorker::initialize, Qt::QueuedConnection);
}

void AuraSdkController::uninitialize()
{
    QMetaObject::invokeMethod(worker.get(), &AuraSdkWorker::uninitialize, Qt::QueuedConnection);
}

void AuraSdkController::setLedsColors(const char *deviceId,
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
