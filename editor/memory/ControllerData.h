#pragma once
// One knob's assignment: display name, remote tag ID, CC number and display
// format.

#include "editor/memory/NumericParameter.h"

#include <QString>

class ControllerData {
public:
    static constexpr int MaxDisplayNameLength = 15;
    static constexpr int MaxRemoteTagIDLength = 9;
    // The host's identifier for a knob that controls nothing.
    static const char* const NoAssignID;

    ControllerData();

    // Each returns true when the stored value changed; refused values
    // (too long, out of range) return false and change nothing.
    bool setDisplayName(const QString& name);
    bool setRemoteTagID(const QString& id);
    bool setCCNum(int value);
    bool setDispFormat(int value);

    QString getDisplayName() const { return m_displayName; }
    QString getRemoteTagID() const { return m_remoteTagID; }
    NumericParameter getCCNum() const { return m_ccNumber; }
    NumericParameter getDispFormat() const { return m_displayFormat; }

    // Names, tag IDs and current values; bounds are not compared.
    bool operator==(const ControllerData& other) const;
    bool operator!=(const ControllerData& other) const { return !(*this == other); }

private:
    QString m_displayName;
    QString m_remoteTagID;
    NumericParameter m_ccNumber;
    NumericParameter m_displayFormat;
};
