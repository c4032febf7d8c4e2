#pragma once
// The folders the editor works with.
//
// - application data: the per-user data folder (XDG data home) + UserFolderPath;
//   the plug-in database and its side files live here. Not created here: the
//   main window creates it when missing.
// - initial / execute: the editor's resources folder (preset bank, manual,
//   info finder tool). Installed: <exe dir>/../share/zeno-remote-editor; run
//   from the build tree: the staged resources folder of the build.
#include <QDir>
#include <QString>
#include <QUrl>

QDir getAppDataDirectory();
QDir getInitialDirectory();
QDir getExecuteDirectory();

// Absolute path of the resources folder, or empty when none can be found.
QString resourceDirectoryPath();

// The user's Documents folder; the home folder when there is none.
QString documentsDirectoryPath();
QString homeDirectoryPath();

// The resource fileName in the given localisation's subfolder of the
// resources folder (e.g. "English/<fileName>"), then in the resources folder
// itself. An empty or null localisation looks only in the resources folder.
// Returns a file URL, or an empty URL when the file is found nowhere.
QUrl searchFileURL(const char* localization, const QDir& resources, const QString& fileName);
QUrl searchFileURL(const char* localization, const QString& fileName);
