#pragma once
// A bounded integer cell: every numeric value of the template memory lives in
// one. Out-of-range values are refused, never clamped.

class NumericParameter {
public:
    // Placeholder for an address that names no numeric value: all zero.
    NumericParameter() = default;
    NumericParameter(int minimum, int maximum, int initial);

    // True when v differs from the current value and lies within the bounds.
    bool setCurrentValue(int v);
    // Each returns true when the stored value differs from the new one.
    bool setMaxValue(int v);
    bool setMinValue(int v);
    bool setInitialValue(int v);

    int getCurrentValue() const { return m_current; }
    int getMaxValue() const { return m_maximum; }
    int getMinValue() const { return m_minimum; }
    int getInitialValue() const { return m_initial; }

    bool isInRange(int v) const { return m_minimum <= v && v <= m_maximum; }

    // Compares the current values only; bounds take no part.
    bool operator==(const NumericParameter& other) const { return m_current == other.m_current; }
    bool operator!=(const NumericParameter& other) const { return !(*this == other); }

private:
    int m_current = 0;
    int m_maximum = 0;
    int m_minimum = 0;
    int m_initial = 0;
};
