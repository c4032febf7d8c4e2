#include "editor/memory/BankData.h"

BankData::BankData()
    : BankData(1)
{
}

BankData::BankData(int available)
    : m_available(0, 1, available)
    , m_currentTemplate(0, ParamAddress::TemplateCount - 1, 0)
{
}

ControlTemplateData* BankData::getTemplate(int i)
{
    return isValidTemplateIndex(i) ? &m_templates[std::size_t(i)] : nullptr;
}

const ControlTemplateData* BankData::getTemplate(int i) const
{
    return isValidTemplateIndex(i) ? &m_templates[std::size_t(i)] : nullptr;
}

ControlTemplateData BankData::getCopiedTemplate(int i) const
{
    const ControlTemplateData* t = getTemplate(i);
    return t ? *t : ControlTemplateData();
}

ControlTemplateData* BankData::AccessTemplate(const ParamAddress& address)
{
    return getTemplate(address.templ());
}

const ControlTemplateData* BankData::AccessTemplate(const ParamAddress& address) const
{
    return getTemplate(address.templ());
}

bool BankData::setTemplate(const ControlTemplateData& data, int i)
{
    ControlTemplateData* t = getTemplate(i);
    if (!t || *t == data)
        return false;
    *t = data;
    return true;
}

bool BankData::setBankAvailableFlag(int flag)
{
    return m_available.setCurrentValue(flag);
}

bool BankData::setCurrentTemplateNumber(int number)
{
    return m_currentTemplate.setCurrentValue(number);
}

bool BankData::setParam(const ParamAddress& address, int value)
{
    if (address.isBankAvailFlagAdr())
        return m_available.setCurrentValue(value);
    if (address.isCurrentTemplateNumAdr())
        return m_currentTemplate.setCurrentValue(value);
    ControlTemplateData* t = AccessTemplate(address);
    return t ? t->setParam(address, value) : false;
}

bool BankData::setParam(const ParamAddress& address, const QString& text)
{
    ControlTemplateData* t = AccessTemplate(address);
    return t ? t->setParam(address, text) : false;
}

NumericParameter BankData::getParam(const ParamAddress& address) const
{
    if (address.isBankAvailFlagAdr())
        return m_available;
    if (address.isCurrentTemplateNumAdr())
        return m_currentTemplate;
    const ControlTemplateData* t = AccessTemplate(address);
    return t ? t->getParam(address) : NumericParameter();
}

QString BankData::getParamQString(const ParamAddress& address) const
{
    const ControlTemplateData* t = AccessTemplate(address);
    return t ? t->getParamQString(address) : QString();
}
