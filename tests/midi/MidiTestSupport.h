#pragma once
// Helpers shared by the MIDI layer's tests: a reader that records what the
// pump delivers, and a transport without a platform behind it that tests feed
// through read() as a service thread would.

#include "editor/midi/MIDITransport.h"

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <vector>

struct RecordedEvent {
    uint32_t kind = 0;
    int channel = 0;
    std::vector<unsigned char> bytes; // short kinds: d1, d2; SysEx kinds: the data bytes

    bool operator==(const RecordedEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const RecordedEvent& e)
{
    os << "{kind 0x" << std::hex << e.kind << " ch " << std::dec << e.channel << " [";
    for (size_t i = 0; i < e.bytes.size() && i < 24; ++i)
        os << (i ? " " : "") << std::hex << int(e.bytes[i]) << std::dec;
    if (e.bytes.size() > 24)
        os << " ... (" << e.bytes.size() << " bytes)";
    return os << "]}";
}

inline RecordedEvent shortEvent(uint32_t kind, int channel, unsigned char d1, unsigned char d2)
{
    return {kind, channel, {d1, d2}};
}

inline RecordedEvent sysexEvent(std::vector<unsigned char> dataAfterFirst, uint32_t kind = MPEV_SYSEX)
{
    return {kind, 0, std::move(dataAfterFirst)};
}

class RecordingReader : public TMIDIReaderRefConInterface {
public:
    void midiIn(tagMPEVENT* event) override
    {
        RecordedEvent e;
        e.kind = event->kind;
        e.channel = event->channel;
        if (isSysExKind(event->kind))
            e.bytes.assign(event->data, event->data + event->length);
        else
            e.bytes = {event->d1(), event->d2()};
        std::lock_guard lock(m_mutex);
        m_events.push_back(std::move(e));
        if (event->receivedNs)
            m_stamps.push_back(event->receivedNs);
        m_changed.notify_all();
    }

    std::vector<RecordedEvent> events() const
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

    bool waitFor(size_t count, int timeoutMs = 5000) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_events.size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<RecordedEvent> m_events;
    std::vector<uint64_t> m_stamps;
};

// A transport with no service behind it: tests call read() themselves.
class LoopbackTransport : public TMIDITransport {
public:
    ~LoopbackTransport() override { closeInput(); }
    bool openInput(int, TMIDIReaderRefConInterface* reader, int) override
    {
        setReader(reader);
        return startPusherThread();
    }
    void closeInput() override { stopPusherThread(); }
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool outputData(int, unsigned char*, unsigned long) override { return false; }
};

inline std::vector<unsigned char> bytesOf(std::initializer_list<int> values)
{
    std::vector<unsigned char> out;
    for (int v : values)
        out.push_back(static_cast<unsigned char>(v));
    return out;
}

inline QByteArray qbytes(const std::vector<unsigned char>& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}
