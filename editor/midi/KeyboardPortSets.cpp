#include "editor/midi/KeyboardPortSets.h"

#include "editor/midi/MIDIPortAccessor.h"

#include <QMap>
#include <QRegularExpression>

#include <array>

namespace {

// base name -> per direction: device port -> computer port number
using PortsByBase = QMap<QString, std::array<QMap<int, int>, 2>>;

void collect(const QStringList& encodedNames, int io, PortsByBase& bases)
{
    static const QRegularExpression numberSuffix{QString::fromLatin1(KeyboardPortSet::PortNameNumberReplace)};
    const QString delimiter = QLatin1String(KeyboardPortSet::PortNameNumberDelimiter);

    for (const QString& encoded : encodedNames) {
        const int split = encoded.indexOf(QLatin1String(PortIDNameAndNumberDelimiter));
        if (split <= 0)
            continue;
        bool ok = false;
        const int portNumber = encoded.left(split).toInt(&ok, 10);
        QString identifier = encoded.mid(split + 1);
        if (!ok || identifier.isEmpty())
            continue;

        const QRegularExpressionMatch match = numberSuffix.match(identifier);
        if (!match.hasMatch())
            continue;
        identifier.replace(match.capturedStart(), match.capturedLength(), delimiter + match.captured(1));

        const int last = identifier.lastIndexOf(delimiter);
        const QString base = identifier.left(last);
        const int devicePort = identifier.mid(last + delimiter.size()).toInt(&ok, 10);
        if (base.isEmpty() || !ok)
            continue;
        bases[base][io][devicePort] = portNumber;
    }
}

bool hasPortsOneToFive(const QMap<int, int>& ports)
{
    return ports.keys() == QList<int>{1, 2, 3, 4, 5};
}

} // namespace

KeyboardPortSets findKeyboardPortSets(const QStringList& inputs, const QStringList& outputs)
{
    PortsByBase bases;
    collect(inputs, 0, bases);
    collect(outputs, 1, bases);

    static const QRegularExpression keyboardName{QString::fromLatin1(KeyboardPortSet::PortNameFilter)};
    KeyboardPortSets sets;
    sets.names.append(QLatin1String(KeyboardPortSet::PortNotAssigned));
    for (auto it = bases.cbegin(); it != bases.cend(); ++it) {
        const auto& [in, out] = it.value();
        if (!keyboardName.match(it.key()).hasMatch() || !hasPortsOneToFive(in) || !hasPortsOneToFive(out))
            continue;
        PortInfo info;
        info.name = it.key();
        info.watchInput = in.value(KeyboardPortSet::ActiveSensePort);
        info.dataInput = in.value(KeyboardPortSet::CommunicationPort);
        info.output = out.value(KeyboardPortSet::CommunicationPort);
        sets.ports.append(info);
        sets.names.append(info.name);
    }
    return sets;
}
