#include "editor/midi/MIDIBackendRegistry.h"
#include "editor/midi/alsa/PortAccessor.h"
#include "editor/midi/alsa/Service.h"
#include "editor/midi/alsa/Transport.h"

namespace ZenoMIDI {

BackendOps alsaBackendOps()
{
    BackendOps ops;
    ops.kind = Backend::Alsa;
    ops.probe = &AlsaMIDIService::deviceOpens;
    ops.newTransport = [] { return static_cast<TMIDITransport*>(new TAlsaMIDI(TAlsaMIDIPortAccessor::client())); };
    ops.newAccessor = [] { return static_cast<TUniMIDIPortAccessor*>(new TAlsaMIDIPortAccessor); };
    return ops;
}

} // namespace ZenoMIDI
