#include "sim/KeyboardSim.h"

#include <algorithm>
#include <charconv>

namespace sim {

namespace {

std::string kindText(std::uint8_t kind)
{
    return kind == kKindStored ? "stored" : "edit buffer";
}

std::string blockName(int block)
{
    if (block == 0) return "common";
    std::string name = "knob ";
    name += static_cast<char>('A' + (block - 1) % 4);
    name += static_cast<char>('1' + (block - 1) / 4);
    return name;
}

bool validTemplate(int t)
{
    return t >= 0 && t < kTemplateCount;
}

} // namespace

KeyboardSim::KeyboardSim(int deviceNumber) : m_device(deviceNumber & 0x0F) {}

void KeyboardSim::setFaults(const SimFaults& faults)
{
    std::lock_guard guard(m_lock);
    m_faults = faults;
    // Counting faults count from the moment they are set.
    m_faultBase = m_stats.messagesIn;
}

SimFaults KeyboardSim::faults() const
{
    std::lock_guard guard(m_lock);
    return m_faults;
}

void KeyboardSim::setLogSink(LogSink sink)
{
    std::lock_guard guard(m_lock);
    m_log = std::move(sink);
}

void KeyboardSim::setFlashHandler(std::function<void()> handler)
{
    std::lock_guard guard(m_lock);
    m_flash = std::move(handler);
}

void KeyboardSim::setWireLog(LogSink sink)
{
    std::lock_guard guard(m_lock);
    m_wireLog = std::move(sink);
}

void KeyboardSim::log(const std::string& line) const
{
    if (m_log) m_log(line);
}

void KeyboardSim::note(const std::string& text) const
{
    if (m_log) log("--- " + text);
}

std::vector<SimOutput> KeyboardSim::receive(int port, const std::uint8_t* bytes, std::size_t length)
{
    std::lock_guard guard(m_lock);
    std::vector<SimOutput> out;
    if (bytes == nullptr) return out;
    std::size_t i = 0;
    while (i < length) {
        if (bytes[i] != kSysExStart) {
            // Real-time bytes pass silently; anything else outside a message
            // is noise worth a line in the log.
            std::size_t j = i;
            while (j < length && bytes[j] != kSysExStart) ++j;
            bool onlyRealtime = true;
            for (std::size_t k = i; k < j; ++k) onlyRealtime = onlyRealtime && bytes[k] >= 0xF8;
            if (!onlyRealtime) {
                ++m_stats.ignored;
                log("in  p" + std::to_string(port) + " " + hexBytes(bytes + i, j - i) + " | ignored: not System Exclusive");
            }
            i = j;
            continue;
        }
        std::size_t end = i + 1;
        while (end < length && bytes[end] != kSysExEnd && bytes[end] != kSysExStart) ++end;
        if (end < length && bytes[end] == kSysExEnd) {
            handleMessage(port, bytes + i, end - i + 1, out);
            i = end + 1;
        } else {
            ++m_stats.ignored;
            log("in  p" + std::to_string(port) + " " + hexBytes(bytes + i, end - i) + " | ignored: message without F7");
            i = end;
        }
    }
    return out;
}

void KeyboardSim::handleMessage(int port, const std::uint8_t* bytes, std::size_t length, std::vector<SimOutput>& out)
{
    ++m_stats.messagesIn;
    if (m_log) log("in  p" + std::to_string(port) + " " + hexBytes(bytes, length) + " | " + describeMessage(bytes, length));
    if (m_wireLog) m_wireLog("in " + hexBytes(bytes, length));
    const int heard = m_stats.messagesIn - m_faultBase;
    if (m_faults.silentAfter && heard > m_faults.silentAfter) {
        ++m_stats.ignored;
        note("ignored by fault silent-after=" + std::to_string(m_faults.silentAfter));
        return;
    }
    if (m_faults.ignoreEvery && heard % m_faults.ignoreEvery == 0) {
        ++m_stats.ignored;
        note("ignored by fault drop-every=" + std::to_string(m_faults.ignoreEvery));
        return;
    }
    const Parsed p = parseMessage(bytes, length);
    if (!p.valid) {
        ++m_stats.ignored;
        note("ignored: " + p.problem);
        return;
    }
    if (p.command == Command::BulkAck) {
        ++m_stats.ignored;
        note("ignored: acknowledgements are the keyboard's to send");
        return;
    }
    if (!hasModel(p, kModelEditor)) {
        ++m_stats.ignored;
        note("ignored: not addressed to this model");
        return;
    }
    // The host extension's messages come on its own port pair; everything of
    // the editor's protocol is taken on the communication port only, so an
    // editor that opened the wrong port finds out instead of half working.
    const bool extension = p.command == Command::ParamChange && p.ah == 0x01 && (p.am == 0x50 || p.am == 0x56);
    if (port != kCommunicationPort && !extension) {
        ++m_stats.ignored;
        note("ignored: the keyboard takes editor messages on port " + std::to_string(kCommunicationPort) +
             " only, not on port " + std::to_string(port));
        return;
    }
    switch (p.command) {
    case Command::BulkDump:
        handleBulk(port, p, out);
        break;
    case Command::ParamChange:
        handleParamChange(port, p, out);
        break;
    case Command::ParamRequest:
        handleParamRequest(port, p, out);
        break;
    case Command::BulkRequest:
        handleBulkRequest(port, p, out);
        break;
    default:
        ++m_stats.ignored;
        note("ignored: unknown command");
        break;
    }
}

void KeyboardSim::handleBulkRequest(int port, const Parsed& p, std::vector<SimOutput>& out)
{
    if (p.ah != 0x0E || (p.am != kKindStored && p.am != kKindEditBuffer) || !validTemplate(p.al)) {
        ++m_stats.ignored;
        note("ignored: bulk request for an address the keyboard does not have");
        return;
    }
    const SimTemplate& t = p.am == kKindStored ? m_stored[p.al] : m_editBuffers[p.al];
    send(port, makeBulk(m_device, kModelKeyboard, 0x0E, p.am, p.al, nullptr, 0), true, out);
    for (int block = 0; block <= kKnobCount; ++block) {
        const std::uint8_t mid = block == 0 ? 0x00 : static_cast<std::uint8_t>(0x10 + block - 1);
        send(port,
             makeBulk(m_device, kModelKeyboard, 0x01, mid, 0x00, t.image().data() + SimTemplate::blockOffset(block),
                      SimTemplate::blockSize(block)),
             true, out);
    }
    send(port, makeBulk(m_device, kModelKeyboard, 0x0F, p.am, p.al, nullptr, 0), true, out);
    ++m_stats.dumpsSent;
}

void KeyboardSim::handleBulk(int port, const Parsed& p, std::vector<SimOutput>& out)
{
    // Store to flash: a bulk dump with no data at 11 00 00.
    if (p.ah == 0x11 && p.am == 0x00 && p.al == 0x00) {
        if (!p.checksumOk || !p.countOk || p.dataLength != 0) {
            ++m_stats.ignored;
            note("store to flash refused: damaged message");
            return;
        }
        ++m_flashCount;
        note("templates stored to flash (" + std::to_string(m_flashCount) + ")");
        if (m_flash) m_flash();
        return;
    }
    const bool headerOrFooter = (p.ah == 0x0E || p.ah == 0x0F);
    if (headerOrFooter) {
        if ((p.am != kKindStored && p.am != kKindEditBuffer) || !validTemplate(p.al)) {
            ++m_stats.ignored;
            note("ignored: bulk header or footer for an address the keyboard does not have");
            return;
        }
        if (!p.checksumOk || !p.countOk || p.dataLength != 0) {
            if (p.ah == 0x0E) {
                // A damaged header still opens a dump, so that its blocks are
                // not taken for those of the previous one; it can never be
                // acknowledged.
                m_incoming = Incoming{};
                m_incoming.active = true;
                m_incoming.kind = p.am;
                m_incoming.templateIndex = p.al;
                m_incoming.damage = "header damaged";
            } else if (m_incoming.active && m_incoming.damage.empty()) {
                m_incoming.damage = "footer damaged";
            }
            if (p.ah == 0x0E) return;
        }
    }
    if (p.ah == 0x0E) {
        if (m_incoming.active) {
            note("dump of " + kindText(m_incoming.kind) + " template " + std::to_string(m_incoming.templateIndex + 1) +
                 " abandoned: a new header came before its footer");
            ++m_stats.dumpsRejected;
        }
        m_incoming = Incoming{};
        m_incoming.active = true;
        m_incoming.kind = p.am;
        m_incoming.templateIndex = p.al;
        m_incoming.data = p.am == kKindStored ? m_stored[p.al] : m_editBuffers[p.al];
        return;
    }
    if (p.ah == 0x01) {
        if (!m_incoming.active) {
            ++m_stats.ignored;
            note("ignored: template block outside a dump");
            return;
        }
        int block = -1;
        if (p.am == 0x00) block = 0;
        if (p.am >= 0x10 && p.am <= 0x1B) block = p.am - 0x10 + 1;
        if (block < 0 || p.al != 0x00) {
            if (m_incoming.damage.empty()) m_incoming.damage = "block at an unknown address";
            return;
        }
        const std::string name = blockName(block) + " block";
        if (!p.checksumOk) {
            if (m_incoming.damage.empty()) m_incoming.damage = name + " checksum wrong";
            return;
        }
        if (!p.countOk || p.dataLength != std::size_t(SimTemplate::blockSize(block))) {
            if (m_incoming.damage.empty()) m_incoming.damage = name + " has the wrong length";
            return;
        }
        std::copy(p.data, p.data + p.dataLength, m_incoming.data.image().begin() + SimTemplate::blockOffset(block));
        m_incoming.data.image()[kReservedOffset] = 0;
        m_incoming.blocksSeen |= 1u << block;
        return;
    }
    if (p.ah == 0x0F) {
        if (!m_incoming.active) {
            ++m_stats.ignored;
            note("ignored: bulk footer without a header");
            return;
        }
        Incoming in = std::move(m_incoming);
        m_incoming = Incoming{};
        const std::string what = kindText(in.kind) + " template " + std::to_string(in.templateIndex + 1);
        std::string problem = in.damage;
        if (problem.empty() && (p.am != in.kind || p.al != in.templateIndex)) {
            problem = "footer names another template than the header";
        }
        if (problem.empty() && in.blocksSeen != 0x1FFFu) {
            for (int b = 0; b <= kKnobCount; ++b) {
                if (!(in.blocksSeen & (1u << b))) {
                    problem = blockName(b) + " block missing";
                    break;
                }
            }
        }
        if (!problem.empty()) {
            ++m_stats.dumpsRejected;
            note("dump of " + what + " refused: " + problem);
            return;
        }
        if (in.kind == kKindStored) {
            m_stored[in.templateIndex] = in.data;
        } else {
            if (!(m_editBuffers[in.templateIndex] == in.data)) m_bankEditFlag = 1;
            m_editBuffers[in.templateIndex] = in.data;
        }
        ++m_stats.dumpsAccepted;
        note("dump of " + what + " taken in: \"" + in.data.templateName() + "\"");
        if (m_faults.noAck) {
            note("acknowledgement withheld by fault no-ack");
            return;
        }
        send(port, makeAck(m_device), false, out);
        return;
    }
    ++m_stats.ignored;
    note("ignored: bulk dump to an address the keyboard does not have");
}

void KeyboardSim::handleParamChange(int port, const Parsed& p, std::vector<SimOutput>& out)
{
    if (p.ah != 0x01) {
        ++m_stats.ignored;
        note("ignored: parameter change outside the template area");
        return;
    }
    if (p.am == 0x22 && p.al == 0x00) {
        m_stored = m_editBuffers;
        m_bankEditFlag = 0;
        note("edit buffers stored");
        return;
    }
    if (p.am == 0x20 && p.al == 0x00) {
        if (p.dataLength != 1 || !validTemplate(p.data[0])) {
            ++m_stats.ignored;
            note("ignored: template number out of range");
            return;
        }
        m_current = p.data[0];
        ++m_stats.paramChanges;
        // The keyboard confirms every selection by reporting it back.
        sendParam(port, 0x20, 0x00, p.data, 1, out);
        return;
    }
    if (p.am == 0x50 && p.al == 0x00) {
        handleInstrumentName(port, p, out);
        return;
    }
    if (p.am == 0x56 && p.al == 0x01) {
        note("host extension reports that it is running");
        return;
    }
    const int offset = SimTemplate::offsetOf(p.am, p.al);
    if (offset < 0 || p.dataLength == 0) {
        ++m_stats.ignored;
        note(offset < 0 ? "ignored: no such parameter" : "ignored: parameter change without a value");
        return;
    }
    // A value never spills into the next block.
    const int blockEnd = p.am == 0x00 ? kCommonBlockSize : SimTemplate::offsetOf(p.am, 0) + kKnobBlockSize;
    if (offset + int(p.dataLength) > blockEnd) {
        ++m_stats.ignored;
        note("ignored: value runs past the end of its block");
        return;
    }
    SimTemplate& t = m_editBuffers[m_current];
    for (std::size_t i = 0; i < p.dataLength; ++i) {
        const int at = offset + int(i);
        const int inBlock = p.am == 0x00 ? at : (at - kCommonBlockSize) % kKnobBlockSize;
        const bool flag = p.am == 0x00 ? inBlock == kControlTypeOffset : inBlock == kDisplayFormatOffset;
        if (flag && p.data[i] > 1) {
            ++m_stats.ignored;
            note("ignored: value " + std::to_string(p.data[i]) + " out of range 0..1");
            return;
        }
    }
    for (std::size_t i = 0; i < p.dataLength; ++i) {
        const int at = offset + int(i);
        if (!(p.am == 0x00 && at == kReservedOffset)) t.image()[at] = p.data[i];
    }
    ++m_stats.paramChanges;
    m_bankEditFlag = 1;
}

void KeyboardSim::handleParamRequest(int port, const Parsed& p, std::vector<SimOutput>& out)
{
    std::uint8_t value = 0;
    if (p.ah == 0x01 && p.am == 0x20 && p.al == 0x00) {
        value = static_cast<std::uint8_t>(m_current);
    } else if (p.ah == 0x01 && p.am == 0x23 && p.al == 0x00) {
        value = static_cast<std::uint8_t>(m_bankEditFlag);
    } else if (p.ah == 0x01 && SimTemplate::offsetOf(p.am, p.al) >= 0) {
        value = m_editBuffers[m_current].image()[SimTemplate::offsetOf(p.am, p.al)];
    } else {
        ++m_stats.ignored;
        note("ignored: request for a parameter the keyboard does not have");
        return;
    }
    sendParam(port, p.am, p.al, &value, 1, out);
}

void KeyboardSim::handleInstrumentName(int port, const Parsed& p, std::vector<SimOutput>& out)
{
    // The host extension names the selected instrument; the keyboard picks the
    // first template made for it and reports its name and its twelve
    // parameter identifiers. Without a match every knob is unassigned.
    std::string name(reinterpret_cast<const char*>(p.data), p.dataLength);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    int found = -1;
    for (int t = 0; t < kTemplateCount && !name.empty(); ++t) {
        if (m_editBuffers[t].vstiName() == name) {
            found = t;
            break;
        }
    }
    SimTemplate chosen;
    if (found >= 0) {
        m_current = found;
        chosen = m_editBuffers[found];
        note("instrument \"" + name + "\" matches template " + std::to_string(found + 1));
    } else {
        note("no template for instrument \"" + name + "\"");
    }
    std::uint8_t vsti[kVstiNameWidth];
    std::copy(chosen.image().begin() + kVstiNameOffset, chosen.image().begin() + kVstiNameOffset + kVstiNameWidth, vsti);
    sendParam(port, 0x50, 0x00, vsti, sizeof vsti, out);
    std::uint8_t ids[kKnobCount * kRemoteNumberWidth];
    for (int k = 0; k < kKnobCount; ++k) {
        const std::uint8_t* from = chosen.image().data() + SimTemplate::blockOffset(k + 1);
        std::copy(from, from + kRemoteNumberWidth, ids + k * kRemoteNumberWidth);
    }
    sendParam(port, 0x51, 0x00, ids, sizeof ids, out);
}

void KeyboardSim::sendParam(int port, std::uint8_t mid, std::uint8_t low, const std::uint8_t* data, std::size_t count,
                            std::vector<SimOutput>& out)
{
    send(port, makeParamChange(m_device, kModelKeyboard, mid, low, data, count), false, out);
}

void KeyboardSim::send(int port, Bytes bytes, bool isBulkDump, std::vector<SimOutput>& out)
{
    ++m_answers;
    std::string applied;
    if (isBulkDump) {
        ++m_bulkSent;
        if (m_faults.corruptChecksumEvery && m_bulkSent % m_faults.corruptChecksumEvery == 0) {
            bytes[bytes.size() - 2] ^= 0x01;
            applied = "checksum corrupted by fault corrupt-checksum=" + std::to_string(m_faults.corruptChecksumEvery);
        }
    }
    if (m_faults.wrongModel && bytes.size() > 5 && (bytes[2] >> 4) != 0x6) {
        bytes[3] = kModelEditor[0];
        bytes[4] = kModelEditor[1];
        applied = "model bytes changed by fault wrong-model";
    }
    if (m_faults.truncateEvery && m_answers % m_faults.truncateEvery == 0 && bytes.size() > 2) {
        bytes.erase(bytes.end() - 2);
        applied = "cut short by fault truncate=" + std::to_string(m_faults.truncateEvery);
    }
    bool dropped = false;
    if (m_faults.silent) {
        dropped = true;
        applied = "not sent: fault silent";
    } else if (m_faults.dropEvery && m_answers % m_faults.dropEvery == 0) {
        dropped = true;
        applied = "lost by fault drop=" + std::to_string(m_faults.dropEvery);
    }
    if (m_log) log("out p" + std::to_string(port) + " " + hexBytes(bytes.data(), bytes.size()) + " | " +
        describeMessage(bytes.data(), bytes.size()) + (applied.empty() ? "" : " [" + applied + "]"));
    if (dropped) return;
    ++m_stats.messagesOut;
    out.push_back(SimOutput{port, std::move(bytes)});
}

std::vector<SimOutput> KeyboardSim::activeSensing()
{
    std::lock_guard guard(m_lock);
    if (m_faults.noActiveSensing) return {};
    return {SimOutput{kActiveSensePort, Bytes{0xFE}}};
}

std::vector<SimOutput> KeyboardSim::userSelectTemplate(int templateIndex)
{
    std::lock_guard guard(m_lock);
    std::vector<SimOutput> out;
    if (!validTemplate(templateIndex)) return out;
    m_current = templateIndex;
    note("template " + std::to_string(templateIndex + 1) + " selected on the keyboard");
    const std::uint8_t value = static_cast<std::uint8_t>(templateIndex);
    sendParam(kCommunicationPort, 0x20, 0x00, &value, 1, out);
    return out;
}

std::vector<SimOutput> KeyboardSim::userStore()
{
    std::lock_guard guard(m_lock);
    std::vector<SimOutput> out;
    m_stored = m_editBuffers;
    m_bankEditFlag = 0;
    note("edit buffers stored on the keyboard");
    sendParam(kCommunicationPort, 0x22, 0x00, nullptr, 0, out);
    return out;
}

std::vector<SimOutput> KeyboardSim::userEditKnob(int knob, const std::string& field, const std::string& value,
                                              std::string* error)
{
    std::lock_guard guard(m_lock);
    std::vector<SimOutput> out;
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::vector<SimOutput>{};
    };
    if (knob < 0 || knob >= kKnobCount) return fail("the knob must be A1 .. D3");
    SimTemplate& t = m_editBuffers[m_current];
    const std::uint8_t mid = static_cast<std::uint8_t>(0x10 + knob);
    auto number = [&](int maximum, int& into) {
        int n = -1;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec != std::errc() || end != value.data() + value.size() || n < 0 || n > maximum) return false;
        into = n;
        return true;
    };
    if (field == "cc" || field == "format") {
        const bool cc = field == "cc";
        int n = 0;
        if (!number(127, n)) return fail("the " + field + " value must be 0..127");
        if (!(cc ? t.setCcNumber(knob, n) : t.setDisplayFormat(knob, n))) return fail("the value is out of range");
        const std::uint8_t byte = static_cast<std::uint8_t>(n);
        sendParam(kCommunicationPort, mid, cc ? kCcNumberOffset : kDisplayFormatOffset, &byte, 1, out);
    } else if (field == "name") {
        t.setDisplayName(knob, value);
        const std::uint8_t* name = t.image().data() + SimTemplate::blockOffset(knob + 1) + kDisplayNameOffset;
        for (int i = 0; i < kDisplayNameWidth; ++i) {
            sendParam(kCommunicationPort, mid, static_cast<std::uint8_t>(kDisplayNameOffset + i), name + i, 1, out);
        }
    } else if (field == "remote") {
        if (value.size() != std::size_t(kRemoteNumberWidth)) return fail("a remote number has 9 characters");
        t.setRemoteNumber(knob, value);
        sendParam(kCommunicationPort, mid, 0x00, t.image().data() + SimTemplate::blockOffset(knob + 1),
                  kRemoteNumberWidth, out);
    } else {
        return fail("the field must be name, cc, format or remote");
    }
    m_bankEditFlag = 1;
    note("knob " + std::to_string(knob + 1) + " " + field + " edited on the keyboard");
    return out;
}

SimTemplate KeyboardSim::stored(int t) const
{
    std::lock_guard guard(m_lock);
    return validTemplate(t) ? m_stored[t] : SimTemplate{};
}

SimTemplate KeyboardSim::editBuffer(int t) const
{
    std::lock_guard guard(m_lock);
    return validTemplate(t) ? m_editBuffers[t] : SimTemplate{};
}

bool KeyboardSim::setStored(int t, const SimTemplate& data)
{
    std::lock_guard guard(m_lock);
    if (!validTemplate(t)) return false;
    m_stored[t] = data;
    return true;
}

bool KeyboardSim::setEditBuffer(int t, const SimTemplate& data)
{
    std::lock_guard guard(m_lock);
    if (!validTemplate(t)) return false;
    m_editBuffers[t] = data;
    return true;
}

int KeyboardSim::currentTemplate() const
{
    std::lock_guard guard(m_lock);
    return m_current;
}

bool KeyboardSim::setCurrentTemplate(int t)
{
    std::lock_guard guard(m_lock);
    if (!validTemplate(t)) return false;
    m_current = t;
    return true;
}

int KeyboardSim::bankEditFlag() const
{
    std::lock_guard guard(m_lock);
    return m_bankEditFlag;
}

void KeyboardSim::setBankEditFlag(int flag)
{
    std::lock_guard guard(m_lock);
    m_bankEditFlag = flag ? 1 : 0;
}

int KeyboardSim::flashCount() const
{
    std::lock_guard guard(m_lock);
    return m_flashCount;
}

SimStats KeyboardSim::stats() const
{
    std::lock_guard guard(m_lock);
    return m_stats;
}

} // namespace sim
