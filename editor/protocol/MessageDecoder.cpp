#include "editor/protocol/MessageDecoder.h"

#include <QLoggingCategory>

#include <mutex>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/protocol/SysExMessages.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"

using namespace SysExMsg;

// Off unless asked for (QT_LOGGING_RULES="zeno.protocol.decoder.debug=true").
Q_LOGGING_CATEGORY(lcDecoder, "zeno.protocol.decoder", QtInfoMsg)

namespace {

// One bit for the common block and one for each knob block.
constexpr unsigned kAllBlocks = (1u << (1 + kKnobCount)) - 1;

// Bulk blocks: the data starts after AL; the checksum and F7 follow it.
constexpr std::size_t kBulkTrailer = 2;

QString trimTrailingSpaces(QString text)
{
    int end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    text.truncate(end);
    return text;
}

// Number of value bytes a parameter change carries (the final F7 excluded).
std::size_t paramChangeDataCount(const unsigned char* m, std::size_t n)
{
    if (n <= kOffParamData)
        return 0;
    const std::size_t end = m[n - 1] == kEnd ? n - 1 : n;
    return end > kOffParamData ? end - kOffParamData : 0;
}

} // namespace

MessageDecoder::MessageDecoder(SysExParamChangeAddressTransTable* table, const unsigned char* modelId,
                               long port, RemoteMemAPI* api, int filterType)
    : MessageProcessor(port, api, filterType), m_table(table)
{
    m_modelId[0] = modelId ? modelId[0] : 0x7F;
    m_modelId[1] = modelId ? modelId[1] : 0x19;
}

bool MessageDecoder::Process(tagMPEVENT& event)
{
    if (!isSysEx(event) || event.length <= 0)
        return false;
    const unsigned char* m = event.data;
    const std::size_t n = static_cast<std::size_t>(event.length);
    if (!isVelmorSysEx(m, n))
        return false;
    if (isDesiredModelSysEx(m, n)) {
        if (isBulkDump(m, n))
            return DecodeBulk(m, n);
        if (isParameterChange(m, n))
            return DecodeParameterChange(m, n);
        return false;
    }
    if (isBulkDump(m, n)) {
        // Most likely a block of the open dump whose model bytes were damaged.
        dropBlockOfOpenDump();
        return false;
    }
    if (!isBulkAcknowledge(m, n) || !m_api)
        return false;
    decrementTransmitedBulkCounter();
    bool wasEmpty = true;
    const bool ok = m_api->sendMessage(&wasEmpty);
    if (wasEmpty && m_api->isBulkTransmitPending() && transmitedBulkCounter() == 0) {
        m_api->setBulkTransmitPending(false);
        m_api->emitCompleteBulkTransmitSignal();
        m_api->revokeReceivedBulk();
    }
    return ok;
}

bool MessageDecoder::DecodeBulk(const unsigned char* m, std::size_t n)
{
    if (!m_api || !m_api->getBulkRecieveEnableFlag())
        return false;
    if (n < kMinBulkLength || !isBulkChecksumCorrect(m, n)) {
        dropBlockOfOpenDump();
        return false;
    }
    if (isBulkContents(m, n)) {
        const bool taken = decodeBulkContents(m, n);
        if (!taken)
            dropBlockOfOpenDump();
        return taken;
    }
    if (isBulkFooter(m, n))
        return decodeBulkFooter(m, n);
    if (isBulkHeader(m, n)) {
        qCDebug(lcDecoder, "*** Receiving Bulk...");
        return decodeBulkHeader(m, n);
    }
    return false;
}

bool MessageDecoder::decodeBulkHeader(const unsigned char* m, std::size_t n)
{
    if (!isBulkHeader(m, n))
        return false;
    // A header while receiving starts a new dump: the one left open has lost
    // its footer and never counts.
    m_receiving = true;
    m_dumpDamaged = false;
    m_blocksTaken = 0;
    m_targetBank = isNormalBulkHeader(m, n) ? 2 : 3;
    m_targetTemplate = getTemplateNumberFromBulk(m, n);
    return true;
}

bool MessageDecoder::decodeBulkContents(const unsigned char* m, std::size_t n)
{
    int knob = -1;
    if (isBulkContentsCommon(m, n)) {
        // A block shorter than its layout is ignored whole.
        if (n < kOffBulkData + kCommonBlockDataBytes + kBulkTrailer)
            return false;
        bool ok = setParamToMemoryFromBulk(
            ParamAddress(m_targetBank, m_targetTemplate, ParamAddress::ControllerTemplateName, -1), m, n);
        ok = setParamToMemoryFromBulk(
                 ParamAddress(m_targetBank, m_targetTemplate, ParamAddress::ControllerControlType, -1), m, n)
            && ok;
        ok = setParamToMemoryFromBulk(
                 ParamAddress(m_targetBank, m_targetTemplate, ParamAddress::ControllerVSTiName, -1), m, n)
            && ok;
        if (ok)
            m_blocksTaken |= 1u;
        return ok;
    }
    if (isBulkContentsController(m, n, &knob)) {
        if (knob >= kKnobCount)
            return false;
        if (n < kOffBulkData + kKnobBlockDataBytes + kBulkTrailer)
            return false;
        bool ok = true;
        for (int p = ParamAddress::ParamDisplayName; p <= ParamAddress::ParamRemoteTagID; ++p)
            ok = setParamToMemoryFromBulk(ParamAddress(m_targetBank, m_targetTemplate, knob, p), m, n) && ok;
        if (ok)
            m_blocksTaken |= 1u << (1 + knob);
        return ok;
    }
    return true;
}

void MessageDecoder::dropBlockOfOpenDump()
{
    if (m_receiving && !m_dumpDamaged) {
        m_dumpDamaged = true;
        qCDebug(lcDecoder, "dump of template %d (bank %d) lost a block: it will not count as received",
                m_targetTemplate, m_targetBank);
    }
}

bool MessageDecoder::isOpenDumpWhole() const
{
    return m_receiving && !m_dumpDamaged && m_blocksTaken == kAllBlocks;
}

bool MessageDecoder::setParamToMemoryFromBulk(const ParamAddress& address, const unsigned char* m,
                                              std::size_t n)
{
    if (!m_receiving || !m_table)
        return false;
    unsigned char wire[4];
    if (!m_table->getSysExParamAddress(address, wire))
        return false;
    const std::size_t start = kOffBulkData + wire[1];
    const std::size_t count = wire[3];
    if (n < kBulkTrailer || start + count > n - kBulkTrailer)
        return false;
    if (address.isNumericParamAdr())
        return WriteNumericParamToMemory(address, m[start]);
    if (address.isStringParamAdr()) {
        const QString text = QString::fromLatin1(reinterpret_cast<const char*>(m + start),
                                                 static_cast<qsizetype>(count));
        WriteStringParamToMemory(address, trimTrailingSpaces(text));
        return true;
    }
    return false;
}

bool MessageDecoder::decodeBulkFooter(const unsigned char* m, std::size_t n)
{
    Q_UNUSED(m);
    Q_UNUSED(n);
    const bool whole = isOpenDumpWhole();
    if (!whole)
        qCDebug(lcDecoder, "footer of an incomplete or damaged dump: its request stays outstanding");
    m_receiving = false;
    m_dumpDamaged = false;
    m_blocksTaken = 0;
    // The queue resumes either way; only a whole dump answers its request.
    if (whole)
        decrementTransmitedBulkReqCounter();
    bool wasEmpty = true;
    const bool ok = m_api && m_api->sendMessage(&wasEmpty);
    if (whole && m_api && transmitedBulkReqCounter() == 0 && m_api->isBulkReceivePending()) {
        m_api->setBulkReceivePending(false);
        m_api->emitCompleteBulkReceiveSignal();
    }
    return whole && ok;
}

int MessageDecoder::textWidth(const ParamAddress& address)
{
    if (address.isTemplateNameAdr())
        return 13;
    if (address.isVSTiNameAdr())
        return 12;
    if (address.isControllerAdr() && address.isDisplayNameAdr())
        return 15;
    if (address.isControllerAdr() && address.isRemoteTagIDAdr())
        return 9;
    return 0;
}

bool MessageDecoder::DecodeParameterChange(const unsigned char* m, std::size_t n)
{
    if (!m_api || !m_table || n < kMinParamChangeLength)
        return false;
    const unsigned char midLow[2] = {m[kOffParamMid], m[kOffParamLow]};
    ParamAddress address = m_table->getMemoryParamAddress(midLow);
    if (midLow[1] == 0x00 && midLow[0] == kMidCurrentTemplate) {
        address = ParamAddress(0, ParamAddress::TemplateCurrentTemplateNumber, -1, -1);
    } else if (midLow[1] == 0x00 && midLow[0] == kMidStore) {
        m_api->storeBank(false);
        return true;
    } else if (midLow[1] == 0x00 && midLow[0] == kMidBankEditFlag) {
        address = ParamAddress(ParamAddress::BankBankEditFlag, -1, -1, -1);
    } else {
        if (address.controller() == -1)
            return false; // names no value of the keyboard
        const int current =
            m_api->getParam(ParamAddress(0, ParamAddress::TemplateCurrentTemplateNumber, -1, -1)).getCurrentValue();
        address = ParamAddress(0, current, address.controller(), address.parameter());
    }

    const std::size_t available = paramChangeDataCount(m, n);
    const unsigned char* values = m + kOffParamData;
    if (address.isStringParamAdr()) {
        unsigned char info[2] = {0, 0};
        m_table->getSysExAddressParamInfo(midLow, info);
        const int count = address.isRemoteTagIDAdr() ? 9 : 1;
        if (available < static_cast<std::size_t>(count))
            return false; // shorter than the value it addresses
        return WriteStringParamToMemory(reinterpret_cast<const char*>(values), info[0], address, count);
    }
    if (!address.isNumericParamAdr() || available < 1)
        return false;
    const bool ok = WriteNumericParamToMemory(address, values[0]);
    if (address.isCurrentTemplateNumAdr())
        m_api->emitNotifiedCurrentTemplateNumberSignal();
    return ok;
}

bool MessageDecoder::WriteNumericParamToMemory(const ParamAddress& address, int value)
{
    if (!m_api)
        return false;
    if (address.isCurrentTemplateNumAdr() && m_api->takeEchoOfTemplateSelect(value))
        return true; // the keyboard confirmed our own selection
    std::lock_guard lock(m_api->memoryLock());
    const bool allowed = m_api->isAllowToSendSysEx();
    m_api->setAllowToSendSysExFlag(false);
    m_api->setParam(address, static_cast<long>(value));
    m_api->setAllowToSendSysExFlag(allowed);
    return true;
}

bool MessageDecoder::WriteStringParamToMemory(const ParamAddress& address, const QString& text)
{
    if (!m_api)
        return false;
    // Under the memory lock, so that an edit on another thread is not
    // caught by the cleared flag and silently left unsent.
    std::lock_guard lock(m_api->memoryLock());
    const bool allowed = m_api->isAllowToSendSysEx();
    m_api->setAllowToSendSysExFlag(false);
    m_api->setParam(address, text);
    m_api->setAllowToSendSysExFlag(allowed);
    return true;
}

bool MessageDecoder::WriteStringParamToMemory(const char* bytes, int position, const ParamAddress& address,
                                              int count)
{
    const int width = textWidth(address);
    if (!m_api || !bytes || width == 0 || position < 0 || position >= width)
        return false;
    std::lock_guard lock(m_api->memoryLock());
    QString text = getStringParamFromMemory(address).left(width);
    if (address.isRemoteTagIDAdr())
        text = text.rightJustified(width, QLatin1Char('0'));
    else
        text = text.leftJustified(width, QLatin1Char(' '));
    for (int i = 0; i < count && position + i < width; ++i)
        text[position + i] = QLatin1Char(bytes[i]);
    return WriteStringParamToMemory(address, trimTrailingSpaces(text));
}

QString MessageDecoder::getStringParamFromMemory(const ParamAddress& address)
{
    return m_api ? m_api->getParamQString(address) : QString();
}

void MessageDecoder::incrementTransmitedBulkCounter()
{
    std::lock_guard lock(m_bulkCounterMutex);
    ++m_transmitedBulk;
}

void MessageDecoder::decrementTransmitedBulkCounter()
{
    std::lock_guard lock(m_bulkCounterMutex);
    if (m_transmitedBulk > 0)
        --m_transmitedBulk;
}

void MessageDecoder::clearTransmitedBulkCounter()
{
    std::lock_guard lock(m_bulkCounterMutex);
    m_transmitedBulk = 0;
}

int MessageDecoder::transmitedBulkCounter()
{
    std::lock_guard lock(m_bulkCounterMutex);
    return m_transmitedBulk;
}

void MessageDecoder::incrementTransmitedBulkReqCounter()
{
    std::lock_guard lock(m_bulkReqCounterMutex);
    ++m_transmitedBulkReq;
}

void MessageDecoder::decrementTransmitedBulkReqCounter()
{
    std::lock_guard lock(m_bulkReqCounterMutex);
    if (m_transmitedBulkReq > 0)
        --m_transmitedBulkReq;
}

void MessageDecoder::clearTransmitedBulkReqCounter()
{
    std::lock_guard lock(m_bulkReqCounterMutex);
    m_transmitedBulkReq = 0;
}

int MessageDecoder::transmitedBulkReqCounter()
{
    std::lock_guard lock(m_bulkReqCounterMutex);
    return m_transmitedBulkReq;
}
