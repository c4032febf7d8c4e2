#pragma once
// The keyboard as a device of the in-process virtual MIDI service: its five
// sources are what the editor reads, its five destinations what it writes.

#include "sim/KeyboardPorts.h"

#include <atomic>
#include <mutex>

namespace sim {

class VirtualKeyboardPorts : public KeyboardPorts {
public:
    ~VirtualKeyboardPorts() override;
    bool open(const std::string& name, SimRunner& runner, std::string& error) override;
    void close() override;
    std::string where() const override;
    bool send(int port, const Bytes& bytes) override;

    int deviceId() const { return m_device.load(); }

private:
    std::atomic<int> m_device{0};
    std::string m_name;
};

std::unique_ptr<KeyboardPorts> makeVirtualKeyboardPorts();

} // namespace sim
