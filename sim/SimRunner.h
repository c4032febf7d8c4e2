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
#include <functional>
#include <string>
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

    // Paces the wire like a DIN cable at `baud` (10 bits per byte, 31250 on
    // a real one): everything sent leaves no faster than the cable carries
    // it, and nothing received is answered before its last byte could have
    // arrived. 0 (the default) for no pacing. Set before start().
    void setWireRate(int baud) { m_wireRate = baud; }
    // Every System Exclusive message handed to the wire, as "out F0 .. F7".
    void setWireLog(std::function<void(const std::string&)> sink) { m_wireLog = std::move(sink); }

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
    // Bytes carried so far towards the keyboard and from it.
    long long bytesReceived() const { return m_bytesIn.load(); }
    long long bytesSent() const { return m_bytesOut.load(); }

private:
    using Clock = std::chrono::steady_clock;
    struct Pending {
        Clock::time_point due;
        SimOutput output;
    };

    void run();
    void queue(std::vector<SimOutput> outputs, Clock::time_point earliest = {});
    Clock::duration wireTime(std::size_t bytes) const;
    // Sends one message once the cable is free and has carried it. Called by
    // the run thread with the lock released.
    bool transmit(const SimOutput& output);

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
    std::atomic<long long> m_bytesIn{0};
    std::atomic<long long> m_bytesOut{0};
    int m_wireRate = 0;
    std::function<void(const std::string&)> m_wireLog;
    Clock::time_point m_outFree{}; // when the outgoing cable is free (run thread only)
    Clock::time_point m_inFree{};  // when the incoming cable is free (under m_inputLock)
};

} // namespace sim
