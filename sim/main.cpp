// zeno-keyboard-sim: a ZenoA/ZenoB keyboard on MIDI, for trying the editor
// and the companion without the hardware.
#include "sim/SimProgram.h"

#include <QCoreApplication>

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {
std::atomic<bool> g_stop{false};
extern "C" void onSignal(int)
{
    g_stop = true;
}
// The libraries' debug lines are for developers, not for the log.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv); // the bank file code uses Qt
    std::vector<std::string> args(argv + 1, argv + argc);
    sim::SimProgramOptions options;
    std::string error;
    if (!sim::parseSimArguments(args, options, error)) {
        std::fprintf(stderr, "zeno-keyboard-sim: %s\n", error.c_str());
        return 64;
    }
    if (options.help) {
        std::fputs(sim::simUsage().c_str(), stdout);
        return 0;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    return sim::runSimulator(options, g_stop);
}
