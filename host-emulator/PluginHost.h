// The host's side of the plug-in's binary interface: loads the library, resolves its four
// exports, drives the operation table in the host's calling order and keeps what the device
// reports told it.
#pragma once

#include "HostDevice.h"
#include "PluginLibrary.h"
#include "boundary/TalvernPlugin.h"

#include <QMutex>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>

class PluginHost
{
public:
    explicit PluginHost(bool printDevices);
    ~PluginHost();

    // Loads the library and checks its version and features; on error says why.
    bool load(const QString &path, QString *error);
    // Subscribes from the calling thread, which must run the Qt event loop, and sets mode 2.
    void start();
    // Mode 1, unsubscribe, the table given back, unload. True when the plug-in left the process.
    bool stop();

    // The devices reported so far, for the render thread.
    QVector<HostDevice> devices() const;
    int deviceReports() const { return m_reports.load(); }
    // Slot 1; safe from any thread but the plug-in's own.
    void sendFrame(const QByteArray &deviceId, const QVector<TalvernPluginLedColor> &colours) const;

    PluginHost(const PluginHost &) = delete;
    PluginHost &operator=(const PluginHost &) = delete;

private:
    static void TALVERN_CDECL deviceCallback(void *context, const char *deviceId, int32_t status);
    void deviceReported(const char *deviceId, int32_t status);
    void printDescription(const TalvernPluginDeviceInfo &info) const;
    void printView(int index, const TalvernPluginDeviceView &view) const;

    bool m_printDevices;
    std::unique_ptr<PluginLibrary> m_library;
    const TalvernPluginInstance *m_table = nullptr;
    mutable QMutex m_mutex;
    QVector<HostDevice> m_devices;
    std::atomic<int> m_reports { 0 };
};
