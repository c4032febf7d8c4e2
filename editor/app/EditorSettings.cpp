#include "editor/app/EditorSettings.h"

#include "editor/app/EditorConstants.h"
#include "editor/app/EditorFolders.h"

#include <QDir>
#include <QFileInfo>

EditorSettings::EditorSettings()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope,
                 QLatin1String(SettingOrganisation), QLatin1String(SettingName))
{
}

QString EditorSettings::getWorkingFolder() const
{
    const QVariant stored = m_settings.value(QLatin1String(SettingWorkingFolder));
    const QString path = stored.toString();
    if (!path.isEmpty() && QDir::isAbsolutePath(path)) {
        const QFileInfo info(path);
        if (info.exists() && info.isDir())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return documentsDirectoryPath();
}

bool EditorSettings::setWorkingFolder(const QString& chosenPath)
{
    if (chosenPath.isEmpty())
        return false;
    const QFileInfo chosen(chosenPath);
    const QString folder = (chosen.exists() && chosen.isDir()) ? chosen.absoluteFilePath()
                                                               : chosen.absolutePath();
    const QFileInfo info(folder);
    if (!info.exists() || !info.isDir())
        return false;
    m_settings.setValue(QLatin1String(SettingWorkingFolder), QDir::cleanPath(info.absoluteFilePath()));
    return true;
}

QString EditorSettings::getPortName() const
{
    return m_settings.value(QLatin1String(SettingPortName)).toString();
}

void EditorSettings::setPortName(const QString& name)
{
    m_settings.setValue(QLatin1String(SettingPortName), name);
}

QString EditorSettings::getDAWName(const QStringList& dawList) const
{
    const QString other = QLatin1String(OtherDAW);
    const QString stored = m_settings.value(QLatin1String(SettingDAWName)).toString();
    if (!stored.isEmpty() && (stored == other || dawList.contains(stored)))
        return stored;
    for (const QString& host : dawList) {
        if (!host.isEmpty() && host != other)
            return host;
    }
    return other;
}

void EditorSettings::setDAWName(const QString& name)
{
    m_settings.setValue(QLatin1String(SettingDAWName), name);
}

std::optional<int> EditorSettings::readInt(const char* key) const
{
    const QVariant value = m_settings.value(QLatin1String(key));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const int n = value.toString().trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return n;
}

bool EditorSettings::readFlag(const char* key) const
{
    const std::optional<int> value = readInt(key);
    return value && *value == 1;
}

bool EditorSettings::getWindowOnTop() const
{
    return readFlag(SettingWindowOnTop);
}

void EditorSettings::setWindowOnTop(bool on)
{
    m_settings.setValue(QLatin1String(SettingWindowOnTop), on ? 1 : 0);
}

bool EditorSettings::getWindowShrink() const
{
    return readFlag(SettingWindowShrink);
}

void EditorSettings::setWindowShrink(bool small)
{
    m_settings.setValue(QLatin1String(SettingWindowShrink), small ? 1 : 0);
}

std::optional<QPoint> EditorSettings::getWindowPosition() const
{
    const std::optional<int> x = readInt(SettingWindowX);
    const std::optional<int> y = readInt(SettingWindowY);
    if (!x || !y)
        return std::nullopt;
    return QPoint(*x, *y);
}

void EditorSettings::setWindowPosition(const QPoint& position)
{
    m_settings.setValue(QLatin1String(SettingWindowX), position.x());
    m_settings.setValue(QLatin1String(SettingWindowY), position.y());
}

void EditorSettings::sync()
{
    m_settings.sync();
}

QString EditorSettings::fileName() const
{
    return m_settings.fileName();
}
