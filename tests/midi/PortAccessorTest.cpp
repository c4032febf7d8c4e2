// Port identities: encoded names, lasting identities across re-plugging and
// restarts, and what happens to unusable saved lists.
#include "editor/midi/MIDIBackend.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/virtual/Service.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

#include <memory>

namespace {

const char kKeyboard[] = "Velmor ZenoA/ZenoB";

class PortIdentities : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings()->remove("preferences/SystemPorts");
        service().unplugAll();
        ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual));
    }
    void TearDown() override
    {
        service().unplugAll();
        ZenoMIDI::selectAutomaticBackend();
    }
    static VirtualMIDIService& service() { return VirtualMIDIService::instance(); }
    static std::unique_ptr<TUniMIDIPortAccessor> accessor() { return std::unique_ptr<TUniMIDIPortAccessor>(MIDIPortAccessor()); }

    // identifier -> identity, for one direction
    static QMap<QString, QUuid> identities(const TMIDIPortAccessor& a, int io)
    {
        QList<QUuid> ids;
        a.qUuids(io, ids);
        QMap<QString, QUuid> map;
        for (const QUuid& id : ids)
            map.insert(a.friendlyName(id), id);
        return map;
    }
    // The editor's settings store, where identities live by default.
    static std::unique_ptr<QSettings> settings()
    {
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Velmor", "ZenoA_ZenoBRemoteEditor");
    }
    static QStringList saved(const char* key) { return settings()->value(QString("/preferences/SystemPorts/") + key).toStringList(); }
};

TEST_F(PortIdentities, EncodedNamesFollowThePortOrder)
{
    service().plugDevice("Synth", 2, 1);
    service().plugDevice(kKeyboard, 5, 5);
    auto a = accessor();
    QList<QUuid> inputs;
    a->qUuids(0, inputs);
    ASSERT_EQ(inputs.size(), 7);
    EXPECT_EQ(a->encodedName(inputs[0]), "1;Synth Port1");
    EXPECT_EQ(a->encodedName(inputs[2]), QString("3;%1 Port1").arg(kKeyboard));
    EXPECT_EQ(a->portID(inputs[6]), 7);
    EXPECT_EQ(a->friendlyName(inputs[6]), QString("%1 Port5").arg(kKeyboard));
    QList<QUuid> outputs;
    a->qUuids(1, outputs);
    EXPECT_EQ(outputs.size(), 6);
    EXPECT_EQ(a->getOutputPortList().size(), 6);
    EXPECT_TRUE(a->getOutputPortList().contains("1;Synth Port1"));
}

TEST_F(PortIdentities, ReplugMovingThePortsKeepsIdentitiesAndShowsNewNumbers)
{
    const int other = service().plugDevice("Other", 2, 2);
    const int keyboard = service().plugDevice(kKeyboard, 5, 5);
    auto before = accessor();
    const auto inputsBefore = identities(*before, 0);
    const auto outputsBefore = identities(*before, 1);
    EXPECT_EQ(before->portID(inputsBefore.value(QString("%1 Port1").arg(kKeyboard))), 3);

    service().unplugDevice(keyboard);
    service().unplugDevice(other);
    service().plugDevice("Other", 4, 4);
    service().plugDevice(kKeyboard, 5, 5);
    before->updatePortInfo();
    EXPECT_EQ(identities(*before, 0).value(QString("%1 Port1").arg(kKeyboard)), inputsBefore.value(QString("%1 Port1").arg(kKeyboard)));
    for (int n = 1; n <= 5; ++n) {
        const QString name = QString("%1 Port%2").arg(kKeyboard).arg(n);
        EXPECT_EQ(before->portID(inputsBefore.value(name)), 4 + n) << name.toStdString();
        EXPECT_EQ(before->encodedName(outputsBefore.value(name)), QString("%1;%2").arg(4 + n).arg(name));
    }
}

TEST_F(PortIdentities, RestartWithTheSameSettingsKeepsIdentities)
{
    service().plugDevice(kKeyboard, 5, 5);
    QMap<QString, QUuid> first[2];
    {
        auto a = accessor();
        first[0] = identities(*a, 0);
        first[1] = identities(*a, 1);
    }
    service().unplugAll();
    service().plugDevice("Newcomer", 1, 1);
    service().plugDevice(kKeyboard, 5, 5);
    auto b = accessor();
    for (int io = 0; io < 2; ++io)
        for (auto it = first[io].cbegin(); it != first[io].cend(); ++it)
            EXPECT_EQ(identities(*b, io).value(it.key()), it.value()) << it.key().toStdString();
    // The newcomer was remembered at once; the keyboard's entries stay.
    EXPECT_EQ(saved("Input/portNames").size(), 6);
    EXPECT_TRUE(saved("Input/portNames").contains("1;Newcomer Port1<[Inp]>"));
    EXPECT_TRUE(saved("Output/portNames").contains("1;Newcomer Port1<[Out]>"));
}

TEST_F(PortIdentities, AbsentPortsStayRemembered)
{
    const int dev = service().plugDevice("Gone", 1, 0);
    QUuid gone = identities(*accessor(), 0).value("Gone Port1");
    service().unplugDevice(dev);
    EXPECT_TRUE(identities(*accessor(), 0).isEmpty());
    service().plugDevice("Gone", 1, 0);
    EXPECT_EQ(identities(*accessor(), 0).value("Gone Port1"), gone);
}

struct BrokenLists {
    const char* name;
    QStringList names;
    QStringList ids;
};
void PrintTo(const BrokenLists& b, std::ostream* os) { *os << b.name; }

class UnusableSavedLists : public PortIdentities, public ::testing::WithParamInterface<BrokenLists> {};

TEST_P(UnusableSavedLists, AreDroppedAsAWhole)
{
    service().plugDevice("Dev", 2, 0);
    const QUuid remembered = QUuid::createUuid();
    {
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Velmor", "ZenoA_ZenoBRemoteEditor");
        s.setValue("/preferences/SystemPorts/Input/portNames", GetParam().names);
        QStringList ids = GetParam().ids;
        for (QString& id : ids)
            id.replace("$REMEMBERED", remembered.toString());
        s.setValue("/preferences/SystemPorts/Input/portIds", ids);
    }
    auto a = accessor();
    const auto now = identities(*a, 0);
    ASSERT_EQ(now.size(), 2);
    EXPECT_NE(now.value("Dev Port1"), remembered);
    EXPECT_EQ(saved("Input/portNames"), (QStringList{"1;Dev Port1<[Inp]>", "2;Dev Port2<[Inp]>"}));
    EXPECT_EQ(saved("Input/portIds"), (QStringList{now.value("Dev Port1").toString(), now.value("Dev Port2").toString()}));
}

INSTANTIATE_TEST_SUITE_P(
    Lists, UnusableSavedLists,
    ::testing::Values(
        BrokenLists{"OneNameMoreThanIds", {"1;Dev Port1<[Inp]>", "9;Elsewhere Port1<[Inp]>"}, {"$REMEMBERED"}},
        BrokenLists{"IdThatIsNoUuid", {"1;Dev Port1<[Inp]>", "2;Dev Port2<[Inp]>"}, {"$REMEMBERED", "not-a-uuid"}},
        BrokenLists{"NameWithoutDelimiter", {"1;Dev Port1<[Inp]>", "Dev Port2"}, {"$REMEMBERED", "{00000000-0000-0000-0000-000000000001}"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortIdentities, DuplicateIdentifiersOnlyTheFirstKeepsItsIdentity)
{
    service().plugDevice("Twin", QStringList{"Port", "Port", "Other"}, {});
    auto a = accessor();
    QList<QUuid> first;
    a->qUuids(0, first);
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(saved("Input/portNames").size(), 3);

    a->updatePortInfo();
    QList<QUuid> second;
    a->qUuids(0, second);
    ASSERT_EQ(second.size(), 3);
    EXPECT_EQ(second[0], first[0]);
    EXPECT_NE(second[1], first[1]);  // a new identity on every update ...
    EXPECT_EQ(saved("Input/portNames").size(), 4); // ... and one more saved entry
    // The port after the twins keeps its own identity, not a twin's.
    EXPECT_EQ(second[2], first[2]);
}

TEST_F(PortIdentities, MissingNamesGetDefaults)
{
    service().plugDevice("Dev", QStringList{"A", "B", ""}, {});
    service().plugDevice("", QStringList{"Solo"}, {});
    service().plugDevice("Box", QStringList{"Box Port1", "Port2"}, {});
    const QStringList list = accessor()->getInputPortList();
    EXPECT_TRUE(list.contains("3;Dev Port #3")) << list.join(", ").toStdString();
    EXPECT_TRUE(list.contains("4;Unknown Device Solo"));
    EXPECT_TRUE(list.contains("5;Box Port1"));
    EXPECT_TRUE(list.contains("6;Box Port2"));
}

TEST(PortAccessor, IdentifierRule)
{
    EXPECT_EQ(TUniMIDIPortAccessor::makeIdentifier("D", "D Port1", 0), "D Port1");
    EXPECT_EQ(TUniMIDIPortAccessor::makeIdentifier("D", "Port2", 1), "D Port2");
    EXPECT_EQ(TUniMIDIPortAccessor::makeIdentifier("D", "d Port2", 1), "D d Port2"); // case-sensitive
    EXPECT_EQ(TUniMIDIPortAccessor::makeIdentifier("", "", 4), "Unknown Device Port #5");
}

TEST(PortAccessor, UnknownIdentities)
{
    TMIDIPortAccessor empty;
    EXPECT_EQ(empty.encodedName(QUuid()), "0;<unknown port name>");
    EXPECT_EQ(empty.portID(QUuid()), 0);
    EXPECT_EQ(empty.friendlyName(QUuid()), "<unknown port name>");
    EXPECT_EQ(empty.portID(QUuid::createUuid()), 0);
    EXPECT_TRUE(empty.getPortList(5).isEmpty());
}

TEST_F(PortIdentities, AnIniFileCanTakeThePlaceOfTheSettings)
{
    service().plugDevice("Dev", 1, 1);
    const QString ini = QDir::home().filePath("ports.ini");
    auto a = std::unique_ptr<TUniMIDIPortAccessor>(MIDIPortAccessor());
    a->setSettingsFile(ini);
    a->updatePortInfo();
    QSettings file(ini, QSettings::IniFormat);
    EXPECT_EQ(file.value("/preferences/SystemPorts/Output/portNames").toStringList(), QStringList{"1;Dev Port1<[Out]>"});
}

} // namespace
