#include "editor/protocol/SysExMessages.h"


namespace SysExMsg {

namespace {

Bytes frame(unsigned char command, const unsigned char* model, std::size_t reserve)
{
    Bytes m;
    m.reserve(reserve);
    m.push_back(kManufacturer);
    m.push_back(command);
    m.push_back(model ? model[0] : 0x7F);
    m.push_back(model ? model[1] : 0x17);
    return m;
}

bool isBulkEnvelope(const unsigned char* m, std::size_t n, unsigned char ah)
{
    return m && n >= kMinBulkLength && m[kOffBulkAH] == ah
        && (m[kOffBulkAM] == kMidNormalBulk || m[kOffBulkAM] == kMidEditBufferBulk)
        && m[kOffBulkAL] < kTemplateCount;
}

} // namespace

unsigned char sevenBitChar(char32_t codePoint)
{
    if (codePoint < 0x80)
        return static_cast<unsigned char>(codePoint);
    if (codePoint <= 0xFFFF) {
        const QChar ch(static_cast<char16_t>(codePoint));
        // Only canonical forms: an accented letter keeps its letter, while
        // e.g. "½" must not turn into a plain "1".
        const QString decomposed = ch.decomposition();
        if (ch.decompositionTag() == QChar::Canonical && !decomposed.isEmpty() && decomposed.at(0).unicode() < 0x80
            && decomposed.at(0).unicode() >= 0x20)
            return static_cast<unsigned char>(decomposed.at(0).unicode());
    }
    return '?';
}

void appendPaddedText(Bytes& out, const QString& text, int width)
{
    if (width <= 0)
        return;
    const std::size_t end = out.size() + static_cast<std::size_t>(width);
    // By code point, so that a character outside the basic plane is one byte.
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n && out.size() < end; ++i) {
        char32_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            ++i;
        }
        out.push_back(sevenBitChar(c));
    }
    out.resize(end, ' ');
}

Bytes paddedText(const QString& text, int width)
{
    Bytes out;
    out.reserve(static_cast<std::size_t>(width > 0 ? width : 0));
    appendPaddedText(out, text, width);
    return out;
}

Bytes paramChange(const unsigned char* model, unsigned char mid, unsigned char low,
                  const unsigned char* values, int count)
{
    if (count < 0 || (count > 0 && !values))
        count = 0;
    Bytes m = frame(kCmdParamChange, model, 8 + static_cast<std::size_t>(count));
    m.push_back(kAddrParam);
    m.push_back(mid);
    m.push_back(low);
    for (int i = 0; i < count; ++i)
        m.push_back(values[i] & 0x7F);
    m.push_back(kEnd);
    return m;
}

Bytes paramRequest(const unsigned char* model, unsigned char mid, unsigned char low)
{
    Bytes m = frame(kCmdParamRequest, model, 8);
    m.push_back(kAddrParam);
    m.push_back(mid);
    m.push_back(low);
    m.push_back(kEnd);
    return m;
}

Bytes bulkRequest(const unsigned char* model, unsigned char kindMid, int templateNumber)
{
    Bytes m = frame(kCmdBulkRequest, model, 8);
    m.push_back(kAddrBulkHeader);
    m.push_back(kindMid);
    m.push_back(static_cast<unsigned char>(templateNumber & 0x7F));
    m.push_back(kEnd);
    return m;
}

void byteCount(const Bytes& message, unsigned char* high, unsigned char* low)
{
    const std::size_t count = message.size() >= 9 ? message.size() - 9 : 0;
    if (high)
        *high = static_cast<unsigned char>((count >> 7) & 0x7F);
    if (low)
        *low = static_cast<unsigned char>(count & 0x7F);
}

unsigned char checksum(const Bytes& message)
{
    unsigned sum = 0;
    for (std::size_t i = kOffByteCountHigh; i < message.size(); ++i)
        sum += message[i];
    return static_cast<unsigned char>((0u - sum) & 0x7F);
}

Bytes bulkDumpBegin(const unsigned char* model, unsigned char ah, unsigned char am, unsigned char al,
                    std::size_t dataReserve)
{
    Bytes m = frame(kCmdBulkDump, model, 11 + dataReserve);
    m.push_back(0); // byte count, filled in by bulkDumpFinish
    m.push_back(0);
    m.push_back(ah);
    m.push_back(am);
    m.push_back(al);
    return m;
}

void bulkDumpFinish(Bytes& m)
{
    if (m.size() < kOffBulkData)
        return;
    for (std::size_t i = kOffBulkData; i < m.size(); ++i)
        m[i] &= 0x7F;
    byteCount(m, &m[kOffByteCountHigh], &m[kOffByteCountHigh + 1]);
    m.push_back(checksum(m));
    m.push_back(kEnd);
}

Bytes bulkDump(const unsigned char* model, unsigned char ah, unsigned char am, unsigned char al,
               const unsigned char* data, int count)
{
    if (count < 0 || (count > 0 && !data))
        count = 0;
    Bytes m = bulkDumpBegin(model, ah, am, al, static_cast<std::size_t>(count));
    m.insert(m.end(), data, data + count);
    bulkDumpFinish(m);
    return m;
}

Bytes storeMessage(const unsigned char* model)
{
    return paramChange(model, kMidStore, 0x00, nullptr, 0);
}

Bytes storeToFlash(const unsigned char* model)
{
    return bulkDump(model, kAddrStoreToFlash, 0x00, 0x00, nullptr, 0);
}

bool isVelmorSysEx(const unsigned char* m, std::size_t n)
{
    return m && n >= 1 && m[0] == kManufacturer;
}

bool isDesiredModelSysEx(const unsigned char* m, std::size_t n, const unsigned char* model)
{
    return m && model && n >= 4 && m[kOffModel] == model[0] && m[kOffModel + 1] == model[1];
}

bool isBulkDump(const unsigned char* m, std::size_t n)
{
    return m && n >= 2 && m[kOffCommand] <= 0x0F;
}

bool isParameterChange(const unsigned char* m, std::size_t n)
{
    return m && n >= 2 && (m[kOffCommand] & 0xF0) == kCmdParamChange;
}

bool isBulkAcknowledge(const unsigned char* m, std::size_t n)
{
    return m && n >= 3 && (m[kOffCommand] & 0xF0) == kCmdBulkAck && m[kOffCommand + 1] == 0x02;
}

bool isBulkHeader(const unsigned char* m, std::size_t n)
{
    return isBulkEnvelope(m, n, kAddrBulkHeader);
}

bool isNormalBulkHeader(const unsigned char* m, std::size_t n)
{
    return isBulkHeader(m, n) && m[kOffBulkAM] == kMidNormalBulk;
}

bool isEditBuffBulkHeader(const unsigned char* m, std::size_t n)
{
    return isBulkHeader(m, n) && m[kOffBulkAM] == kMidEditBufferBulk;
}

bool isBulkFooter(const unsigned char* m, std::size_t n)
{
    return isBulkEnvelope(m, n, kAddrBulkFooter);
}

bool isBulkContents(const unsigned char* m, std::size_t n)
{
    return m && n >= kMinBulkLength && m[kOffBulkAH] == kAddrParam;
}

bool isBulkContentsCommon(const unsigned char* m, std::size_t n)
{
    return m && n >= kMinBulkLength && m[kOffBulkAM] == kMidCommon;
}

bool isBulkContentsController(const unsigned char* m, std::size_t n, int* knob)
{
    if (!m || n < kMinBulkLength || (m[kOffBulkAM] & 0xF0) != kMidKnobBase)
        return false;
    if (knob)
        *knob = m[kOffBulkAM] & 0x0F;
    return true;
}

int getTemplateNumberFromBulk(const unsigned char* m, std::size_t n)
{
    return m && n > kOffBulkAL ? m[kOffBulkAL] : -1;
}

bool isBulkChecksumCorrect(const unsigned char* m, std::size_t n)
{
    // The last byte is F7 and the one before it the checksum.
    if (!m || n < 2)
        return false;
    const std::size_t cs = n - 2;
    if (n < 7)
        return (m[cs] & 0x7F) == 0;
    unsigned sum = 0;
    for (std::size_t i = kOffByteCountHigh; i <= cs; ++i)
        sum += m[i];
    return (sum & 0x7F) == 0;
}

} // namespace SysExMsg
