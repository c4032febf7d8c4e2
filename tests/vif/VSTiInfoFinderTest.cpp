// The info finder's decisions that need no plug-in: name lists, text
// clean-up, the bypass-only output and the unit-name walk.

#include "ToolRun.h"
#include "vif/PluginLoader.h"
#include "vif/VST3ParamFinder.h"
#include "vif/VSTiInfoFinder.h"

#include <gtest/gtest.h>

namespace {

TEST(VSTiInfoFinder, ReplaceUnusableLetters) {
  const CVSTiInfoFinder finder("/tmp/unused");
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"Cutoff 1", "Cutoff 1"},
      {"a\tb\nc", "a b c"},
      {std::string("x\x7Fy"), "x y"},
      {"Caf\xC3\xA9", "Caf  "},
      {std::string("\x1F~ !"), " ~ !"},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    finder.ReplaceUnusableLetters(&s);
    EXPECT_EQ(s, c.out) << c.in;
  }
  finder.ReplaceUnusableLetters(nullptr);
}

TEST(VSTiInfoFinder, MakeStringAllLower) {
  const CVSTiInfoFinder finder("/tmp/unused");
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {".VST3", ".vst3"},
      {"Mixed Case 12", "mixed case 12"},
      {"\xC3\x89TUDE ABC", "\xC3\x89TUDE ABC"},  // any non-ASCII byte: left as it was
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    finder.MakeStringAllLower(&s);
    EXPECT_EQ(s, c.out);
  }
}

TEST(VSTiInfoFinder, ListSizesAreFixed) {
  EXPECT_EQ(CVSTiInfoFinder::IgnoreList().size(), 14u);
  EXPECT_EQ(CVSTiInfoFinder::BypassOnlyList().size(), 2u);
  EXPECT_EQ(CVSTiInfoFinder::PresetHandledList().size(), 9u);
}

TEST(VSTiInfoFinder, NameListsDecideBeforeAnythingIsLoaded) {
  QTemporaryDir dir;
  const std::string out = dir.filePath("VSTiInfoFinder.txt").toStdString();
  const std::string ignored = CVSTiInfoFinder::IgnoreList().front();
  const std::string preset = CVSTiInfoFinder::PresetHandledList().back();
  // None of these paths exists: the name alone decides.
  const struct {
    std::string path;
    int code;
  } cases[] = {
      {"/plugins/" + ignored + ".vst", 3},
      {"/plugins/Cantor Plugin Set.vst3", 3},
      {"/plugins/" + preset + ".vst3", 1},
      {"/plugins/Kestrel Aria SE.vst3", 1},
      {"/plugins/", 3},      // no usable file name
      {"/plugins/.vst", 7},  // a hidden name without extension
      {"relative/Foo.vst", 3},
      // The same names in another case are examined like any other plug-in.
      {"/plugins/CANTOR PLUGIN SET.vst3", 7},
      {"/plugins/kestrel aria se.vst", 5},
  };
  for (const auto& c : cases) {
    CVSTiInfoFinder finder(out);
    EXPECT_EQ(finder.GetVSTiInfo(c.path), c.code) << c.path;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(out))) << c.path;
  }
}

TEST(VSTiInfoFinder, BypassOnlyInstrumentWritesOneBypassParameter) {
  QTemporaryDir dir;
  const QString out = dir.filePath("VSTiInfoFinder.txt");
  const std::string name = CVSTiInfoFinder::BypassOnlyList().front();
  CVSTiInfoFinder finder(out.toStdString());
  EXPECT_EQ(finder.GetVSTiInfo("/plugins/" + name + ".vst"), 2);
  EXPECT_EQ(ReadText(out), "1\n" + name + "\n1\n10004202\nBypass\n0\n");
}

TEST(VSTiInfoFinder, UnwritableOutputIsNotAnError) {
  CVSTiInfoFinder finder("/nonexistent-folder/VSTiInfoFinder.txt");
  EXPECT_EQ(finder.GetVSTiInfo("/plugins/" + CVSTiInfoFinder::BypassOnlyList().back() + ".vst"), 2);
}

TEST(CPluginLoader, BundleNameFromPlist) {
  const struct {
    std::string plist;
    std::string name;
  } cases[] = {
      {"<dict><key>CFBundleName</key><string>Grand</string></dict>", "Grand"},
      {"<key>CFBundleName</key>\n\t <string>Keys &amp; &lt;Pads&gt;</string>", "Keys & <Pads>"},
      {"<key>CFBundleName</key><integer>3</integer><string>Late</string>", ""},
      {"<key>CFBundleExecutable</key><string>x</string>", ""},
      {"<key>CFBundleName</key><string>Unterminated", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CPluginLoader::BundleNameFromPlist(c.plist), c.name) << c.plist;
}

vstapi::vst3::UnitInfo Unit(int id, int parent, const char16_t* name) {
  vstapi::vst3::UnitInfo unit{};
  unit.id = id;
  unit.parentUnitId = parent;
  for (int i = 0; name[i] != 0 && i < 127; ++i) unit.name[i] = name[i];
  return unit;
}

TEST(CParameterInfoFinder, GetUnitRelation) {
  const std::vector<vstapi::vst3::UnitInfo> nested = {
      Unit(0, -1, u"Root"), Unit(1, 0, u"Osc"), Unit(2, 1, u"Shape"), Unit(3, 0, u"Amp")};
  const std::vector<vstapi::vst3::UnitInfo> cycle = {Unit(1, 2, u"A"), Unit(2, 3, u"B"),
                                                     Unit(3, 1, u"C")};
  const std::vector<vstapi::vst3::UnitInfo> selfParent = {Unit(5, 5, u"Self")};
  const struct {
    const std::vector<vstapi::vst3::UnitInfo>* units;
    long unit;
    std::vector<std::string> groups;
  } cases[] = {
      {&nested, 0, {}},  // the root unit has no parent and adds no name
      {&nested, 1, {"Osc"}},
      {&nested, 2, {"Osc", "Shape"}},
      {&nested, 3, {"Amp"}},
      {&nested, 9, {}},
      {&cycle, 1, {"C", "B", "A"}},
      {&selfParent, 5, {"Self"}},
  };
  for (const auto& c : cases) {
    SVSTiParameterInfo parameter;
    CParameterInfoFinder::GetUnitRelation(c.unit, c.units, &parameter);
    EXPECT_EQ(parameter.groups, c.groups) << c.unit;
  }
  SVSTiParameterInfo parameter;
  CParameterInfoFinder::GetUnitRelation(1, nullptr, &parameter);
  CParameterInfoFinder::GetUnitRelation(1, &nested, nullptr);
  EXPECT_TRUE(parameter.groups.empty());
}

TEST(CParameterInfoFinder, TitlesKeepTheLowByteOfEachCodeUnit) {
  EXPECT_EQ(LowBytesOf(u"Caf\u00e9 \u0141", 128), "Caf\xE9 A");
  EXPECT_EQ(LowBytesOf(u"abcdef", 3), "abc");
  EXPECT_EQ(LowBytesOf(nullptr, 128), "");
}

}  // namespace
