#pragma once
// The pump: one per open input. The parser (service thread) copies records
// into the ring; this thread takes them out one by one and hands them to the
// transport's reader.
//
// Starting, stopping and the hand-over of records all go through standard
// threads, mutexes and conditions, so that a race detector sees every
// ordering between the service thread, the pump and the owner.

#include "editor/midi/CircularBuffer.h"
#include "editor/midi/MIDIEvent.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <thread>

class TMIDITransport;

class TMIDIEventPushThread {
public:
    static constexpr int kRingRecords = 960;
    static constexpr int kRecordSize = int(sizeof(tagMPEVENT));
    static constexpr int kRingBytes = kRingRecords * kRecordSize;

    explicit TMIDIEventPushThread(TMIDITransport* transport);
    // Stops the thread if it still runs and releases the SysEx buffers of
    // records still in the ring.
    ~TMIDIEventPushThread();
    TMIDIEventPushThread(const TMIDIEventPushThread&) = delete;
    TMIDIEventPushThread& operator=(const TMIDIEventPushThread&) = delete;

    // Starts the delivery loop (once).
    void start();
    // Queues the stop request behind whatever the ring holds.
    void requestTermination();
    // Waits for the delivery loop to end (no time limit); true when it ran.
    bool wait();
    bool isRunning() const { return m_thread.joinable(); }

    // Producer side (service thread): copies the record in when the ring has
    // room for at least two records, else drops it. Never blocks on the
    // reader. Returns whether the record went in.
    bool push(const tagMPEVENT& event);

    CircularBuffer& ring() { return m_ring; }
    uint64_t dropped() const { return m_dropped.load(); }

private:
    void run();

    TMIDITransport* m_transport;
    std::condition_variable m_condition;
    CircularBuffer m_ring;
    std::atomic<uint64_t> m_dropped{0};
    std::thread m_thread;
};
