// host-emulator: plays the Vesk host against the plug-in, with the substitute SDK in place of
// the vendor's, and checks that the plug-in leaves the SDK and COM as it found them.
#include "EmulatorOptions.h"
#include "LightingEffect.h"
#include "LiveView.h"
#include "PluginHost.h"
#include "RenderThread.h"
#include "StallWatch.h"
#ifdef GLINT_EMULATOR_GUI
#include "Snapshot.h"
#endif

#include "platform/Com.h"
#include "simulator/SimulatorCApi.h"
#include "simulator/SimulatorControl.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QTimer>

#include <cstdio>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr int ViewIntervalMs = 100;
constexpr int PlainViewEveryTicks = 10; // plain text is not redrawn in place: once a second

struct LoadedScenario
{
    Scenario scenario;
    bool registered = true; // false: the SDK is not installed on the simulated machine
    QString name;
};

// Two boards that the plug-in merges into one device, so the default run shows the merge.
LoadedScenario builtInScenario()
{
    LoadedScenario loaded;
    loaded.scenario.boards.append(BoardScenario::withLights(QStringLiteral("Mainboard_Master"), 8));
    loaded.scenario.boards.append(BoardScenario::withLights(QStringLiteral("Second Board"), 6));
    loaded.name = QStringLiteral("built-in (two boards, 8 and 6 lights)");
    return loaded;
}

bool loadScenario(const QString &path, LoadedScenario *loaded, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    const QByteArray json = file.readAll();
    if (!Scenario::fromJson(json, &loaded->scenario, error)) {
        *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    // The simulator ignores keys it does not know; this one is the emulator's.
    const QJsonValue registered =
        QJsonDocument::fromJson(json).object().value(QLatin1String("registered"));
    if (!registered.isUndefined() && !registered.isBool()) {
        *error = path + QStringLiteral(": \"registered\" must be true or false");
        return false;
    }
    loaded->registered = registered.toBool(true);
    loaded->name = path;
    return true;
}

bool standardOutputIsTerminal()
{
#ifndef _WIN32
    return isatty(STDOUT_FILENO) == 1;
#else
    return false;
#endif
}

bool writeSnapshot(const QString &path, int boards, QString *error)
{
#ifdef GLINT_EMULATOR_GUI
    return Snapshot::write(path, boards, error);
#else
    Q_UNUSED(path);
    Q_UNUSED(boards);
    *error = QStringLiteral("this build has no snapshot (its Qt has no Gui module)");
    return false;
#endif
}

int countLeds(const QVector<HostDevice> &devices)
{
    int leds = 0;
    for (const HostDevice &device : devices)
        leds += device.leds.size();
    return leds;
}

} // namespace

int main(int argc, char *argv[])
{
    const StallWatch stalls;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("host-emulator"));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);

    EmulatorOptions options;
    QString error;
    if (!EmulatorOptions::parse(QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "host-emulator: %s (see --help)\n", qPrintable(error));
        return 2;
    }
    if (!options.logRules.isEmpty())
        QLoggingCategory::setFilterRules(
            QString(options.logRules).replace(QLatin1Char(';'), QLatin1Char('\n')));

    LoadedScenario loaded = builtInScenario();
    if (!options.scenarioFile.isEmpty() && !loadScenario(options.scenarioFile, &loaded, &error)) {
        std::fprintf(stderr, "host-emulator: %s\n", qPrintable(error));
        return 2;
    }
    SimulatorControl::instance().setScenario(loaded.scenario);
    QStringList boardNames;
    for (const BoardScenario &board : loaded.scenario.boards)
        boardNames.append(board.name);
    std::printf("scenario: %s\nboards: %d\nSDK registered: %s\n", qPrintable(loaded.name),
                int(boardNames.size()), loaded.registered ? "yes" : "no");

    // Registered before the first subscription: the plug-in's worker looks the SDK up then.
    if (FAILED(GlintSimulatorSetRegistered(loaded.registered))) {
        std::fprintf(stderr, "host-emulator: cannot register the substitute SDK\n");
        return 1;
    }
    // On Windows the registration is the user's: it goes again when the emulator ends.
    struct Unregister
    {
        ~Unregister() { GlintSimulatorSetRegistered(false); }
    } unregister;

    PluginHost host(!options.quiet);
    if (!host.load(options.pluginPath, &error)) {
        std::fprintf(stderr, "host-emulator: %s\n", qPrintable(error));
        return 1;
    }
    host.start();

    RenderThread::Settings settings;
    settings.fps = options.fps;
    settings.seconds = options.seconds;
    settings.frames = options.frames;
    RenderThread render(
        host, LightingEffect(LightingEffect::kindFromName(options.effect), options.staticColour),
        settings);
    render.start();

    const bool terminal = standardOutputIsTerminal();
    LiveView view(boardNames, terminal);
    int ticks = 0;
    int reportsSeen = 0;
    QTimer timer;
    timer.setInterval(ViewIntervalMs);
    QObject::connect(&timer, &QTimer::timeout, &app, [&] {
        if (render.finished()) {
            timer.stop();
            QCoreApplication::quit();
            return;
        }
        ++ticks;
        if (options.quiet || (!terminal && ticks % PlainViewEveryTicks != 0))
            return;
        // Device listings printed since the last drawing: start the view below them.
        if (host.deviceReports() != reportsSeen) {
            reportsSeen = host.deviceReports();
            view = LiveView(boardNames, terminal);
        }
        view.draw(render.status(), stalls.currentStall());
    });
    timer.start();
    app.exec();
    render.wait();
    const RenderThread::Status status = render.status();
    if (!options.quiet)
        view.draw(status, stalls.currentStall());

    const QVector<HostDevice> devices = host.devices();
    bool snapshotWritten = true;
    if (!options.snapshotFile.isEmpty()) {
        snapshotWritten = writeSnapshot(options.snapshotFile, boardNames.size(), &error);
        if (!snapshotWritten)
            std::fprintf(stderr, "host-emulator: %s\n", qPrintable(error));
    }

    QStringList failures;
    const SimulatorControl &sdk = SimulatorControl::instance();
    const int applied = sdk.applyCount(0);
    const bool unloaded = host.stop();
    const int liveObjects = sdk.liveObjects();
    const int references = sdk.outstandingReferences();
    const int foreignCalls = sdk.foreignThreadCalls();
    // Counted by the project's COM layer; Windows has no such count.
    int apartments = 0;
#ifndef _WIN32
    apartments = CompatOutstandingApartmentInits();
#endif
    // A worker let go while the SDK hangs in a call keeps its objects and its COM apartment until
    // the call returns, which it has not when the process ends: that is the SDK's doing, not a
    // leak, as long as a call is still inside the SDK.
    const int stuckCalls = sdk.blockedCalls();
    const QString stuck = stuckCalls > 0
        ? QStringLiteral(" (left by a stuck SDK at exit: %1 call(s) still inside it)")
              .arg(stuckCalls)
        : QString();
    if (stuckCalls == 0) {
        if (liveObjects != 0)
            failures.append(QStringLiteral("%1 live SDK objects").arg(liveObjects));
        if (references != 0)
            failures.append(QStringLiteral("%1 outstanding SDK references").arg(references));
        if (apartments != 0)
            failures.append(QStringLiteral("%1 COM initializations not balanced").arg(apartments));
    }
    if (foreignCalls != 0)
        failures.append(QStringLiteral("%1 calls from a foreign thread").arg(foreignCalls));
    if (!unloaded && stuckCalls == 0)
        failures.append(QStringLiteral("the plug-in stayed in the process after its unload"));

    std::printf("\nsummary\n");
    std::printf("devices: %d\n", int(devices.size()));
    for (const HostDevice &device : devices)
        std::printf("  %s: %d LEDs (%s)\n", qPrintable(device.name), int(device.leds.size()),
                    device.id.constData());
    std::printf("leds: %d\n", countLeds(devices));
    std::printf("effect: %s\n", qPrintable(options.effect));
    std::printf("frames sent: %d\n", status.frames);
    std::printf("frame calls: %d\n", status.calls);
    std::printf("elapsed: %.2f s\n", status.elapsedSeconds);
    std::printf("achieved fps: %.1f (target %g)\n", status.achievedFps(), options.fps);
    std::printf("latency: p50 %lld us, p99 %lld us, max %lld us\n",
                static_cast<long long>(status.p50), static_cast<long long>(status.p99),
                static_cast<long long>(status.max));
    std::printf("frames shown by the first board: %d\n", applied);
    std::printf("SDK stalls: %d\n", stalls.stallsSeen());
    std::printf("SDK live objects after unload: %d%s\n", liveObjects, qPrintable(stuck));
    std::printf("SDK outstanding references after unload: %d%s\n", references, qPrintable(stuck));
    std::printf("SDK calls from a foreign thread: %d\n", foreignCalls);
#ifdef _WIN32
    std::printf("COM initializations outstanding: not counted on Windows\n");
#else
    std::printf("COM initializations outstanding: %d%s\n", apartments, qPrintable(stuck));
#endif
    if (!options.snapshotFile.isEmpty() && snapshotWritten)
        std::printf("snapshot: %s\n", qPrintable(options.snapshotFile));
    if (failures.isEmpty())
        std::printf("health checks: passed\n");
    else
        std::printf("health checks: FAILED (%s)\n",
                    qPrintable(failures.join(QStringLiteral("; "))));
    return failures.isEmpty() && snapshotWritten ? 0 : 1;
}
