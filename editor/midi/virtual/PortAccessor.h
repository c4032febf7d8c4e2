#pragma once
// Ports of the in-process virtual service.

#include "editor/midi/MIDIPortAccessor.h"

#include <memory>
#include <mutex>

// The virtual service needs no connection, but the layer's contract does:
// transports made before any accessor exists fail to open.
struct VirtualMIDIClient {};

class TVirtualMIDIPortAccessor : public TUniMIDIPortAccessor {
public:
    TVirtualMIDIPortAccessor();
    ~TVirtualMIDIPortAccessor() override;

    int getNumPorts(int io) const override;
    QString identifierForIndex(int io, int index) const override;

    // The client shared by the accessors alive; transports keep a reference.
    static std::shared_ptr<VirtualMIDIClient> client();

private:
    static std::mutex s_mutex;
    static std::shared_ptr<VirtualMIDIClient> s_client;
    static int s_midiClientCounter;
};
