#include "editor/midi/MIDIBackendRegistry.h"
#include "editor/midi/jack/PortAccessor.h"
#include "editor/midi/jack/Service.h"
#include "editor/midi/jack/Transport.h"

namespace ZenoMIDI {

BackendOps jackBackendOps()
{
    BackendOps ops;
    ops.kind = Backend::Jack;
    ops.probe = &JackMIDIService::serverAnswers;
    ops.newTransport = [] { return static_cast<TMIDITransport*>(new TJackMIDI(TJackMIDIPortAccessor::client())); };
    ops.newAccessor = [] { return static_cast<TUniMIDIPortAccessor*>(new TJackMIDIPortAccessor); };
    return ops;
}

} // namespace ZenoMIDI
