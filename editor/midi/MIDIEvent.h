#pragma once
// One MIDI event as it travels through the editor: from the parser through
// the event ring to a reader, and from the encoder to a transport.

#include <cstddef>
#include <cstdint>

enum : uint32_t {
    MPEV_NONE = 0x1,                // no event; as a ring record: the pump's stop request
    MPEV_NRPN = 0x2,                // output only: CC 99, 98, 6, 38
    MPEV_RPN = 0x4,                 // output only: CC 101, 100, 6, 38
    MPEV_BANKPROGRAM = 0x8,         // output only: CC 0, CC 32, program change
    MPEV_ACTIVESENSING = 0x10,      // 0xFE; d1 = 0x00, d2 = 0xFE
    MPEV_NOTEOFF = 0x20,
    MPEV_NOTEON = 0x40,
    MPEV_KEYPRESSURE = 0x80,
    MPEV_CONTROLCHANGE = 0x100,
    MPEV_PROGRAMCHANGE = 0x200,
    MPEV_CHANNELPRESSURE = 0x400,
    MPEV_PITCHBEND = 0x800,
    MPEV_SYSEX = 0x10000,           // System Exclusive that began with F0
    MPEV_SYSEXCONT = 0x20000,       // System Exclusive data that began with F7
};

// Bits 16..21 of a kind mark the System Exclusive kinds.
inline constexpr uint32_t MPEV_SYSEX_MASK = 0x3F0000;

inline constexpr bool isSysExKind(uint32_t kind) { return (kind & MPEV_SYSEX_MASK) != 0; }

struct tagMPEVENT {
    uint32_t kind = MPEV_NONE;
    int32_t portId = 0;      // 1-based port number (filled by the routes)
    int32_t channel = 0;     // 0..15 for channel messages, else 0
    uint64_t sequence = 0;   // arrival stamp (filled by the input route)
    int32_t stamped = 0;     // 1 once sequence is filled
    int32_t length = 0;      // SysEx kinds: bytes at data (after F0/F7, final F7 counted)
    union {
        // SysEx kinds: the message bytes after the first byte, ending with F7.
        // Valid only during the reader's midiIn call.
        unsigned char* data;
        // Short kinds: d1, d2, 0, 0 (the message's data bytes); for the
        // output-only kinds the controller values / bank and program in order.
        unsigned char shortData[8];
    };
    // The transport's SysEx buffer (first byte F0/F7 included) while the
    // record sits in the ring; released by the pump after delivery.
    unsigned char* buffer = nullptr;
    // Steady-clock nanoseconds at which the service thread handed the bytes
    // to the parser (0 when unknown). Used for latency figures only.
    uint64_t receivedNs = 0;

    tagMPEVENT() : data(nullptr) { for (unsigned char& b : shortData) b = 0; }

    unsigned char d1() const { return shortData[0]; }
    unsigned char d2() const { return shortData[1]; }
};
using MPEVENT = tagMPEVENT;

// Message length in bytes including the status byte, as the parser uses it.
inline constexpr int midiMessageLength(unsigned char status)
{
    if (status < 0xF0) {
        switch (status >> 4) {
        case 0xC:
        case 0xD:
            return 2;
        default:
            return 3;
        }
    }
    if (status == 0xF2) return 3;
    if (status == 0xF3) return 2;
    return 1;
}

// Channel-message kinds indexed by (status >> 4) - 8.
inline constexpr uint32_t kChannelMessageKinds[7] = {
    MPEV_NOTEOFF, MPEV_NOTEON, MPEV_KEYPRESSURE, MPEV_CONTROLCHANGE,
    MPEV_PROGRAMCHANGE, MPEV_CHANNELPRESSURE, MPEV_PITCHBEND,
};
