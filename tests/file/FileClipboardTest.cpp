// The clipboard and drag forms of a template and a knob, both ways.
#include "FileTestSupport.h"

#include "editor/file/EditorData.h"

#include <QDomDocument>
#include <gtest/gtest.h>

using namespace filetest;

namespace {

TEST(FileClipboard, TemplateDocumentCarriesTheTemplateAndItsOrigin)
{
    RemoteMemAPI api;
    fillBank(api, 5, 2);
    const QByteArray data = EditorData::getTemplateMimeData(&api, 5, 17);
    EXPECT_TRUE(data.startsWith("<!DOCTYPE ZenoA_ZenoB_RemoteEditorTemplate>\n<template ")) << data.left(120).toStdString();
    EXPECT_TRUE(data.contains("\n <name>T2-17 &lt;&amp;></name>\n <vstiname>")) << data.left(160).toStdString();
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(data));
    EXPECT_EQ(doc.doctype().name(), TemplateDocType);
    EXPECT_EQ(doc.documentElement().tagName(), "template");
    EXPECT_EQ(doc.documentElement().attribute("number"), "17");
    EXPECT_EQ(doc.documentElement().attribute("banknumber"), "5");
    EXPECT_EQ(doc.documentElement().attributes().count(), 2);
    EXPECT_STREQ(TemplateMimeType, "application/x-velmor-zeno-remote-template");

    // Paste into another bank and template.
    int number = -2, bank = -2;
    ASSERT_TRUE(EditorData::pasteTemplateMimeData(&api, data, 4, 3, &number, &bank));
    EXPECT_EQ(number, 17);
    EXPECT_EQ(bank, 5);
    EXPECT_TRUE(api.getTemplateData(4, 3) == api.getTemplateData(5, 17));
}

TEST(FileClipboard, KnobDocumentComesFromAndGoesToBankZero)
{
    RemoteMemAPI api;
    fillBank(api, 0, 6);
    fillBank(api, 1, 7);
    const QByteArray data = EditorData::getKnobMimeData(&api, 9, 10);
    EXPECT_TRUE(data.startsWith("<!DOCTYPE ZenoA_ZenoB_RemoteEditorKnob>\n<controller number=\"10\">\n <displayname"))
        << data.left(120).toStdString();
    EXPECT_STREQ(KnobMimeType, "application/x-velmor-zeno-remote-knob");

    int number = -2;
    ASSERT_TRUE(EditorData::pasteKnobMimeData(&api, data, 40, 2, &number));
    EXPECT_EQ(number, 10);
    const ControlTemplateData source = api.getTemplateData(0, 9);
    const ControlTemplateData target = api.getTemplateData(0, 40);
    EXPECT_TRUE(target.getController(2) == source.getController(10));
    // Only that knob of bank 0 changed; bank 1 is not involved.
    EXPECT_TRUE(api.getTemplateData(1, 40) == snapshot(api, 1).templates[40]);
}

TEST(FileClipboard, AttributeRules)
{
    const struct {
        const char* xml;
        int templateNumber, bankNumber, knobNumber;
    } cases[] = {
        {"<template number=\"3\" banknumber=\"4\"/>", 3, 4, 3},
        {"<template/>", -1, -1, -1},
        {"<template number=\"77\" banknumber=\"9\"/>", 77, 9, -1}, // template and bank as they are
        {"<template number=\"-4\"/>", -4, -1, -1},
        {"<controller number=\"11\"/>", 11, -1, 11},
        {"<controller number=\"12\"/>", 12, -1, -1},
        {"<controller number=\"-1\"/>", -1, -1, -1},
        {"<controller number=\"two\"/>", -1, -1, -1},
    };
    for (const auto& c : cases) {
        QDomDocument doc;
        ASSERT_TRUE(doc.setContent(QByteArray(c.xml)));
        const QDomElement root = doc.documentElement();
        EXPECT_EQ(EditorData::getTemplateNumberAttribute(root), c.templateNumber) << c.xml;
        EXPECT_EQ(EditorData::getBankNumberAttribute(root), c.bankNumber) << c.xml;
        EXPECT_EQ(EditorData::getKnobNumberAttribute(root), c.knobNumber) << c.xml;
    }
}

TEST(FileClipboard, IncompleteOrForeignPastesWriteWhatIsThere)
{
    RemoteMemAPI api;
    // Document type is not checked; a missing element makes the paste
    // incomplete but the present values are written.
    const QByteArray knob = "<!DOCTYPE Anything><controller number=\"12\"><displayname>Cutoff</displayname>"
                            "<ccnumber>74</ccnumber><remotenumber>10000040A</remotenumber></controller>";
    int number = 0;
    EXPECT_FALSE(EditorData::pasteKnobMimeData(&api, knob, 0, 0, &number));
    EXPECT_EQ(number, -1);
    EXPECT_EQ(api.getParamQString(filetest::knob(0, 0, 0, 0)), "Cutoff");
    EXPECT_EQ(api.getParam(filetest::knob(0, 0, 0, 1)).getCurrentValue(), 74);
    EXPECT_EQ(api.getParamQString(filetest::knob(0, 0, 0, 3)), "10000040a");

    const BankSnapshot before = snapshot(api, 0);
    for (const QByteArray& junk : {QByteArray(), QByteArray("not xml"), QByteArray("<a><b></a>")}) {
        int t = 0, b = 0;
        EXPECT_FALSE(EditorData::pasteTemplateMimeData(&api, junk, 0, 1, &t, &b));
        EXPECT_EQ(t, -1);
        EXPECT_EQ(b, -1);
        EXPECT_FALSE(EditorData::pasteKnobMimeData(&api, junk, 0, 1));
    }
    EXPECT_TRUE(snapshot(api, 0) == before);
}

TEST(FileClipboard, ElementReadersCheckTheTag)
{
    RemoteMemAPI api;
    QDomDocument doc;
    const QDomElement knob = EditorData::getControllerDomElement(&api, doc, 0, 0, 0, "knobA1");
    EXPECT_TRUE(EditorData::setControllerDomElement(&api, knob, 0, 1, 1, DocType, "knobA1"));
    EXPECT_TRUE(EditorData::setControllerDomElement(&api, knob, 0, 1, 1, DocType, QString()));
    EXPECT_FALSE(EditorData::setControllerDomElement(&api, knob, 0, 1, 1, DocType, "knobB1"));
    EXPECT_FALSE(EditorData::setControllerDomElement(&api, QDomElement(), 0, 1, 1, DocType, QString()));
    const QDomElement templ = EditorData::getTemplateDomElement(&api, doc, 0, 0, QString());
    EXPECT_EQ(templ.tagName(), "template");
    EXPECT_FALSE(EditorData::setTemplateDomElement(&api, templ, 0, 1, DocType, "template2"));
    EXPECT_TRUE(EditorData::setTemplateDomElement(&api, templ, 0, 1, DocType, "template"));
    const QDomElement bank = EditorData::getBankDomElement(&api, doc, 0, QString(), false);
    EXPECT_EQ(bank.tagName(), "bank");
    EXPECT_TRUE(bank.firstChildElement("editBuffTemplate1").isNull());
    EXPECT_TRUE(bank.firstChildElement("bankInfo").isNull());
    // With another document type a bank element reads nothing and succeeds.
    EXPECT_TRUE(EditorData::setBankDomElement(&api, doc.createElement("bank"), 0, "Other", false, QString()));
    EXPECT_FALSE(EditorData::setBankDomElement(&api, doc.createElement("bank"), 0, DocType, false, QString()));
}

} // namespace
