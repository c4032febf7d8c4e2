#pragma once
// One bank of 50 templates with its available flag and current template.

#include "editor/memory/ControlTemplateData.h"
#include "editor/memory/NumericParameter.h"
#include "editor/memory/ParamAddress.h"

#include <QString>
#include <array>

class BankData {
public:
    BankData();
    explicit BankData(int available);

    static bool isValidTemplateIndex(int i) { return unsigned(i) < unsigned(ParamAddress::TemplateCount); }

    // The template in place; null for an index outside 0..49.
    ControlTemplateData* getTemplate(int i);
    const ControlTemplateData* getTemplate(int i) const;
    // A copy; a default template for an invalid index.
    ControlTemplateData getCopiedTemplate(int i) const;
    // The template named by the address's template component, or null.
    ControlTemplateData* AccessTemplate(const ParamAddress& address);
    const ControlTemplateData* AccessTemplate(const ParamAddress& address) const;
    // Overwrites template i when it differs; true when it changed.
    bool setTemplate(const ControlTemplateData& data, int i);

    bool setBankAvailableFlag(int flag);
    int getBankAvailableFlag() const { return m_available.getCurrentValue(); }
    bool setCurrentTemplateNumber(int number);
    int getCurrentTemplateNumber() const { return m_currentTemplate.getCurrentValue(); }

    // Template 51 the available flag, 52 the current template number,
    // 0..49 routed to that template.
    bool setParam(const ParamAddress& address, int value);
    bool setParam(const ParamAddress& address, const QString& text);
    NumericParameter getParam(const ParamAddress& address) const;
    QString getParamQString(const ParamAddress& address) const;

private:
    std::array<ControlTemplateData, ParamAddress::TemplateCount> m_templates;
    NumericParameter m_available;
    NumericParameter m_currentTemplate;
};
