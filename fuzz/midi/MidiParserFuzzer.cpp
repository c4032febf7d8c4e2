// Any byte stream, cut into packets anywhere, must parse without crashing,
// hanging or growing without bound, and every event must be well formed.
//
// Input layout: the first byte seeds the packet cuts; the rest is the stream.
#include "editor/midi/MIDITransport.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

namespace {

class FuzzTransport final : public TMIDITransport {
public:
    ~FuzzTransport() override { closeInput(); }
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

class CheckingReader final : public TMIDIReaderRefConInterface {
public:
    void midiIn(tagMPEVENT* event) override
    {
        if (isSysExKind(event->kind)) {
            // A SysEx event ends with F7, holds no other status byte and
            // stays within the cap.
            if (event->length < 1 || event->length > TMIDITransport::kMaxSysExBytes || !event->data
                || event->data[event->length - 1] != 0xF7)
                std::abort();
            for (int i = 0; i < event->length - 1; ++i)
                if (event->data[i] >= 0x80)
                    std::abort();
            return;
        }
        if (event->channel < 0 || event->channel > 15)
            std::abort();
        switch (event->kind) {
        case MPEV_ACTIVESENSING:
        case MPEV_NOTEOFF:
        case MPEV_NOTEON:
        case MPEV_KEYPRESSURE:
        case MPEV_CONTROLCHANGE:
        case MPEV_PROGRAMCHANGE:
        case MPEV_CHANNELPRESSURE:
        case MPEV_PITCHBEND:
            break;
        default:
            std::abort();
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    uint32_t cuts = data[0] * 2654435761u + 1;
    const unsigned char* stream = data + 1;
    const size_t length = size - 1;

    CheckingReader reader;
    FuzzTransport transport;
    transport.openInput(1, &reader, 0);
    size_t pos = 0;
    while (pos < length) {
        cuts = cuts * 1103515245u + 12345u;
        size_t packet = 1 + (cuts >> 16) % 64;
        if (packet > length - pos)
            packet = length - pos;
        transport.read(int(packet), stream + pos);
        pos += packet;
    }
    transport.closeInput();
    return 0;
}
