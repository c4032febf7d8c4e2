#include "editor/memory/AddressTransTable.h"
#include "editor/memory/NumericParameter.h"
#include "editor/memory/ParamAddress.h"

#include <gtest/gtest.h>

#include <array>

namespace {

using Components = std::array<int, 4>;

Components parts(const ParamAddress& a)
{
    return {a.bank(), a.templ(), a.controller(), a.parameter()};
}

TEST(MemoryAddressTable, HoldsEveryNameWithItsNumber)
{
    const QMap<QString, int> expected = {
        {"bankName", 50}, {"knobA1", 0}, {"knobB1", 1}, {"knobC1", 2}, {"knobD1", 3},
        {"knobA2", 4}, {"knobB2", 5}, {"knobC2", 6}, {"knobD2", 7}, {"knobA3", 8},
        {"knobB3", 9}, {"knobC3", 10}, {"knobD3", 11}, {"templateName", 13},
        {"controlType", 14}, {"vstiName", 15}, {"displayName", 0}, {"ccNumber", 1},
        {"displayFormat", 2}, {"remoteNumber", 3}, {"none", -1}, {"isOnline", -2},
        {"fileEditFlag", -3}, {"fileName", -4}, {"libraryEditFlag", -5},
        {"bankEditFlag", -6}, {"bankAvailableFlag", 51}, {"currentTemplateNumber", 52},
    };
    AddressTransTable table;
    EXPECT_EQ(table.getTable(), expected);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        EXPECT_EQ(table.value(QStringView(it.key())), it.value()) << it.key().toStdString();
        EXPECT_EQ(table.value(it.key().toLatin1().constData()), it.value()) << it.key().toStdString();
    }
}

TEST(MemoryAddressTable, UnknownAndWrongCaseNamesAreMinusOne)
{
    AddressTransTable table;
    for (const char* name : {"KnobA1", "knobE1", "ccnumber", "", "knobA1 ", "zzz", "a"})
        EXPECT_EQ(table.value(name), -1) << name;
    EXPECT_EQ(table.value(static_cast<const char*>(nullptr)), -1);
    EXPECT_TRUE(table.contains(u"none"));
    EXPECT_FALSE(table.contains(u"None"));
}

struct PathCase {
    const char* label;
    Components start;
    int bank, templ;
    const char* path;
    int parameter;
    Components expected;
};

TEST(MemoryParamAddress, PathFormTable)
{
    const PathCase cases[] = {
        {"two words", {-1, -1, -1, -1}, 2, 7, "knobC2/displayFormat", -1, {2, 7, 6, 2}},
        {"last knob", {0, 3, -1, -1}, -1, -1, "knobD3/remoteNumber", -1, {0, 3, 11, 3}},
        {"one word sets both", {0, 0, -1, -1}, -1, -1, "knobB1", -1, {0, 0, 1, 1}},
        {"empty part", {0, 0, -1, -1}, -1, -1, "knobA1//ccNumber", -1, {0, 0, 0, 1}},
        {"unknown first word", {0, 0, 5, 5}, -1, -1, "knobE1/ccNumber", -1, {0, 0, -1, 1}},
        {"three words use first and last", {1, 1, -1, -1}, -1, -1, "knobA2/x/displayName", -1, {1, 1, 4, 0}},
        {"no path keeps controller", {0, 0, 4, 1}, 3, -1, nullptr, -1, {3, 0, 4, 1}},
        {"slash only leaves it", {0, 0, 4, 1}, -1, -1, "/", -1, {0, 0, 4, 1}},
        {"case-sensitive", {0, 0, 4, 1}, -1, -1, "KnobA1/CCNumber", -1, {0, 0, -1, -1}},
    };
    AddressTransTable table;
    for (const PathCase& c : cases) {
        ParamAddress a(&table);
        a.setParamAddress(c.start[0], c.start[1], c.start[2], c.start[3]);
        a.setParamAddress(c.bank, c.templ, c.path, c.parameter);
        EXPECT_EQ(parts(a), c.expected) << c.label;

        ParamAddress q(&table);
        q.setParamAddress(c.start[0], c.start[1], c.start[2], c.start[3]);
        q.setParamAddress(c.bank, c.templ, c.path ? QString::fromLatin1(c.path) : QString(), c.parameter);
        EXPECT_EQ(parts(q), c.expected) << c.label << " (QString)";
    }
}

struct NameCase {
    const char* label;
    Components start;
    int bank, templ, controller;
    const char* name;
    Components expected;
};

TEST(MemoryParamAddress, SingleNameFormTable)
{
    const NameCase cases[] = {
        {"bank available flag", {-1, -1, -1, -1}, 3, 9, -1, "bankAvailableFlag", {3, 51, -1, -1}},
        {"current template", {0, 4, 2, 1}, -1, -1, -1, "currentTemplateNumber", {0, 52, -1, -1}},
        {"isOnline drops the bank", {0, 4, 2, 1}, 5, 6, 7, "isOnline", {-2, -1, -1, -1}},
        {"fileName", {0, 0, 0, 0}, -1, -1, -1, "fileName", {-4, -1, -1, -1}},
        {"fileEditFlag", {0, 0, 0, 0}, -1, -1, -1, "fileEditFlag", {-3, -1, -1, -1}},
        {"libraryEditFlag", {0, 0, 0, 0}, -1, -1, -1, "libraryEditFlag", {-5, -1, -1, -1}},
        {"bankEditFlag", {0, 0, 0, 0}, -1, -1, -1, "bankEditFlag", {-6, -1, -1, -1}},
        {"templateName keeps bank and template", {0, 7, 3, 1}, -1, -1, -1, "templateName", {0, 7, 13, -1}},
        {"controlType", {2, 7, 3, 1}, -1, -1, -1, "controlType", {2, 7, 14, -1}},
        {"vstiName", {2, 7, 3, 1}, -1, -1, -1, "vstiName", {2, 7, 15, -1}},
        {"ccNumber with a knob", {0, 1, -1, -1}, -1, -1, 4, "ccNumber", {0, 1, 4, 1}},
        {"knob word lands in parameter", {0, 1, 2, -1}, -1, -1, -1, "knobB1", {0, 1, 2, 1}},
        {"unknown name", {0, 1, 2, 3}, -1, -1, -1, "nothing", {0, 1, 2, -1}},
        {"no name", {0, 1, 2, 3}, 4, -1, 5, nullptr, {4, 1, 5, 3}},
    };
    AddressTransTable table;
    for (const NameCase& c : cases) {
        ParamAddress a(&table);
        a.setParamAddress(c.start[0], c.start[1], c.start[2], c.start[3]);
        a.setParamAddress(c.bank, c.templ, c.controller, c.name);
        EXPECT_EQ(parts(a), c.expected) << c.label;
    }
}

TEST(MemoryParamAddress, WithoutTableEveryNameIsUnknown)
{
    ParamAddress a(0, 0, 3, 3);
    EXPECT_EQ(a.String2ParamAdr("ccNumber"), -1);
    a.setParamAddress(-1, -1, "knobA1/ccNumber", -1);
    EXPECT_EQ(parts(a), (Components{0, 0, -1, -1}));
    a.setParamAddress(-1, -1, -1, "isOnline");
    EXPECT_EQ(parts(a), (Components{-1, -1, -1, -1}));
}

TEST(MemoryParamAddress, ConstructionKeepingAndEquality)
{
    AddressTransTable t1, t2;
    ParamAddress a(&t1);
    EXPECT_EQ(parts(a), (Components{-1, -1, -1, -1}));
    ParamAddress b(&t2);
    a.setParamAddress(0, 4, 2, 1);
    b.setParamAddress(0, 4, 2, 1);
    EXPECT_EQ(a, b) << "tables take no part in equality";
    a.setParamAddress(-1, -1, -1, 3);
    EXPECT_EQ(parts(a), (Components{0, 4, 2, 3}));
    EXPECT_NE(a, b);
    a.initParamAddress();
    EXPECT_EQ(parts(a), (Components{-1, -1, -1, -1}));
    EXPECT_EQ(a.getAddressTransTable(), &t1);
    EXPECT_EQ(ParamAddress(2, -1, 5, -1), ParamAddress(2, -1, 5, -1));
    for (int i : {-1, 4, 100})
        EXPECT_EQ(b.getParamAddress(i), -1);
    EXPECT_EQ(b.getParamAddress(0), 0);
    EXPECT_EQ(b.getParamAddress(1), 4);
    EXPECT_EQ(b.getParamAddress(2), 2);
    EXPECT_EQ(b.getParamAddress(3), 1);
    EXPECT_EQ(ParamAddress::splitNamedAdr("/a//b/"), (QStringList{"a", "b"}));
}

struct PredicateCase {
    Components address;
    bool isString, isNumeric, editorOnly, bankParam, controllerAdr;
};

TEST(MemoryParamAddress, ClassificationTable)
{
    const PredicateCase cases[] = {
        {{0, 3, 5, 0}, true, false, false, true, true},      // display name
        {{0, 3, 5, 1}, false, true, false, true, true},      // CC number
        {{0, 3, 5, 2}, false, true, false, true, true},      // display format
        {{0, 3, 5, 3}, true, false, false, true, true},      // remote tag ID
        {{0, 3, 13, -1}, true, false, false, true, false},   // template name
        {{0, 3, 14, -1}, false, true, false, true, false},   // control type
        {{0, 3, 15, -1}, true, false, false, true, false},   // VSTi name
        {{0, 52, -1, -1}, false, true, false, false, false}, // current template
        {{0, 51, -1, -1}, false, true, true, false, false},  // bank available
        {{-2, -1, -1, -1}, false, true, true, false, false}, // on-line
        {{-3, -1, -1, -1}, false, true, true, false, false}, // file edit flag
        {{-4, -1, -1, -1}, false, false, true, false, false}, // file name
        {{-5, -1, -1, -1}, false, false, false, false, false}, // library edit flag
        {{-6, -1, -1, -1}, false, true, true, false, false}, // bank edit flag
        {{0, 50, -1, -1}, false, false, false, false, false}, // bank name slot
        {{0, 3, 12, -1}, false, false, false, true, false},  // knob 12 names nothing
    };
    for (const PredicateCase& c : cases) {
        const ParamAddress a(c.address[0], c.address[1], c.address[2], c.address[3]);
        const std::string label = a.toString().toStdString();
        EXPECT_EQ(a.isStringParamAdr(), c.isString) << label;
        EXPECT_EQ(a.isNumericParamAdr(), c.isNumeric) << label;
        EXPECT_EQ(a.isParamUsedInOnlyEditor(), c.editorOnly) << label;
        EXPECT_EQ(a.isBankParamAdr(), c.bankParam) << label;
        EXPECT_EQ(a.isControllerAdr(), c.controllerAdr) << label;
    }
}

TEST(MemoryParamAddress, ComponentPredicates)
{
    EXPECT_TRUE(ParamAddress(3, -1, -1, -1).isBankParam());
    EXPECT_FALSE(ParamAddress(-1, -1, -1, -1).isBankParam());
    EXPECT_TRUE(ParamAddress(0, -1, -1, -1).isStoredBankParamAdr());
    EXPECT_FALSE(ParamAddress(1, -1, -1, -1).isStoredBankParamAdr());
    EXPECT_TRUE(ParamAddress(1, -1, -1, -1).isEditBufferOrStoredBankParam());
    EXPECT_FALSE(ParamAddress(2, -1, -1, -1).isEditBufferOrStoredBankParam());
    EXPECT_TRUE(ParamAddress::isEditBufferOrStoredBankParam(0));
    EXPECT_FALSE(ParamAddress::isEditBufferOrStoredBankParam(-2));
    EXPECT_FALSE(ParamAddress(0, -1, -1, -1).isBankParamAdr());
    EXPECT_TRUE(ParamAddress(0, 49, -1, -1).isBankParamAdr());
    EXPECT_FALSE(ParamAddress(0, 0, 12, -1).isControllerAdr());
    EXPECT_TRUE(ParamAddress(0, 0, 11, -1).isControllerAdr());
    EXPECT_TRUE(ParamAddress(-5, -1, -1, -1).isLibraryEditFlagAdr());
    EXPECT_TRUE(ParamAddress(-4, -1, -1, -1).isFileNameAdr());
    EXPECT_TRUE(ParamAddress(0, 1, 2, 3).isThisBank(0));
    EXPECT_TRUE(ParamAddress(0, 1, 2, 3).isThisTemplate(1));
    EXPECT_TRUE(ParamAddress(0, 1, 2, 3).isThisController(2));
    EXPECT_EQ(ParamAddress(0, 1, 2, 3).toString(), QStringLiteral("(0, 1, 2, 3)"));
}

TEST(MemoryNumericParameter, RefusesOutOfRangeAndUnchangedValues)
{
    NumericParameter p(0, 49, 0);
    EXPECT_EQ(p.getCurrentValue(), 0);
    EXPECT_EQ(p.getMinValue(), 0);
    EXPECT_EQ(p.getMaxValue(), 49);
    EXPECT_EQ(p.getInitialValue(), 0);
    for (int v : {50, -1, 0})
        EXPECT_FALSE(p.setCurrentValue(v)) << v;
    EXPECT_EQ(p.getCurrentValue(), 0);
    EXPECT_TRUE(p.setCurrentValue(49));
    EXPECT_FALSE(p.setCurrentValue(49));
    EXPECT_EQ(p.getCurrentValue(), 49);

    // An initial value outside the bounds does not become current.
    NumericParameter q(1, 5, 9);
    EXPECT_NE(q.getCurrentValue(), 9);
    EXPECT_EQ(q.getInitialValue(), 9);

    // Bounds setters report a change and never touch the current value.
    EXPECT_TRUE(p.setMaxValue(10));
    EXPECT_FALSE(p.setMaxValue(10));
    EXPECT_EQ(p.getCurrentValue(), 49);
    EXPECT_TRUE(p.setMinValue(-3));
    EXPECT_TRUE(p.setInitialValue(2));
    EXPECT_FALSE(p.setInitialValue(2));

    NumericParameter other(0, 127, 49);
    EXPECT_EQ(NumericParameter(0, 49, 49), other) << "only current values compare";
    EXPECT_EQ(NumericParameter(), NumericParameter());
}

} // namespace
