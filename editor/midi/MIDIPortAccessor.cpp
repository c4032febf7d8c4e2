#include "editor/midi/MIDIPortAccessor.h"

#include <QSettings>

#include <utility>

namespace {

const char* const kDirectionGroup[2] = {"Input", "Output"};
const char* const kMarker[2] = {"<[Inp]>", "<[Out]>"};
const char kSettingsRoot[] = "/preferences/SystemPorts/";

QString unknownPortName()
{
    return QStringLiteral("%1%2%3").arg(0).arg(PortIDNameAndNumberDelimiter, "<unknown port name>");
}

} // namespace

TMIDIPortAccessor::~TMIDIPortAccessor() = default;

void TMIDIPortAccessor::qUuids(int io, QList<QUuid>& out) const
{
    if (io < 0 || io > 1)
        return;
    QMap<int, QUuid> byNumber;
    for (auto it = m_ports[io].cbegin(); it != m_ports[io].cend(); ++it) {
        const QStringList parts = it.value().split(PortIDNameAndNumberDelimiter, Qt::SkipEmptyParts);
        if (parts.size() < 2)
            continue;
        byNumber[parts.first().toInt()] = it.key();
    }
    for (const QUuid& id : std::as_const(byNumber))
        out.append(id);
}

QString TMIDIPortAccessor::encodedName(const QUuid& id) const
{
    if (!id.isNull()) {
        for (const auto& map : m_ports) {
            auto it = map.constFind(id);
            if (it != map.cend())
                return it.value();
        }
    }
    return unknownPortName();
}

QString TMIDIPortAccessor::friendlyName(const QUuid& id) const
{
    const QStringList parts = encodedName(id).split(PortIDNameAndNumberDelimiter);
    return parts.size() > 1 ? parts.at(1) : QString();
}

int TMIDIPortAccessor::portID(const QUuid& id) const
{
    if (id.isNull())
        return 0;
    for (const auto& map : m_ports) {
        auto it = map.constFind(id);
        if (it != map.cend()) {
            bool ok = false;
            const int number = it.value().section(PortIDNameAndNumberDelimiter, 0, 0).toInt(&ok);
            return ok ? number : 0;
        }
    }
    return 0;
}

QStringList TMIDIPortAccessor::getPortList(int io) const
{
    if (io < 0 || io > 1)
        return {};
    return m_ports[io].values();
}

TUniMIDIPortAccessor::~TUniMIDIPortAccessor() = default;

QString TUniMIDIPortAccessor::makeIdentifier(const QString& deviceName, const QString& endpointName, int index)
{
    const QString device = deviceName.isEmpty() ? QStringLiteral("Unknown Device") : deviceName;
    QString endpoint = endpointName.isEmpty() ? QStringLiteral("Port #%1").arg(index + 1) : endpointName;
    endpoint.remove(device + QLatin1Char(' '), Qt::CaseSensitive);
    return device + QLatin1Char(' ') + endpoint;
}

std::unique_ptr<QSettings> TUniMIDIPortAccessor::openSettings() const
{
    if (!m_settingsFile.isEmpty())
        return std::make_unique<QSettings>(m_settingsFile, QSettings::IniFormat);
    // The editor's own settings store, named here rather than taken from the
    // application object so that every program of the suite shares it.
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Velmor"), QStringLiteral("ZenoA_ZenoBRemoteEditor"));
}

void TUniMIDIPortAccessor::updatePortInfo()
{
    m_ports[0].clear();
    m_ports[1].clear();
    std::unique_ptr<QSettings> settings = openSettings();

    for (int io = 0; io < 2; ++io) {
        const QString base = QLatin1String(kSettingsRoot) + QLatin1String(kDirectionGroup[io]);
        const QString namesKey = base + QLatin1String("/portNames");
        const QString idsKey = base + QLatin1String("/portIds");
        const QString marker = QLatin1String(kMarker[io]);

        QStringList names = settings->value(namesKey).toStringList();
        QStringList ids;
        if (settings->contains(namesKey))
            ids = settings->value(idsKey).toStringList();

        // Remembered (identifier, identity) pairs. A list that cannot be
        // trusted as a whole is dropped as a whole.
        QList<std::pair<QString, QString>> remembered;
        bool usable = names.size() == ids.size();
        for (int k = 0; usable && k < ids.size(); ++k)
            usable = !QUuid::fromString(ids.at(k)).isNull();
        for (int k = 0; usable && k < names.size(); ++k) {
            const QStringList parts = names.at(k).split(PortIDNameAndNumberDelimiter);
            if (parts.size() < 2) {
                remembered.clear();
                break;
            }
            QString identifier = parts.at(1);
            identifier.remove(marker);
            remembered.append({identifier, ids.at(k)});
        }
        if (remembered.isEmpty()) {
            names.clear();
            ids.clear();
        }

        const int count = getNumPorts(io);
        for (int index = 0; index < count; ++index) {
            const QString identifier = identifierForIndex(io, index);
            if (identifier.isEmpty())
                continue;
            const QString encoded = QString::number(index + 1) + QLatin1String(PortIDNameAndNumberDelimiter) + identifier;
            QUuid identity;
            int p = -1;
            for (int k = 0; k < remembered.size(); ++k) {
                if (remembered.at(k).first == identifier) {
                    p = k;
                    break;
                }
            }
            if (p >= 0) {
                identity = QUuid::fromString(remembered.at(p).second);
                // Pairs go together: removing identifiers and identities
                // separately would shift later identities onto other ports.
                const QString usedId = remembered.at(p).second;
                remembered.removeIf([&](const std::pair<QString, QString>& entry) {
                    return entry.first == identifier || entry.second == usedId;
                });
            } else {
                identity = QUuid::createUuid();
                names.append(encoded + marker);
                ids.append(identity.toString(QUuid::WithBraces));
            }
            m_ports[io][identity] = encoded;
        }

        settings->setValue(namesKey, names);
        settings->setValue(idsKey, ids);
    }
    settings->sync();
}
