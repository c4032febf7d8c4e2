#pragma once
// Helpers for the bank file tests: filling banks with recognisable values,
// taking snapshots of memory and writing fixture files.
#include "editor/app/EditorConstants.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

namespace filetest {

inline ParamAddress knob(int bank, int t, int k, int p) { return ParamAddress(bank, t, k, p); }
inline ParamAddress templ(int bank, int t, int c) { return ParamAddress(bank, t, c, -1); }
inline ParamAddress currentTemplate(int bank) { return ParamAddress(bank, 52, -1, -1); }
inline const ParamAddress FileEditFlag(-3, -1, -1, -1);

// Distinct values per bank, template and knob, with some empty names and
// remote IDs so that empty elements are exercised too.
inline void fillBank(RemoteMemAPI& api, int bank, int seed)
{
    for (int t = 0; t < 50; ++t) {
        const int v = seed * 7 + t;
        api.setParam(templ(bank, t, 13), t % 9 == 0 ? QString() : QString("T%1-%2 <&>").arg(seed).arg(t));
        api.setParam(templ(bank, t, 15), t % 5 == 0 ? QString() : QString("Vsti%1").arg(v % 100));
        api.setParam(templ(bank, t, 14), long(v % 2));
        for (int k = 0; k < 12; ++k) {
            const int w = v * 12 + k;
            api.setParam(knob(bank, t, k, 0), (w % 11 == 0) ? QString() : QString("K%1 \u00e9%2").arg(w % 1000).arg(k));
            api.setParam(knob(bank, t, k, 1), long(w % 128));
            api.setParam(knob(bank, t, k, 2), long((w / 3) % 2));
            api.setParam(knob(bank, t, k, 3), (w % 13 == 0) ? QString() : QString("1%1").arg(w % 0x10000000, 8, 16, QChar('0')));
        }
    }
    api.setParam(currentTemplate(bank), long((seed * 13) % 50));
}

struct BankSnapshot {
    std::vector<ControlTemplateData> templates;
    int currentTemplate = -1;
    int available = -1;
    bool operator==(const BankSnapshot& o) const
    {
        return templates == o.templates && currentTemplate == o.currentTemplate && available == o.available;
    }
};

inline BankSnapshot snapshot(RemoteMemAPI& api, int bank)
{
    BankSnapshot s;
    for (int t = 0; t < 50; ++t)
        s.templates.push_back(api.getTemplateData(bank, t));
    s.currentTemplate = api.getParam(currentTemplate(bank)).getCurrentValue();
    s.available = api.getBankAvailableFlag(bank);
    return s;
}

// The first template that differs, or -1 (for readable failures).
inline int firstDifference(const BankSnapshot& a, const BankSnapshot& b)
{
    for (size_t t = 0; t < a.templates.size() && t < b.templates.size(); ++t)
        if (!(a.templates[t] == b.templates[t]))
            return int(t);
    return a.templates.size() == b.templates.size() ? -1 : int(std::min(a.templates.size(), b.templates.size()));
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace filetest
