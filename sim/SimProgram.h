#pragma once
// The zeno-keyboard-sim program: its options and its run, kept in the library
// so that the argument handling is tested and main() stays a few lines.

#include "sim/SimFaults.h"

#include <atomic>
#include <string>
#include <vector>

namespace sim {

struct SimProgramOptions {
    std::string backend;      // empty: the first one built (JACK when there is one)
    std::string name;         // port set name
    std::string loadPath;     // bank file to start with
    std::string savePath;     // bank file written on exit and on each store to flash
    std::string logPath;      // message log, one message a line ("-" = standard output); "" = none
    bool trace = false;       // every message explained, on standard error
    bool quiet = false;       // no status lines either, only errors
    int wireRate = 0;         // baud rate of the simulated cable; 0 = as fast as the service goes
    int deviceNumber = 0;
    int activeSensingMs = 300;
    SimFaults faults;
    bool help = false;
};

// Fills `options` from the arguments (without the program name). False with
// a message for the user when an argument is wrong.
bool parseSimArguments(const std::vector<std::string>& args, SimProgramOptions& options, std::string& error);
std::string simUsage();

// Runs until `stop` becomes true. Returns the exit code: 0 after a clean run,
// 1 when the ports could not be opened, 2 when the bank file could not be
// loaded, 3 when the save on exit failed.
int runSimulator(const SimProgramOptions& options, const std::atomic<bool>& stop);

} // namespace sim
