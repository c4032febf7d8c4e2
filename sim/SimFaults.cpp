#include "sim/SimFaults.h"

#include <charconv>

namespace sim {

namespace {

struct FlagFault {
    const char* name;
    bool SimFaults::*member;
    const char* help;
};
struct CountFault {
    const char* name;
    int SimFaults::*member;
    int maximum;
    const char* help;
};

const FlagFault kFlags[] = {
    {"silent", &SimFaults::silent, "answer nothing (active sensing goes on)"},
    {"no-ack", &SimFaults::noAck, "take dumps in but never acknowledge them"},
    {"no-active-sensing", &SimFaults::noActiveSensing, "stop the active sensing on port 1"},
    {"wrong-model", &SimFaults::wrongModel, "answer with the editor's model bytes"},
};
const CountFault kCounts[] = {
    {"corrupt-checksum", &SimFaults::corruptChecksumEvery, 1000000, "every Nth bulk dump sent has a wrong checksum"},
    {"drop", &SimFaults::dropEvery, 1000000, "every Nth answer is lost"},
    {"truncate", &SimFaults::truncateEvery, 1000000, "every Nth answer loses the byte before its F7"},
    {"delay", &SimFaults::replyDelayMs, 600000, "answers leave N milliseconds late"},
    {"drop-every", &SimFaults::ignoreEvery, 1000000, "every Nth message received is ignored"},
    {"silent-after", &SimFaults::silentAfter, 1000000, "answers nothing after N messages received"},
};

} // namespace

bool SimFaults::any() const
{
    return silent || noAck || noActiveSensing || wrongModel || corruptChecksumEvery || dropEvery || truncateEvery ||
           replyDelayMs || ignoreEvery || silentAfter;
}

bool applyFault(const std::string& text, SimFaults& faults, std::string& error)
{
    const auto eq = text.find('=');
    const std::string name = text.substr(0, eq);
    for (const auto& flag : kFlags) {
        if (name == flag.name) {
            if (eq != std::string::npos) {
                error = "the fault \"" + name + "\" takes no value";
                return false;
            }
            faults.*flag.member = true;
            return true;
        }
    }
    for (const auto& count : kCounts) {
        if (name == count.name) {
            if (eq == std::string::npos || eq + 1 == text.size()) {
                error = "the fault \"" + name + "\" needs a number, e.g. " + name + "=3";
                return false;
            }
            int value = 0;
            const char* first = text.data() + eq + 1;
            const char* last = text.data() + text.size();
            const auto [end, ec] = std::from_chars(first, last, value);
            if (ec != std::errc() || end != last || value < 1 || value > count.maximum) {
                error = "the fault \"" + name + "\" needs a whole number from 1 to " + std::to_string(count.maximum) +
                        ", not \"" + text.substr(eq + 1) + "\"";
                return false;
            }
            faults.*count.member = value;
            return true;
        }
    }
    error = "unknown fault \"" + text + "\"; known faults:\n" + faultHelp();
    return false;
}

std::string faultHelp()
{
    std::string out;
    for (const auto& flag : kFlags) {
        out += "  " + std::string(flag.name) + std::string(22 - std::string(flag.name).size(), ' ') + flag.help + "\n";
    }
    for (const auto& count : kCounts) {
        const std::string name = std::string(count.name) + "=N";
        out += "  " + name + std::string(22 - name.size(), ' ') + count.help + "\n";
    }
    return out;
}

std::string describeFaults(const SimFaults& faults)
{
    std::string out;
    auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ",") + item; };
    for (const auto& flag : kFlags) {
        if (faults.*flag.member) add(flag.name);
    }
    for (const auto& count : kCounts) {
        if (faults.*count.member) add(std::string(count.name) + "=" + std::to_string(faults.*count.member));
    }
    return out.empty() ? "none" : out;
}

} // namespace sim
