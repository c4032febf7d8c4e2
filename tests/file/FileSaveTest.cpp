// Saving bank files: the written form, round trips, and that a failed save
// never costs the user the previous file.
#include "FileTestSupport.h"

#include "editor/file/EditorFile.h"

#include <QDomDocument>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace filetest;

namespace {

TEST(FileSave, RoundTripReproducesBothBanksAndTheTemplateNumber)
{
    QTemporaryDir dir;
    RemoteMemAPI source;
    fillBank(source, 1, 1);
    fillBank(source, 0, 2);
    const QString path = dir.filePath("UserBank1.X5R");
    QString error;
    ASSERT_TRUE(EditorFile::save(&source, 1, path, &error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());

    RemoteMemAPI target;
    fillBank(target, 1, 7);
    fillBank(target, 0, 8);
    ASSERT_TRUE(EditorFile::load(&target, 1, path, true, &error)) << error.toStdString();
    const BankSnapshot s1 = snapshot(source, 1), t1 = snapshot(target, 1);
    const BankSnapshot s0 = snapshot(source, 0), t0 = snapshot(target, 0);
    EXPECT_EQ(firstDifference(s1, t1), -1);
    EXPECT_EQ(firstDifference(s0, t0), -1);
    EXPECT_EQ(t0.currentTemplate, s0.currentTemplate);
    // The fixture holds empty template names, display names and remote IDs,
    // so the comparison above covers empty elements too.
    int emptyRemote = 0, emptyDisplay = 0;
    for (int t = 0; t < 50; ++t)
        for (int k = 0; k < 12; ++k) {
            emptyRemote += source.getParamQString(knob(1, t, k, 3)).isEmpty();
            emptyDisplay += source.getParamQString(knob(1, t, k, 0)).isEmpty();
        }
    EXPECT_GT(emptyRemote, 0);
    EXPECT_GT(emptyDisplay, 0);
    EXPECT_TRUE(target.getParamQString(templ(1, 0, 13)).isEmpty());

    // Saving the loaded memory again gives the same bytes.
    const QString again = dir.filePath("again.X5R");
    ASSERT_TRUE(EditorFile::save(&target, 1, again, &error));
    EXPECT_EQ(readFile(again), readFile(path));
}

TEST(FileSave, WrittenFormHasTheDocumentTypeVersionAndIndentation)
{
    QTemporaryDir dir;
    RemoteMemAPI api;
    api.setParam(templ(1, 0, 13), QString("Piano"));
    api.setParam(knob(1, 0, 0, 1), 74L);
    const QString path = dir.filePath("form.X5R");
    ASSERT_TRUE(EditorFile::save(&api, 1, path));
    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith("<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>\n<bank version=\"1.0\">\n"))
        << bytes.left(80).toStdString();
    EXPECT_FALSE(bytes.contains("<?xml"));
    EXPECT_TRUE(bytes.contains("\n    <template1>\n        <name>Piano</name>\n        <vstiname/>\n"
                               "        <controltype>0</controltype>\n        <knobA1>\n"
                               "            <displayname/>\n            <ccnumber>74</ccnumber>\n"));
    EXPECT_TRUE(bytes.contains("<remotenumber>204143dff</remotenumber>"));
    EXPECT_TRUE(bytes.contains("\n    <bankInfo>\n        <templateNumber>0</templateNumber>\n    </bankInfo>\n</bank>"));

    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(bytes));
    const QDomElement root = doc.documentElement();
    QStringList order;
    for (QDomElement e = root.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        order << e.tagName();
    ASSERT_EQ(order.size(), 101);
    EXPECT_EQ(order.first(), "template1");
    EXPECT_EQ(order[49], "template50");
    EXPECT_EQ(order[50], "editBuffTemplate1");
    EXPECT_EQ(order[99], "editBuffTemplate50");
    EXPECT_EQ(order[100], "bankInfo");
    QStringList knobs;
    for (QDomElement e = root.firstChildElement("template3").firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        knobs << e.tagName();
    EXPECT_EQ(knobs.join(","), "name,vstiname,controltype,knobA1,knobB1,knobC1,knobD1,knobA2,knobB2,knobC2,knobD2,"
                               "knobA3,knobB3,knobC3,knobD3");
}

TEST(FileSave, SavingTouchesNeitherMemoryNorFlags)
{
    QTemporaryDir dir;
    RemoteMemAPI api;
    fillBank(api, 1, 5);
    api.setParam(FileEditFlag, 1L);
    api.setParam(ParamAddress(-4, -1, -1, -1), QString("/somewhere/else.X5R"));
    const BankSnapshot before = snapshot(api, 1);
    ASSERT_TRUE(EditorFile::save(&api, 1, dir.filePath("x.X5R")));
    EXPECT_TRUE(snapshot(api, 1) == before);
    EXPECT_EQ(api.getParam(FileEditFlag).getCurrentValue(), 1);
    EXPECT_EQ(api.getParamQString(ParamAddress(-4, -1, -1, -1)), "/somewhere/else.X5R");
}

class FileAtomicSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fillBank(api, 1, 9);
        previous = "<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>\n<bank version=\"1.0\"/>\n previous user bank";
    }
    QTemporaryDir dir;
    RemoteMemAPI api;
    QByteArray previous;
};

TEST_F(FileAtomicSave, UnwritableTargetsReportTheWriteFailure)
{
    const QString folderTarget = dir.filePath("IAmAFolder.X5R");
    ASSERT_TRUE(QDir().mkpath(folderTarget));
    ASSERT_TRUE(writeFile(folderTarget + "/inside.txt", previous));
    const struct {
        const char* what;
        QString path;
    } cases[] = {
        {"folder does not exist", dir.filePath("no/such/folder/Bank.X5R")},
        {"target is a folder", folderTarget},
        {"empty name", QString()},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(EditorFile::save(&api, 1, c.path, &error)) << c.what;
        EXPECT_EQ(error, "Failed in the file writing.") << c.what;
    }
    EXPECT_TRUE(QFileInfo(folderTarget).isDir());
    EXPECT_EQ(readFile(folderTarget + "/inside.txt"), previous);
    EXPECT_FALSE(QDir(dir.filePath("no")).exists());
    // Nothing is left behind beside the targets.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 0);
}

TEST_F(FileAtomicSave, AFullDiskKeepsThePreviousFile)
{
    const QString path = dir.filePath("UserBank.X5R");
    ASSERT_TRUE(writeFile(path, previous));

    // The process may write at most 64 kB per file: the bank (~300 kB) runs
    // into the limit half way, as on a full disk.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    const bool saved_ok = EditorFile::save(&api, 1, path, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(error, "Failed in the file writing.");
    EXPECT_EQ(readFile(path), previous);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"UserBank.X5R"});

    // With room again the same save replaces the file completely.
    ASSERT_TRUE(EditorFile::save(&api, 1, path, &error)) << error.toStdString();
    RemoteMemAPI check;
    ASSERT_TRUE(EditorFile::load(&check, 1, path, true, &error)) << error.toStdString();
    EXPECT_TRUE(snapshot(check, 1).templates == snapshot(api, 1).templates);
}

TEST_F(FileAtomicSave, ReplacesAnExistingFileWholly)
{
    const QString path = dir.filePath("UserBank.X5R");
    ASSERT_TRUE(writeFile(path, QByteArray(600000, 'x')));
    QFile file(path);
    ASSERT_TRUE(EditorFile::save(&api, 1, &file));
    const QByteArray bytes = readFile(path);
    EXPECT_TRUE(bytes.startsWith("<!DOCTYPE"));
    EXPECT_FALSE(bytes.contains("xxxx"));
}

} // namespace
