#pragma once
// The keyboard as a JACK client: five MIDI output ports (what the computer
// reads) and five MIDI input ports (what it writes). Through JACK's
// pretty-name metadata the client is shown as "<name>" and each pair of ports
// as "Port1".."Port5", so that it reads as one device with ports
// "Port1".."Port5" both ways. Port short names must be unique within a
// client, hence "Port1 out"/"Port1 in".
//
// The process callback never blocks: it copies incoming events into a ring
// that a worker thread hands to the runner, and drains one outgoing ring per
// port that send() fills.

#include "sim/KeyboardPorts.h"

#include <jack/jack.h>
#include <jack/ringbuffer.h>
#include <jack/uuid.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <semaphore.h>
#include <thread>

namespace sim {

class JackKeyboardPorts : public KeyboardPorts {
public:
    JackKeyboardPorts();
    ~JackKeyboardPorts() override;
    bool open(const std::string& name, SimRunner& runner, std::string& error) override;
    void close() override;
    std::string where() const override;
    bool send(int port, const Bytes& bytes) override;

private:
    static int process(std::uint32_t frames, void* arg);
    static void shutdown(void* arg);
    void drainInput();
    void keepNames();
    bool namesIntact() const;

    jack_client_t* m_client = nullptr;
    jack_port_t* m_in[kPortCount] = {};
    jack_port_t* m_out[kPortCount] = {};
    jack_ringbuffer_t* m_inRing = nullptr;
    jack_ringbuffer_t* m_outRing[kPortCount] = {};
    std::mutex m_sendLock[kPortCount];
    SimRunner* m_runner = nullptr;
    std::thread m_worker;
    std::thread m_namesKeeper;
    std::mutex m_namesLock;
    std::condition_variable m_namesWake;
    bool m_namesStop = false; // under m_namesLock
    sem_t m_wake;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_alive{false};
    std::atomic<long> m_droppedIn{0};
    std::string m_name;
    std::string m_clientName;
    jack_uuid_t m_clientUuid = 0;
};

std::unique_ptr<KeyboardPorts> makeJackKeyboardPorts();

} // namespace sim
