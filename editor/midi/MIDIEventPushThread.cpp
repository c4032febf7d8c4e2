#include "editor/midi/MIDIEventPushThread.h"

#include "editor/midi/MIDITransport.h"
#include "editor/midi/Utilities.h"

#include <cstdlib>

TMIDIEventPushThread::TMIDIEventPushThread(TMIDITransport* transport)
    : m_transport(transport)
    , m_ring(kRingBytes, false)
{
}

TMIDIEventPushThread::~TMIDIEventPushThread()
{
    // The owner waits for the thread to end before deleting it; whatever the
    // pump did not deliver still owns its SysEx buffer.
    if (isRunning()) {
        requestTermination();
        wait();
    }
    m_ring.lock();
    tagMPEVENT record;
    while (m_ring.avail() >= kRecordSize) {
        m_ring.read(reinterpret_cast<unsigned char*>(&record), kRecordSize);
        std::free(record.buffer);
    }
    m_ring.unlock();
}

bool TMIDIEventPushThread::push(const tagMPEVENT& event)
{
    m_ring.lock();
    const bool room = m_ring.space() >= 2 * kRecordSize;
    if (room)
        m_ring.write(reinterpret_cast<const unsigned char*>(&event), kRecordSize);
    m_ring.unlock();
    m_condition.notify_all();
    if (!room)
        m_dropped.fetch_add(1);
    return room;
}

void TMIDIEventPushThread::requestTermination()
{
    tagMPEVENT stop;
    stop.kind = MPEV_NONE;
    m_ring.lock();
    while (m_ring.space() < kRecordSize) {
        m_ring.unlock();
        NS_Utilities::milisecondDelay(1);
        m_ring.lock();
    }
    m_ring.write(reinterpret_cast<const unsigned char*>(&stop), kRecordSize);
    m_ring.unlock();
    m_condition.notify_all();
}

void TMIDIEventPushThread::run()
{
    tagMPEVENT record;
    std::unique_lock lock(*m_ring.mutex());
    for (;;) {
        if (m_ring.avail() >= kRecordSize) {
            m_ring.read(reinterpret_cast<unsigned char*>(&record), kRecordSize);
            lock.unlock();
            if (record.kind == MPEV_NONE)
                return;
            m_transport->doEvent(&record, false);
            lock.lock();
            continue;
        }
        m_condition.wait(lock);
    }
}
