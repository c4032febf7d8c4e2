// The factory preset bank that ships with the editor.
#include "FileTestSupport.h"

#include "editor/app/EditorFolders.h"
#include "editor/file/EditorFile.h"

#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace filetest;

namespace {

QString presetPath()
{
    return getInitialDirectory().absoluteFilePath(QString::fromLatin1(PresetBankFile).arg(1)
                                                  + QLatin1String(EditorFileExtension));
}

TEST(FilePresetBank, LoadsWithoutAnyMessage)
{
    RemoteMemAPI api;
    while (api.getQuantityOfBank() < 9)
        api.createBank();
    QString error;
    ASSERT_TRUE(EditorFile::load(&api, 8, presetPath(), false, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());

    // Useful content: fifty named templates, CC layouts with names, and
    // host assignments (volume and pan) somewhere.
    QSet<QString> names;
    bool volume = false, pan = false;
    int namedKnobs = 0;
    for (int t = 0; t < 50; ++t) {
        const QString name = api.getParamQString(templ(8, t, 13));
        EXPECT_FALSE(name.isEmpty()) << t;
        EXPECT_LE(name.size(), 13) << t;
        names.insert(name);
        for (int k = 0; k < 12; ++k) {
            namedKnobs += !api.getParamQString(knob(8, t, k, 0)).isEmpty();
            const QString remote = api.getParamQString(knob(8, t, k, 3));
            EXPECT_EQ(remote.size(), 9);
            volume |= remote == "100000401";
            pan |= remote == "100001069";
        }
    }
    EXPECT_EQ(names.size(), 50);
    EXPECT_GT(namedKnobs, 500);
    EXPECT_TRUE(volume);
    EXPECT_TRUE(pan);
    EXPECT_EQ(api.getParam(knob(8, 0, 0, 1)).getCurrentValue(), 74); // Analog Lead: Cutoff
    EXPECT_EQ(api.getParamQString(knob(8, 0, 0, 0)), "Cutoff");
}

TEST(FilePresetBank, IsInTheSavedFormAndRoundTrips)
{
    // Loaded as a user file (with its edit buffers) and saved again, the
    // shipped file comes back byte for byte.
    RemoteMemAPI api;
    QString error;
    ASSERT_TRUE(EditorFile::load(&api, 1, presetPath(), true, &error)) << error.toStdString();
    QTemporaryDir dir;
    const QString copy = dir.filePath("copy.X5R");
    ASSERT_TRUE(EditorFile::save(&api, 1, copy, &error)) << error.toStdString();
    EXPECT_EQ(readFile(copy), readFile(presetPath()));

    RemoteMemAPI again;
    ASSERT_TRUE(EditorFile::load(&again, 1, copy, true, &error));
    EXPECT_TRUE(snapshot(again, 1).templates == snapshot(api, 1).templates);
    EXPECT_TRUE(snapshot(again, 0).templates == snapshot(api, 0).templates);
}

} // namespace
