#include "BenchEnvironment.h"

#include "simulator/SimulatorCApi.h"
#include "simulator/SimulatorControl.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

BenchEnvironment &BenchEnvironment::instance()
{
    static BenchEnvironment environment;
    return environment;
}

BenchEnvironment::BenchEnvironment()
{
    if (FAILED(GlintSimulatorSetRegistered(true)))
        qFatal("cannot register the substitute SDK");
    // The journal costs allocations on every SDK call; it would dominate what is measured.
    SimulatorControl::instance().setJournalEnabled(false);
}

void BenchEnvironment::useScenario(int boards, int lights)
{
    if (boards == m_boards && lights == m_lights)
        return;
    closePlugin();
    closeDirectWorker();
    Scenario scenario;
    for (int i = 0; i < boards; ++i) {
        scenario.boards.append(BoardScenario::withLights(i == 0 ? QStringLiteral("Mainboard_Master")
                                                                : QStringLiteral("Board %1").arg(i),
                                                         lights));
    }
    SimulatorControl::instance().setScenario(scenario);
    SimulatorControl::instance().setJournalEnabled(false);
    m_boards = boards;
    m_lights = lights;
}

void TALVERN_CDECL BenchEnvironment::deviceCallback(void *context, const char *deviceId,
                                                    int32_t status)
{
    auto *environment = static_cast<BenchEnvironment *>(context);
    if (status == 1 && deviceId)
        environment->m_notifiedId = QByteArray(deviceId);
}

const TalvernPluginInstance *BenchEnvironment::plugin()
{
    if (m_subscribed)
        return m_table;
    if (!m_table) {
        m_library = std::make_unique<PluginLibrary>(QStringLiteral(GLINT_PLUGIN_PATH));
        if (!m_library->openTable())
            return nullptr;
        m_table = &m_library->table();
        m_table->setPluginMode(2);
    }
    m_notifiedId.clear();
    m_table->subscribe(this, &BenchEnvironment::deviceCallback);
    m_subscribed = true;
    // The notification comes through this thread's event loop once the worker has enumerated.
    const QDeadlineTimer deadline(20000);
    while (m_notifiedId.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (m_notifiedId.isEmpty())
        return nullptr;
    m_deviceId = m_notifiedId;
    m_ledIds.clear();
    if (TalvernPluginDeviceInfo *info = m_table->getDeviceInfo(m_deviceId.constData())) {
        for (int i = 0; i < info->ledPositions->count; ++i)
            m_ledIds.append(info->ledPositions->positions[i].ledId);
        m_table->freeDeviceInfo(info);
    }
    return m_table;
}

void BenchEnvironment::closePlugin()
{
    if (!m_subscribed)
        return;
    m_table->unsubscribe();
    // A frame blocks until the worker has run everything queued before it, the close included;
    // with the connection closed it is dropped.
    const TalvernPluginLedColor colour { 0, 0, 0, 0 };
    m_table->setLedsColors(m_deviceId.constData(), 1, &colour);
    QCoreApplication::processEvents();
    m_subscribed = false;
}

GlintSdkWorker *BenchEnvironment::directWorker()
{
    if (m_directWorker)
        return m_directWorker.get();
    auto worker = std::make_unique<GlintSdkWorker>();
    worker->initialize();
    const QList<QByteArray> ids = worker->connectedDeviceIds();
    if (!worker->isInitialized() || ids.isEmpty())
        return nullptr;
    m_directDeviceId = ids.first();
    m_directWorker = std::move(worker);
    return m_directWorker.get();
}

void BenchEnvironment::closeDirectWorker()
{
    m_directWorker.reset();
}

void BenchEnvironment::shutDown()
{
    closePlugin();
    closeDirectWorker();
    m_table = nullptr;
    m_library.reset();
}
