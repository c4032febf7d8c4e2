// Recognising keyboards among the port lists.
#include "editor/midi/KeyboardPortSets.h"

#include <gtest/gtest.h>

namespace {

QStringList ports(const QString& base, QList<int> devicePorts, int firstNumber, const QString& suffix = "Port")
{
    QStringList list;
    int number = firstNumber;
    for (int p : devicePorts)
        list.append(QString("%1;%2 %3%4").arg(number++).arg(base, suffix).arg(p));
    return list;
}

const QList<int> kAll{1, 2, 3, 4, 5};

TEST(KeyboardPortSets, FiveNumberedPortsEachWayMakeAKeyboard)
{
    const auto sets = findKeyboardPortSets(ports("Velmor Zeno Series", kAll, 3), ports("Velmor Zeno Series", kAll, 10));
    ASSERT_EQ(sets.ports.size(), 1);
    EXPECT_EQ(sets.ports[0], (PortInfo{"Velmor Zeno Series", 3, 7, 14}));
    EXPECT_EQ(sets.names, (QStringList{"Not Assigned", "Velmor Zeno Series"}));
}

struct RuleCase {
    const char* name;
    QStringList inputs;
    QStringList outputs;
    int keyboards;
};
void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.name; }

class KeyboardRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(KeyboardRule, CountsKeyboards)
{
    const auto sets = findKeyboardPortSets(GetParam().inputs, GetParam().outputs);
    EXPECT_EQ(sets.ports.size(), GetParam().keyboards);
    EXPECT_EQ(sets.names.size(), GetParam().keyboards + 1);
    EXPECT_EQ(sets.names.value(0), "Not Assigned");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyboardRule,
    ::testing::Values(
        RuleCase{"OnlyFourOutputs", ports("Velmor Zeno Series", kAll, 1), ports("Velmor Zeno Series", {1, 2, 3, 4}, 1), 0},
        RuleCase{"PortsOneToFourAndSix", ports("Velmor ZenoA/ZenoB", {1, 2, 3, 4, 6}, 1), ports("Velmor ZenoA/ZenoB", {1, 2, 3, 4, 6}, 1), 0},
        RuleCase{"SixPorts", ports("Velmor ZenoA/ZenoB", {1, 2, 3, 4, 5, 6}, 1), ports("Velmor ZenoA/ZenoB", kAll, 1), 0},
        RuleCase{"PortWithoutDigits", QStringList{"1;Velmor ZenoA/ZenoB Port"} + ports("Velmor ZenoA/ZenoB", {2, 3, 4, 5}, 2), ports("Velmor ZenoA/ZenoB", kAll, 1), 0},
        RuleCase{"CaseOfMakerNameIsLoose", ports("VELMOR ZenoA/ZenoB", kAll, 1), ports("VELMOR ZenoA/ZenoB", kAll, 1), 1},
        RuleCase{"ModelNameMustMatch", ports("Velmor ZenoC", kAll, 1), ports("Velmor ZenoC", kAll, 1), 0},
        RuleCase{"OtherMakersIgnored", ports("Acme Keys", kAll, 1), ports("Acme Keys", kAll, 1), 0},
        RuleCase{"TwoKeyboards", ports("Velmor ZenoA/ZenoB", kAll, 1) + ports("Velmor ZenoA/ZenoB 2", kAll, 6),
                 ports("Velmor ZenoA/ZenoB", kAll, 1) + ports("Velmor ZenoA/ZenoB 2", kAll, 6), 2},
        RuleCase{"BadEncodedNamesSkipped", QStringList{";Velmor Zeno Series Port1", "x;Velmor Zeno Series Port2", "3;"} + ports("Velmor Zeno Series", {3, 4, 5}, 3),
                 ports("Velmor Zeno Series", kAll, 1), 0},
        RuleCase{"NoPorts", {}, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyboardPortSets, SpacesBeforePortAreTakenWithTheSuffix)
{
    const auto sets = findKeyboardPortSets(ports("Velmor Zeno Series", kAll, 1, "   Port"), ports("Velmor Zeno Series", kAll, 1, "Port"));
    ASSERT_EQ(sets.ports.size(), 1);
    EXPECT_EQ(sets.ports[0].name, "Velmor Zeno Series");
}

} // namespace
