#pragma once
// The process's one connection to the JACK server ("MIDI Client"), shared by
// the port accessors and transports of the JACK backend.
//
// Port order: sources are the server's MIDI output ports, destinations its
// MIDI input ports, this client's own ports left out, sorted by full port
// name ("client:port", digits compared as numbers). Port numbers follow that
// order and then stay with their ports (JackPortNumbers below).
//
// Names: the device is the client (its JACK metadata pretty name when set,
// else its name), the endpoint the port (its pretty name when set, else its
// short name).

#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

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

    // Full port names (io 0 sources, 1 destinations) as the server has
    // them now, this client's own left out, in port order.
    QStringList ports(int io) const;
    // Device and endpoint names of a full port name; false when it is gone.
    bool portNames(const QString& fullName, QString* device, QString* endpoint) const;

    // Input: registers a port of ours, feeds sink from it, and connects
    // source to it. Returns a slot (>= 0) or -1. Returns once the connection
    // is in effect for the process cycles.
    int openInput(const QString& source, InputSink* sink);
    // Output: registers a port of ours and connects it to destination;
    // returns once the connection is in effect, so that nothing sent right
    // after the open goes out on a port the server does not yet route.
    int openOutput(const QString& destination);
    // After closing, the process callback no longer touches the slot.
    // Closing an output first lets the pieces already queued go out (for a
    // bounded time), so a send that succeeded is not thrown away.
    void closeInput(int slot);
    void closeOutput(int slot);
    // Queues one piece for the next process cycles; false when the server is
    // gone, the destination is no longer connected, or the piece cannot be
    // queued within a second.
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
        bool empty() const { return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire); }
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

    // A pretty name as this server announced it, with the notification
    // count at which it was seen (0: already there when we connected).
    struct Announced {
        QString name;
        uint64_t seen = 0;
        bool lookUp = false; // announced on the notification thread, read on first use
    };

    JackMIDIService() = default;
    static int process(uint32_t frames, void* arg);
    static void shutdown(void* arg);
    // Notification thread: server notifications about ports, clients and
    // metadata.
    void onPortRegistered(uint32_t portId, bool registered);
    void onClientRegistered(const char* name, bool registered);
    void onPropertyChanged(uint64_t subject, const char* key, bool deleted);
    void takeNamesSnapshot();
    QString announcedName(uint64_t subject, uint64_t notBefore) const;
    void clearOwnNames(uint64_t subject);
    int registerSlot(std::atomic<Slot*>* table, Slot* slot);
    void retire(std::atomic<Slot*>* table, int index);
    bool waitForConnection(jack_port_t* port);
    bool waitCycles(uint64_t count);

    jack_client_t* m_client = nullptr;
    QString m_name;
    std::atomic<bool> m_alive{false};
    std::atomic<int> m_inProcess{0};
    std::atomic<Slot*> m_inputs[kMaxSlots] = {};
    std::atomic<Slot*> m_outputs[kMaxSlots] = {};
    std::atomic<uint64_t> m_portCounter{0};
    std::atomic<uint64_t> m_cycles{0};
    mutable std::mutex m_mutex; // registration and retirement

    // Pretty names. The server's metadata store is shared by every server
    // of the user and outlives ports and clients: a port or client can find
    // a name there that an earlier owner of its identity left, or that a
    // client of another server wrote. So names count only as this server
    // announced them: those present when we connected, and changes it
    // notified since. A port registered later starts without a name; a
    // client registered later counts only names announced after it came.
    mutable std::mutex m_namesMutex; // taken by the notification thread: no server calls under it
    mutable std::unordered_map<uint64_t, Announced> m_names;
    // libjack's metadata calls share per-client buffers and are not safe from
    // two threads at once; every caller-side metadata call takes this. The
    // notification thread makes none.
    mutable std::mutex m_metadataMutex;
    QHash<QString, uint64_t> m_clientsSince; // client name -> notification count at its registration
    uint64_t m_notifications = 1;
};

// Port numbers of the JACK backend, for the whole process. A number, once
// given to a full port name, keeps meaning that port: rescans add ports seen
// for the first time after the known ones (in port order) and leave the
// number of a port that went away unused, so a number taken from any earlier
// list can never open a different port. Opening a number whose port is gone
// fails.
class JackPortNumbers {
public:
    static JackPortNumbers& instance();
    // Brings direction io up to date with the ports present now; returns,
    // for each number from 1, its full port name, or an empty text where
    // that port is absent.
    QStringList update(int io, const QStringList& present);
    // The full port name that number means (empty for a number never given).
    QString nameOf(int io, int number) const;

private:
    mutable std::mutex m_mutex;
    QStringList m_names[2];
    QHash<QString, int> m_numbers[2];
};
