#include "editor/memory/ControlTemplateData.h"

ControlTemplateData::ControlTemplateData()
    : m_controlType(0, 1, 0)
{
}

bool ControlTemplateData::setTemplateName(const QString& name)
{
    if (name == m_templateName)
        return false;
    m_templateName = name;
    return true;
}

bool ControlTemplateData::setVSTiName(const QString& name)
{
    if (name == m_vstiName)
        return false;
    m_vstiName = name;
    return true;
}

bool ControlTemplateData::setCtrlType(const NumericParameter& type)
{
    if (type.getCurrentValue() == m_controlType.getCurrentValue())
        return false;
    m_controlType = type;
    return true;
}

ControllerData ControlTemplateData::getController(int i) const
{
    if (!isValidControllerIndex(i))
        return ControllerData();
    return m_controllers[std::size_t(i)];
}

const ControllerData* ControlTemplateData::controllerAt(int i) const
{
    return isValidControllerIndex(i) ? &m_controllers[std::size_t(i)] : nullptr;
}

bool ControlTemplateData::setController(const ControllerData& controller, int i)
{
    if (!isValidControllerIndex(i))
        return false;
    m_controllers[std::size_t(i)] = controller;
    return true;
}

bool ControlTemplateData::setParam(const ParamAddress& address, int value)
{
    if (address.isControllerAdr()) {
        ControllerData& knob = m_controllers[std::size_t(address.controller())];
        if (address.isCCNumAdr())
            return knob.setCCNum(value);
        if (address.isDispFormAdr())
            return knob.setDispFormat(value);
    }
    if (address.isControlTypeAdr())
        return m_controlType.setCurrentValue(value);
    return false;
}

bool ControlTemplateData::setParam(const ParamAddress& address, const QString& text)
{
    if (address.isTemplateNameAdr())
        return setTemplateName(text);
    if (address.isVSTiNameAdr())
        return setVSTiName(text);
    if (address.isControllerAdr()) {
        ControllerData& knob = m_controllers[std::size_t(address.controller())];
        if (address.isDisplayNameAdr())
            return knob.setDisplayName(text);
        if (address.isRemoteTagIDAdr())
            return knob.setRemoteTagID(text);
    }
    return false;
}

NumericParameter ControlTemplateData::getParam(const ParamAddress& address) const
{
    if (address.isControllerAdr()) {
        const ControllerData& knob = m_controllers[std::size_t(address.controller())];
        if (address.isDispFormAdr())
            return knob.getDispFormat();
        if (address.isCCNumAdr())
            return knob.getCCNum();
    }
    if (address.isControlTypeAdr())
        return m_controlType;
    return NumericParameter();
}

QString ControlTemplateData::getParamQString(const ParamAddress& address) const
{
    if (address.isTemplateNameAdr())
        return m_templateName;
    if (address.isVSTiNameAdr())
        return m_vstiName;
    if (address.isControllerAdr()) {
        const ControllerData& knob = m_controllers[std::size_t(address.controller())];
        if (address.isDisplayNameAdr())
            return knob.getDisplayName();
        if (address.isRemoteTagIDAdr())
            return knob.getRemoteTagID();
    }
    return QString();
}

bool ControlTemplateData::operator==(const ControlTemplateData& other) const
{
    return m_templateName == other.m_templateName && m_controlType == other.m_controlType
        && m_vstiName == other.m_vstiName && m_controllers == other.m_controllers;
}
