#include "editor/memory/BankData.h"
#include "editor/memory/ControlTemplateData.h"
#include "editor/memory/ControllerData.h"
#include "editor/memory/RemoteMemory.h"

#include <gtest/gtest.h>

namespace {

ParamAddress knob(int bank, int templ, int k, int field)
{
    return ParamAddress(bank, templ, k, field);
}

TEST(MemoryControllerData, DefaultsAndRules)
{
    ControllerData c;
    EXPECT_EQ(c.getDisplayName(), QString());
    EXPECT_EQ(c.getRemoteTagID(), QStringLiteral("204143dff"));
    EXPECT_EQ(c.getCCNum().getCurrentValue(), 0);
    EXPECT_EQ(c.getCCNum().getMaxValue(), 127);
    EXPECT_EQ(c.getDispFormat().getMaxValue(), 1);

    EXPECT_TRUE(c.setDisplayName(QStringLiteral("123456789012345")));
    EXPECT_FALSE(c.setDisplayName(QStringLiteral("1234567890123456")));
    EXPECT_EQ(c.getDisplayName(), QStringLiteral("123456789012345"));
    EXPECT_FALSE(c.setDisplayName(QStringLiteral("123456789012345")));

    EXPECT_TRUE(c.setRemoteTagID(QStringLiteral("0000ABCDE")));
    EXPECT_EQ(c.getRemoteTagID(), QStringLiteral("0000abcde"));
    EXPECT_FALSE(c.setRemoteTagID(QStringLiteral("0000abcde")));
    EXPECT_FALSE(c.setRemoteTagID(QStringLiteral("0123456789")));
    EXPECT_EQ(c.getRemoteTagID(), QStringLiteral("0000abcde"));

    for (int v : {128, -1, 0})
        EXPECT_FALSE(c.setCCNum(v)) << v;
    EXPECT_TRUE(c.setCCNum(127));
    EXPECT_FALSE(c.setDispFormat(2));
    EXPECT_TRUE(c.setDispFormat(1));
}

TEST(MemoryControllerData, EqualityComparesEveryField)
{
    ControllerData base;
    base.setDisplayName(QStringLiteral("Cutoff"));
    base.setCCNum(74);
    for (int field = 0; field < 4; ++field) {
        ControllerData other = base;
        EXPECT_EQ(other, base);
        switch (field) {
        case 0: other.setDisplayName(QStringLiteral("Reso")); break;
        case 1: other.setCCNum(71); break;
        case 2: other.setDispFormat(1); break;
        case 3: other.setRemoteTagID(QStringLiteral("100000401")); break;
        }
        EXPECT_NE(other, base) << field;
    }
}

TEST(MemoryControlTemplateData, RoutesAddressesToFields)
{
    ControlTemplateData t;
    EXPECT_TRUE(t.setParam(knob(0, 0, 5, 1), 21));
    EXPECT_TRUE(t.setParam(knob(0, 0, 5, 2), 1));
    EXPECT_TRUE(t.setParam(ParamAddress(0, 0, 14, -1), 1));
    EXPECT_FALSE(t.setParam(ParamAddress(0, 0, 14, -1), 2));
    EXPECT_FALSE(t.setParam(knob(0, 0, 12, 1), 3));
    EXPECT_FALSE(t.setParam(knob(0, 0, 5, 0), 3)) << "a text field takes no number";
    EXPECT_EQ(t.getController(5).getCCNum().getCurrentValue(), 21);
    EXPECT_EQ(t.getParam(knob(0, 0, 5, 1)).getCurrentValue(), 21);
    EXPECT_EQ(t.getParam(knob(0, 0, 5, 2)).getCurrentValue(), 1);
    EXPECT_EQ(t.getParam(ParamAddress(0, 0, 14, -1)).getCurrentValue(), 1);
    EXPECT_EQ(t.getParam(knob(0, 0, 5, 0)).getMaxValue(), 0) << "placeholder";

    EXPECT_TRUE(t.setParam(ParamAddress(0, 0, 13, -1), QStringLiteral("Lead")));
    EXPECT_TRUE(t.setParam(ParamAddress(0, 0, 15, -1), QStringLiteral("Synthia")));
    EXPECT_TRUE(t.setParam(knob(0, 0, 11, 0), QStringLiteral("Decay")));
    EXPECT_TRUE(t.setParam(knob(0, 0, 11, 3), QStringLiteral("0000000AB")));
    EXPECT_FALSE(t.setParam(knob(0, 0, 11, 1), QStringLiteral("x")));
    EXPECT_FALSE(t.setParam(ParamAddress(0, 0, 14, -1), QStringLiteral("x")));
    EXPECT_EQ(t.getParamQString(ParamAddress(0, 0, 13, -1)), QStringLiteral("Lead"));
    EXPECT_EQ(t.getParamQString(ParamAddress(0, 0, 15, -1)), QStringLiteral("Synthia"));
    EXPECT_EQ(t.getParamQString(knob(0, 0, 11, 0)), QStringLiteral("Decay"));
    EXPECT_EQ(t.getParamQString(knob(0, 0, 11, 3)), QStringLiteral("0000000ab"));
    EXPECT_EQ(t.getParamQString(knob(0, 0, 11, 1)), QString());

    EXPECT_EQ(t.getController(12), ControllerData());
    EXPECT_FALSE(t.setController(ControllerData(), -1));
    EXPECT_TRUE(t.setController(t.getController(0), 0)) << "true even when equal";
}

TEST(MemoryControlTemplateData, ControlTypeReplacesTheWholeParameter)
{
    ControlTemplateData t;
    EXPECT_FALSE(t.setCtrlType(NumericParameter(0, 5, 0)));
    EXPECT_EQ(t.getCtrlType().getMaxValue(), 1);
    EXPECT_TRUE(t.setCtrlType(NumericParameter(0, 5, 3)));
    EXPECT_EQ(t.getCtrlType().getMaxValue(), 5);
    EXPECT_EQ(t.getCtrlType().getCurrentValue(), 3);
}

TEST(MemoryControlTemplateData, EqualityIncludesNamesAndEveryKnob)
{
    ControlTemplateData a;
    ControlTemplateData b;
    EXPECT_EQ(a, b);
    b.setParam(knob(0, 0, 11, 1), 7);
    EXPECT_NE(a, b);
    b = a;
    b.setVSTiName(QStringLiteral("x"));
    EXPECT_NE(a, b);
    b = a;
    b.setTemplateName(QStringLiteral("x"));
    EXPECT_NE(a, b);
    b = a;
    b.setParam(ParamAddress(0, 0, 14, -1), 1);
    EXPECT_NE(a, b);
}

TEST(MemoryBankData, RoutesFlagsAndTemplates)
{
    BankData bank;
    EXPECT_EQ(bank.getBankAvailableFlag(), 1);
    EXPECT_EQ(BankData(0).getBankAvailableFlag(), 0);
    EXPECT_TRUE(bank.setParam(ParamAddress(0, 51, -1, -1), 0));
    EXPECT_TRUE(bank.setParam(ParamAddress(0, 52, -1, -1), 49));
    EXPECT_FALSE(bank.setParam(ParamAddress(0, 52, -1, -1), 50));
    EXPECT_EQ(bank.getParam(ParamAddress(0, 52, -1, -1)).getCurrentValue(), 49);
    EXPECT_EQ(bank.getParam(ParamAddress(0, 51, -1, -1)).getCurrentValue(), 0);
    EXPECT_FALSE(bank.setParam(ParamAddress(0, 50, 0, 1), 3));
    EXPECT_FALSE(bank.setParam(ParamAddress(0, 51, -1, -1), QStringLiteral("x")));
    EXPECT_TRUE(bank.setParam(knob(0, 49, 0, 0), QStringLiteral("x")));
    EXPECT_EQ(bank.getParamQString(knob(0, 49, 0, 0)), QStringLiteral("x"));
    EXPECT_EQ(bank.getParamQString(knob(0, 50, 0, 0)), QString());
    EXPECT_EQ(bank.AccessTemplate(ParamAddress(0, 50, -1, -1)), nullptr);
    EXPECT_EQ(bank.getTemplate(-1), nullptr);
    EXPECT_EQ(bank.getCopiedTemplate(60), ControlTemplateData());

    ControlTemplateData t = bank.getCopiedTemplate(49);
    EXPECT_FALSE(bank.setTemplate(t, 49));
    EXPECT_TRUE(bank.setTemplate(ControlTemplateData(), 49));
    EXPECT_FALSE(bank.setTemplate(t, 50));

    BankData copy = bank;
    copy.getTemplate(0)->setTemplateName(QStringLiteral("only in copy"));
    EXPECT_EQ(bank.getTemplate(0)->getTemplateName(), QString()) << "deep copy";
}

TEST(MemoryRemoteMemory, StartsWithSixBanksAndDefaults)
{
    RemoteMemory m;
    EXPECT_EQ(m.getQuantityOfBank(), 6);
    EXPECT_EQ(m.getBankAvailableFlag(0), 1);
    for (int b = 1; b < 6; ++b)
        EXPECT_EQ(m.getBankAvailableFlag(b), 0) << b;
    EXPECT_EQ(m.createBank(), 6);
    EXPECT_EQ(m.getBankAvailableFlag(6), 1);
    EXPECT_FALSE(m.isONLINE());
    EXPECT_TRUE(m.isAllowedToSendSysEx());
    EXPECT_EQ(m.getParamQString(ParamAddress(-4, -1, -1, -1)), QString());
    EXPECT_EQ(m.getBank(9), nullptr);
    EXPECT_EQ(m.getTemplateData(8, 49), ControlTemplateData());
}

TEST(MemoryRemoteMemory, MemoryLevelValues)
{
    RemoteMemory m;
    const ParamAddress fileName(-4, -1, -1, -1);
    EXPECT_TRUE(m.setParam(fileName, QStringLiteral("/a.X5R")));
    EXPECT_TRUE(m.setParam(fileName, QStringLiteral("/a.X5R"))) << "naming the file again is a change";
    EXPECT_EQ(m.getParamQString(fileName), QStringLiteral("/a.X5R"));

    for (int code : {-2, -3, -5, -6}) {
        const ParamAddress a(code, -1, -1, -1);
        EXPECT_TRUE(m.setParam(a, 1L)) << code;
        EXPECT_FALSE(m.setParam(a, 1L)) << code;
        EXPECT_FALSE(m.setParam(a, 2L)) << code;
        EXPECT_EQ(m.getParam(a).getCurrentValue(), 1) << code;
    }
    EXPECT_FALSE(m.setParam(ParamAddress(-7, -1, -1, -1), 1L));
    EXPECT_FALSE(m.setParam(ParamAddress(-4, -1, -1, -1), 1L));
    EXPECT_FALSE(m.setParam(ParamAddress(-2, -1, -1, -1), QStringLiteral("1")));
    EXPECT_TRUE(m.isONLINE());
    EXPECT_FALSE(m.setONLINEstate(2));
    EXPECT_TRUE(m.setONLINEstate(0));
    EXPECT_FALSE(m.isONLINE());
    // A value beyond the cell's width is out of range, not wrapped into it.
    EXPECT_FALSE(m.setParam(knob(0, 0, 0, 1), 4294967297L));
    EXPECT_EQ(m.getParam(knob(0, 0, 0, 1)).getCurrentValue(), 0);
    EXPECT_FALSE(m.setParam(knob(7, 0, 0, 1), 3L)) << "no such bank";
    EXPECT_FALSE(m.setParam(knob(7, 0, 0, 0), QStringLiteral("x")));
}

TEST(MemoryRemoteMemory, CopyBankLeavesDestinationAvailable)
{
    RemoteMemory m;
    m.setParam(knob(5, 3, 2, 1), 64L);
    m.setParam(ParamAddress(5, 52, -1, -1), 3L);
    ASSERT_EQ(m.getBankAvailableFlag(5), 0);
    EXPECT_TRUE(m.copyBank(5, 0));
    EXPECT_EQ(m.getParam(knob(0, 3, 2, 1)).getCurrentValue(), 64);
    EXPECT_EQ(m.getParam(ParamAddress(0, 52, -1, -1)).getCurrentValue(), 3);
    EXPECT_EQ(m.getBankAvailableFlag(0), 1);
    EXPECT_EQ(m.getBankAvailableFlag(5), 0);
    EXPECT_TRUE(m.copyBank(2, 2));
    EXPECT_EQ(m.getBankAvailableFlag(2), 1);
    for (auto [src, dst] : {std::pair{9, 0}, {0, 9}, {-1, 0}, {0, -1}})
        EXPECT_FALSE(m.copyBank(src, dst)) << src << "->" << dst;
}

struct IndexCase {
    int a, b, c, d;
};

TEST(MemoryRemoteMemory, CopyAndExchangeTemplates)
{
    RemoteMemory m;
    m.setParam(ParamAddress(0, 3, 13, -1), QStringLiteral("Bass"));
    EXPECT_TRUE(m.copyTemplate(0, 3, 1, 4));
    EXPECT_EQ(m.getTemplateData(1, 4).getTemplateName(), QStringLiteral("Bass"));
    EXPECT_FALSE(m.copyTemplate(0, 3, 1, 4)) << "equal already";
    EXPECT_FALSE(m.exchangeTemplate(0, 3, 0, 3));
    EXPECT_TRUE(m.exchangeTemplate(0, 3, 0, 5));
    EXPECT_EQ(m.getTemplateData(0, 5).getTemplateName(), QStringLiteral("Bass"));
    EXPECT_EQ(m.getTemplateData(0, 3).getTemplateName(), QString());

    m.setParam(knob(0, 5, 0, 1), 10L);
    EXPECT_TRUE(m.exchangeController(0, 5, 0, 2, 1, 11));
    EXPECT_EQ(m.getParam(knob(2, 1, 11, 1)).getCurrentValue(), 10);
    EXPECT_EQ(m.getParam(knob(0, 5, 0, 1)).getCurrentValue(), 0);
    EXPECT_FALSE(m.exchangeController(0, 5, 1, 0, 5, 2)) << "two default knobs";

    const IndexCase invalid[] = {{6, 0, 0, 0}, {0, 50, 0, 0}, {0, 0, -1, 0}, {0, 0, 0, -1}};
    for (const IndexCase& c : invalid) {
        EXPECT_FALSE(m.copyTemplate(c.a, c.b, c.c, c.d));
        EXPECT_FALSE(m.exchangeTemplate(c.a, c.b, c.c, c.d));
    }
    EXPECT_FALSE(m.exchangeController(0, 5, 12, 2, 1, 11));
    EXPECT_FALSE(m.exchangeController(0, 5, 0, 2, 1, -1));
}

TEST(MemoryRemoteMemory, InitialTemplateKeepsOnlyThePresetKnobs)
{
    RemoteMemory m;
    while (m.getQuantityOfBank() < 9)
        m.createBank();
    m.setParam(ParamAddress(8, 49, 13, -1), QStringLiteral("Preset"));
    m.setParam(ParamAddress(8, 49, 15, -1), QStringLiteral("Synthia"));
    m.setParam(ParamAddress(8, 49, 14, -1), 1L);
    m.setParam(knob(8, 49, 0, 1), 74L);
    m.setParam(knob(8, 49, 0, 0), QStringLiteral("Cutoff"));
    m.initializeInitialTemplate();

    const ControlTemplateData initial = m.getInitialTemplate();
    EXPECT_EQ(initial.getTemplateName(), QString());
    EXPECT_EQ(initial.getVSTiName(), QString());
    EXPECT_EQ(initial.getCtrlType().getCurrentValue(), 0);
    EXPECT_EQ(initial.getController(0).getCCNum().getCurrentValue(), 74);
    EXPECT_EQ(initial.getController(0).getDisplayName(), QStringLiteral("Cutoff"));

    m.setParam(ParamAddress(0, 2, 13, -1), QStringLiteral("Mine"));
    EXPECT_TRUE(m.initializeTemplate(0, 2));
    EXPECT_EQ(m.getTemplateData(0, 2), initial);
    EXPECT_FALSE(m.initializeTemplate(0, 2));
    EXPECT_FALSE(m.initializeTemplate(12, 2));
}

TEST(MemoryRemoteMemory, InitialTemplateWithoutPresetBankIsDefault)
{
    RemoteMemory m;
    m.initializeInitialTemplate();
    EXPECT_EQ(m.getInitialTemplate(), ControlTemplateData());
}

} // namespace
