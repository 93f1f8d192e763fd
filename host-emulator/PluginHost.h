// The host's side of the plug-in's binary interface: loads the library, resolves its four
// exports, drives the operation table in the host's calling order and keeps what the device
// reports told it.
#pragma once

#include "HostDevice.h"
#include "boundary/TalvernPlugin.h"

#include <QLibrary>
#include <QMutex>
#include <QString>
#include <QVector>

#include <atomic>

class PluginHost
{
    using FreeInstanceFn = void(TALVERN_CDECL *)(TalvernPluginInstance *);

public:
    explicit PluginHost(bool printDevices);
    ~PluginHost();

    // Loads the library and checks its version and features; on error says why.
    bool load(const QString &path, QString *error);
    // Subscribes from the calling thread, which must run the Qt event loop, and sets mode 2.
    void start();
    // Mode 1, unsubscribe, free the table, unload. Returns false if the library would not unload.
    bool stop(QString *error);

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
    QLibrary m_library;
    FreeInstanceFn m_freeInstance = nullptr;
    TalvernPluginInstance *m_table = nullptr;
    mutable QMutex m_mutex;
    QVector<HostDevice> m_devices;
    std::atomic<int> m_reports { 0 };
};
