// Benchmarks run with a private HOME and the offscreen platform, like tests,
// so measuring never touches the real user's settings or files.
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    QTemporaryDir sandbox(QDir::tempPath() + "/zeno-bench-XXXXXX");
    if (sandbox.isValid()) {
        const QByteArray home = sandbox.path().toUtf8();
        ::setenv("HOME", home.constData(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/.config").constData(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/.local/share").constData(), 1);
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QCoreApplication app(argc, argv);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
