#pragma once
// Ports of the ALSA sequencer.

#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/alsa/Service.h"

#include <memory>
#include <mutex>
#include <vector>

class TAlsaMIDIPortAccessor : public TUniMIDIPortAccessor {
public:
    TAlsaMIDIPortAccessor();
    ~TAlsaMIDIPortAccessor() override;

    // Counting takes a fresh snapshot of the sequencer's ports; the names
    // asked for afterwards come from it.
    int getNumPorts(int io) const override;
    QString identifierForIndex(int io, int index) const override;

    // The client shared by the accessors alive (null when the sequencer does
    // not open); transports keep a reference.
    static std::shared_ptr<AlsaMIDIService> client();

private:
    mutable std::vector<AlsaMIDIService::Address> m_snapshot[2];
    static std::mutex s_mutex;
    static std::shared_ptr<AlsaMIDIService> s_client;
    static int s_midiClientCounter;
};
