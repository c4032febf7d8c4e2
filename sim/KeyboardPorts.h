#pragma once
// The simulated keyboard's five MIDI ports each way on one MIDI service. Each
// backend lives in its own folder with a Ports.cpp; the build decides which
// ones exist and makeKeyboardPorts() is the only place that chooses.

#include "sim/SimRunner.h"

#include <memory>
#include <string>
#include <vector>

namespace sim {

// The name under which the editor recognises the keyboard's port set.
inline constexpr const char* kDefaultKeyboardName = "Velmor Zeno Series";

class KeyboardPorts : public SimWire {
public:
    // Publishes the ports under `name` ("<name> Port1".."<name> Port5" in both
    // directions, as the service spells ports) and feeds everything that
    // arrives on them to the runner. False, with a message for the user, when
    // the service cannot be reached or refuses the ports.
    virtual bool open(const std::string& name, SimRunner& runner, std::string& error) = 0;
    // Withdraws the ports; nothing reaches the runner after it returns.
    virtual void close() = 0;
    // What the user should know about where the ports are (for the log).
    virtual std::string where() const = 0;
};

// "virtual" (in-process, for tests) and "jack" when it is built.
std::vector<std::string> keyboardPortBackends();
std::unique_ptr<KeyboardPorts> makeKeyboardPorts(const std::string& backend, std::string& error);

} // namespace sim
