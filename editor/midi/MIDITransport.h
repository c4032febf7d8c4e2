#pragma once
// One transport serves one MIDI port. Input: the platform service hands raw
// bytes to read() on its own thread; the parser turns them into tagMPEVENT
// records in a ring and a pump thread delivers them to the reader. Output:
// outputData() sends a status byte plus data bytes in pieces.

#include "editor/midi/MIDIEvent.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>

class TMIDIEventPushThread;

// Receiver of incoming events; midiIn runs on the pump thread. A SysEx
// event's data is valid only during the call.
class TMIDIReaderRefConInterface {
public:
    virtual ~TMIDIReaderRefConInterface() = default;
    virtual void midiIn(tagMPEVENT* event) = 0;
};

class TMIDITransport : public QObject {
    Q_OBJECT
public:
    // A System Exclusive message longer than this (first byte included) is
    // dropped whole: a message whose F7 never comes must not grow forever.
    static constexpr int kMaxSysExBytes = 64 * 1024;
    // Largest piece outputData hands to the service in one call, and the
    // pause between pieces.
    static constexpr int kMaxOutputPiece = 4096;
    static constexpr int kPieceIntervalMs = 100;

    explicit TMIDITransport(QObject* parent = nullptr);
    ~TMIDITransport() override;

    virtual bool openInput(int port, TMIDIReaderRefConInterface* reader, int filterType) = 0;
    virtual void closeInput() = 0;
    virtual bool openOutput(int port) = 0;
    virtual void closeOutput() = 0;
    virtual bool outputData(int length, unsigned char* data, unsigned long status) = 0;
    // The parser: called by the service thread with each packet's bytes.
    // Every System Exclusive message becomes an event of its own, ending at
    // its first F7; real-time bytes inside it are skipped, and any other
    // status byte closes it (an F7 is added). A platform transport closes
    // its input in its own destructor, before this class stops the pump.
    virtual void read(int length, const void* bytes);

    bool startPusherThread();
    void stopPusherThread();
    void doEvent(tagMPEVENT* event, bool raw);

    TMIDIReaderRefConInterface* reader() const { return m_reader; }
    void setReader(TMIDIReaderRefConInterface* reader) { m_reader = reader; }
    bool pusherRunning() const { return m_pusher != nullptr; }
    TMIDIEventPushThread* pusher() const { return m_pusher; }

    // Events dropped because the ring was full, and SysEx messages dropped
    // because they outgrew kMaxSysExBytes (read from any thread).
    uint64_t droppedEvents() const;
    uint64_t droppedSysEx() const;

protected:
    // The steady-clock stamp the service thread put on the packet being
    // parsed (0 = take the time at push).
    void setPacketTime(uint64_t ns) { m_packetNs = ns; }

    // Splits (status byte if not 0) + data into pieces of at most
    // kMaxOutputPiece bytes, calls send once per piece with at least
    // kPieceIntervalMs between pieces, and stops at the first failed piece.
    // Returns the success of the last piece sent; false for nothing to send.
    bool sendInPieces(int length, const unsigned char* data, unsigned long status,
                      const std::function<bool(const unsigned char*, int)>& send);

private:
    int readShort(int available, const unsigned char* bytes);
    int readLong(int available, const unsigned char* bytes);
    void pushEvent();
    void closeOpenSysEx();
    void releaseCurrent();
    void appendSysEx(const unsigned char* bytes, int count);

    TMIDIReaderRefConInterface* m_reader = nullptr;
    TMIDIEventPushThread* m_pusher = nullptr;
    tagMPEVENT m_current;
    // The SysEx message being assembled (first byte included); handed to the
    // ring record on push.
    unsigned char* m_sysex = nullptr;
    int m_sysexLength = 0;
    int m_sysexCapacity = 0;
    bool m_sysexOverflow = false;
    uint64_t m_packetNs = 0;
    std::atomic<uint64_t> m_droppedEvents{0};
    std::atomic<uint64_t> m_droppedSysEx{0};
};

// A new transport of the active backend, bound to that backend's shared
// client (made by the first port accessor). Before any accessor exists, or
// with no backend, the transport's opens fail. The caller owns it.
TMIDITransport* MIDITransportInstance();
