#pragma once
// zeno-remote: the keyboard from the command line. Back up its templates to a
// bank file, restore a bank file to it, show a bank file, pick the template
// it shows, list the keyboards. The commands run the editor's own memory,
// protocol and synchronisation code, so a backup is exactly what the editor
// would have received.

#include <QString>
#include <QStringList>

class QTextStream;

namespace remote {

enum Exit {
    ExitOk = 0,
    ExitNoKeyboard = 2,    // no keyboard, or not the one asked for
    ExitPortOpen = 3,      // its ports would not open
    ExitKeyboardFailed = 4, // it did not answer, or not in time
    ExitFile = 5,          // the bank file could not be read or written
    ExitUsage = 64,
    ExitInterrupted = 130, // stopped by the user (Ctrl+C)
};

struct Options {
    QString backend;        // empty: the MIDI layer's automatic choice
    QString keyboard;       // a keyboard name from "list"; empty: the only one
    int timeoutSeconds = 0; // 0: the synchronisation's own time-outs
    bool quiet = false;     // no progress lines
    bool progressInPlace = false; // progress rewrites one line (a terminal)
    bool help = false;
    QString command;
    QStringList args;
};

bool parseArguments(const QStringList& args, Options& options, QString& error);
QString usage();

// Runs one command; results go to `out`, progress and errors to `err`.
// Needs a QCoreApplication; runs its event loop while it waits.
int run(const Options& options, QTextStream& out, QTextStream& err);

// Asks a command under way to stop as soon as it can (safe to call from a
// signal handler): a transfer is cancelled, the keyboard's queue emptied and
// the ports closed; a backup then leaves no file.
void requestInterrupt();

} // namespace remote
