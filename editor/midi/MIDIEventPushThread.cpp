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
    if (isRunning()) {
        requestTermination();
        wait();
    }
    // Whatever the pump did not deliver still owns its SysEx buffer.
    m_ring.lock();
    tagMPEVENT record;
    while (m_ring.avail() >= kRecordSize) {
        m_ring.read(reinterpret_cast<unsigned char*>(&record), kRecordSize);
        std::free(record.buffer);
    }
    m_ring.unlock();
}

void TMIDIEventPushThread::start()
{
    if (m_thread.joinable())
        return;
    // Normal scheduling: the service thread does the time-critical part (it
    // never waits for the pump), and a real-time reader that got busy could
    // starve the user interface.
    m_thread = std::thread([this] { run(); });
}

bool TMIDIEventPushThread::wait()
{
    if (!m_thread.joinable())
        return false;
    if (m_thread.get_id() == std::this_thread::get_id())
        return false; // a reader closing its own input from midiIn: cannot join itself
    m_thread.join();
    return true;
}

bool TMIDIEventPushThread::push(const tagMPEVENT& event)
{
    bool room = false;
    {
        std::lock_guard lock(*m_ring.mutex());
        room = m_ring.space() >= 2 * kRecordSize;
        if (room)
            m_ring.write(reinterpret_cast<const unsigned char*>(&event), kRecordSize);
    }
    if (room)
        m_condition.notify_all();
    else
        m_dropped.fetch_add(1);
    return room;
}

void TMIDIEventPushThread::requestTermination()
{
    tagMPEVENT stop;
    stop.kind = MPEV_NONE;
    std::unique_lock lock(*m_ring.mutex());
    while (m_ring.space() < kRecordSize) {
        lock.unlock();
        NS_Utilities::milisecondDelay(1);
        lock.lock();
    }
    m_ring.write(reinterpret_cast<const unsigned char*>(&stop), kRecordSize);
    lock.unlock();
    m_condition.notify_all();
}

void TMIDIEventPushThread::run()
{
    tagMPEVENT record;
    std::unique_lock lock(*m_ring.mutex());
    for (;;) {
        m_condition.wait(lock, [this] { return m_ring.avail() >= kRecordSize; });
        m_ring.read(reinterpret_cast<unsigned char*>(&record), kRecordSize);
        lock.unlock();
        if (record.kind == MPEV_NONE)
            return;
        m_transport->doEvent(&record, false);
        lock.lock();
    }
}
