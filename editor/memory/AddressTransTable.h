#pragma once
// The name table behind named addresses such as "knobA1/ccNumber": it turns
// each word into the number that goes into one component of a ParamAddress.

#include <QMap>
#include <QString>
#include <QStringView>
#include <utility>
#include <vector>

class AddressTransTable {
public:
    AddressTransTable();
    virtual ~AddressTransTable();

    // A copy of the whole name-to-number map.
    QMap<QString, int> getTable() const;

    // The number of a name; -1 when the name is unknown. Case-sensitive.
    int value(QStringView name) const;
    int value(const char* name) const;
    bool contains(QStringView name) const;

private:
    template <typename Name>
    int find(Name name) const;

    QMap<QString, int> m_table;
    // The same entries sorted by name, for look-ups without building a QString.
    std::vector<std::pair<QString, int>> m_sorted;
};
