#pragma once
// Port enumeration and lasting identities. A port is opened by its number,
// the 1-based index into the service's sources (inputs) or destinations
// (outputs) at the last update; numbers move when devices come and go, while
// identifiers ("device endpoint") and the identities remembered for them in
// the settings do not.

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>

class QSettings;

inline constexpr char PortIDNameAndNumberDelimiter[] = ";";

class TMIDIPortAccessor {
public:
    virtual ~TMIDIPortAccessor();
    // Identities of direction io (0 inputs, 1 outputs) by port number, ascending.
    virtual void qUuids(int io, QList<QUuid>& out) const;
    // "number;identifier", or "0;<unknown port name>" for a null/unknown identity.
    virtual QString encodedName(const QUuid& id) const;
    virtual QString friendlyName(const QUuid& id) const;
    // The port number, 0 when unknown.
    virtual int portID(const QUuid& id) const;

    QStringList getPortList(int io) const;
    QStringList getInputPortList() const { return getPortList(0); }
    QStringList getOutputPortList() const { return getPortList(1); }

protected:
    QMap<QUuid, QString> m_ports[2];
};

class TUniMIDIPortAccessor : public TMIDIPortAccessor {
public:
    ~TUniMIDIPortAccessor() override;

    virtual int getNumPorts(int io) const = 0;
    // Identifier of the port at 0-based index; empty when it has vanished.
    virtual QString identifierForIndex(int io, int index) const = 0;

    // Rebuilds both maps from the service and the saved identities, and
    // writes the identities back under "/preferences/SystemPorts/".
    void updatePortInfo();

    // Where identities are kept: by default the editor's settings (native
    // format, organisation "Velmor", application "ZenoA_ZenoBRemoteEditor").
    // Tests and tools may point it at an INI file instead; empty returns to
    // the default.
    void setSettingsFile(const QString& iniPath) { m_settingsFile = iniPath; }
    QString settingsFile() const { return m_settingsFile; }

    // The identifier of a port: the device name, a space, and the endpoint
    // name with every "device " removed. Missing names become "Unknown
    // Device" and "Port #<index+1>".
    static QString makeIdentifier(const QString& deviceName, const QString& endpointName, int index);

private:
    std::unique_ptr<QSettings> openSettings() const;
    QString m_settingsFile;
};

// A new accessor for the active backend, already updated once; the caller
// owns it. The first accessor of a backend makes that backend's shared
// client, which transports then use. With no backend: an accessor without
// ports.
TUniMIDIPortAccessor* MIDIPortAccessor();
