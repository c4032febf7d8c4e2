#pragma once
// The keyboard's side of the System Exclusive link, written from the message
// formats alone. The simulator deliberately shares no code with the editor's
// protocol library: two independent readings of the formats meet on the wire,
// so a misreading on either side shows up as a failed exchange in the tests.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kMaker = 0x43;
// What the keyboard sends with, and what it expects from the editor.
constexpr std::uint8_t kModelKeyboard[2] = {0x7F, 0x19};
constexpr std::uint8_t kModelEditor[2] = {0x7F, 0x17};

constexpr int kTemplateCount = 50;
constexpr int kKnobCount = 12;

// Bulk kinds (address mid byte of a header or footer).
constexpr std::uint8_t kKindStored = 0x60;
constexpr std::uint8_t kKindEditBuffer = 0x6F;

// Command nibbles.
enum class Command : std::uint8_t {
    BulkDump = 0x0,
    ParamChange = 0x1,
    BulkRequest = 0x2,
    ParamRequest = 0x3,
    BulkAck = 0x6,
};

// Byte count halves and checksum of a bulk dump whose payload (from the first
// byte-count byte to the last data byte) is given.
std::uint8_t bulkChecksum(const std::uint8_t* from, std::size_t count);

// Message builders; every result is a whole message from F0 to F7.
Bytes makeParamChange(int device, const std::uint8_t model[2], std::uint8_t mid, std::uint8_t low,
                      const std::uint8_t* data, std::size_t count);
Bytes makeBulk(int device, const std::uint8_t model[2], std::uint8_t ah, std::uint8_t am, std::uint8_t al,
               const std::uint8_t* data, std::size_t count);
Bytes makeBulkRequest(int device, std::uint8_t kind, int templateIndex);
Bytes makeParamRequest(int device, std::uint8_t mid, std::uint8_t low);
Bytes makeAck(int device);

// A received message taken apart. `valid` is false when the frame itself is
// wrong (no F0/F7, another maker, too short to hold its kind's fixed part);
// for bulk dumps `countOk` and `checksumOk` say whether the byte count and the
// checksum agree with what arrived.
struct Parsed {
    bool valid = false;
    Command command = Command::BulkDump;
    int device = 0;
    std::uint8_t model[2] = {0, 0};
    std::uint8_t ah = 0, am = 0, al = 0; // address (bulk: AH AM AL; param: 01 mid low)
    const std::uint8_t* data = nullptr;  // value bytes (param) or block data (bulk)
    std::size_t dataLength = 0;
    bool countOk = false;
    bool checksumOk = false;
    std::string problem; // why `valid` is false
};

Parsed parseMessage(const std::uint8_t* bytes, std::size_t length);

bool hasModel(const Parsed& message, const std::uint8_t model[2]);

// A one-line human description of a message, for the log and for traces.
std::string describeMessage(const std::uint8_t* bytes, std::size_t length);
std::string hexBytes(const std::uint8_t* bytes, std::size_t length);

} // namespace sim
