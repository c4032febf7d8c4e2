#pragma once
// Faults the simulated keyboard can be told to commit, so that the editor's
// time-outs, retries and error messages can be exercised without a broken
// keyboard at hand. Every fault is off by default.

#include <string>
#include <vector>

namespace sim {

struct SimFaults {
    bool silent = false;          // answers nothing at all (active sensing goes on)
    bool noAck = false;           // takes dumps in but never acknowledges them
    bool noActiveSensing = false; // stops the active sensing on port 1
    bool wrongModel = false;      // answers with the editor's model bytes, which the editor ignores
    int corruptChecksumEvery = 0; // every Nth bulk dump message it sends has a wrong checksum
    int dropEvery = 0;            // every Nth answer is lost on the way
    int truncateEvery = 0;        // every Nth answer loses the byte before its F7
    int replyDelayMs = 0;         // answers leave this late (applied by the MIDI side)
    int ignoreEvery = 0;          // every Nth message received is ignored, as if never heard
    int silentAfter = 0;          // after N messages received it ignores everything

    bool any() const;
};

// Reads one fault given on the command line, e.g. "no-ack", "drop=7",
// "corrupt-checksum=3", "delay=250". Several faults may be given one after
// the other. On failure `error` says what was wrong and `faults` is unchanged.
bool applyFault(const std::string& text, SimFaults& faults, std::string& error);

// The accepted fault texts, one per line with a short explanation.
std::string faultHelp();

// The active faults in the command-line form, comma-separated; "none".
std::string describeFaults(const SimFaults& faults);

} // namespace sim
