#include "editor/protocol/SysExParamChangeAddressTransTable.h"

namespace {
constexpr int kKnobCount = 12;
constexpr int kCurrentTemplateMid = 0x20;
constexpr int kBankEditFlagMid = 0x23;
} // namespace

SysExParamChangeAddressTransTable::SysExParamChangeAddressTransTable()
{
    // Template-common block: template name, VSTi name, control type, reserved.
    enregister(13, -1, 0x00, 0x00, 13);
    enregister(15, -1, 0x00, 0x0D, 12);
    enregister(14, -1, 0x00, 0x19, 1);
    enregister(16, -1, 0x00, 0x1A, 1);
    // Knob blocks: remote number, display name, CC number, display format.
    for (int k = 0; k < kKnobCount; ++k)
        enregister(k, 3, 0x10 + k, 0x00, 9);
    for (int k = 0; k < kKnobCount; ++k)
        enregister(k, 0, 0x10 + k, 0x09, 15);
    for (int k = 0; k < kKnobCount; ++k)
        enregister(k, 1, 0x10 + k, 0x18, 1);
    for (int k = 0; k < kKnobCount; ++k)
        enregister(k, 2, 0x10 + k, 0x19, 1);
}

unsigned short SysExParamChangeAddressTransTable::memoryKey(int controller, int parameter)
{
    return Combine(controller, parameter);
}

void SysExParamChangeAddressTransTable::enregister(int controller, int parameter, int mid, int low,
                                                   int count)
{
    if (count < 1)
        return;
    const unsigned short key = memoryKey(controller, parameter);
    // Last byte first: a plain lookup of the key then yields the first byte.
    for (int i = count - 1; i >= 0; --i) {
        const unsigned short wire = Combine(mid, (low + i) & 0xFF);
        const unsigned short info = Combine(i, count);
        m_table.insert(key, qMakePair(wire, info));
        m_byWireAddress.insert(wire, qMakePair(key, info));
    }
}

bool SysExParamChangeAddressTransTable::getSysExParamAddress(const ParamAddress& address,
                                                             unsigned char* out) const
{
    if (!out)
        return false;
    if (address.isCurrentTemplateNumAdr()) {
        out[0] = kCurrentTemplateMid;
        out[1] = 0x00;
        out[2] = 0x00;
        out[3] = 0x01;
        return true;
    }
    if (address.isBankEditFlagAdr()) {
        out[0] = kBankEditFlagMid;
        out[1] = 0x00;
        out[2] = 0x00;
        out[3] = 0x01;
        return true;
    }
    const unsigned short key = memoryKey(address.getParamAddress(2), address.getParamAddress(3));
    const auto it = m_table.constFind(key);
    if (it == m_table.constEnd())
        return false;
    Devide(it.value().first, out);
    out[2] = 0x00;
    out[3] = static_cast<unsigned char>(it.value().second & 0xFF);
    return true;
}

void SysExParamChangeAddressTransTable::getSysExAddressParamInfo(const unsigned char* midLow,
                                                                 unsigned char* out) const
{
    if (!midLow || !out)
        return;
    const auto it = m_byWireAddress.constFind(Combine(midLow[0], midLow[1]));
    if (it == m_byWireAddress.constEnd())
        return;
    Devide(it.value().second, out);
}

ParamAddress SysExParamChangeAddressTransTable::getMemoryParamAddress(const unsigned char* midLow) const
{
    if (!midLow)
        return ParamAddress(-1, -1, -1, -1);
    if (midLow[0] == kCurrentTemplateMid && midLow[1] == 0x00)
        return ParamAddress(-1, 52, -1, -1);
    const auto it = m_byWireAddress.constFind(Combine(midLow[0], midLow[1]));
    if (it == m_byWireAddress.constEnd())
        return ParamAddress(-1, -1, -1, -1);
    unsigned char key[2];
    Devide(it.value().first, key);
    const int controller = key[0] == 0xFF ? -1 : key[0];
    const int parameter = key[1] == 0xFF ? -1 : key[1];
    return ParamAddress(-1, -1, controller, parameter);
}

unsigned short SysExParamChangeAddressTransTable::Combine(int high, int low)
{
    return static_cast<unsigned short>(((high & 0xFF) << 8) | (low & 0xFF));
}

void SysExParamChangeAddressTransTable::Devide(unsigned short value, unsigned char* out)
{
    if (!out)
        return;
    out[0] = static_cast<unsigned char>(value >> 8);
    out[1] = static_cast<unsigned char>(value & 0xFF);
}
