// zeno-remote: back up, restore and inspect a ZenoA/ZenoB keyboard's
// templates from the command line.
#include "remote/RemoteCommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
// The libraries' debug lines are for developers; users see results and
// errors only.
void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(message));
}
extern "C" void onInterrupt(int)
{
    remote::requestInterrupt();
}
} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    remote::Options options;
    QString error;
    if (!remote::parseArguments(app.arguments().mid(1), options, error)) {
        err << "zeno-remote: " << error << "\n";
        return remote::ExitUsage;
    }
    options.progress = ::isatty(STDERR_FILENO) == 1;
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    return remote::run(options, out, err);
}
