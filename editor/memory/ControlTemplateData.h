#pragma once
// One template: its name, control type, twelve knobs (knobA1..knobD3) and the
// name of the instrument plug-in it is made for.

#include "editor/memory/ControllerData.h"
#include "editor/memory/NumericParameter.h"
#include "editor/memory/ParamAddress.h"

#include <QString>
#include <array>

class ControlTemplateData {
public:
    ControlTemplateData();

    // Store and return true when the text differs.
    bool setTemplateName(const QString& name);
    bool setVSTiName(const QString& name);
    // Replaces the whole parameter (bounds included) when its current value
    // differs from the stored one.
    bool setCtrlType(const NumericParameter& type);

    QString getTemplateName() const { return m_templateName; }
    QString getVSTiName() const { return m_vstiName; }
    NumericParameter getCtrlType() const { return m_controlType; }

    // A copy of knob i; a default knob for an index outside 0..11.
    ControllerData getController(int i) const;
    // The knob in place, for readers that must not copy; null when invalid.
    const ControllerData* controllerAt(int i) const;
    // Overwrites knob i (0..11) and returns true, also when equal.
    bool setController(const ControllerData& controller, int i);
    static bool isValidControllerIndex(int i) { return unsigned(i) < unsigned(ParamAddress::ControllerCount); }

    // Routed by the address's controller and parameter; true when changed.
    bool setParam(const ParamAddress& address, int value);
    bool setParam(const ParamAddress& address, const QString& text);
    // The numeric parameter named; the zero placeholder for anything else.
    NumericParameter getParam(const ParamAddress& address) const;
    // The text named; empty for anything else.
    QString getParamQString(const ParamAddress& address) const;

    bool operator==(const ControlTemplateData& other) const;
    bool operator!=(const ControlTemplateData& other) const { return !(*this == other); }

private:
    QString m_templateName;
    NumericParameter m_controlType;
    std::array<ControllerData, ParamAddress::ControllerCount> m_controllers;
    QString m_vstiName;
};
