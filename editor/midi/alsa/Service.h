#pragma once
// The process's one ALSA sequencer client ("MIDI Client"), shared by the
// port accessors and transports of the ALSA backend. A service thread waits
// for incoming events and hands their bytes to the transport whose port they
// arrived at.
//
// Port order: every port of every client except the system client and our
// own, by client number then port number; sources are the ports others can
// read from (subscribable for reading), destinations those they can write to
// (a duplex port is both).
//
// Names: the device is the client's name, the endpoint the port's name.

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

typedef struct _snd_seq snd_seq_t;
typedef struct snd_midi_event snd_midi_event_t;

class AlsaMIDIService {
public:
    class InputSink {
    public:
        virtual ~InputSink() = default;
        virtual void receive(const unsigned char* bytes, int length, uint64_t ns) = 0;
    };

    struct Address {
        int client = -1;
        int port = -1;
    };

    // Opens the sequencer; null when the device does not open.
    static std::shared_ptr<AlsaMIDIService> open(const char* clientName = "MIDI Client");
    static bool deviceOpens();

    ~AlsaMIDIService();

    // Addresses in port order (io 0 sources, 1 destinations), as the
    // sequencer has them now.
    std::vector<Address> ports(int io) const;
    // Port numbers refer to the list the last accessor update saw; until
    // then, to ports().
    void rememberPorts(int io, const std::vector<Address>& list);
    std::vector<Address> numberedPorts(int io) const;
    bool portNames(const Address& address, QString* device, QString* endpoint) const;

    // Input: makes a port of ours, subscribes it to source and feeds sink.
    // Returns our port number or -1.
    int openInput(const Address& source, InputSink* sink);
    int openOutput(const Address& destination);
    void closeInput(int port);
    void closeOutput(int port);
    bool send(int port, const unsigned char* bytes, int length);

private:
    AlsaMIDIService() = default;
    void run();

    snd_seq_t* m_seq = nullptr;
    int m_clientId = -1;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::mutex m_sinksMutex; // held while a sink is fed
    std::vector<std::pair<int, InputSink*>> m_sinks;
    std::mutex m_sendMutex;
    mutable std::mutex m_listMutex;
    std::vector<Address> m_numbered[2];
    bool m_remembered[2] = {false, false};
    snd_midi_event_t* m_encoder = nullptr;
};
