#pragma once
// Translation between memory addresses and the keyboard's three-byte
// parameter addresses (mid and low byte; the high byte is always 0x01 for the
// values carried by parameter changes and template blocks).

#include <QHash>
#include <QMultiHash>
#include <QPair>

#include "editor/memory/ParamAddress.h"

class SysExParamChangeAddressTransTable {
public:
    SysExParamChangeAddressTransTable();
    virtual ~SysExParamChangeAddressTransTable() = default;

    // Writes mid, low of the value's first byte, 0 and the value's length.
    // False (out untouched) for a null out or an address the keyboard has
    // no counterpart for.
    bool getSysExParamAddress(const ParamAddress& address, unsigned char* out) const;
    // out[0] := position of this byte within its value, out[1] := the
    // value's length; out untouched when (mid, low) names no value byte.
    void getSysExAddressParamInfo(const unsigned char* midLow, unsigned char* out) const;
    // (-1, -1, controller, parameter) of the value this byte belongs to,
    // (-1, 52, -1, -1) for the current template number, else all -1.
    ParamAddress getMemoryParamAddress(const unsigned char* midLow) const;

    static unsigned short Combine(int high, int low);
    static void Devide(unsigned short value, unsigned char* out);

    // Number of byte entries (one per byte of every value in the map).
    int entryCount() const { return static_cast<int>(m_table.size()); }

protected:
    void enregister(int controller, int parameter, int mid, int low, int count);

private:
    static unsigned short memoryKey(int controller, int parameter);

    // key -> (mid*256+low, i*256+n); several entries per key.
    QMultiHash<unsigned short, QPair<unsigned short, unsigned short>> m_table;
    // Reverse index built alongside: mid*256+low -> (key, i*256+n), so that
    // the decoder's per-byte lookups do not scan the whole table.
    QHash<unsigned short, QPair<unsigned short, unsigned short>> m_byWireAddress;
};
