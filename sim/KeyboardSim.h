#pragma once
// The simulated keyboard: what a ZenoA/ZenoB does with the System Exclusive
// messages it receives, as bytes in and bytes out. It keeps 50 stored
// templates, 50 edit buffers, the current template and the bank edit flag,
// answers bulk requests with 15-message dumps, takes dumps in and acknowledges
// them, applies parameter changes to the current edit buffer, stores, and
// answers the host extension's instrument-name handshake. No MIDI, no clock:
// the MIDI side (SimPorts) feeds it and sends what it returns.
//
// Thread safety: every public operation takes the object's lock, so the MIDI
// input thread, the active-sensing timer and the user-action side may call it
// concurrently. The log sink is called with the lock held and must not call
// back into the object.

#include "sim/SimCodec.h"
#include "sim/SimFaults.h"
#include "sim/SimTemplate.h"

#include <array>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

constexpr int kActiveSensePort = 1;
constexpr int kCommunicationPort = 5;
constexpr int kPortCount = 5;

struct SimOutput {
    int port = kCommunicationPort;
    Bytes bytes;
};

struct SimStats {
    int messagesIn = 0;
    int messagesOut = 0;
    int dumpsSent = 0;      // template dumps sent in answer to requests
    int dumpsAccepted = 0;  // template dumps taken in from the editor
    int dumpsRejected = 0;  // template dumps refused (damaged, incomplete)
    int paramChanges = 0;   // parameter changes applied
    int ignored = 0;        // messages that were not understood or not for us
};

class KeyboardSim {
public:
    explicit KeyboardSim(int deviceNumber = 0);

    void setFaults(const SimFaults& faults);
    SimFaults faults() const;

    // Log lines, without time stamps:
    //   "in  p5 F0 43 20 7F 17 0E 60 00 F7 | bulk request: stored template 1"
    //   "out p5 F0 43 00 7F 19 00 00 0E 60 00 13 F7 | bulk header: stored template 1"
    //   "--- dump of edit buffer template 3 refused: knob A2 block checksum wrong"
    // A fault applied to an answer is shown after it in brackets, e.g.
    // "[dropped by fault drop=7]".
    using LogSink = std::function<void(const std::string&)>;
    void setLogSink(LogSink sink);
    // Every System Exclusive message received, as "in F0 .. F7" (upper-case
    // hex pairs, nothing else on the line), also those a fault then ignores.
    // Called with the lock held; the runner logs what it sends.
    void setWireLog(LogSink sink);

    // One delivery of bytes from the computer on an input port. It may hold
    // one message or several in a row; bytes outside F0..F7 are ignored.
    // Returns the answers in the order they are to be sent.
    std::vector<SimOutput> receive(int port, const std::uint8_t* bytes, std::size_t length);
    std::vector<SimOutput> receive(int port, const Bytes& bytes) { return receive(port, bytes.data(), bytes.size()); }

    // The periodic active sensing byte for output port 1 (none when the
    // no-active-sensing fault is on).
    std::vector<SimOutput> activeSensing();

    // What happens when the musician works the keyboard itself.
    std::vector<SimOutput> userSelectTemplate(int templateIndex);
    std::vector<SimOutput> userStore();
    // The musician turns a value of knob 0..11 of the current template on
    // the keyboard: field "name", "cc", "format" or "remote". The edit buffer
    // changes, the bank edit flag rises and the keyboard reports the change
    // (a name one character per message). Empty and unchanged when the knob,
    // the field or the value is not valid; `error` then says why.
    std::vector<SimOutput> userEditKnob(int knob, const std::string& field, const std::string& value,
                                        std::string* error = nullptr);

    // State, for loading, saving and tests.
    SimTemplate stored(int templateIndex) const;
    SimTemplate editBuffer(int templateIndex) const;
    bool setStored(int templateIndex, const SimTemplate& data);
    bool setEditBuffer(int templateIndex, const SimTemplate& data);
    int currentTemplate() const;
    bool setCurrentTemplate(int templateIndex);
    int bankEditFlag() const;
    void setBankEditFlag(int flag);
    int flashCount() const;
    SimStats stats() const;
    int deviceNumber() const { return m_device; }

    // Called, with the lock held, when the editor asks for the store to
    // flash, so that the program can persist the bank. It must not call back
    // into the object.
    void setFlashHandler(std::function<void()> handler);

private:
    struct Incoming {
        bool active = false;
        std::uint8_t kind = 0;
        int templateIndex = 0;
        SimTemplate data;
        unsigned blocksSeen = 0; // bit b for block b (0 common, 1..12 knobs)
        std::string damage;      // first problem seen, empty when none
    };

    void handleMessage(int port, const std::uint8_t* bytes, std::size_t length, std::vector<SimOutput>& out);
    void handleBulk(int port, const Parsed& p, std::vector<SimOutput>& out);
    void handleParamChange(int port, const Parsed& p, std::vector<SimOutput>& out);
    void handleParamRequest(int port, const Parsed& p, std::vector<SimOutput>& out);
    void handleBulkRequest(int port, const Parsed& p, std::vector<SimOutput>& out);
    void handleInstrumentName(int port, const Parsed& p, std::vector<SimOutput>& out);

    void sendParam(int port, std::uint8_t mid, std::uint8_t low, const std::uint8_t* data, std::size_t count,
                   std::vector<SimOutput>& out);
    void send(int port, Bytes bytes, bool isBulkDump, std::vector<SimOutput>& out);
    void log(const std::string& line) const;
    void note(const std::string& text) const;

    mutable std::mutex m_lock;
    int m_device;
    SimFaults m_faults;
    LogSink m_log;
    LogSink m_wireLog;
    int m_faultBase = 0;  // messages received when the faults were last set
    std::function<void()> m_flash;
    std::array<SimTemplate, kTemplateCount> m_stored;
    std::array<SimTemplate, kTemplateCount> m_editBuffers;
    int m_current = 0;
    int m_bankEditFlag = 0;
    int m_flashCount = 0;
    Incoming m_incoming;
    SimStats m_stats;
    long m_answers = 0;   // answers produced, for the every-Nth faults
    long m_bulkSent = 0;  // bulk dump messages produced
};

} // namespace sim
