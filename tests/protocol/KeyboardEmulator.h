#pragma once
// A keyboard on the virtual MIDI service: five ports each way, active
// sensing on port 1, and on port 5 the answers the editor relies on (a dump
// for each bulk request, a parameter change for each parameter request, an
// acknowledgement for each dump taken in). It records what it received and
// notes any dump that arrived before the previous one was acknowledged.

#include <QByteArray>

#include <mutex>
#include <string>
#include <vector>

#include "editor/midi/virtual/Service.h"
#include "editor/protocol/SysExMessages.h"

class KeyboardEmulator {
public:
    using Bytes = SysExMsg::Bytes;
    static constexpr int kWatchSource = 0;
    static constexpr int kDataSource = 4;
    static constexpr int kDataDestination = 4;

    KeyboardEmulator() : m_svc(VirtualMIDIService::instance())
    {
        m_device = m_svc.plugDevice("Velmor Zeno Series", 5, 5);
        m_svc.setWriteHandler(m_device, kDataDestination, [this](const QByteArray& piece) { onPiece(piece); });
    }
    ~KeyboardEmulator()
    {
        m_svc.setWriteHandler(m_device, kDataDestination, nullptr);
        m_svc.unplugDevice(m_device);
    }

    int device() const { return m_device; }
    int watchInput() const { return m_svc.sourcePortNumber(m_device, kWatchSource); }
    int dataInput() const { return m_svc.sourcePortNumber(m_device, kDataSource); }
    int output() const { return m_svc.destinationPortNumber(m_device, kDataDestination); }

    // What the keyboard holds: name of stored (0x60) / edit-buffer (0x6F) template t.
    static std::string templateName(unsigned char kind, int t)
    {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%s %02d", kind == SysExMsg::kMidNormalBulk ? "Stored" : "Edit", t);
        return buf;
    }
    static int ccOf(unsigned char kind, int t, int knob) { return (t + knob + (kind & 1)) & 0x7F; }

    void sendToEditor(const Bytes& message) // message from 0x43 on, or with F0
    {
        QByteArray bytes;
        if (message.empty() || message.front() != 0xF0)
            bytes.append(char(0xF0));
        bytes.append(reinterpret_cast<const char*>(message.data()), static_cast<int>(message.size()));
        m_svc.inject(m_device, kDataSource, bytes);
    }
    void activeSensing() { m_svc.inject(m_device, kWatchSource, QByteArray(1, char(0xFE))); }

    void setAnswering(bool answer)
    {
        std::lock_guard lock(m_mutex);
        m_answer = answer;
    }
    void setEchoTemplateSelects(bool echo)
    {
        std::lock_guard lock(m_mutex);
        m_echoSelects = echo;
    }
    // With auto-acknowledge off, dumps are acknowledged only by ackHeld().
    void setAutoAck(bool autoAck)
    {
        std::lock_guard lock(m_mutex);
        m_autoAck = autoAck;
    }
    // The next dump of template t of this kind goes out with the checksum
    // of knob's block damaged; later dumps are whole again.
    void damageNextDump(unsigned char kind, int t, int knob)
    {
        std::lock_guard lock(m_mutex);
        m_damage = Damage{kind, t, knob};
    }
    bool ackHeld()
    {
        {
            std::lock_guard lock(m_mutex);
            if (m_heldAcks == 0)
                return false;
            --m_heldAcks;
            ++m_acks;
        }
        sendToEditor({0xF0, 0x43, 0x60, 0x02, 0xF7});
        return true;
    }
    std::vector<Bytes> received()
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    int unpacedDumps()
    {
        std::lock_guard lock(m_mutex);
        return m_unpaced;
    }
    int acksSent()
    {
        std::lock_guard lock(m_mutex);
        return m_acks;
    }

private:
    void dump(unsigned char kind, int t)
    {
        using namespace SysExMsg;
        const unsigned char rx[2] = {0x7F, 0x19};
        sendToEditor(bulkDump(rx, kAddrBulkHeader, kind, static_cast<unsigned char>(t), nullptr, 0));
        Bytes common = paddedText(QString::fromStdString(templateName(kind, t)), 13);
        const Bytes vsti = paddedText(QStringLiteral("Synth"), 12);
        common.insert(common.end(), vsti.begin(), vsti.end());
        common.push_back(static_cast<unsigned char>(t & 1));
        common.push_back(0);
        sendToEditor(bulkDump(rx, kAddrParam, kMidCommon, 0, common.data(), kCommonBlockDataBytes));
        for (int k = 0; k < kKnobCount; ++k) {
            Bytes knob = paddedText(QStringLiteral("100000401"), 9);
            const Bytes name = paddedText(QStringLiteral("Knob %1").arg(k), 15);
            knob.insert(knob.end(), name.begin(), name.end());
            knob.push_back(static_cast<unsigned char>(ccOf(kind, t, k)));
            knob.push_back(static_cast<unsigned char>(k & 1));
            Bytes block = bulkDump(rx, kAddrParam, static_cast<unsigned char>(kMidKnobBase + k), 0, knob.data(),
                                   kKnobBlockDataBytes);
            if (m_damage.kind == kind && m_damage.templ == t && m_damage.knob == k) {
                block[block.size() - 2] ^= 0x01;
                m_damage = Damage{};
            }
            sendToEditor(block);
        }
        sendToEditor(bulkDump(rx, kAddrBulkFooter, kind, static_cast<unsigned char>(t), nullptr, 0));
    }

    void onPiece(const QByteArray& piece)
    {
        using namespace SysExMsg;
        const Bytes m(piece.begin(), piece.end());
        std::lock_guard lock(m_mutex);
        m_received.push_back(m);
        if (!m_answer || m.size() < 9 || m[0] != 0xF0 || m[1] != kManufacturer)
            return;
        const unsigned char rx[2] = {0x7F, 0x19};
        const unsigned char kind = m[2] & 0xF0;
        if (kind == kCmdBulkRequest) {
            dump(m[6], m[7]);
        } else if (kind == kCmdParamRequest) {
            const unsigned char value = m[6] == kMidCurrentTemplate ? 12 : 1;
            sendToEditor(paramChange(rx, m[6], m[7], &value, 1));
        } else if (kind == kCmdBulkDump && m.size() >= 12) {
            if (m[7] == kAddrBulkHeader) {
                if (m_dumpOpen)
                    ++m_unpaced;
                m_dumpOpen = true;
            } else if (m[7] == kAddrBulkFooter) {
                m_dumpOpen = false;
                if (m_autoAck) {
                    ++m_acks;
                    sendToEditor({0xF0, 0x43, 0x60, 0x02, 0xF7});
                } else {
                    ++m_heldAcks;
                }
            }
        } else if (kind == kCmdParamChange && m_echoSelects && m[6] == kMidCurrentTemplate && m.size() == 10) {
            sendToEditor(paramChange(rx, kMidCurrentTemplate, 0x00, &m[8], 1));
        }
    }

    VirtualMIDIService& m_svc;
    int m_device = 0;
    std::mutex m_mutex;
    std::vector<Bytes> m_received;
    bool m_answer = true;
    bool m_echoSelects = true;
    struct Damage {
        unsigned char kind = 0;
        int templ = -1;
        int knob = -1;
    };
    Damage m_damage;
    bool m_dumpOpen = false;
    bool m_autoAck = true;
    int m_heldAcks = 0;
    int m_unpaced = 0;
    int m_acks = 0;
};
