#include "UnloadCase.h"
#include "StandardErrorLog.h"

#include "BuiltPlugin.h"
#include "Watchdog.h"
#include "simulator/SimulatorCApi.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HANDLE g_riskyStep = nullptr; // the parent's event, inherited by the child

std::wstring programPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

int runChild(int argc, char **argv, const char *name, CaseBody body)
{
    g_riskyStep = reinterpret_cast<HANDLE>(std::strtoull(argv[2], nullptr, 10));
    qInstallMessageHandler(&writeLogLineToStandardError);
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    QCoreApplication application(argc, argv);
    if (FAILED(GlintSimulatorSetRegistered(true))) {
        std::fprintf(stderr, "%s: cannot register the substitute SDK\n", name);
        return 1;
    }
    struct Unregister
    {
        ~Unregister() { GlintSimulatorSetRegistered(false); }
    } unregister;
    std::printf("%s\n", name);
    return body();
}

int runParent(const char *name)
{
    const std::wstring program = programPath();
    SECURITY_ATTRIBUTES inheritable { sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE };
    const WindowsHandle riskyStep(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    std::wstring commandLine = L"\"" + program + L"\" --child "
        + std::to_wstring(reinterpret_cast<unsigned long long>(riskyStep.get()));

    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    for (HANDLE standard : { startup.hStdInput, startup.hStdOutput, startup.hStdError })
        SetHandleInformation(standard, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    PROCESS_INFORMATION started {};
    if (!riskyStep.isValid()
        || !CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                           nullptr, &startup, &started)) {
        std::fprintf(stderr, "%s: cannot start the case's process (error %lu)\n", name,
                     static_cast<unsigned long>(GetLastError()));
        return 1;
    }
    const WindowsHandle child(started.hProcess);
    const WindowsHandle childThread(started.hThread);

    QElapsedTimer clock;
    clock.start();
    const HANDLE either[] = { child.get(), riskyStep.get() };
    DWORD waited = WaitForMultipleObjects(2, either, FALSE, CaseBoundMs);
    const bool announced = waited == WAIT_OBJECT_0 + 1;
    const qint64 riskyAt = clock.elapsed();
    if (announced)
        waited = WaitForSingleObject(child.get(), ExitBoundMs);
    if (waited == WAIT_TIMEOUT) {
        std::fprintf(stderr,
                     announced ? "FAILED: %s: the process did not end within %d ms of its risky "
                                 "step (a hang at unload or exit); terminating it\n"
                               : "FAILED: %s: the case did not end within %d ms (a hang); "
                                 "terminating it\n",
                     name, announced ? ExitBoundMs : CaseBoundMs);
        TerminateProcess(child.get(), 3);
        WaitForSingleObject(child.get(), INFINITE);
        return 1;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(child.get(), &exitCode);
    if (announced)
        std::printf("%s: the process ended %lld ms after its risky step began\n", name,
                    static_cast<long long>(clock.elapsed() - riskyAt));
    std::printf("%s: exit code 0x%lX\n", name, static_cast<unsigned long>(exitCode));
    if (exitCode != 0) {
        std::fprintf(stderr, "FAILED: %s: the case's process exited with 0x%lX\n", name,
                     static_cast<unsigned long>(exitCode));
        return 1;
    }
    return 0;
}

} // namespace

int runUnloadCase(int argc, char **argv, const char *name, CaseBody body)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return runChild(argc, argv, name, body);
    return runParent(name);
}

void announceRiskyStep()
{
    SetEvent(g_riskyStep);
}

bool CaseChecks::check(bool passed, const char *what)
{
    std::printf("%s: %s\n", passed ? "ok" : "FAILED", what);
    m_failures += passed ? 0 : 1;
    return passed;
}

void stopDeviceAccess(PluginLibrary &plugin)
{
    plugin.table().setPluginMode(1);
    plugin.table().unsubscribe();
    plugin.freeLoadTable();
}

bool unloadPlugin(PluginLibrary &plugin, int waitMs)
{
    {
        const Watchdog watchdog("the unload of the plug-in", StopBoundMs);
        QElapsedTimer clock;
        clock.start();
        plugin.unload(0);
        std::printf("the unload returned after %lld ms\n", static_cast<long long>(clock.elapsed()));
    }
    return runEventsUntil([] { return !PluginLibrary::isInProcess(builtPluginPath()); }, waitMs);
}

std::unique_ptr<PluginLibrary> startCase(CaseChecks &checks, const QVector<BoardScenario> &boards,
                                         HostCallbackRecorder &recorder)
{
    useScenario(boards);
    std::unique_ptr<PluginLibrary> plugin = loadBuiltPlugin();
    if (!checks.check(plugin->isLoaded(), "the plug-in loads and gives a table"))
        return nullptr;
    plugin->table().subscribe(&recorder, &HostCallbackRecorder::callback);
    plugin->table().setPluginMode(2);
    if (!checks.check(runEventsUntil([&] { return recorder.count() >= 1; }),
                      "the motherboard is reported"))
        return nullptr;
    return plugin;
}
