// Loading bank files: every message of the loader, what a failed load leaves
// in memory, and the value rules of the reader.
#include "FileTestSupport.h"

#include "editor/file/EditorData.h"
#include "editor/file/EditorFile.h"
#include "editor/memory/MemChangeObserver.h"

#include <QDomDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

using namespace filetest;

namespace {

class CountingObserver : public MemChangeObserver {
public:
    ~CountingObserver() override { unregisterFromMemAPI(); }
    void paramUpdate() override { ++calls; }
    int calls = 0;
};

class FileLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // A source memory whose save is the valid fixture everything else
        // is derived from.
        RemoteMemAPI source;
        fillBank(source, 1, 3);
        fillBank(source, 0, 4);
        validPath = dir.filePath("valid.X5R");
        QString error;
        ASSERT_TRUE(EditorFile::save(&source, 1, validPath, &error)) << error.toStdString();
        valid = readFile(validPath);
        ASSERT_FALSE(valid.isEmpty());

        // The memory under test starts with other, known content.
        fillBank(api, 1, 11);
        fillBank(api, 0, 12);
        fillBank(api, 4, 13);
        api.setParam(FileEditFlag, 0L);
        before0 = snapshot(api, 0);
        before1 = snapshot(api, 1);
        before4 = snapshot(api, 4);
    }

    QDomDocument validDocument() const
    {
        QDomDocument doc;
        EXPECT_TRUE(doc.setContent(valid));
        return doc;
    }

    QString writeFixture(const char* name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }

    QString writeFixture(const char* name, const std::function<void(QDomDocument&)>& change)
    {
        QDomDocument doc = validDocument();
        change(doc);
        return writeFixture(name, doc.toByteArray(4));
    }

    void expectUntouched(const char* what)
    {
        EXPECT_EQ(firstDifference(snapshot(api, 0), before0), -1) << what;
        EXPECT_EQ(firstDifference(snapshot(api, 1), before1), -1) << what;
        EXPECT_TRUE(snapshot(api, 0) == before0) << what;
        EXPECT_TRUE(snapshot(api, 1) == before1) << what;
        EXPECT_TRUE(snapshot(api, 4) == before4) << what;
        EXPECT_EQ(api.getParam(FileEditFlag).getCurrentValue(), 0) << what;
        EXPECT_TRUE(api.isAllowToRaiseFileEditFlag()) << what;
        EXPECT_TRUE(api.isAllowToSendSysEx()) << what;
    }

    QTemporaryDir dir;
    QString validPath;
    QByteArray valid;
    RemoteMemAPI api;
    BankSnapshot before0, before1, before4;
};

QDomElement child(const QDomElement& e, const char* tag)
{
    return e.firstChildElement(QString::fromLatin1(tag));
}

TEST_F(FileLoad, EveryFailureGivesItsMessageAndLeavesMemoryAsItWas)
{
    const QString missing = dir.filePath("missing.X5R");
    const QString folder = dir.filePath("folder.X5R");
    ASSERT_TRUE(QDir().mkpath(folder));

    const struct {
        const char* what;
        QString path;
        const char* message;
    } cases[] = {
        {"no such file", missing, "File was not found."},
        {"empty path", QString(), "File was not found."},
        {"a folder", folder, "File could not be opened."},
        {"empty file", writeFixture("empty.X5R", QByteArray()), "Parse error at line 1. ("},
        {"doctype", writeFixture("doctype.X5R", QByteArray(valid).replace("<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>",
                                                                          "<!DOCTYPE SomethingElse>")),
         "File is not an editor file."},
        {"no doctype", writeFixture("nodoctype.X5R", QByteArray(valid).replace("<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>", "")),
         "File is not an editor file."},
        {"root tag", writeFixture("root.X5R", [](QDomDocument& d) { d.documentElement().setTagName("bnk"); }),
         "Root tag ID name is different."},
        {"version 1.1", writeFixture("v11.X5R", [](QDomDocument& d) { d.documentElement().setAttribute("version", "1.1"); }),
         "It doesn't correspond to this version."},
        {"version missing", writeFixture("vnone.X5R", [](QDomDocument& d) { d.documentElement().removeAttribute("version"); }),
         "It doesn't correspond to this version."},
        {"version text", writeFixture("vtext.X5R", [](QDomDocument& d) { d.documentElement().setAttribute("version", "one"); }),
         "It doesn't correspond to this version."},
        {"version nan", writeFixture("vnan.X5R", [](QDomDocument& d) { d.documentElement().setAttribute("version", "nan"); }),
         "It doesn't correspond to this version."},
        {"knobC2 of template7", writeFixture("noC2.X5R", [](QDomDocument& d) {
             QDomElement t7 = child(d.documentElement(), "template7");
             t7.removeChild(child(t7, "knobC2"));
         }),
         "Parameter is not found."},
        {"ccnumber of template50 knobD3", writeFixture("noCC.X5R", [](QDomDocument& d) {
             QDomElement k = child(child(d.documentElement(), "template50"), "knobD3");
             k.removeChild(child(k, "ccnumber"));
         }),
         "Parameter is not found."},
        {"template name of editBuffTemplate1", writeFixture("noName.X5R", [](QDomDocument& d) {
             QDomElement t = child(d.documentElement(), "editBuffTemplate1");
             t.removeChild(child(t, "name"));
         }),
         "Parameter is not found."},
        {"editBuffTemplate33", writeFixture("noEB33.X5R", [](QDomDocument& d) {
             d.documentElement().removeChild(child(d.documentElement(), "editBuffTemplate33"));
         }),
         "Parameter is not found."},
        {"bankInfo", writeFixture("noInfo.X5R", [](QDomDocument& d) {
             d.documentElement().removeChild(child(d.documentElement(), "bankInfo"));
         }),
         "Parameter is not found."},
        {"templateNumber", writeFixture("noNumber.X5R", [](QDomDocument& d) {
             QDomElement info = child(d.documentElement(), "bankInfo");
             info.removeChild(child(info, "templateNumber"));
         }),
         "Parameter is not found."},
    };
    for (const auto& c : cases) {
        QString error = "unchanged";
        EXPECT_FALSE(EditorFile::load(&api, 1, c.path, true, &error)) << c.what;
        EXPECT_TRUE(error.startsWith(QString::fromLatin1(c.message))) << c.what << ": " << error.toStdString();
        expectUntouched(c.what);
    }
}

TEST_F(FileLoad, ParseErrorNamesTheLineAndTheParsersText)
{
    const QString path = writeFixture("broken.X5R", "<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>\n<bank version=\"1.0\">\n"
                                                    "    <template1>\n    </templateX>\n</bank>\n");
    QString error;
    EXPECT_FALSE(EditorFile::load(&api, 1, path, true, &error));
    ASSERT_TRUE(error.startsWith("Parse error at line 4. (")) << error.toStdString();
    EXPECT_TRUE(error.endsWith(")"));
    EXPECT_GT(error.size(), QString("Parse error at line 4. ()").size());
    expectUntouched("parse error");
}

TEST_F(FileLoad, HostileShapesAreRefusedWithoutHarm)
{
    // Deep nesting would make the tree parser recurse and crawl; a file far
    // larger than any bank is not read at all.
    const int depth = 100000;
    const QByteArray deep = "<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>\n<bank version=\"1.0\">"
        + QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth) + "</bank>";
    QString error;
    EXPECT_FALSE(EditorFile::load(&api, 1, writeFixture("deep.X5R", deep), true, &error));
    EXPECT_EQ(error, "Parse error at line 2. (elements are nested too deeply)");
    expectUntouched("deep");

    QByteArray huge = valid;
    huge.append(QByteArray(int(EditorFile::MaxFileSize), ' '));
    EXPECT_FALSE(EditorFile::load(&api, 1, writeFixture("huge.X5R", huge), true, &error));
    EXPECT_EQ(error, "File could not be opened.");
    expectUntouched("huge");

    EXPECT_FALSE(EditorData::pasteTemplateMimeData(&api, deep, 1, 0));
    expectUntouched("deep paste");
}

TEST_F(FileLoad, MissingKnobLoadsTheRestBeforeRestoringBothBanks)
{
    // Observers see the values that were read before the failure and the
    // restore afterwards; both end where they began.
    CountingObserver watchT8;
    ParamAddress t8Name = templ(1, 7, 13);
    api.registObserver(&t8Name, &watchT8);
    const QString path = writeFixture("noC2.X5R", [](QDomDocument& d) {
        QDomElement t7 = child(d.documentElement(), "template7");
        t7.removeChild(child(t7, "knobC2"));
    });
    QString error;
    EXPECT_FALSE(EditorFile::load(&api, 1, path, true, &error));
    EXPECT_EQ(error, "Parameter is not found.");
    EXPECT_GE(watchT8.calls, 1);
    expectUntouched("knobC2 missing");
}

TEST_F(FileLoad, WrongDocumentTypeTouchesNoValue)
{
    CountingObserver watcher;
    ParamAddress name = templ(1, 0, 13);
    ParamAddress editName = templ(0, 0, 13);
    api.registObserver(&name, &watcher);
    api.registObserver(&editName, &watcher);
    const QString path = writeFixture("doctype.X5R", QByteArray(valid).replace("ZenoA_ZenoBRemoteEditorFile", "Other"));
    QString error;
    EXPECT_FALSE(EditorFile::load(&api, 1, path, true, &error));
    EXPECT_EQ(error, "File is not an editor file.");
    EXPECT_EQ(watcher.calls, 0);
    expectUntouched("doctype");
}

TEST_F(FileLoad, OlderVersionsLoad)
{
    for (const char* version : {"0.9", "1.0", "1", "0"}) {
        const QString path = writeFixture("old.X5R", [&](QDomDocument& d) { d.documentElement().setAttribute("version", version); });
        QString error;
        EXPECT_TRUE(EditorFile::load(&api, 1, path, true, &error)) << version << ": " << error.toStdString();
        EXPECT_TRUE(error.isEmpty()) << version;
    }
}

TEST_F(FileLoad, ValueRulesOfTheReader)
{
    const QString path = writeFixture("values.X5R", [](QDomDocument& d) {
        auto set = [&](const char* t, const char* k, const char* tag, const char* text) {
            QDomElement e = child(child(child(d.documentElement(), t), k), tag);
            while (e.hasChildNodes())
                e.removeChild(e.firstChild());
            if (*text)
                e.appendChild(d.createTextNode(QString::fromUtf8(text)));
        };
        set("template1", "knobA1", "remotenumber", "1000004AF");
        set("template1", "knobB1", "remotenumber", "1000004aff"); // 10 characters: refused
        set("template1", "knobC1", "ccnumber", "200");             // out of range: refused
        set("template1", "knobD1", "ccnumber", "loud");            // not a number: 0
        set("template1", "knobA2", "displayname", "Sixteen chars!!!"); // too long: refused
        set("template1", "knobB2", "displayname", "");
        set("template1", "knobC2", "displayformat", "7");          // out of range: refused
    });
    QString error;
    ASSERT_TRUE(EditorFile::load(&api, 1, path, true, &error)) << error.toStdString();
    EXPECT_EQ(api.getParamQString(knob(1, 0, 0, 3)), "1000004af");
    EXPECT_EQ(api.getParamQString(knob(1, 0, 1, 3)), before1.templates[0].getController(1).getRemoteTagID());
    EXPECT_EQ(api.getParam(knob(1, 0, 2, 1)).getCurrentValue(), before1.templates[0].getController(2).getCCNum().getCurrentValue());
    EXPECT_EQ(api.getParam(knob(1, 0, 3, 1)).getCurrentValue(), 0);
    EXPECT_EQ(api.getParamQString(knob(1, 0, 4, 0)), before1.templates[0].getController(4).getDisplayName());
    EXPECT_EQ(api.getParamQString(knob(1, 0, 5, 0)), QString());
    EXPECT_EQ(api.getParam(knob(1, 0, 6, 2)).getCurrentValue(), before1.templates[0].getController(6).getDispFormat().getCurrentValue());
    // Loading never marks the file as edited and never leaves sending off.
    EXPECT_EQ(api.getParam(FileEditFlag).getCurrentValue(), 0);
    EXPECT_TRUE(api.isAllowToSendSysEx());
    EXPECT_TRUE(api.isAllowToRaiseFileEditFlag());
}

TEST_F(FileLoad, ImportWithoutEditBuffersIgnoresThemAndBankInfo)
{
    // The edit buffers and bankInfo of this file are broken: they must not
    // matter when loading without edit buffers.
    const QString path = writeFixture("import.X5R", [](QDomDocument& d) {
        QDomElement root = d.documentElement();
        root.removeChild(child(root, "editBuffTemplate3"));
        root.removeChild(child(root, "bankInfo"));
    });
    RemoteMemAPI source;
    fillBank(source, 1, 3);
    QString error;
    ASSERT_TRUE(EditorFile::load(&api, 4, path, false, &error)) << error.toStdString();
    EXPECT_EQ(firstDifference(snapshot(api, 4), snapshot(source, 1)), -1);
    EXPECT_TRUE(snapshot(api, 0) == before0);
    EXPECT_TRUE(snapshot(api, 1) == before1);
}

TEST_F(FileLoad, FailedImportRestoresTheImportBankAndBankZero)
{
    const QString path = writeFixture("badimport.X5R", [](QDomDocument& d) {
        QDomElement t = child(d.documentElement(), "template49");
        t.removeChild(child(t, "controltype"));
    });
    QString error;
    EXPECT_FALSE(EditorFile::load(&api, 4, path, false, &error));
    EXPECT_EQ(error, "Parameter is not found.");
    expectUntouched("import");
}

TEST_F(FileLoad, LoadsIntoAFreshMemoryWithoutItsWorkingBanks)
{
    RemoteMemAPI fresh; // only the six banks of a new memory
    const BankSnapshot empty1 = snapshot(fresh, 1);
    const QString path = writeFixture("noC2.X5R", [](QDomDocument& d) {
        QDomElement t7 = child(d.documentElement(), "template7");
        t7.removeChild(child(t7, "knobC2"));
    });
    EXPECT_FALSE(EditorFile::load(&fresh, 1, path, true));
    EXPECT_TRUE(snapshot(fresh, 1) == empty1);
    EXPECT_TRUE(EditorFile::load(&fresh, 1, validPath, true));
}

TEST_F(FileLoad, RefusesBanksItCannotUndo)
{
    for (int bank : {-1, 6, 7, 42}) {
        QString error;
        EXPECT_FALSE(EditorFile::load(&api, bank, validPath, false, &error)) << bank;
        EXPECT_FALSE(error.isEmpty()) << bank;
    }
    expectUntouched("bad bank");
}

} // namespace
