#include "sim/SimProgram.h"

#include "sim/KeyboardPorts.h"
#include "sim/SimBankFile.h"
#include "sim/SimConsole.h"

#include "editor/midi/KeyboardPortSets.h"

#include <QRegularExpression>

#include <poll.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

namespace sim {

namespace {

bool readInt(const std::string& text, int minimum, int maximum, int& out)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < minimum || value > maximum) return false;
    out = value;
    return true;
}

std::string timeStamp()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    char buffer[32];
    const int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d ", local.tm_hour, local.tm_min, local.tm_sec, ms);
    return buffer;
}

std::string indented(const std::string& text, const std::string& by)
{
    std::string out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto eol = text.find('\n', start);
        const auto end = eol == std::string::npos ? text.size() : eol + 1;
        out += by + text.substr(start, end - start);
        start = end;
    }
    return out;
}

} // namespace

std::string simUsage()
{
    std::string backends;
    for (const auto& b : keyboardPortBackends()) backends += (backends.empty() ? "" : ", ") + b;
    return "Usage: zeno-keyboard-sim [options]\n"
           "Plays a ZenoA/ZenoB keyboard on MIDI: five ports each way, active sensing\n"
           "on port 1, templates exchanged on port 5. Stops on Ctrl+C or SIGTERM.\n"
           "\n"
           "Options:\n"
           "  --backend NAME          MIDI service (" + backends + ")\n"
           "  --name NAME             device name of the ports \"NAME Port1\" .. \"NAME Port5\"\n"
           "                          (default \"" + kDefaultKeyboardName + "\")\n"
           "  --load FILE.X5R         start with this bank file: template1..50 are the stored\n"
           "                          templates, editBuffTemplate1..50 the edit buffers\n"
           "  --save-on-exit FILE.X5R write the keyboard's templates there on exit (normal end,\n"
           "                          Ctrl+C or SIGTERM) and at every store to flash\n"
           "  --log FILE              every System Exclusive message received and sent, one a\n"
           "                          line: \"in\" or \"out\", then its bytes (F0 .. F7) as\n"
           "                          upper-case hex pairs ('-' for standard output)\n"
           "  --trace                 every message explained, on standard error\n"
           "  --wire-rate BAUD        pace everything like a MIDI cable at BAUD, 10 bits a byte\n"
           "                          (31250 is the real rate; default: no pacing)\n"
           "  --device N              device number 0..15 in the keyboard's messages\n"
           "  --active-sensing-ms N   active sensing period (default 300)\n"
           "  --quiet                 no status lines, errors only\n"
           "  --help                  this text\n"
           "\n"
           "Faults, for tests:\n"
           "  --drop-every N          ignore every Nth message received\n"
           "  --corrupt-every N       wrong checksum on every Nth dump block sent\n"
           "  --delay-ms N            answer N milliseconds late\n"
           "  --silent-after N        answer nothing after N messages received\n"
           "  --fault F[,F...]        further faults, may be repeated:\n" +
           indented(faultHelp(), "    ") +
           "\n"
           "Lines typed on standard input play the musician at the keyboard; " +
           consoleHelp() +
           "\n\nExit status: 0 clean stop, 1 ports or log not opened, 2 bank file not loaded,\n"
           "3 save on exit failed, 64 wrong arguments.\n";
}

bool parseSimArguments(const std::vector<std::string>& args, SimProgramOptions& options, std::string& error)
{
    SimProgramOptions out = options;
    if (out.name.empty()) out.name = kDefaultKeyboardName;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "the option " + arg + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        auto count = [&](int minimum, int maximum, int& into, const char* what) {
            std::string text;
            if (!value(text)) return false;
            if (!readInt(text, minimum, maximum, into)) {
                error = std::string(what) + " must be " + std::to_string(minimum) + ".." + std::to_string(maximum) +
                        ", not \"" + text + "\"";
                return false;
            }
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--quiet") {
            out.quiet = true;
        } else if (arg == "--trace") {
            out.trace = true;
        } else if (arg == "--backend") {
            if (!value(out.backend)) return false;
        } else if (arg == "--name") {
            if (!value(out.name)) return false;
        } else if (arg == "--load") {
            if (!value(out.loadPath)) return false;
        } else if (arg == "--save-on-exit") {
            if (!value(out.savePath)) return false;
        } else if (arg == "--log") {
            if (!value(out.logPath)) return false;
        } else if (arg == "--device") {
            if (!count(0, 15, out.deviceNumber, "the device number")) return false;
        } else if (arg == "--active-sensing-ms") {
            if (!count(10, 10000, out.activeSensingMs, "the active sensing period (ms)")) return false;
        } else if (arg == "--wire-rate") {
            if (!count(300, 10000000, out.wireRate, "the wire rate (baud)")) return false;
        } else if (arg == "--drop-every") {
            if (!count(1, 1000000, out.faults.ignoreEvery, "--drop-every")) return false;
        } else if (arg == "--corrupt-every") {
            if (!count(1, 1000000, out.faults.corruptChecksumEvery, "--corrupt-every")) return false;
        } else if (arg == "--delay-ms") {
            if (!count(0, 600000, out.faults.replyDelayMs, "--delay-ms")) return false;
        } else if (arg == "--silent-after") {
            if (!count(1, 1000000, out.faults.silentAfter, "--silent-after")) return false;
        } else if (arg == "--fault") {
            if (!value(text)) return false;
            std::size_t start = 0;
            while (start <= text.size()) {
                const auto comma = text.find(',', start);
                const std::string one = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!applyFault(one, out.faults, error)) return false;
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else {
            error = "unknown argument \"" + arg + "\" (see --help)";
            return false;
        }
    }
    if (out.backend.empty() && !keyboardPortBackends().empty()) {
        out.backend = keyboardPortBackends().front();
    }
    options = out;
    return true;
}

int runSimulator(const SimProgramOptions& options, const std::atomic<bool>& stop)
{
    std::FILE* logFile = nullptr;
    if (options.logPath == "-") {
        logFile = stdout;
    } else if (!options.logPath.empty()) {
        logFile = std::fopen(options.logPath.c_str(), "w");
        if (!logFile) {
            std::fprintf(stderr, "zeno-keyboard-sim: cannot write the log file \"%s\"\n", options.logPath.c_str());
            return 1;
        }
    }
    std::mutex logLock;
    auto status = [&](const std::string& text) {
        if (options.quiet) return;
        std::lock_guard guard(logLock);
        std::fprintf(stderr, "zeno-keyboard-sim: %s\n", text.c_str());
        std::fflush(stderr);
    };
    auto problem = [&](const std::string& text) {
        std::lock_guard guard(logLock);
        std::fprintf(stderr, "zeno-keyboard-sim: %s\n", text.c_str());
        std::fflush(stderr);
    };
    auto finish = [&](int code) {
        if (logFile && logFile != stdout) std::fclose(logFile);
        return code;
    };
    // One message a line and nothing else, so the log can be compared and
    // replayed; the lines of both directions share one lock.
    auto wireLog = [&](const std::string& line) {
        std::lock_guard guard(logLock);
        std::fprintf(logFile, "%s\n", line.c_str());
        std::fflush(logFile);
    };

    KeyboardSim keyboard(options.deviceNumber);
    keyboard.setFaults(options.faults);
    if (!options.loadPath.empty()) {
        std::string error;
        if (!loadBankFile(keyboard, options.loadPath, error)) {
            problem(error);
            return finish(2);
        }
        status("loaded \"" + options.loadPath + "\"");
    }
    if (options.trace) {
        keyboard.setLogSink([&](const std::string& line) {
            std::lock_guard guard(logLock);
            std::fprintf(stderr, "%s%s\n", timeStamp().c_str(), line.c_str());
            std::fflush(stderr);
        });
    }
    if (logFile) keyboard.setWireLog(wireLog);
    std::atomic<bool> flashed{false};
    keyboard.setFlashHandler([&flashed] { flashed = true; });

    std::string error;
    auto ports = makeKeyboardPorts(options.backend, error);
    if (!ports) {
        problem(error);
        return finish(1);
    }
    SimRunner runner(keyboard, *ports, options.activeSensingMs);
    runner.setWireRate(options.wireRate);
    if (logFile) runner.setWireLog(wireLog);
    runner.start();
    if (!ports->open(options.name, runner, error)) {
        runner.stop();
        problem(error);
        return finish(1);
    }
    status("keyboard ready: " + ports->where() + "; faults: " + describeFaults(options.faults));
    // The editor and zeno-remote only take port sets whose name says they
    // are a keyboard of the series; tell the user before they wonder.
    static const QRegularExpression keyboardName{QString::fromLatin1(KeyboardPortSet::PortNameFilter)};
    if (!keyboardName.match(QString::fromStdString(options.name)).hasMatch()) {
        problem("note: the editor will not recognise \"" + options.name +
                "\" as a keyboard; use a name containing \"Velmor Zeno Series\"");
    }

    auto save = [&](const char* why) {
        if (options.savePath.empty()) return true;
        std::string saveError;
        if (!saveBankFile(keyboard, options.savePath, saveError)) {
            problem(saveError);
            return false;
        }
        status(std::string("saved \"") + options.savePath + "\" (" + why + ")");
        return true;
    };

    // The musician's actions come as lines on standard input, when there is
    // one to read; an input that ends leaves the keyboard running.
    bool console = true;
    bool quit = false;
    std::string pending;
    while (!stop.load() && !quit) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        if (console && ::poll(&in, 1, 50) > 0) {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                console = false;
            } else {
                pending.append(buffer, std::size_t(n));
                for (auto eol = pending.find('\n'); eol != std::string::npos && !quit; eol = pending.find('\n')) {
                    const ConsoleReply reply = runConsoleCommand(pending.substr(0, eol), keyboard, runner);
                    pending.erase(0, eol + 1);
                    if (!reply.text.empty()) problem(reply.text);
                    quit = reply.quit;
                }
                if (pending.size() > 4096) pending.clear(); // not a command line
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(console ? 0 : 50));
        }
        if (flashed.exchange(false)) save("store to flash");
    }
    ports->close();
    runner.stop();
    const SimStats stats = keyboard.stats();
    status("stopped: " + std::to_string(stats.messagesIn) + " messages in, " + std::to_string(stats.messagesOut) +
           " out, " + std::to_string(stats.dumpsSent) + " templates sent, " + std::to_string(stats.dumpsAccepted) +
           " taken in, " + std::to_string(stats.dumpsRejected) + " refused, " + std::to_string(keyboard.flashCount()) +
           " stores to flash");
    return finish(save("exit") ? 0 : 3);
}

} // namespace sim
