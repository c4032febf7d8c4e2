#pragma once
// The pump: one per open input. The parser (service thread) copies records
// into the ring; this thread takes them out one by one and hands them to the
// transport's reader.

#include "editor/midi/CircularBuffer.h"
#include "editor/midi/MIDIEvent.h"

#include <QThread>

#include <condition_variable>

class TMIDITransport;

class TMIDIEventPushThread : public QThread {
    Q_OBJECT
public:
    static constexpr int kRingRecords = 960;
    static constexpr int kRecordSize = int(sizeof(tagMPEVENT));
    static constexpr int kRingBytes = kRingRecords * kRecordSize;

    explicit TMIDIEventPushThread(TMIDITransport* transport);
    // Releases the SysEx buffers of records still in the ring.
    ~TMIDIEventPushThread() override;

    void requestTermination();

    // Producer side (service thread): copies the record in when the ring has
    // room for at least two records, else drops it. Never blocks on the
    // reader. Returns whether the record went in.
    bool push(const tagMPEVENT& event);

    CircularBuffer& ring() { return m_ring; }
    uint64_t dropped() const { return m_dropped.load(); }

protected:
    void run() override;

private:
    TMIDITransport* m_transport;
    std::condition_variable m_condition;
    CircularBuffer m_ring;
    std::atomic<uint64_t> m_dropped{0};
};
