// What the benchmark cases share: the substitute SDK's registration and scenario, the plug-in
// loaded as a host loads it, and an SDK worker of the statically linked core for the cases that
// need the internals. A scenario change invalidates the SDK objects of both, so both are closed
// first and reopened on demand.
#pragma once

#include "PluginLibrary.h"
#include "boundary/TalvernPlugin.h"
#include "sdk/GlintSdkWorker.h"

#include <QByteArray>
#include <QVector>

#include <memory>

class BenchEnvironment
{
public:
    static BenchEnvironment &instance();

    // Main thread. boards motherboards of lights lights each; a no-op if already in place.
    void useScenario(int boards, int lights);

    // Main thread. The loaded plug-in subscribed, in mode 2, with its enumeration done; null on
    // failure. deviceId() and ledIds() describe the one (possibly merged) device.
    const TalvernPluginInstance *plugin();
    const QByteArray &deviceId() const { return m_deviceId; }
    const QVector<int32_t> &ledIds() const { return m_ledIds; }

    // Main thread. A worker of the static core, initialized on this thread; null on failure.
    GlintSdkWorker *directWorker();
    const QByteArray &directDeviceId() const { return m_directDeviceId; }

    // Unsubscribes and unloads; main thread, before the application ends.
    void shutDown();

private:
    BenchEnvironment();
    void closePlugin();
    void closeDirectWorker();
    static void TALVERN_CDECL deviceCallback(void *context, const char *deviceId, int32_t status);

    int m_boards = -1;
    int m_lights = -1;
    std::unique_ptr<PluginLibrary> m_library;
    const TalvernPluginInstance *m_table = nullptr;
    bool m_subscribed = false;
    QByteArray m_notifiedId;
    QByteArray m_deviceId;
    QVector<int32_t> m_ledIds;
    std::unique_ptr<GlintSdkWorker> m_directWorker;
    QByteArray m_directDeviceId;
};
