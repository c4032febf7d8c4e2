#pragma once
// The simulated keyboard's memory to and from the editor's bank files, so a
// keyboard can be started with a known bank and leave what it holds behind:
// template1..50 are the stored templates, editBuffTemplate1..50 the edit
// buffers and bankInfo the current template.

#include "sim/KeyboardSim.h"

#include <string>

namespace sim {

// Reads the whole file first; on failure the keyboard is left as it was and
// `error` holds the reason for the user.
bool loadBankFile(KeyboardSim& keyboard, const std::string& path, std::string& error);
// A failed save leaves any previous file as it was.
bool saveBankFile(const KeyboardSim& keyboard, const std::string& path, std::string& error);

} // namespace sim
