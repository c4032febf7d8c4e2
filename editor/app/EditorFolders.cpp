#include "editor/app/EditorFolders.h"

#include "editor/app/EditorConstants.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool isFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isDir();
}

} // namespace

QDir getAppDataDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = homeDirectoryPath() + QStringLiteral("/.local/share");
    return QDir(base + QLatin1String(UserFolderPath));
}

QString resourceDirectoryPath()
{
    // An installed editor finds its data beside its binary folder. The path
    // is kept whole, however long the installation prefix is.
    const QString exeDir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (!exeDir.isEmpty()) {
        const QString installed = QDir::cleanPath(exeDir + QStringLiteral("/../share/")
                                                  + QLatin1String(InstalledDataFolderName));
        if (isFolder(installed))
            return QFileInfo(installed).absoluteFilePath();
    }
    // Run from the build tree: the resources staged by the build.
    const QString staged = QStringLiteral(ZENO_BUILD_RESOURCE_DIR);
    if (isFolder(staged))
        return QFileInfo(staged).absoluteFilePath();
    return QString();
}

QDir getInitialDirectory()
{
    return QDir(resourceDirectoryPath());
}

QDir getExecuteDirectory()
{
    return QDir(resourceDirectoryPath());
}

QString homeDirectoryPath()
{
    QString home = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    if (home.isEmpty())
        home = QDir::homePath();
    return home;
}

QString documentsDirectoryPath()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (isFolder(docs))
        return QFileInfo(docs).absoluteFilePath();
    return homeDirectoryPath();
}

QUrl searchFileURL(const char* localization, const QDir& resources, const QString& fileName)
{
    if (fileName.isEmpty() || resources.path().isEmpty())
        return QUrl();
    // Names that try to leave the resources folder are not resources.
    if (fileName.contains(QLatin1Char('/')) || fileName == QLatin1String("..") || fileName == QLatin1String("."))
        return QUrl();
    QStringList candidates;
    const QString sub = localization ? QString::fromUtf8(localization) : QString();
    if (!sub.isEmpty() && !sub.contains(QLatin1Char('/')) && sub != QLatin1String(".."))
        candidates << resources.absoluteFilePath(sub + QLatin1Char('/') + fileName);
    candidates << resources.absoluteFilePath(fileName);
    for (const QString& path : candidates) {
        const QFileInfo info(path);
        if (info.exists() && info.isFile())
            return QUrl::fromLocalFile(info.absoluteFilePath());
    }
    return QUrl();
}

QUrl searchFileURL(const char* localization, const QString& fileName)
{
    const QString res = resourceDirectoryPath();
    if (res.isEmpty())
        return QUrl();
    return searchFileURL(localization, QDir(res), fileName);
}
