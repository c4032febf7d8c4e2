#include "editor/memory/ParamAddress.h"

#include "editor/memory/AddressTransTable.h"

#include <QDebug>

namespace {
inline void keepOrStore(int& component, int value)
{
    if (value != ParamAddress::None)
        component = value;
}
} // namespace

ParamAddress::ParamAddress(AddressTransTable* table)
    : m_table(table)
{
}

ParamAddress::ParamAddress(int bank, int templ, int controller, int parameter)
{
    setParamAddress(bank, templ, controller, parameter);
}

void ParamAddress::initParamAddress()
{
    m_bank = m_template = m_controller = m_parameter = None;
}

void ParamAddress::setParamAddress(int bank, int templ, int controller, int parameter)
{
    keepOrStore(m_bank, bank);
    keepOrStore(m_template, templ);
    keepOrStore(m_controller, controller);
    keepOrStore(m_parameter, parameter);
}

void ParamAddress::setParamAddress(int bank, int templ, const char* path, int parameter)
{
    keepOrStore(m_bank, bank);
    keepOrStore(m_template, templ);
    keepOrStore(m_parameter, parameter);
    if (!path)
        return;
    applyPath(splitNamedAdr(path));
}

void ParamAddress::setParamAddress(int bank, int templ, const QString& path, int parameter)
{
    keepOrStore(m_bank, bank);
    keepOrStore(m_template, templ);
    keepOrStore(m_parameter, parameter);
    if (path.isNull())
        return;
    applyPath(splitNamedAdr(path));
}

void ParamAddress::applyPath(const QStringList& parts)
{
    // A path without any word leaves the address as it was.
    if (parts.isEmpty())
        return;
    m_controller = String2ParamAdr(parts.first());
    m_parameter = String2ParamAdr(parts.last());
}

void ParamAddress::setParamAddress(int bank, int templ, int controller, const char* name)
{
    keepOrStore(m_bank, bank);
    keepOrStore(m_template, templ);
    keepOrStore(m_controller, controller);
    if (!name)
        return;
    applyName(QString::fromUtf8(name));
}

void ParamAddress::setParamAddress(int bank, int templ, int controller, const QString& name)
{
    keepOrStore(m_bank, bank);
    keepOrStore(m_template, templ);
    keepOrStore(m_controller, controller);
    if (name.isNull())
        return;
    applyName(name);
}

void ParamAddress::applyName(const QString& name)
{
    const int value = String2ParamAdr(name);
    m_parameter = value;
    if (name == QLatin1String("fileName") || name == QLatin1String("isOnline")
        || name == QLatin1String("bankEditFlag") || name == QLatin1String("fileEditFlag")
        || name == QLatin1String("libraryEditFlag")) {
        m_bank = value;
        m_template = m_controller = m_parameter = None;
    } else if (name == QLatin1String("templateName") || name == QLatin1String("controlType")
        || name == QLatin1String("vstiName")) {
        m_controller = value;
        m_parameter = None;
    } else if (name == QLatin1String("bankAvailableFlag")
        || name == QLatin1String("currentTemplateNumber")) {
        m_template = value;
        m_controller = m_parameter = None;
    }
}

int ParamAddress::String2ParamAdr(const char* name) const
{
    if (!m_table || !name)
        return None;
    return m_table->value(name);
}

int ParamAddress::String2ParamAdr(const QString& name) const
{
    if (!m_table)
        return None;
    return m_table->value(QStringView(name));
}

QStringList ParamAddress::splitNamedAdr(const char* path)
{
    if (!path)
        return {};
    return splitNamedAdr(QString::fromUtf8(path));
}

QStringList ParamAddress::splitNamedAdr(const QString& path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts, Qt::CaseSensitive);
}

int ParamAddress::getParamAddress(int index) const
{
    switch (index) {
    case 0:
        return m_bank;
    case 1:
        return m_template;
    case 2:
        return m_controller;
    case 3:
        return m_parameter;
    default:
        return None;
    }
}

QString ParamAddress::toString() const
{
    return QStringLiteral("(%1, %2, %3, %4)").arg(m_bank).arg(m_template).arg(m_controller).arg(m_parameter);
}

void ParamAddress::PrintParamAddress() const
{
    qDebug().noquote() << QStringLiteral("ParamAddress is %1").arg(toString());
}

bool ParamAddress::isStringParamAdr() const
{
    return m_controller == ControllerTemplateName || m_controller == ControllerVSTiName
        || m_parameter == ParamDisplayName || m_parameter == ParamRemoteTagID;
}

bool ParamAddress::isNumericParamAdr() const
{
    return m_parameter == ParamCCNumber || m_parameter == ParamDisplayFormat
        || m_controller == ControllerControlType
        || m_template == TemplateBankAvailableFlag || m_template == TemplateCurrentTemplateNumber
        || m_bank == BankBankEditFlag || m_bank == BankFileEditFlag || m_bank == BankOnline;
}

bool ParamAddress::isParamUsedInOnlyEditor() const
{
    if (m_bank == BankBankEditFlag || m_bank == BankFileName || m_bank == BankFileEditFlag
        || m_bank == BankOnline)
        return true;
    return m_template == TemplateBankAvailableFlag;
}
