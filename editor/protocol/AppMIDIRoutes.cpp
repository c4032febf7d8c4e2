#include "editor/protocol/AppMIDIRoutes.h"

#include <atomic>

#include "editor/protocol/ComuController.h"
#include "editor/protocol/MessageProcessor.h"

namespace {
std::atomic<uint64_t> s_timeCounter{0};
} // namespace

TAppMIDIIn::TAppMIDIIn(MessageProcessor* consumer) : m_consumer(consumer) {}

TAppMIDIIn::~TAppMIDIIn()
{
    m_transport.reset();
}

uint64_t TAppMIDIIn::nextSequence()
{
    return s_timeCounter.fetch_add(1, std::memory_order_relaxed);
}

bool TAppMIDIIn::openPort(long portId, int filterType)
{
    m_port = portId;
    m_filterType = filterType;
    m_transport.reset(MIDITransportInstance());
    if (!m_transport)
        return false;
    return m_transport->openInput(static_cast<int>(portId), this, filterType);
}

void TAppMIDIIn::midiIn(tagMPEVENT* event)
{
    if (!event)
        return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    event->portId = static_cast<int32_t>(m_port);
    event->sequence = nextSequence();
    event->stamped = 1;
    if (m_consumer)
        m_consumer->Process(*event);
}

TAppMIDIOut::~TAppMIDIOut()
{
    m_transport.reset();
}

bool TAppMIDIOut::openPort(long portId)
{
    m_transport.reset(MIDITransportInstance());
    if (!m_transport)
        return false;
    return m_transport->openOutput(static_cast<int>(portId));
}

bool TAppMIDIOut::send(int length, unsigned char* data, unsigned long status)
{
    return m_transport && m_transport->outputData(length, data, status);
}

bool TAppMIDIOut::controlChange(int channel, int controller, int value)
{
    unsigned char bytes[2] = {static_cast<unsigned char>(controller & 0x7F),
                              static_cast<unsigned char>(value & 0x7F)};
    return send(2, bytes, 0xB0u | (channel & 0x0F));
}

int32_t TAppMIDIOut::midiOut(const tagMPEVENT& event)
{
    const unsigned long channel = static_cast<unsigned long>(event.channel & 0x0F);
    unsigned char shortBytes[2] = {event.shortData[0], event.shortData[1]};
    bool ok = false;
    switch (event.kind) {
    case MPEV_SYSEX:
    case MPEV_SYSEXCONT:
        if (!event.data || event.length <= 0)
            return ComuController::kFailure;
        ok = send(event.length, event.data, event.kind == MPEV_SYSEX ? 0xF0 : 0xF7);
        break;
    case MPEV_NOTEOFF:
        ok = send(2, shortBytes, 0x80 | channel);
        break;
    case MPEV_NOTEON:
        ok = send(2, shortBytes, 0x90 | channel);
        break;
    case MPEV_KEYPRESSURE:
        ok = send(2, shortBytes, 0xA0 | channel);
        break;
    case MPEV_CONTROLCHANGE:
        ok = send(2, shortBytes, 0xB0 | channel);
        break;
    case MPEV_PITCHBEND:
        ok = send(2, shortBytes, 0xE0 | channel);
        break;
    case MPEV_PROGRAMCHANGE:
        ok = send(1, shortBytes, 0xC0 | channel);
        break;
    case MPEV_CHANNELPRESSURE:
        ok = send(1, shortBytes, 0xD0 | channel);
        break;
    case MPEV_NRPN:
    case MPEV_RPN: {
        const bool nrpn = event.kind == MPEV_NRPN;
        const int controllers[4] = {nrpn ? 99 : 101, nrpn ? 98 : 100, 6, 38};
        ok = true;
        for (int i = 0; i < 4 && ok; ++i)
            ok = controlChange(event.channel, controllers[i], event.shortData[i]);
        break;
    }
    case MPEV_BANKPROGRAM: {
        ok = controlChange(event.channel, 0, event.shortData[0])
            && controlChange(event.channel, 32, event.shortData[1]);
        if (ok) {
            unsigned char program = event.shortData[2] & 0x7F;
            ok = send(1, &program, 0xC0 | channel);
        }
        break;
    }
    default:
        return ComuController::kFailure;
    }
    return ok ? ComuController::kSuccess : ComuController::kFailure;
}
