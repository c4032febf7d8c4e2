#pragma once
// Recognises the keyboards among the computer's ports. A keyboard offers five
// numbered ports each way ("<base> Port1".."<base> Port5"); the editor watches
// input 1 for active sensing and talks on input and output 5.

#include <QList>
#include <QString>
#include <QStringList>

namespace KeyboardPortSet {
inline constexpr char PortNameFilter[] = ".*V[Ee][Ll][Mm][Oo][Rr] (ZenoA/ZenoB|Zeno Series).*";
inline constexpr char PortNameNumberReplace[] = "\\ *Port([0-9]*)$";
inline constexpr char PortNameNumberDelimiter[] = "-";
inline constexpr char PortNotAssigned[] = "Not Assigned";
inline constexpr int ActiveSensePort = 1;
inline constexpr int CommunicationPort = 5;
} // namespace KeyboardPortSet

// One keyboard: its base name and the three port numbers a route needs.
struct PortInfo {
    QString name;
    int watchInput = 0;  // input device port 1
    int dataInput = 0;   // input device port 5
    int output = 0;      // output device port 5
    bool operator==(const PortInfo&) const = default;
};

struct KeyboardPortSets {
    QList<PortInfo> ports;  // keyboard i ...
    QStringList names;      // ... is names[i + 1]; names[0] is "Not Assigned"
};

// Builds the keyboards from the encoded input and output port lists
// ("number;identifier" entries).
KeyboardPortSets findKeyboardPortSets(const QStringList& inputs, const QStringList& outputs);
