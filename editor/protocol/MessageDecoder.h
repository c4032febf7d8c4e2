#pragma once
// Reads what the keyboard sends on its communication port: writes received
// parameter changes and template dumps into memory without echoing them
// back, resumes the transmit queue when a dump ends or an acknowledgement
// comes, counts outstanding dumps and requests and raises the completion
// signals. Runs on the port's pump thread.
//
// A template dump counts as received at its footer only when it arrived
// whole: its header, the common block and all twelve knob blocks taken, and
// no block of it dropped on the way (bad checksum, another model, too short).
// A damaged dump still resumes the transmit queue, but its request stays
// outstanding, so a receive that depends on it never completes and fails at
// its time-out instead of passing stale values off as the keyboard's.

#include <QString>

#include <cstddef>
#include <mutex>

#include "editor/memory/ComuLink.h"
#include "editor/memory/ParamAddress.h"
#include "editor/protocol/MessageProcessor.h"
#include "editor/protocol/SysExMessages.h"

class SysExParamChangeAddressTransTable;

class MessageDecoder : public MessageProcessor, public DecoderLink {
public:
    static constexpr int kFilterType = 6;

    MessageDecoder(SysExParamChangeAddressTransTable* table, const unsigned char* modelId, long port,
                   RemoteMemAPI* api, int filterType = kFilterType);

    bool Process(tagMPEVENT& event) override;

    // ---- steps (a message is the bytes after F0, ending with F7) ----
    bool DecodeBulk(const unsigned char* m, std::size_t n);
    bool decodeBulkHeader(const unsigned char* m, std::size_t n);
    bool decodeBulkContents(const unsigned char* m, std::size_t n);
    bool decodeBulkFooter(const unsigned char* m, std::size_t n);
    bool setParamToMemoryFromBulk(const ParamAddress& address, const unsigned char* m, std::size_t n);
    bool DecodeParameterChange(const unsigned char* m, std::size_t n);

    bool WriteNumericParamToMemory(const ParamAddress& address, int value);
    bool WriteStringParamToMemory(const ParamAddress& address, const QString& text);
    bool WriteStringParamToMemory(const char* bytes, int position, const ParamAddress& address, int count);
    QString getStringParamFromMemory(const ParamAddress& address);

    // ---- recognisers (the message without F0, with its length) ----
    static bool isSysEx(const tagMPEVENT& event) { return event.kind == MPEV_SYSEX && event.data; }
    static bool isVelmorSysEx(const unsigned char* m, std::size_t n) { return SysExMsg::isVelmorSysEx(m, n); }
    bool isDesiredModelSysEx(const unsigned char* m, std::size_t n) const
    {
        return SysExMsg::isDesiredModelSysEx(m, n, m_modelId);
    }
    static bool isBulkDump(const unsigned char* m, std::size_t n) { return SysExMsg::isBulkDump(m, n); }
    static bool isParameterChange(const unsigned char* m, std::size_t n) { return SysExMsg::isParameterChange(m, n); }
    static bool isBulkAcknowledge(const unsigned char* m, std::size_t n) { return SysExMsg::isBulkAcknowledge(m, n); }
    static bool isBulkHeader(const unsigned char* m, std::size_t n) { return SysExMsg::isBulkHeader(m, n); }
    static bool isNormalBulkHeader(const unsigned char* m, std::size_t n) { return SysExMsg::isNormalBulkHeader(m, n); }
    static bool isEditBuffBulkHeader(const unsigned char* m, std::size_t n)
    {
        return SysExMsg::isEditBuffBulkHeader(m, n);
    }
    static bool isBulkFooter(const unsigned char* m, std::size_t n) { return SysExMsg::isBulkFooter(m, n); }
    static bool isBulkContents(const unsigned char* m, std::size_t n) { return SysExMsg::isBulkContents(m, n); }
    static bool isBulkContentsCommon(const unsigned char* m, std::size_t n)
    {
        return SysExMsg::isBulkContentsCommon(m, n);
    }
    static bool isBulkContentsController(const unsigned char* m, std::size_t n, int* knob = nullptr)
    {
        return SysExMsg::isBulkContentsController(m, n, knob);
    }
    static int getTemplateNumberFromBulk(const unsigned char* m, std::size_t n)
    {
        return SysExMsg::getTemplateNumberFromBulk(m, n);
    }
    static bool isBulkChecksumCorrect(const unsigned char* m, std::size_t n)
    {
        return SysExMsg::isBulkChecksumCorrect(m, n);
    }

    // ---- counters, each under its own mutex; never below 0 ----
    void incrementTransmitedBulkCounter() override;
    void decrementTransmitedBulkCounter();
    void clearTransmitedBulkCounter() override;
    void incrementTransmitedBulkReqCounter() override;
    void decrementTransmitedBulkReqCounter();
    void clearTransmitedBulkReqCounter() override;
    int transmitedBulkCounter();
    int transmitedBulkReqCounter();

    bool isReceiving() const { return m_receiving; }
    int targetBank() const { return m_targetBank; }
    int targetTemplate() const { return m_targetTemplate; }

private:
    // Full width of a text value as the keyboard keeps it.
    static int textWidth(const ParamAddress& address);

    // A message of the bulk family that could not be taken while a dump is
    // open: the dump can no longer count as received.
    void dropBlockOfOpenDump();
    bool isOpenDumpWhole() const;

    SysExParamChangeAddressTransTable* m_table;
    unsigned char m_modelId[2];
    // Touched only by the pump thread.
    bool m_receiving = false;
    bool m_dumpDamaged = false;
    // Bit 0: the common block; bit 1 + k: the block of knob k.
    unsigned m_blocksTaken = 0;
    int m_targetBank = 2;
    int m_targetTemplate = 0;
    std::mutex m_bulkCounterMutex;
    int m_transmitedBulk = 0;
    std::mutex m_bulkReqCounterMutex;
    int m_transmitedBulkReq = 0;
};
