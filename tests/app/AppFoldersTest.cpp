// Where the editor's folders land: application data in the (sandboxed) XDG
// data home, resources in the staged build folder, and resource look-up by
// localisation.
#include "editor/app/EditorConstants.h"
#include "editor/app/EditorFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("x");
}

TEST(AppFolders, AppDataIsInTheUsersDataHome)
{
    const QString dataHome = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    ASSERT_FALSE(dataHome.isEmpty());
    const QDir appData = getAppDataDirectory();
    EXPECT_EQ(appData.absolutePath(), QDir(dataHome).absolutePath() + QLatin1String(UserFolderPath));
    EXPECT_TRUE(appData.absolutePath().endsWith("/Velmor/ZenoA_ZenoB Remote Editor"));
}

TEST(AppFolders, DocumentsAndHomeAreInTheSandbox)
{
    const QString home = QString::fromLocal8Bit(qgetenv("HOME"));
    EXPECT_EQ(homeDirectoryPath(), home);
    EXPECT_EQ(documentsDirectoryPath(), home + "/Documents");
}

TEST(AppFolders, ResourcesAreTheStagedBuildFolderWhenNotInstalled)
{
    const QString staged = QFileInfo(QStringLiteral(ZENO_BUILD_RESOURCE_DIR)).absoluteFilePath();
    EXPECT_EQ(getInitialDirectory().absolutePath(), staged);
    EXPECT_EQ(getExecuteDirectory().absolutePath(), staged);
    const QString preset = QString::fromLatin1(PresetBankFile).arg(1) + QLatin1String(EditorFileExtension);
    EXPECT_EQ(preset, "BankPreset1.X5R");
    EXPECT_TRUE(getInitialDirectory().exists(preset));
}

TEST(AppFolders, SearchFilePrefersTheLocalisationThenTheResourcesFolder)
{
    QTemporaryDir res;
    ASSERT_TRUE(res.isValid());
    QDir dir(res.path());
    ASSERT_TRUE(dir.mkpath("German"));
    ASSERT_TRUE(dir.mkpath("English"));
    touch(dir.filePath("German/Manual.pdf"));
    touch(dir.filePath("Manual.pdf"));
    touch(dir.filePath("OnlyEnglish.pdf.tmp"));
    touch(dir.filePath("English/OnlyEnglish.pdf"));

    const struct {
        const char* localization;
        const char* file;
        const char* expected; // relative to the resources folder; "" = not found
    } cases[] = {
        {"German", "Manual.pdf", "German/Manual.pdf"},
        {"French", "Manual.pdf", "Manual.pdf"},
        {nullptr, "Manual.pdf", "Manual.pdf"},
        {"", "Manual.pdf", "Manual.pdf"},
        {"German", "OnlyEnglish.pdf", ""},
        {"English", "OnlyEnglish.pdf", "English/OnlyEnglish.pdf"},
        {"German", "Missing.pdf", ""},
        {"German", "", ""},
        {"..", "Manual.pdf", "Manual.pdf"},
        {"German", "../Manual.pdf", ""},
        {"English", "German", ""}, // a folder is no resource file
    };
    for (const auto& c : cases) {
        const QUrl url = searchFileURL(c.localization, dir, QString::fromUtf8(c.file));
        const QString expected = *c.expected ? QUrl::fromLocalFile(dir.absoluteFilePath(c.expected)).toString() : QString();
        EXPECT_EQ(url.toString(), expected) << (c.localization ? c.localization : "(null)") << " " << c.file;
    }
}

TEST(AppFolders, SearchFileInTheShippedResources)
{
    const QString preset = QString::fromLatin1(PresetBankFile).arg(1) + QLatin1String(EditorFileExtension);
    const QUrl url = searchFileURL("English", preset);
    ASSERT_TRUE(url.isLocalFile());
    EXPECT_EQ(QFileInfo(url.toLocalFile()).fileName(), preset);
}

} // namespace
