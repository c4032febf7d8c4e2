#pragma once
// One input route and one output route per open port: they own the port's
// transport and translate between events and the transport's calls.

#include <cstdint>
#include <memory>
#include <mutex>

#include "editor/midi/MIDITransport.h"

class MessageProcessor;

class TAppMIDIIn : public TMIDIReaderRefConInterface {
public:
    explicit TAppMIDIIn(MessageProcessor* consumer);
    // Deleting the transport stops its pump: no Process call runs afterwards.
    ~TAppMIDIIn() override;

    bool openPort(long portId, int filterType);
    void midiIn(tagMPEVENT* event) override;
    long getPortID() const { return m_port; }

    // Source of every event's arrival stamp, shared by all input routes.
    static uint64_t nextSequence();

private:
    long m_port = 0;
    int m_filterType = 0;
    std::unique_ptr<TMIDITransport> m_transport;
    std::recursive_mutex m_mutex;
    MessageProcessor* m_consumer;
};

class TAppMIDIOut {
public:
    TAppMIDIOut() = default;
    ~TAppMIDIOut();

    bool openPort(long portId);
    // 0 when every byte went out, 0x80000008 otherwise.
    int32_t midiOut(const tagMPEVENT& event);

private:
    bool send(int length, unsigned char* data, unsigned long status);
    bool controlChange(int channel, int controller, int value);

    std::unique_ptr<TMIDITransport> m_transport;
};
