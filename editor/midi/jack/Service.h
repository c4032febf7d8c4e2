#pragma once
// The process's one connection to the JACK server ("MIDI Client"), shared by
// the port accessors and transports of the JACK backend.
//
// Port order: sources are the server's MIDI output ports, destinations its
// MIDI input ports, this client's own ports left out, sorted by full port
// name ("client:port", digits compared as numbers). Port number n is the
// n-th entry of that order.
//
// Names: the device is the client (its JACK metadata pretty name when set,
// else its name), the endpoint the port (its pretty name when set, else its
// short name).

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

class JackMIDIService {
public:
    // Something the process callback feeds with the bytes of each event.
    class InputSink {
    public:
        virtual ~InputSink() = default;
        virtual void receive(const unsigned char* bytes, int length, uint64_t ns) = 0;
    };

    // Connects to a running server (never starts one); null when none answers.
    static std::shared_ptr<JackMIDIService> open(const char* clientName = "MIDI Client");
    // Whether a server answers now.
    static bool serverAnswers();

    ~JackMIDIService();

    bool alive() const { return m_alive.load(); }
    // After the server went away: closes the dead connection now. libjack
    // cannot close it safely once another connection was tried, so this
    // runs before any new open. Objects still holding this service then
    // only fail.
    void releaseIfDead();
    QString clientName() const { return m_name; }

    // Full port names in port order (io 0 sources, 1 destinations), as the
    // server has them now.
    QStringList ports(int io) const;
    // Port numbers refer to the list the last accessor update saw (other
    // programs' ports come and go in between); until then, to ports().
    void rememberPorts(int io, const QStringList& list);
    QStringList numberedPorts(int io) const;
    // Device and endpoint names of a full port name; false when it is gone.
    bool portNames(const QString& fullName, QString* device, QString* endpoint) const;

    // Input: registers a port of ours, feeds sink from it, and connects
    // source to it. Returns a slot (>= 0) or -1.
    int openInput(const QString& source, InputSink* sink);
    // Output: registers a port of ours and connects it to destination.
    int openOutput(const QString& destination);
    // After closing, the process callback no longer touches the slot.
    void closeInput(int slot);
    void closeOutput(int slot);
    // Queues one piece for the next process cycles; false when the server is
    // gone or the piece cannot be queued within a second.
    bool send(int slot, const unsigned char* bytes, int length);

    static constexpr int kMaxSlots = 64;

private:
    // Pieces waiting for the process callback: one writer (under
    // sendMutex), one reader (the callback), no locks between them.
    class PieceRing {
    public:
        static constexpr size_t kBytes = 64 * 1024; // a power of two
        bool push(const unsigned char* bytes, uint32_t length);
        // Length of the next whole piece, 0 when there is none.
        uint32_t peekLength() const;
        void pop(unsigned char* out, uint32_t length);
        size_t space() const;

    private:
        void copyIn(size_t at, const void* src, size_t count);
        void copyOut(size_t at, void* dst, size_t count) const;
        std::unique_ptr<unsigned char[]> m_data{new unsigned char[kBytes]};
        std::atomic<size_t> m_head{0}; // total bytes written
        std::atomic<size_t> m_tail{0}; // total bytes read
    };

    struct Slot {
        jack_port_t* port = nullptr;
        InputSink* sink = nullptr;
        std::unique_ptr<PieceRing> ring;
        std::mutex sendMutex;
    };

    JackMIDIService() = default;
    static int process(uint32_t frames, void* arg);
    static void shutdown(void* arg);
    int registerSlot(std::atomic<Slot*>* table, Slot* slot);
    void retire(std::atomic<Slot*>* table, int index);

    jack_client_t* m_client = nullptr;
    QString m_name;
    std::atomic<bool> m_alive{false};
    std::atomic<int> m_inProcess{0};
    std::atomic<Slot*> m_inputs[kMaxSlots] = {};
    std::atomic<Slot*> m_outputs[kMaxSlots] = {};
    std::atomic<uint64_t> m_portCounter{0};
    mutable std::mutex m_mutex; // registration and retirement
    mutable std::mutex m_listMutex;
    QStringList m_numbered[2];
    bool m_remembered[2] = {false, false};
};
