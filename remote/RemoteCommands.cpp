#include "remote/RemoteCommands.h"

#include "editor/file/EditorFile.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"
#include "editor/midi/KeyboardPortSets.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/protocol/ComuRouteProvider.h"
#include "editor/protocol/MessageEncoder.h"
#include "editor/protocol/sync/KeyboardSync.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <QTimer>

#include <atomic>
#include <memory>

namespace remote {

namespace {

std::atomic<bool> g_interrupt{false};
constexpr int kInterruptPollMs = 100;

constexpr int kStoredBank = 1; // editor backup: the keyboard's stored templates
constexpr int kEditBank = 0;   // current bank: its edit buffers
constexpr int kTemplates = 50;
constexpr int kKnobs = 12;

const char* const kKnobNames[kKnobs] = {"A1", "B1", "C1", "D1", "A2", "B2", "C2", "D2", "A3", "B3", "C3", "D3"};

struct Command {
    const char* name;
    const char* arguments;
    int minArgs;
    int maxArgs;
    const char* help;
};

const Command kCommands[] = {
    {"ports", "", 0, 0, "list the keyboards found: number, base name, port numbers"},
    {"backup", "FILE.X5R", 1, 1,
     "receive the keyboard's stored templates, edit buffers and current template\n"
     "and save them as a bank file; nothing is written unless all arrived"},
    {"restore", "FILE.X5R", 1, 1,
     "open a bank file as the editor does and send it to the keyboard (receiving\n"
     "from it first), then have the keyboard store it to its flash memory"},
    {"check", "FILE.X5R", 1, 1, "read a bank file as the editor does: prints \"ok\" or the reason it cannot"},
    {"show", "FILE.X5R [N]", 1, 2,
     "print a bank file's templates, or the knobs of template N;\n"
     "with --json: currentTemplate, templates and editBuffers as JSON"},
    {"select", "N", 1, 1, "make the keyboard show template N (1..50)"},
};

// Ends a wait early when the user interrupts.
void quitOnInterrupt(QEventLoop& loop, QTimer& watch)
{
    QObject::connect(&watch, &QTimer::timeout, &loop, [&loop] {
        if (g_interrupt.load()) loop.quit();
    });
    watch.start(kInterruptPollMs);
}

const Command* findCommand(const QString& name)
{
    for (const auto& c : kCommands) {
        if (name == QLatin1String(c.name)) return &c;
    }
    return nullptr;
}

bool readTemplateNumber(const QString& text, int& index, QString& error)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 1 || n > kTemplates) {
        error = QStringLiteral("the template number must be 1..50, not \"%1\"").arg(text);
        return false;
    }
    index = n - 1;
    return true;
}

// The memory, the route and the chosen keyboard for one command.
class Session {
public:
    Session(const Options& options, QTextStream& err) : m_options(options), m_err(err) {}
    ~Session()
    {
        m_sync.reset();
        if (m_api) m_api->deleteMIDIComunicationRoute();
    }

    // Before the memory API exists: its route manager binds to the service
    // chosen at that moment.
    bool chooseBackend()
    {
        if (m_backendChosen) return true;
        m_backendChosen = true;
        if (m_options.backend.isEmpty()) {
            ZenoMIDI::selectAutomaticBackend();
        } else {
            ZenoMIDI::Backend backend;
            if (!ZenoMIDI::backendFromName(m_options.backend, &backend) || !ZenoMIDI::selectBackend(backend)) {
                QStringList built;
                for (auto b : ZenoMIDI::compiledBackends()) built << ZenoMIDI::backendName(b);
                m_err << "zeno-remote: the MIDI backend \"" << m_options.backend << "\" is not available (this build has: "
                      << built.join(QStringLiteral(", ")) << ")\n";
                return false;
            }
        }
        return true;
    }

    RemoteMemAPI& api()
    {
        if (!m_api) {
            m_api = std::make_unique<RemoteMemAPI>();
            m_api->setRouteProvider(std::make_unique<ComuRouteProvider>());
        }
        return *m_api;
    }

    KeyboardPortSets keyboards() { return findKeyboardPortSets(api().getInputPortList(), api().getOutputPortList()); }

    // Finds the keyboard and opens its route; prints why not.
    int connect()
    {
        if (!chooseBackend()) return ExitNoKeyboard;
        const KeyboardPortSets sets = keyboards();
        if (sets.ports.isEmpty()) {
            m_err << "zeno-remote: no keyboard found on the MIDI service \""
                  << ZenoMIDI::backendName(ZenoMIDI::activeBackend())
                  << "\". Is it connected and switched on (or the simulator running)?\n";
            return ExitNoKeyboard;
        }
        // The first keyboard found unless the user names one; a name is
        // the base name "ports" prints.
        int chosen = m_options.port.isEmpty() ? 0 : -1;
        for (int i = 0; i < sets.ports.size() && chosen < 0; ++i) {
            if (sets.ports[i].name == m_options.port) chosen = i;
        }
        if (chosen < 0) {
            m_err << "zeno-remote: no keyboard called \"" << m_options.port << "\"; found: ";
            QStringList names;
            for (const auto& p : sets.ports) names << QLatin1Char('"') + p.name + QLatin1Char('"');
            m_err << names.join(QStringLiteral(", ")) << "\n";
            return ExitNoKeyboard;
        }
        m_port = sets.ports[chosen];
        if (!api().createMIDIComunicationRoute(m_port.watchInput, m_port.dataInput, m_port.output)) {
            m_err << "zeno-remote: the MIDI ports of \"" << m_port.name << "\" could not be opened\n";
            return ExitPortOpen;
        }
        return ExitOk;
    }

    // One synchronisation run, with progress lines; true on success.
    bool synchronise(bool sendEditorData, bool editBuffersOnly)
    {
        m_sync = std::make_unique<KeyboardSync>(&api());
        if (m_options.timeoutSeconds > 0) {
            m_sync->setTimeouts(m_options.timeoutSeconds * 1000, m_options.timeoutSeconds * 1000);
        }
        QEventLoop loop;
        bool succeeded = false;
        bool ended = false;
        int lastShown = -1;
        QObject::connect(m_sync.get(), &KeyboardSync::finished, &loop, [&](bool ok) {
            succeeded = ok;
            ended = true;
            loop.quit();
        });
        bool lineOpen = false;
        QObject::connect(m_sync.get(), &KeyboardSync::progress, &loop, [&](int done, int total) {
            // Progress is for a person watching: one line counting up on a
            // terminal, nothing in a log or a pipe.
            if (!m_options.progress || m_options.quiet || total <= 0 || done == lastShown) return;
            lastShown = done;
            const bool receiving = m_sync->phase() == KeyboardSync::Phase::Receiving;
            m_err << "\r" << (receiving ? "receiving from " : "sending to ") << m_port.name << ": " << done << "/"
                  << total << " templates";
            lineOpen = done < total;
            if (!lineOpen) m_err << "\n";
            m_err.flush();
        });
        QObject::connect(m_sync.get(), &KeyboardSync::phaseChanged, &loop, [&](KeyboardSync::Phase) { lastShown = -1; });
        QTimer interruptWatch;
        QObject::connect(&interruptWatch, &QTimer::timeout, &loop, [&] {
            if (g_interrupt.load()) m_sync->cancel();
        });
        interruptWatch.start(kInterruptPollMs);
        m_sync->start(sendEditorData, editBuffersOnly);
        if (!ended) loop.exec();
        if (lineOpen) m_err << "\n";
        if (!succeeded) {
            m_err << "zeno-remote: " << m_sync->message() << "\n";
        }
        return succeeded;
    }

    // Waits until the keyboard has handled everything sent so far: it answers
    // a request for its current template only after the messages before it,
    // and once the answer is back nothing of ours is left in a MIDI queue
    // that closing the ports would throw away.
    bool flush()
    {
        auto* encoder = dynamic_cast<MessageEncoder*>(api().getEncoder());
        if (!encoder) return false;
        QEventLoop loop;
        bool answered = false;
        QObject::connect(&api(), &RemoteMemAPI::notifiedCurrentTemplateNumber, &loop, [&] {
            answered = true;
            loop.quit();
        });
        if (!encoder->enququeTemplateNumberReq() || !encoder->sendMessage(nullptr)) return false;
        QTimer::singleShot(waitMs(), &loop, &QEventLoop::quit);
        QTimer watch;
        quitOnInterrupt(loop, watch);
        if (!answered) loop.exec();
        return answered;
    }

    int waitMs() const { return (m_options.timeoutSeconds > 0 ? m_options.timeoutSeconds : 10) * 1000; }

    const PortInfo& port() const { return m_port; }

private:
    const Options& m_options;
    QTextStream& m_err;
    std::unique_ptr<RemoteMemAPI> m_api;
    std::unique_ptr<KeyboardSync> m_sync;
    PortInfo m_port;
    bool m_backendChosen = false;
};

QString text(RemoteMemAPI& api, int bank, int t, int controller, int parameter)
{
    return api.getParamQString(ParamAddress(bank, t, controller, parameter));
}

int number(RemoteMemAPI& api, int bank, int t, int controller, int parameter)
{
    return api.getParam(ParamAddress(bank, t, controller, parameter)).getCurrentValue();
}

bool templatesEqual(RemoteMemAPI& api, int t)
{
    return api.getTemplateData(kStoredBank, t) == api.getTemplateData(kEditBank, t);
}

int runPorts(const Options& options, QTextStream& out, QTextStream& err)
{
    Session session(options, err);
    if (!session.chooseBackend()) return ExitNoKeyboard;
    const KeyboardPortSets sets = session.keyboards();
    if (sets.ports.isEmpty()) {
        err << "zeno-remote: no keyboard found on the MIDI service \""
            << ZenoMIDI::backendName(ZenoMIDI::activeBackend()) << "\"\n";
        return ExitNoKeyboard;
    }
    for (int i = 0; i < sets.ports.size(); ++i) {
        const PortInfo& p = sets.ports[i];
        out << i + 1 << '\t' << p.name << '\t' << "watch=" << p.watchInput << " data=" << p.dataInput
            << " out=" << p.output << '\n';
    }
    return ExitOk;
}

int failedRun()
{
    return g_interrupt.load() ? ExitInterrupted : ExitKeyboardFailed;
}

int runBackup(const Options& options, QTextStream& out, QTextStream& err)
{
    const QString path = options.args.value(0);
    // A receive takes a while on a real cable: find out first whether its
    // result could be kept at all.
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir() || !folder.isWritable() || target.isDir()) {
        err << "zeno-remote: " << path << ": cannot write a bank file there\n";
        return ExitFile;
    }
    Session session(options, err);
    if (int code = session.connect()) return code;
    if (!session.synchronise(false, false)) return failedRun();
    QString error;
    if (!EditorFile::save(&session.api(), kStoredBank, path, &error)) {
        err << "zeno-remote: " << path << ": " << error << "\n";
        return ExitFile;
    }
    int edited = 0;
    for (int t = 0; t < kTemplates; ++t) edited += templatesEqual(session.api(), t) ? 0 : 1;
    out << "Saved the 50 templates and 50 edit buffers of " << session.port().name << " to " << path << " ("
        << edited << " edit buffer" << (edited == 1 ? "" : "s") << " differ from the stored template"
        << (edited == 1 ? "" : "s") << "; template " << number(session.api(), kEditBank, 52, -1, -1) + 1
        << " is shown).\n";
    return ExitOk;
}

int runRestore(const Options& options, QTextStream& out, QTextStream& err)
{
    const QString path = options.args.value(0);
    Session session(options, err);
    if (!session.chooseBackend()) return ExitNoKeyboard;
    QString error;
    // Opened as the editor opens a file, before the keyboard is touched: a
    // bad file changes nothing on it.
    session.api().denyToRaiseFileEditFlag();
    const bool loaded = EditorFile::load(&session.api(), kStoredBank, path, true, &error);
    session.api().allowToRaiseFileEditFlag();
    if (!loaded) {
        err << "zeno-remote: " << path << ": " << error << "\n";
        return ExitFile;
    }
    if (int code = session.connect()) return code;
    // Then as the editor goes on after opening a file: its data wins, and the
    // keyboard stores what it was sent to its flash memory.
    session.api().setStoreToFlashSendingFlag(true);
    if (!session.synchronise(true, options.editBuffersOnly)) return failedRun();
    if (!session.flush()) {
        if (g_interrupt.load()) return ExitInterrupted;
        err << "zeno-remote: " << session.port().name << " did not confirm the end of the transfer\n";
        return ExitKeyboardFailed;
    }
    out << "Restored " << path << " to " << session.port().name << ": "
        << (options.editBuffersOnly ? "50 edit buffers" : "50 templates and 50 edit buffers")
        << " sent and stored to flash.\n";
    return ExitOk;
}

int runCheck(const Options& options, QTextStream& out, QTextStream&)
{
    RemoteMemAPI api;
    QString error;
    api.denyToRaiseFileEditFlag();
    if (!EditorFile::load(&api, kStoredBank, options.args.value(0), true, &error)) {
        out << error << "\n";
        return ExitFile;
    }
    out << "ok\n";
    return ExitOk;
}

QJsonObject templateJson(RemoteMemAPI& api, int bank, int t)
{
    QJsonArray knobs;
    for (int k = 0; k < kKnobs; ++k) {
        knobs.append(QJsonObject{
            {QStringLiteral("knob"), QLatin1String(kKnobNames[k])},
            {QStringLiteral("displayName"), text(api, bank, t, k, 0)},
            {QStringLiteral("ccNumber"), number(api, bank, t, k, 1)},
            {QStringLiteral("displayFormat"), number(api, bank, t, k, 2)},
            {QStringLiteral("remoteNumber"), text(api, bank, t, k, 3)},
        });
    }
    return QJsonObject{
        {QStringLiteral("name"), text(api, bank, t, 13, -1)},
        {QStringLiteral("vstiName"), text(api, bank, t, 15, -1)},
        {QStringLiteral("controlType"), number(api, bank, t, 14, -1)},
        {QStringLiteral("knobs"), knobs},
    };
}

void showJson(RemoteMemAPI& api, QTextStream& out)
{
    QJsonArray stored;
    QJsonArray edit;
    for (int t = 0; t < kTemplates; ++t) {
        stored.append(templateJson(api, kStoredBank, t));
        edit.append(templateJson(api, kEditBank, t));
    }
    const QJsonObject document{
        {QStringLiteral("currentTemplate"), number(api, kEditBank, 52, -1, -1)},
        {QStringLiteral("templates"), stored},
        {QStringLiteral("editBuffers"), edit},
    };
    out << QString::fromUtf8(QJsonDocument(document).toJson(QJsonDocument::Indented));
}

int runShow(const Options& options, QTextStream& out, QTextStream& err)
{
    const QString path = options.args.value(0);
    int only = -1;
    QString error;
    if (options.args.size() > 1 && !readTemplateNumber(options.args[1], only, error)) {
        err << "zeno-remote: " << error << "\n";
        return ExitUsage;
    }
    RemoteMemAPI api;
    api.denyToRaiseFileEditFlag();
    if (!EditorFile::load(&api, kStoredBank, path, true, &error)) {
        err << "zeno-remote: " << path << ": " << error << "\n";
        return ExitFile;
    }
    if (options.json) {
        if (only >= 0) {
            err << "zeno-remote: show --json prints the whole bank; leave out the template number\n";
            return ExitUsage;
        }
        showJson(api, out);
        return ExitOk;
    }
    const int shown = number(api, kEditBank, 52, -1, -1);
    if (only < 0) {
        out << "Bank file " << QFileInfo(path).fileName() << ": template " << shown + 1
            << " is shown; * = edit buffer differs from the stored template\n";
        out << " No  Template name  VSTi name     Type  Knobs assigned\n";
        for (int t = 0; t < kTemplates; ++t) {
            int assigned = 0;
            for (int k = 0; k < kKnobs; ++k) {
                assigned += text(api, kStoredBank, t, k, 3) == QLatin1String("204143dff") ? 0 : 1;
            }
            out << QStringLiteral("%1%2  %3  %4  %5     %6\n")
                       .arg(t + 1, 3)
                       .arg(templatesEqual(api, t) ? ' ' : '*')
                       .arg(text(api, kStoredBank, t, 13, -1), -13)
                       .arg(text(api, kStoredBank, t, 15, -1), -12)
                       .arg(number(api, kStoredBank, t, 14, -1))
                       .arg(assigned, 2);
        }
        return ExitOk;
    }
    for (const int bank : {kStoredBank, kEditBank}) {
        out << (bank == kStoredBank ? "Stored" : "Edit buffer") << " template " << only + 1 << ": \""
            << text(api, bank, only, 13, -1) << "\" for \"" << text(api, bank, only, 15, -1) << "\", control type "
            << number(api, bank, only, 14, -1) << "\n";
        out << "  Knob  Display name     CC   Format  Remote number\n";
        for (int k = 0; k < kKnobs; ++k) {
            out << QStringLiteral("  %1    %2  %3  %4       %5\n")
                       .arg(QLatin1String(kKnobNames[k]))
                       .arg(text(api, bank, only, k, 0), -15)
                       .arg(number(api, bank, only, k, 1), 3)
                       .arg(number(api, bank, only, k, 2))
                       .arg(text(api, bank, only, k, 3));
        }
        if (templatesEqual(api, only)) {
            out << "(the edit buffer is the same)\n";
            break;
        }
    }
    return ExitOk;
}

int runSelect(const Options& options, QTextStream& out, QTextStream& err)
{
    int index = 0;
    QString error;
    if (!readTemplateNumber(options.args.value(0), index, error)) {
        err << "zeno-remote: " << error << "\n";
        return ExitUsage;
    }
    Session session(options, err);
    if (int code = session.connect()) return code;
    RemoteMemAPI& api = session.api();
    // The keyboard confirms a selection by reporting the template it shows.
    QEventLoop loop;
    bool confirmed = false;
    QObject::connect(&api, &RemoteMemAPI::notifiedCurrentTemplateNumber, &loop, [&] {
        if (number(api, kEditBank, 52, -1, -1) == index) {
            confirmed = true;
            loop.quit();
        }
    });
    EncoderLink* encoder = api.getEncoder();
    if (!encoder || !encoder->enqueueParamChange(ParamAddress(kEditBank, 52, -1, -1), index) ||
        !encoder->sendMessage(nullptr)) {
        err << "zeno-remote: the selection could not be sent to " << session.port().name << "\n";
        return ExitKeyboardFailed;
    }
    QTimer::singleShot(session.waitMs(), &loop, &QEventLoop::quit);
    QTimer watch;
    quitOnInterrupt(loop, watch);
    if (!confirmed) loop.exec();
    if (!confirmed && g_interrupt.load()) return ExitInterrupted;
    if (!confirmed) {
        err << "zeno-remote: " << session.port().name << " did not confirm template " << index + 1 << "\n";
        return ExitKeyboardFailed;
    }
    out << session.port().name << " shows template " << index + 1 << ".\n";
    return ExitOk;
}

} // namespace

void requestInterrupt()
{
    g_interrupt = true;
}

QString usage()
{
    QString text = QStringLiteral(
        "Usage: zeno-remote COMMAND [options] [ARGUMENTS]\n"
        "Backs up, restores and inspects the templates of a ZenoA/ZenoB keyboard over MIDI.\n\nCommands:\n");
    for (const auto& c : kCommands) {
        const QString head = QStringLiteral("%1 %2").arg(QLatin1String(c.name), QLatin1String(c.arguments));
        QString help = QLatin1String(c.help);
        help.replace(QLatin1Char('\n'), QStringLiteral("\n") + QString(24, QLatin1Char(' ')));
        text += QStringLiteral("  %1%2\n").arg(head, -22).arg(help);
    }
    QStringList built;
    for (auto b : ZenoMIDI::compiledBackends()) built << ZenoMIDI::backendName(b);
    text += QStringLiteral(
                "\nOptions (before or after the command):\n"
                "  --backend NAME        MIDI service: %1 (default: automatic)\n"
                "  --port NAME           the keyboard, by the base name \"ports\" prints\n"
                "                        (default: the first keyboard found)\n"
                "  --timeout SECONDS     give up when a receive or a send has not finished after\n"
                "                        SECONDS (default: 60 to receive, 100 to send)\n"
                "  --edit-buffers-only   restore: send the edit buffers only\n"
                "  --json                show: the bank as a JSON document\n"
                "  --quiet               no progress line (progress appears only on a terminal)\n"
                "  --help                this text\n"
                "\nExit status:\n"
                "  0    success\n"
                "  1    wrong arguments, or a bank file that cannot be read or written\n"
                "  2    no keyboard found, no keyboard of that name, or its ports would not open\n"
                "  3    the keyboard did not answer in time, or the link failed\n"
                "  130  stopped with Ctrl+C (the transfer is cancelled, no file is left behind)\n")
                .arg(built.join(QStringLiteral(", ")));
    return text;
}

bool parseArguments(const QStringList& args, Options& options, QString& error)
{
    Options out;
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        auto value = [&](QString& into) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                error = QStringLiteral("the option %1 needs a value").arg(arg);
                return false;
            }
            into = args[++i];
            return true;
        };
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            if (out.command.isEmpty()) out.command = arg;
            else out.args << arg;
        } else if (arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out.help = true;
        } else if (arg == QLatin1String("--quiet")) {
            out.quiet = true;
        } else if (arg == QLatin1String("--json")) {
            out.json = true;
        } else if (arg == QLatin1String("--edit-buffers-only")) {
            out.editBuffersOnly = true;
        } else if (arg == QLatin1String("--backend")) {
            if (!value(out.backend)) return false;
        } else if (arg == QLatin1String("--port")) {
            if (!value(out.port)) return false;
        } else if (arg == QLatin1String("--timeout")) {
            QString text;
            if (!value(text)) return false;
            bool ok = false;
            out.timeoutSeconds = text.toInt(&ok);
            if (!ok || out.timeoutSeconds < 1 || out.timeoutSeconds > 3600) {
                error = QStringLiteral("the time-out must be 1..3600 seconds, not \"%1\"").arg(text);
                return false;
            }
        } else {
            error = QStringLiteral("unknown option \"%1\" (see --help)").arg(arg);
            return false;
        }
    }
    if (out.help) {
        options = out;
        return true;
    }
    if (out.command.isEmpty()) {
        error = QStringLiteral("no command given (see --help)");
        return false;
    }
    const Command* command = findCommand(out.command);
    if (!command) {
        error = QStringLiteral("unknown command \"%1\" (see --help)").arg(out.command);
        return false;
    }
    if (out.args.size() < command->minArgs || out.args.size() > command->maxArgs) {
        error = QStringLiteral("usage: zeno-remote %1 %2").arg(QLatin1String(command->name),
                                                               QLatin1String(command->arguments));
        return false;
    }
    // An option that does nothing for the command is more likely a mistake
    // than a wish.
    if (out.json && out.command != QLatin1String("show")) {
        error = QStringLiteral("--json belongs to the show command");
        return false;
    }
    if (out.editBuffersOnly && out.command != QLatin1String("restore")) {
        error = QStringLiteral("--edit-buffers-only belongs to the restore command");
        return false;
    }
    options = out;
    return true;
}

int run(const Options& options, QTextStream& out, QTextStream& err)
{
    g_interrupt = false;
    if (options.help) {
        out << usage();
        return ExitOk;
    }
    int code = ExitUsage;
    if (options.command == QLatin1String("ports")) code = runPorts(options, out, err);
    else if (options.command == QLatin1String("check")) code = runCheck(options, out, err);
    else if (options.command == QLatin1String("backup")) code = runBackup(options, out, err);
    else if (options.command == QLatin1String("restore")) code = runRestore(options, out, err);
    else if (options.command == QLatin1String("show")) code = runShow(options, out, err);
    else if (options.command == QLatin1String("select")) code = runSelect(options, out, err);
    out.flush();
    err.flush();
    return code;
}

} // namespace remote
