#pragma once
// Runs a KeyboardSim on a MIDI wire: reassembles the bytes arriving on each
// input port into whole messages, hands them to the keyboard, and sends the
// answers (after the delay fault, if any) and the active sensing from its own
// thread, so that neither the MIDI service's delivery thread nor the editor's
// sending thread ever waits for the keyboard.

#include "sim/KeyboardSim.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace sim {

// Where the keyboard's outgoing bytes go (one backend per MIDI service).
class SimWire {
public:
    virtual ~SimWire() = default;
    // Sends one message on output port 1..5; false when it could not go out.
    virtual bool send(int port, const Bytes& bytes) = 0;
};

class SimRunner {
public:
    static constexpr int kDefaultActiveSensingMs = 300;
    // A System Exclusive message that grows past this without its F7 is
    // dropped, so a lost F7 cannot make the keyboard swallow everything after.
    static constexpr std::size_t kMaxMessageBytes = 64 * 1024;

    SimRunner(KeyboardSim& keyboard, SimWire& wire, int activeSensingMs = kDefaultActiveSensingMs);
    ~SimRunner();

    void start();
    void stop(); // sends nothing more once it returns

    // Bytes from the computer on input port 1..5, from any thread.
    void deliver(int port, const std::uint8_t* bytes, std::size_t length);
    // Answers made outside deliver() (the musician's actions on the keyboard).
    void post(std::vector<SimOutput> outputs);

    // Waits until every answer queued so far has been handed to the wire.
    bool waitUntilIdle(int timeoutMs = 5000);
    int sendFailures() const { return m_sendFailures.load(); }
    long messagesSent() const { return m_sent.load(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        SimOutput output;
    };

    void run();
    void queue(std::vector<SimOutput> outputs);

    KeyboardSim& m_keyboard;
    SimWire& m_wire;
    const std::chrono::milliseconds m_activeSensing;

    std::mutex m_inputLock;
    std::array<Bytes, kPortCount + 1> m_partial; // per input port, index 1..5

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Pending> m_queue;
    bool m_running = false;
    bool m_stopping = false;
    bool m_sending = false;
    std::thread m_thread;
    std::atomic<int> m_sendFailures{0};
    std::atomic<long> m_sent{0};
};

} // namespace sim
