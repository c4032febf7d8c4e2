// Settings keys, defaults and the replacement of values that can no longer be
// used. Every test starts from an empty store in the sandboxed HOME.
#include "editor/app/EditorConstants.h"
#include "editor/app/EditorFolders.h"
#include "editor/app/EditorSettings.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class AppSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        EditorSettings settings;
        settings.store().clear();
        settings.sync();
    }
    static void storeRaw(const char* key, const QVariant& value)
    {
        EditorSettings settings;
        settings.store().setValue(QLatin1String(key), value);
        settings.sync();
    }
};

TEST_F(AppSettings, StoreLivesInTheSandboxedConfigFolder)
{
    EditorSettings settings;
    const QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    ASSERT_FALSE(config.isEmpty());
    EXPECT_TRUE(settings.fileName().startsWith(config)) << settings.fileName().toStdString();
    EXPECT_TRUE(settings.fileName().contains(QLatin1String("Velmor")));
    EXPECT_TRUE(settings.fileName().contains(QLatin1String(SettingName)));
}

TEST_F(AppSettings, DefaultsWhenNothingIsStored)
{
    EditorSettings settings;
    EXPECT_EQ(settings.getWorkingFolder(), documentsDirectoryPath());
    EXPECT_TRUE(settings.getPortName().isEmpty());
    EXPECT_FALSE(settings.getWindowOnTop());
    EXPECT_FALSE(settings.getWindowShrink());
    EXPECT_FALSE(settings.getWindowPosition().has_value());
    EXPECT_EQ(settings.getDAWName({QLatin1String(OtherDAW), "Cantor 5", "Cantor 6"}), "Cantor 5");
    EXPECT_EQ(settings.getDAWName({QLatin1String(OtherDAW)}), QLatin1String(OtherDAW));
    EXPECT_EQ(settings.getDAWName({}), QLatin1String(OtherDAW));
}

TEST_F(AppSettings, ValuesSurviveANewSettingsObject)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    {
        EditorSettings settings;
        EXPECT_TRUE(settings.setWorkingFolder(folder.path() + "/Bank.X5R"));
        settings.setPortName("VELMOR ZenoA/ZenoB");
        settings.setDAWName("Cantor 6");
        settings.setWindowOnTop(true);
        settings.setWindowShrink(true);
        settings.setWindowPosition(QPoint(-40, 1200));
        settings.sync();
    }
    EditorSettings settings;
    EXPECT_EQ(settings.getWorkingFolder(), QDir::cleanPath(folder.path()));
    EXPECT_EQ(settings.getPortName(), "VELMOR ZenoA/ZenoB");
    EXPECT_EQ(settings.getDAWName({QLatin1String(OtherDAW), "Cantor 5", "Cantor 6"}), "Cantor 6");
    EXPECT_TRUE(settings.getWindowOnTop());
    EXPECT_TRUE(settings.getWindowShrink());
    ASSERT_TRUE(settings.getWindowPosition().has_value());
    EXPECT_EQ(*settings.getWindowPosition(), QPoint(-40, 1200));
}

TEST_F(AppSettings, WorkingFolderIsOnlyStoredWhenTheFolderExists)
{
    EditorSettings settings;
    EXPECT_FALSE(settings.setWorkingFolder("/no/such/folder/Bank.X5R"));
    EXPECT_FALSE(settings.setWorkingFolder(QString()));
    EXPECT_FALSE(settings.store().contains(QLatin1String(SettingWorkingFolder)));
    QTemporaryDir folder;
    EXPECT_TRUE(settings.setWorkingFolder(folder.path()));
    EXPECT_EQ(settings.getWorkingFolder(), QDir::cleanPath(folder.path()));
}

TEST_F(AppSettings, UnusableWorkingFolderFallsBackToDocuments)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString aFile = scratch.path() + "/plain.txt";
    QFile f(aFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    const QString deleted = scratch.path() + "/gone";
    ASSERT_TRUE(QDir().mkpath(deleted));
    ASSERT_TRUE(QDir(deleted).removeRecursively());

    const QString documents = documentsDirectoryPath();
    ASSERT_TRUE(documents.startsWith(QDir::homePath())) << "Documents must be in the sandbox";

    const struct {
        const char* what;
        QVariant stored;
    } cases[] = {
        {"deleted folder", deleted},
        {"a file, not a folder", aFile},
        {"relative path", "relative/folder"},
        {"empty", ""},
        {"number", 42},
    };
    for (const auto& c : cases) {
        storeRaw(SettingWorkingFolder, c.stored);
        EditorSettings settings;
        EXPECT_EQ(settings.getWorkingFolder(), documents) << c.what;
    }
}

TEST_F(AppSettings, DocumentsMissingFallsBackToHome)
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    ASSERT_TRUE(documents.startsWith(QDir::homePath()));
    const QString parked = documents + ".parked";
    ASSERT_TRUE(QDir().rename(documents, parked));
    storeRaw(SettingWorkingFolder, "/no/such/folder");
    EditorSettings settings;
    EXPECT_EQ(settings.getWorkingFolder(), homeDirectoryPath());
    ASSERT_TRUE(QDir().rename(parked, documents));
}

TEST_F(AppSettings, FlagsAreTrueOnlyForOne)
{
    const struct {
        QVariant stored;
        bool expected;
    } cases[] = {
        {1, true}, {"1", true}, {0, false}, {2, false}, {-1, false},
        {"true", false}, {"yes", false}, {"", false},
    };
    for (const auto& c : cases) {
        storeRaw(SettingWindowOnTop, c.stored);
        storeRaw(SettingWindowShrink, c.stored);
        EditorSettings settings;
        EXPECT_EQ(settings.getWindowOnTop(), c.expected) << c.stored.toString().toStdString();
        EXPECT_EQ(settings.getWindowShrink(), c.expected) << c.stored.toString().toStdString();
    }
}

TEST_F(AppSettings, WindowPositionNeedsBothCoordinatesReadable)
{
    const struct {
        QVariant x, y;
        bool usable;
    } cases[] = {
        {10, 20, true}, {"-5", "7", true}, {10, QVariant(), false},
        {QVariant(), 20, false}, {"left", 20, false}, {10, "2.5", false},
    };
    for (const auto& c : cases) {
        EditorSettings settings;
        settings.store().clear();
        if (c.x.isValid())
            settings.store().setValue(QLatin1String(SettingWindowX), c.x);
        if (c.y.isValid())
            settings.store().setValue(QLatin1String(SettingWindowY), c.y);
        EXPECT_EQ(settings.getWindowPosition().has_value(), c.usable)
            << c.x.toString().toStdString() << "," << c.y.toString().toStdString();
    }
}

TEST_F(AppSettings, UnknownHostFallsBackToTheFirstHost)
{
    const QStringList withOther{QLatin1String(OtherDAW), "Cantor 5", "Cantor 6"};
    const QStringList hostsOnly{"Cantor 5", "Cantor 6"};
    storeRaw(SettingDAWName, "Cantor 3");
    EditorSettings settings;
    EXPECT_EQ(settings.getDAWName(withOther), "Cantor 5");
    EXPECT_EQ(settings.getDAWName(hostsOnly), "Cantor 5");
    settings.setDAWName(QLatin1String(OtherDAW));
    EXPECT_EQ(settings.getDAWName(hostsOnly), QLatin1String(OtherDAW));
    settings.setDAWName("");
    EXPECT_EQ(settings.getDAWName(withOther), "Cantor 5");
}

} // namespace
