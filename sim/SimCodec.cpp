#include "sim/SimCodec.h"

#include <cstdio>

namespace sim {

namespace {

std::uint8_t commandByte(Command command, int device)
{
    return static_cast<std::uint8_t>((static_cast<int>(command) << 4) | (device & 0x0F));
}

std::string knobName(int knob)
{
    std::string name = "knob ";
    name += static_cast<char>('A' + knob % 4);
    name += static_cast<char>('1' + knob / 4);
    return name;
}

std::string printable(std::uint8_t byte)
{
    if (byte >= 0x20 && byte < 0x7F) {
        return std::string("'") + static_cast<char>(byte) + "'";
    }
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", byte);
    return buffer;
}

std::string text(const std::uint8_t* data, std::size_t count)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < count; ++i) {
        out += (data[i] >= 0x20 && data[i] < 0x7F) ? static_cast<char>(data[i]) : '?';
    }
    return out + "\"";
}

std::string kindName(std::uint8_t kind)
{
    return kind == kKindStored ? "stored" : kind == kKindEditBuffer ? "edit buffer" : "unknown kind";
}

// Name of the value a (mid, low) byte belongs to, with the byte's position
// inside it, e.g. "knob B2 display name[3]".
std::string fieldName(std::uint8_t mid, std::uint8_t low)
{
    auto at = [](const char* what, int position) { return std::string(what) + "[" + std::to_string(position) + "]"; };
    if (mid == 0x00) {
        if (low <= 12) return at("template name", low);
        if (low <= 24) return at("VSTi name", low - 13);
        if (low == 25) return "control type";
        if (low == 26) return "reserved byte";
        return "unknown template field";
    }
    if (mid >= 0x10 && mid <= 0x1B) {
        const std::string knob = knobName(mid - 0x10) + " ";
        if (low <= 8) return knob + at("remote number", low);
        if (low <= 23) return knob + at("display name", low - 9);
        if (low == 24) return knob + "CC number";
        if (low == 25) return knob + "display format";
        return knob + "unknown field";
    }
    if (mid == 0x20 && low == 0x00) return "current template";
    if (mid == 0x22 && low == 0x00) return "store";
    if (mid == 0x23 && low == 0x00) return "bank edit flag";
    if (mid == 0x50 && low == 0x00) return "instrument name";
    if (mid == 0x51 && low == 0x00) return "all parameter identifiers";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "address %02X %02X", mid, low);
    return buffer;
}

} // namespace

std::uint8_t bulkChecksum(const std::uint8_t* from, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += from[i];
    }
    return static_cast<std::uint8_t>((0u - sum) & 0x7F);
}

Bytes makeParamChange(int device, const std::uint8_t model[2], std::uint8_t mid, std::uint8_t low,
                      const std::uint8_t* data, std::size_t count)
{
    Bytes out{kSysExStart, kMaker, commandByte(Command::ParamChange, device), model[0], model[1], 0x01, mid, low};
    out.insert(out.end(), data, data + count);
    out.push_back(kSysExEnd);
    return out;
}

Bytes makeBulk(int device, const std::uint8_t model[2], std::uint8_t ah, std::uint8_t am, std::uint8_t al,
               const std::uint8_t* data, std::size_t count)
{
    Bytes out{kSysExStart,
              kMaker,
              commandByte(Command::BulkDump, device),
              model[0],
              model[1],
              static_cast<std::uint8_t>((count >> 7) & 0x7F),
              static_cast<std::uint8_t>(count & 0x7F),
              ah,
              am,
              al};
    out.insert(out.end(), data, data + count);
    out.push_back(bulkChecksum(out.data() + 5, out.size() - 5));
    out.push_back(kSysExEnd);
    return out;
}

Bytes makeBulkRequest(int device, std::uint8_t kind, int templateIndex)
{
    return {kSysExStart, kMaker, commandByte(Command::BulkRequest, device), kModelEditor[0], kModelEditor[1],
            0x0E, kind, static_cast<std::uint8_t>(templateIndex & 0x7F), kSysExEnd};
}

Bytes makeParamRequest(int device, std::uint8_t mid, std::uint8_t low)
{
    return {kSysExStart, kMaker, commandByte(Command::ParamRequest, device), kModelEditor[0], kModelEditor[1],
            0x01, mid, low, kSysExEnd};
}

Bytes makeAck(int device)
{
    return {kSysExStart, kMaker, commandByte(Command::BulkAck, device), 0x02, kSysExEnd};
}

Parsed parseMessage(const std::uint8_t* bytes, std::size_t length)
{
    Parsed p;
    if (bytes == nullptr || length < 4 || bytes[0] != kSysExStart || bytes[length - 1] != kSysExEnd) {
        p.problem = "not a complete System Exclusive message";
        return p;
    }
    for (std::size_t i = 1; i + 1 < length; ++i) {
        if (bytes[i] & 0x80) {
            p.problem = "status byte inside the message";
            return p;
        }
    }
    if (bytes[1] != kMaker) {
        p.problem = "another maker's message";
        return p;
    }
    p.command = static_cast<Command>(bytes[2] >> 4);
    p.device = bytes[2] & 0x0F;
    if (p.command == Command::BulkAck) {
        p.valid = bytes[3] == 0x02;
        if (!p.valid) p.problem = "unknown command";
        return p;
    }
    if (length < 5) {
        p.problem = "too short";
        return p;
    }
    p.model[0] = bytes[3];
    p.model[1] = bytes[4];
    switch (p.command) {
    case Command::ParamChange:
    case Command::ParamRequest:
    case Command::BulkRequest:
        if (length < 9) {
            p.problem = "too short";
            return p;
        }
        p.ah = bytes[5];
        p.am = bytes[6];
        p.al = bytes[7];
        p.data = bytes + 8;
        p.dataLength = length - 9;
        if (p.command != Command::ParamChange && p.dataLength != 0) {
            p.problem = "unexpected bytes after the address";
            return p;
        }
        p.valid = true;
        return p;
    case Command::BulkDump: {
        if (length < 12) {
            p.problem = "bulk dump too short";
            return p;
        }
        const std::size_t count = (std::size_t(bytes[5]) << 7) | bytes[6];
        p.ah = bytes[7];
        p.am = bytes[8];
        p.al = bytes[9];
        p.data = bytes + 10;
        p.dataLength = length - 12;
        p.countOk = count == p.dataLength;
        unsigned sum = 0;
        for (std::size_t i = 5; i + 1 < length; ++i) {
            sum += bytes[i];
        }
        p.checksumOk = (sum & 0x7F) == 0;
        p.valid = true;
        return p;
    }
    default:
        p.problem = "unknown command";
        return p;
    }
}

bool hasModel(const Parsed& message, const std::uint8_t model[2])
{
    return message.model[0] == model[0] && message.model[1] == model[1];
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t length)
{
    std::string out;
    out.reserve(length * 3);
    char buffer[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(buffer, sizeof buffer, i ? " %02X" : "%02X", bytes[i]);
        out += buffer;
    }
    return out;
}

std::string describeMessage(const std::uint8_t* bytes, std::size_t length)
{
    if (length == 1 && bytes[0] == 0xFE) {
        return "active sensing";
    }
    const Parsed p = parseMessage(bytes, length);
    if (!p.valid) {
        return "unreadable: " + p.problem;
    }
    std::string from;
    if (p.command != Command::BulkAck) {
        from = hasModel(p, kModelEditor) ? "" : hasModel(p, kModelKeyboard) ? "" : " (foreign model)";
    }
    switch (p.command) {
    case Command::BulkAck:
        return "bulk acknowledgement";
    case Command::BulkRequest:
        if (p.ah == 0x0E) {
            return "bulk request: " + kindName(p.am) + " template " + std::to_string(p.al + 1) + from;
        }
        return "bulk request for an unknown address" + from;
    case Command::ParamRequest:
        return "parameter request: " + fieldName(p.am, p.al) + from;
    case Command::ParamChange: {
        std::string what = "parameter change: " + fieldName(p.am, p.al);
        if (p.am == 0x22 && p.al == 0x00) {
            return what + from;
        }
        if (p.am == 0x20 || p.am == 0x23) {
            return what + " = " + (p.dataLength ? std::to_string(p.data[0]) : std::string("(none)")) + from;
        }
        if (p.dataLength == 1 && !(p.am == 0x00 && p.al >= 25) && !(p.am >= 0x10 && p.al >= 24)) {
            return what + " = " + printable(p.data[0]) + from;
        }
        if (p.dataLength == 1) {
            return what + " = " + std::to_string(p.data[0]) + from;
        }
        return what + " = " + text(p.data, p.dataLength) + from;
    }
    case Command::BulkDump: {
        std::string what;
        if (p.ah == 0x0E || p.ah == 0x0F) {
            what = std::string(p.ah == 0x0E ? "bulk header: " : "bulk footer: ") + kindName(p.am) + " template " +
                   std::to_string(p.al + 1);
        } else if (p.ah == 0x01 && p.am == 0x00) {
            what = "bulk block: template common " + text(p.data, p.dataLength < 13 ? p.dataLength : 13);
        } else if (p.ah == 0x01 && p.am >= 0x10 && p.am <= 0x1B) {
            what = "bulk block: " + knobName(p.am - 0x10);
        } else if (p.ah == 0x11 && p.am == 0x00 && p.al == 0x00) {
            what = "store to flash";
        } else {
            what = "bulk dump to an unknown address";
        }
        if (!p.countOk) what += " [byte count wrong]";
        if (!p.checksumOk) what += " [checksum wrong]";
        return what + from;
    }
    }
    return "unknown";
}

} // namespace sim
