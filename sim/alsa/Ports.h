#pragma once
// The keyboard as an ALSA sequencer client named "<name>" with five duplex
// ports "Port1".."Port5": each is both a source the computer reads and a
// destination it writes, as a USB keyboard's ports appear. A reader thread
// turns incoming events back into bytes for the runner; send() encodes the
// keyboard's messages into events sent straight to the port's subscribers.

#include "sim/KeyboardPorts.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace sim {

class AlsaKeyboardPorts : public KeyboardPorts {
public:
    ~AlsaKeyboardPorts() override;
    bool open(const std::string& name, SimRunner& runner, std::string& error) override;
    void close() override;
    std::string where() const override;
    bool send(int port, const Bytes& bytes) override;

private:
    void readEvents();

    snd_seq_t* m_seq = nullptr;
    int m_ports[kPortCount] = {-1, -1, -1, -1, -1};
    snd_midi_event_t* m_decoder = nullptr; // reader thread only
    snd_midi_event_t* m_encoder = nullptr; // under m_sendLock
    std::mutex m_sendLock;
    SimRunner* m_runner = nullptr;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    std::string m_name;
    int m_client = -1;
};

std::unique_ptr<KeyboardPorts> makeAlsaKeyboardPorts();

} // namespace sim
