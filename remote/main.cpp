// zeno-remote: back up, restore and inspect a ZenoA/ZenoB keyboard's
// templates from the command line.
#include "remote/RemoteCommands.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    remote::Options options;
    QString error;
    if (!remote::parseArguments(app.arguments().mid(1), options, error)) {
        err << "zeno-remote: " << error << "\n";
        return remote::ExitUsage;
    }
    return remote::run(options, out, err);
}
