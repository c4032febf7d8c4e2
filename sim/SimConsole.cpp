#include "sim/SimConsole.h"

#include <charconv>
#include <sstream>

namespace sim {

namespace {

std::vector<std::string> words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool templateNumber(const std::string& text, int& index)
{
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > kTemplateCount) return false;
    index = n - 1;
    return true;
}

std::string describeTemplate(const SimTemplate& t)
{
    std::string out = "\"" + t.templateName() + "\" for \"" + t.vstiName() + "\"";
    return out;
}

} // namespace

std::string consoleHelp()
{
    return "commands:\n"
           "  select N        show template N (1..50), as when turned on the keyboard\n"
           "  edit KNOB FIELD VALUE\n"
           "                  turn a knob's value of the template shown: KNOB A1..D3,\n"
           "                  FIELD name, cc, format or remote, e.g. \"edit B2 cc 74\"\n"
           "  store           store the edit buffers, as the keyboard's store button\n"
           "  show [N]        the current template, or template N\n"
           "  fault F[,F...]  misbehave from now on (see --help); 'fault none' to stop\n"
           "  status          template shown, bank edit flag, faults, message counts\n"
           "  quit            stop the simulator";
}

ConsoleReply runConsoleCommand(const std::string& line, KeyboardSim& keyboard, SimRunner& runner)
{
    ConsoleReply reply;
    const auto w = words(line);
    if (w.empty()) return reply;
    const std::string& command = w[0];
    if (command == "help" || command == "?") {
        reply.text = consoleHelp();
    } else if (command == "quit" || command == "exit") {
        reply.quit = true;
    } else if (command == "select") {
        int index = 0;
        if (w.size() != 2 || !templateNumber(w[1], index)) {
            reply.text = "usage: select N (1..50)";
        } else {
            runner.post(keyboard.userSelectTemplate(index));
            reply.text = "template " + std::to_string(index + 1) + " shown: " + describeTemplate(keyboard.editBuffer(index));
        }
    } else if (command == "edit") {
        // The value may hold blanks (a display name): everything after the field.
        const auto fieldAt = w.size() >= 3 ? line.find(w[2], line.find(w[1]) + w[1].size()) : std::string::npos;
        const auto valueAt = fieldAt == std::string::npos ? fieldAt : line.find_first_not_of(" \t", fieldAt + w[2].size());
        int knob = -1;
        if (w.size() >= 2 && w[1].size() == 2 && w[1][0] >= 'A' && w[1][0] <= 'D' && w[1][1] >= '1' && w[1][1] <= '3') {
            knob = (w[1][0] - 'A') + 4 * (w[1][1] - '1');
        }
        std::string error;
        std::vector<SimOutput> outputs;
        if (knob < 0 || w.size() < 4 || valueAt == std::string::npos) {
            reply.text = "usage: edit KNOB FIELD VALUE (KNOB A1..D3; FIELD name, cc, format or remote)";
        } else if ((outputs = keyboard.userEditKnob(knob, w[2], line.substr(valueAt), &error)).empty()) {
            reply.text = error;
        } else {
            runner.post(std::move(outputs));
            reply.text = "knob " + w[1] + " " + w[2] + " of template " + std::to_string(keyboard.currentTemplate() + 1) +
                         " edited";
        }
    } else if (command == "store") {
        runner.post(keyboard.userStore());
        reply.text = "edit buffers stored";
    } else if (command == "show") {
        int index = keyboard.currentTemplate();
        if (w.size() > 2 || (w.size() == 2 && !templateNumber(w[1], index))) {
            reply.text = "usage: show [N] (1..50)";
            return reply;
        }
        const SimTemplate t = keyboard.editBuffer(index);
        std::string text = "template " + std::to_string(index + 1) + ": " + describeTemplate(t) +
                           (t == keyboard.stored(index) ? "" : " (edited)");
        for (int k = 0; k < kKnobCount; ++k) {
            text += "\n  ";
            text += static_cast<char>('A' + k % 4);
            text += static_cast<char>('1' + k / 4);
            text += "  " + t.displayName(k) + std::string(16 - t.displayName(k).size(), ' ') + "CC " +
                    std::to_string(t.ccNumber(k)) + "  " + t.remoteNumber(k);
        }
        reply.text = text;
    } else if (command == "fault") {
        if (w.size() != 2) {
            reply.text = "usage: fault F[,F...] | fault none";
            return reply;
        }
        SimFaults faults = w[1] == "none" ? SimFaults{} : keyboard.faults();
        if (w[1] != "none") {
            std::size_t start = 0;
            while (true) {
                const auto comma = w[1].find(',', start);
                std::string error;
                if (!applyFault(w[1].substr(start, comma == std::string::npos ? comma : comma - start), faults, error)) {
                    reply.text = error;
                    return reply;
                }
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        }
        keyboard.setFaults(faults);
        reply.text = "faults: " + describeFaults(faults);
    } else if (command == "status") {
        const SimStats s = keyboard.stats();
        reply.text = "template " + std::to_string(keyboard.currentTemplate() + 1) + " shown; bank edit flag " +
                     std::to_string(keyboard.bankEditFlag()) + "; faults: " + describeFaults(keyboard.faults()) +
                     "\n" + std::to_string(s.messagesIn) + " messages in, " + std::to_string(s.messagesOut) +
                     " out; " + std::to_string(s.dumpsSent) + " templates sent, " + std::to_string(s.dumpsAccepted) +
                     " taken in, " + std::to_string(s.dumpsRejected) + " refused; " +
                     std::to_string(keyboard.flashCount()) + " stores to flash";
    } else {
        reply.text = "unknown command \"" + command + "\"; " + consoleHelp();
    }
    return reply;
}

} // namespace sim
