#include "editor/memory/ControllerData.h"

const char* const ControllerData::NoAssignID = "204143dff";

ControllerData::ControllerData()
    : m_remoteTagID(QString::fromLatin1(NoAssignID))
    , m_ccNumber(0, 127, 0)
    , m_displayFormat(0, 1, 0)
{
}

bool ControllerData::setDisplayName(const QString& name)
{
    if (name.size() > MaxDisplayNameLength || name == m_displayName)
        return false;
    m_displayName = name;
    return true;
}

bool ControllerData::setRemoteTagID(const QString& id)
{
    const QString lower = id.toLower();
    if (lower.size() > MaxRemoteTagIDLength || lower == m_remoteTagID)
        return false;
    m_remoteTagID = lower;
    return true;
}

bool ControllerData::setCCNum(int value)
{
    return m_ccNumber.setCurrentValue(value);
}

bool ControllerData::setDispFormat(int value)
{
    return m_displayFormat.setCurrentValue(value);
}

bool ControllerData::operator==(const ControllerData& other) const
{
    return m_displayName == other.m_displayName && m_displayFormat == other.m_displayFormat
        && m_ccNumber == other.m_ccNumber && m_remoteTagID == other.m_remoteTagID;
}
