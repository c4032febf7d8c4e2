#include "editor/memory/NumericParameter.h"

NumericParameter::NumericParameter(int minimum, int maximum, int initial)
    : m_current(0)
    , m_maximum(maximum)
    , m_minimum(minimum)
    , m_initial(initial)
{
    if (minimum <= initial && initial <= maximum)
        m_current = initial;
    else
        m_current = minimum <= maximum ? minimum : 0;
}

bool NumericParameter::setCurrentValue(int v)
{
    if (v == m_current || !isInRange(v))
        return false;
    m_current = v;
    return true;
}

bool NumericParameter::setMaxValue(int v)
{
    if (v == m_maximum)
        return false;
    m_maximum = v;
    return true;
}

bool NumericParameter::setMinValue(int v)
{
    if (v == m_minimum)
        return false;
    m_minimum = v;
    return true;
}

bool NumericParameter::setInitialValue(int v)
{
    if (v == m_initial)
        return false;
    m_initial = v;
    return true;
}
