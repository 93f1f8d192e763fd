// The ordering explorer: runs combinations of a host action against a held SDK call, each in a
// child process of its own under a watchdog, and reports each one that breaks the host's
// threading contract as a readable schedule with the command line that replays it alone.
//   ordering_explorer                 the sample: every pair of values, and the pinned schedules
//   ordering_explorer --full          every triple of point, first action and release as well
//   ordering_explorer --list [--full] the combinations, one a line, and their count
//   ordering_explorer --run TEXT      one combination in this process (what a child runs)
// --jobs N runs N children at a time (default: twice the cores, since most of a child's time is
// spent waiting for bounds); --shard I/N runs every N-th combination from the I-th (from 0).
#include "ExplorerCoverage.h"
#include "ExplorerRun.h"
#include "StandardErrorLog.h"
#include "simulator/SimulatorCApi.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <memory>
#include <thread>

namespace {

using namespace explorer;

#if defined(_WIN32)
constexpr Platform ThisPlatform = Platform::Windows;
#else
constexpr Platform ThisPlatform = Platform::Linux;
#endif
// A child that has not ended by then hangs: its own watchdog ends it at 90 s.
constexpr int ChildBoundMs = 120000;

struct Options
{
    bool full = false;
    bool list = false;
    int jobs = 2 * QThread::idealThreadCount();
    int shard = 0;
    int shards = 1;
    QString run;
};

bool parse(const QStringList &arguments, Options *options)
{
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == QLatin1String("--full")) {
            options->full = true;
        } else if (argument == QLatin1String("--list")) {
            options->list = true;
        } else if (argument == QLatin1String("--run") && hasValue) {
            options->run = arguments[++i];
        } else if (argument == QLatin1String("--jobs") && hasValue) {
            options->jobs = std::max(1, arguments[++i].toInt());
        } else if (argument == QLatin1String("--shard") && hasValue) {
            const QStringList parts = arguments[++i].split(QLatin1Char('/'));
            options->shard = parts.value(0).toInt();
            options->shards = std::max(1, parts.value(1).toInt());
        } else {
            return false;
        }
    }
    return true;
}

bool passed(const QProcess &child, const QByteArray &output)
{
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0
        && (output.contains("explorer: passed") || output.contains("explorer: exiting"))
        && !output.contains("Sanitizer") && !output.contains("runtime error:");
}

class Runner : public QObject
{
public:
    Runner(std::vector<Combination> combinations, int jobs)
        : m_waiting(combinations.begin(), combinations.end())
        , m_jobs(jobs)
    { }

    int run()
    {
        m_clock.start();
        for (int i = 0; i < m_jobs; ++i)
            startNext();
        if (m_running > 0)
            QCoreApplication::exec();
        return m_failed;
    }
    qint64 seconds() const { return m_clock.elapsed() / 1000; }

private:
    void startNext()
    {
        if (m_waiting.empty())
            return;
        const Combination combination = m_waiting.front();
        m_waiting.pop_front();
        auto *child = new QProcess(this);
        child->setProcessChannelMode(QProcess::MergedChannels);
        auto *watchdog = new QTimer(child);
        watchdog->setSingleShot(true);
        connect(watchdog, &QTimer::timeout, child, [child] { child->kill(); });
        auto output = std::make_shared<QByteArray>();
        connect(child, &QProcess::readyRead, child,
                [child, output] { *output += child->readAll(); });
        connect(child, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
                [this, child, combination, watchdog, output] {
                    const bool hung = !watchdog->isActive();
                    watchdog->stop();
                    *output += child->readAll();
                    if (hung || !passed(*child, *output))
                        report(combination, *child, *output, hung);
                    child->deleteLater();
                    --m_running;
                    startNext();
                    if (m_running == 0)
                        QCoreApplication::quit();
                });
        ++m_running;
        child->start(QCoreApplication::applicationFilePath(),
                     { QStringLiteral("--run"), QString::fromStdString(toText(combination)) });
        watchdog->start(ChildBoundMs);
    }

    void report(const Combination &combination, const QProcess &child, const QByteArray &output,
                bool hung)
    {
        ++m_failed;
        const std::string text = toText(combination);
        QString how = hung ? QStringLiteral("hung: ended after %1 s").arg(ChildBoundMs / 1000)
            : child.exitStatus() == QProcess::CrashExit
            ? QStringLiteral("crashed")
            : QStringLiteral("exit %1").arg(child.exitCode());
        std::printf("\nFAILED %s (%s)\n%s\n  replay: %s --run \"%s\"\n%s\n", text.c_str(),
                    qPrintable(how), describe(combination).c_str(),
                    qPrintable(QCoreApplication::applicationFilePath()), text.c_str(),
                    output.right(6000).constData());
        std::fflush(stdout);
    }

    std::deque<Combination> m_waiting;
    int m_jobs;
    int m_running = 0;
    int m_failed = 0;
    QElapsedTimer m_clock;
};

} // namespace

int main(int argc, char **argv)
{
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer starts a thread of its own with the process's second thread: start it now,
    // so that the thread counts see only the plug-in's threads come and go.
    std::thread([] {}).join();
#endif
#ifdef _WIN32
    qInstallMessageHandler(&writeLogLineToStandardError);
#endif
    QCoreApplication application(argc, argv);
    Options options;
    if (!parse(application.arguments(), &options)) {
        std::fprintf(stderr,
                     "usage: ordering_explorer [--full] [--list] [--jobs N] [--shard I/N] "
                     "| --run COMBINATION\n");
        return 2;
    }
    if (!options.run.isEmpty()) {
        const std::optional<Combination> combination = fromText(options.run.toStdString());
        if (!combination) {
            std::fprintf(stderr, "not a combination: %s\n", qPrintable(options.run));
            return 2;
        }
        if (const char *why = whyNot(*combination, ThisPlatform))
            std::printf("note: the explorer leaves this combination out: %s\n", why);
        // A replay on its own registers the substitute SDK itself; a child finds it registered.
        const bool registers = qEnvironmentVariableIsEmpty("GLINT_EXPLORER_CHILD");
        if (registers && FAILED(GlintSimulatorSetRegistered(true))) {
            std::fprintf(stderr, "cannot register the substitute SDK\n");
            return 2;
        }
        const int result = runCombination(*combination);
        if (registers)
            GlintSimulatorSetRegistered(false);
        return result;
    }

    const Coverage coverage = options.full ? fullRun(ThisPlatform) : sample(ThisPlatform);
    std::vector<Combination> chosen;
    for (std::size_t i = std::size_t(options.shard); i < coverage.combinations.size();
         i += std::size_t(options.shards))
        chosen.push_back(coverage.combinations[i]);
    if (options.list) {
        for (const Combination &combination : chosen)
            std::printf("%s\n", toText(combination).c_str());
    }
    std::printf(
        "ordering explorer: %s, %zu combinations%s: of %d runnable ones, covering each of "
        "the %d pairs of values%s and %zu pinned schedules\n",
        options.full ? "full run" : "sample", chosen.size(),
        options.shards > 1
            ? qPrintable(QStringLiteral(" (shard %1 of %2)").arg(options.shard).arg(options.shards))
            : "",
        coverage.runnable, coverage.pairs,
        options.full ? qPrintable(QStringLiteral(", each of the %1 triples of point, first action "
                                                 "and release")
                                      .arg(coverage.triples))
                     : "",
        pinnedSchedules(ThisPlatform).size());
    std::fflush(stdout);
    if (options.list)
        return 0;

    if (FAILED(GlintSimulatorSetRegistered(true))) {
        std::fprintf(stderr, "cannot register the substitute SDK\n");
        return 2;
    }
    qputenv("GLINT_EXPLORER_CHILD", "1");
    Runner runner(chosen, options.jobs);
    const int failed = runner.run();
    GlintSimulatorSetRegistered(false);
    std::printf("ordering explorer: %zu combinations, %d failed, in %lld s with %d jobs\n",
                chosen.size(), failed, static_cast<long long>(runner.seconds()), options.jobs);
    return failed == 0 ? 0 : 1;
}
