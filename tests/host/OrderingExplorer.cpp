// The ordering explorer: runs combinations of a host action against a held SDK call, each in a
// child process of its own under a watchdog, and reports each one that breaks the host's
// threading contract as a readable schedule with the command line that replays it alone.
//   ordering_explorer [--full] [--list] [--jobs N]
//     the sample (every pair of values, the pinned schedules), or with --full every triple of
//     point, first action and release as well; --list only lists them; --jobs runs N children at
//     a time (default: twice the cores, since a child mostly waits for bounds)
//   ordering_explorer --run COMBINATION   one combination in this process, as a child runs it
#include "ExplorerCoverage.h"
#include "ExplorerRun.h"
#include "ProcessThreads.h"
#include "StandardErrorLog.h"
#include "simulator/SimulatorCApi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace explorer;

#if defined(_WIN32)
constexpr Platform ThisPlatform = Platform::Windows;
#else
constexpr Platform ThisPlatform = Platform::Linux;
#endif
// A child that has not ended by then hangs (its own watchdog ends it at 90 s); nor has one that
// is still in the process's exit this long after it began it.
constexpr int ChildBoundMs = 120000;
constexpr int ExitBoundMs = 30000;

int runAlone(const QString &text)
{
    const std::optional<Combination> combination = fromText(text.toStdString());
    if (!combination) {
        std::fprintf(stderr, "not a combination: %s\n", qPrintable(text));
        return 2;
    }
    if (const char *why = whyNot(*combination, ThisPlatform))
        std::printf("note: the explorer leaves this combination out: %s\n", why);
    // A replay on its own registers the substitute SDK itself; a child finds it registered.
    const bool registers = qEnvironmentVariableIsEmpty("GLINT_EXPLORER_CHILD");
    if (registers && FAILED(GlintSimulatorSetRegistered(true)))
        return 2;
    const int result = runCombination(*combination);
    if (registers)
        GlintSimulatorSetRegistered(false);
    return result;
}

struct ChildRun
{
    bool ended = false;
    bool inExit = false; // it had begun the process's exit
    QProcess::ExitStatus status = QProcess::NormalExit;
    int code = 0;
    QByteArray log;

    bool passed() const
    {
        return ended && status == QProcess::NormalExit && code == 0
            && (log.contains("explorer: passed") || inExit) && !log.contains("Sanitizer")
            && !log.contains("runtime error:");
    }
};

ChildRun runChild(const std::string &text)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--run"), QString::fromStdString(text) });
    ChildRun run;
    QElapsedTimer clock;
    clock.start();
    qint64 exitBegun = 0;
    while (!(run.ended = child.waitForFinished(250)) && child.state() != QProcess::NotRunning) {
        run.log += child.readAll();
        if (!run.inExit && (run.inExit = run.log.contains("explorer: exiting")))
            exitBegun = clock.elapsed();
        if (clock.elapsed() >= ChildBoundMs
            || (run.inExit && clock.elapsed() - exitBegun >= ExitBoundMs))
            break;
    }
    run.ended = run.ended || child.state() == QProcess::NotRunning;
    if (!run.ended)
        child.kill();
    child.waitForFinished(-1);
    run.log += child.readAll();
    run.inExit = run.log.contains("explorer: exiting");
    run.status = child.exitStatus();
    run.code = child.exitCode();
    return run;
}

// Wine ends a process's other threads with a signal, wherever they are: one ended inside its
// window manager's lock leaves that lock held, and Qt's own exit then waits for it for ever in
// UnregisterClass. Windows ends threads only outside its kernel, so this hang is wine's alone: a
// child that hangs in its exit there gets one more run, and fails only if it hangs again. A hang
// of the plug-in's own in the exit is an ordering, and repeats.
bool mayHangInWinesExit(const ChildRun &run)
{
    return ThisPlatform == Platform::Windows && !run.ended && run.inExit;
}

// Runs each combination in a child, `jobs` at a time; prints every failure. Returns how many.
int runChildren(const std::vector<Combination> &combinations, int jobs)
{
    std::atomic<std::size_t> next { 0 };
    std::atomic<int> failed { 0 };
    std::mutex output;
    const auto work = [&] {
        for (std::size_t i; (i = next++) < combinations.size();) {
            const std::string text = toText(combinations[i]);
            ChildRun run = runChild(text);
            if (mayHangInWinesExit(run)) {
                {
                    const std::lock_guard<std::mutex> lock(output);
                    std::printf("note: %s hung in the process's exit; running it again\n",
                                text.c_str());
                    std::fflush(stdout);
                }
                run = runChild(text);
            }
            if (run.passed())
                continue;
            ++failed;
            const QString how = !run.ended
                ? (run.inExit ? QStringLiteral("hung in the process's exit, ended after %1 s")
                                    .arg(ExitBoundMs / 1000)
                              : QStringLiteral("hung, ended after %1 s").arg(ChildBoundMs / 1000))
                : run.status == QProcess::CrashExit ? QStringLiteral("crashed")
                                                    : QStringLiteral("exit %1").arg(run.code);
            const std::lock_guard<std::mutex> lock(output);
            std::printf("\nFAILED %s (%s)\n%s\n  replay: %s --run \"%s\"\n%s\n", text.c_str(),
                        qPrintable(how), describe(combinations[i]).c_str(),
                        qPrintable(QCoreApplication::applicationFilePath()), text.c_str(),
                        run.log.right(6000).constData());
            std::fflush(stdout);
        }
    };
    std::vector<std::thread> workers;
    for (int j = 0; j < jobs; ++j)
        workers.emplace_back(work);
    for (std::thread &worker : workers)
        worker.join();
    return failed.load();
}

} // namespace

int main(int argc, char **argv)
{
    startSanitizerThread();
#ifdef _WIN32
    qInstallMessageHandler(&writeLogLineToStandardError);
#endif
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.value(1) == QLatin1String("--run"))
        return runAlone(arguments.value(2));
    bool full = false;
    bool list = false;
    int jobs = 2 * QThread::idealThreadCount();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--full")) {
            full = true;
        } else if (argument == QLatin1String("--list")) {
            list = true;
        } else if (argument == QLatin1String("--jobs") && i + 1 < arguments.size()) {
            jobs = std::max(1, arguments[++i].toInt());
        } else {
            std::fprintf(stderr,
                         "usage: ordering_explorer [--full] [--list] [--jobs N] | --run "
                         "COMBINATION\n");
            return 2;
        }
    }

    const Coverage coverage = full ? fullRun(ThisPlatform) : sample(ThisPlatform);
    const std::vector<Combination> &chosen = coverage.combinations;
    for (const Combination &combination : chosen) {
        if (list)
            std::printf("%s\n", toText(combination).c_str());
    }
    std::printf("ordering explorer: %s, %zu combinations of %d runnable ones: each of the %d "
                "pairs of values, %d triples of point, first action and release, and %zu pinned "
                "schedules\n",
                full ? "full run" : "sample", chosen.size(), coverage.runnable, coverage.pairs,
                coverage.triples, pinnedSchedules(ThisPlatform).size());
    std::fflush(stdout);
    if (list)
        return 0;
    if (FAILED(GlintSimulatorSetRegistered(true)))
        return 2;
    qputenv("GLINT_EXPLORER_CHILD", "1");
    QElapsedTimer clock;
    clock.start();
    const int failed = runChildren(chosen, jobs);
    GlintSimulatorSetRegistered(false);
    std::printf("ordering explorer: %zu combinations, %d failed, in %lld s with %d jobs\n",
                chosen.size(), failed, static_cast<long long>(clock.elapsed() / 1000), jobs);
    return failed == 0 ? 0 : 1;
}
