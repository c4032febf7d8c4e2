#pragma once
// zeno-remote: the keyboard from the command line. List the keyboards, back
// up their templates to a bank file, restore a bank file to them, check and
// show a bank file, pick the template a keyboard shows. The commands run the editor's own memory,
// protocol and synchronisation code, so a backup is exactly what the editor
// would have received.

#include <QString>
#include <QStringList>

class QTextStream;

namespace remote {

enum Exit {
    ExitOk = 0,
    ExitUsage = 1,          // wrong arguments, or a bank file that cannot be read or written
    ExitFile = 1,
    ExitNoKeyboard = 2,     // no keyboard, not the one asked for, or its ports would not open
    ExitPortOpen = 2,
    ExitKeyboardFailed = 3, // time-out or link failure
    ExitInterrupted = 130,  // stopped by the user (Ctrl+C)
};

struct Options {
    QString backend;        // empty: the MIDI layer's automatic choice
    QString port;           // a base name as "ports" prints it; empty: the first keyboard found
    int timeoutSeconds = 0; // 0: the synchronisation's own time-outs
    bool quiet = false;     // no progress line even on a terminal
    bool progress = false;  // progress on the error stream (set when it is a terminal)
    bool json = false;      // show: a JSON document
    bool editBuffersOnly = false; // restore: send the edit buffers only
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
