#include "editor/memory/AddressTransTable.h"

#include <QLatin1String>
#include <algorithm>
#include <cstring>

AddressTransTable::AddressTransTable()
{
    static const struct {
        const char* name;
        int value;
    } entries[] = {
        {"bankName", 50},
        {"knobA1", 0}, {"knobB1", 1}, {"knobC1", 2}, {"knobD1", 3},
        {"knobA2", 4}, {"knobB2", 5}, {"knobC2", 6}, {"knobD2", 7},
        {"knobA3", 8}, {"knobB3", 9}, {"knobC3", 10}, {"knobD3", 11},
        {"templateName", 13}, {"controlType", 14}, {"vstiName", 15},
        {"displayName", 0}, {"ccNumber", 1}, {"displayFormat", 2}, {"remoteNumber", 3},
        {"none", -1}, {"isOnline", -2}, {"fileEditFlag", -3}, {"fileName", -4},
        {"libraryEditFlag", -5}, {"bankEditFlag", -6},
        {"bankAvailableFlag", 51}, {"currentTemplateNumber", 52},
    };
    for (const auto& entry : entries)
        m_table.insert(QString::fromLatin1(entry.name), entry.value);
    for (auto it = m_table.cbegin(); it != m_table.cend(); ++it)
        m_sorted.emplace_back(it.key(), it.value());
}

AddressTransTable::~AddressTransTable() = default;

QMap<QString, int> AddressTransTable::getTable() const
{
    return m_table;
}

template <typename Name>
int AddressTransTable::find(Name name) const
{
    // The keys are ASCII, so QMap's order is the order the view comparisons
    // use and a binary search finds what QMap::value would.
    auto it = std::lower_bound(m_sorted.cbegin(), m_sorted.cend(), name,
        [](const std::pair<QString, int>& entry, Name key) {
            return QStringView(entry.first).compare(key) < 0;
        });
    if (it != m_sorted.cend() && QStringView(it->first).compare(name) == 0)
        return it->second;
    return -1;
}

int AddressTransTable::value(QStringView name) const
{
    return find(name);
}

int AddressTransTable::value(const char* name) const
{
    if (!name)
        return -1;
    // Every name is plain ASCII, so a Latin-1 view matches exactly the texts a
    // UTF-8 reading would match.
    return find(QLatin1String(name, qsizetype(std::strlen(name))));
}

bool AddressTransTable::contains(QStringView name) const
{
    auto it = std::lower_bound(m_sorted.cbegin(), m_sorted.cend(), name,
        [](const std::pair<QString, int>& entry, QStringView key) {
            return QStringView(entry.first).compare(key) < 0;
        });
    return it != m_sorted.cend() && QStringView(it->first).compare(name) == 0;
}
