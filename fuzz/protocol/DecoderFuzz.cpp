// Fuzz target: the decoder's Process on arbitrary events. The input is a
// sequence of records, each a length byte followed by that many message
// bytes (the part after F0, as the MIDI layer delivers it). Every message is
// copied into an exact-size buffer so that any read beyond its end is caught.
#include <QCoreApplication>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/protocol/MessageDecoder.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"

namespace {

struct Harness {
    Harness()
    {
        static int argc = 1;
        static char name[] = "protocol_decoder_fuzz";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            app = new QCoreApplication(argc, argv);
        api = new RemoteMemAPI;
        table = new SysExParamChangeAddressTransTable;
        decoder = new MessageDecoder(table, api->rxModelId(), 5, api);
    }
    // Kept for the whole process: nothing is torn down at exit.
    QCoreApplication* app = nullptr;
    RemoteMemAPI* api = nullptr;
    SysExParamChangeAddressTransTable* table = nullptr;
    MessageDecoder* decoder = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static Harness* harness = new Harness;
    // Bulk reception on, as after a request for the keyboard's data.
    harness->api->sendHardWareDataReq(false);
    size_t i = 0;
    while (i < size) {
        const size_t declared = data[i];
        ++i;
        const size_t n = std::min<size_t>(declared, size - i);
        std::vector<unsigned char> bytes(data + i, data + i + n);
        i += n;
        tagMPEVENT event;
        event.kind = MPEV_SYSEX;
        event.length = static_cast<int32_t>(n);
        event.data = bytes.data();
        harness->decoder->Process(event);
    }
    return 0;
}
