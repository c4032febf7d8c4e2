#pragma once
// What the musician does on the simulated keyboard, typed as lines on the
// simulator's standard input: pick a template, store, misbehave, look.

#include "sim/KeyboardSim.h"
#include "sim/SimRunner.h"

#include <string>

namespace sim {

struct ConsoleReply {
    std::string text; // what to print (may be several lines, no final newline)
    bool quit = false;
};

// One command line. Answers that the keyboard sends go out through `runner`.
ConsoleReply runConsoleCommand(const std::string& line, KeyboardSim& keyboard, SimRunner& runner);
std::string consoleHelp();

} // namespace sim
