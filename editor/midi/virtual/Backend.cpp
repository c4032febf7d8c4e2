#include "editor/midi/MIDIBackendRegistry.h"
#include "editor/midi/virtual/PortAccessor.h"
#include "editor/midi/virtual/Transport.h"

namespace ZenoMIDI {

// Never chosen automatically: it has no devices unless code plugs them.
BackendOps virtualBackendOps()
{
    BackendOps ops;
    ops.kind = Backend::Virtual;
    ops.probe = nullptr;
    ops.newTransport = [] { return static_cast<TMIDITransport*>(new TVirtualMIDI(TVirtualMIDIPortAccessor::client())); };
    ops.newAccessor = [] { return static_cast<TUniMIDIPortAccessor*>(new TVirtualMIDIPortAccessor); };
    return ops;
}

} // namespace ZenoMIDI
