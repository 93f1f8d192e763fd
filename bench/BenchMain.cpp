// The benchmark program: a QCoreApplication on the main thread (the plug-in's notification needs
// its event loop), then Google Benchmark's usual command line.
#include "BenchEnvironment.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    // Debug lines on every enumeration would be measured with it.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    BenchEnvironment::instance();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BenchEnvironment::instance().shutDown();
    return 0;
}
