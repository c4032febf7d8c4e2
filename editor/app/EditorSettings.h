#pragma once
// The editor's per-user settings, with the defaults that stand in for values
// that are missing or can no longer be used.
#include <QPoint>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <optional>

class EditorSettings {
public:
    // The native per-user store of organisation "Velmor", application
    // SettingName.
    EditorSettings();
    EditorSettings(const EditorSettings&) = delete;
    EditorSettings& operator=(const EditorSettings&) = delete;

    // An existing absolute folder; otherwise the Documents folder, or the
    // home folder when there is no Documents folder.
    QString getWorkingFolder() const;
    // Remembers the folder of a chosen path (a file, or a folder itself),
    // only when that folder exists. False when nothing was stored.
    bool setWorkingFolder(const QString& chosenPath);

    // Empty: no port chosen.
    QString getPortName() const;
    void setPortName(const QString& name);

    // The stored host when it is OtherDAW or one of dawList; otherwise the
    // first entry of dawList other than OtherDAW, or OtherDAW when there is
    // none. dawList may be given with or without OtherDAW in front.
    QString getDAWName(const QStringList& dawList) const;
    void setDAWName(const QString& name);

    // True only when the stored value is 1.
    bool getWindowOnTop() const;
    void setWindowOnTop(bool on);
    bool getWindowShrink() const;
    void setWindowShrink(bool small);

    // Present only when both coordinates are stored as readable integers.
    std::optional<QPoint> getWindowPosition() const;
    void setWindowPosition(const QPoint& position);

    // Writes pending changes to permanent storage.
    void sync();
    // Location of the store (for diagnostics and tests).
    QString fileName() const;
    QSettings& store() { return m_settings; }

private:
    bool readFlag(const char* key) const;
    std::optional<int> readInt(const char* key) const;

    QSettings m_settings;
};
