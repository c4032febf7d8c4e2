// The program on fixture plug-ins built with our own interface layer: exit
// codes, the exact output file, and what it does to the plug-ins.

#include "ToolRun.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

// What the fixture VST 2 instrument reports: "Hold" cannot be automated, the
// third parameter has an empty name and the fourth holds a tab, 0x7F and a
// UTF-8 letter, each of whose bytes becomes a space.
const std::string kFixtureSynthParameters =
    "4\n"
    "10004202\nBypass\n0\n"
    "4201\nCutoff\n0\n"
    "4203\n\n0\n"
    "4204\nTab Name   \n0\n";

// One instrument class of the VST 3 fixture: hidden, read-only, not
// automatable and untitled parameters are left out; U+00E9 becomes a space
// and U+0141 an "A"; identifier 0xFFFFFFFF wraps to 4200; "Cutoff" sits in a
// unit nested below another unit.
const std::string kFixtureClassParameters =
    "4\n"
    "4201\nVolume\n0\n"
    "4206\nCaf  Aow\n0\n"
    "4207\nCutoff\n2\nSynth\nFilter\n"
    "4200\nWrap\n1\nSynth\n";

struct Case {
  const char* plugin;
  int exitCode;
  std::optional<std::string> output;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.plugin; }

class ToolOnFixture : public ::testing::TestWithParam<Case> {};

TEST_P(ToolOnFixture, ExitCodeAndExactOutput) {
  const Case& c = GetParam();
  QTemporaryDir dir;
  const ToolRun run = RunOn(FixturePath(c.plugin), dir);
  ASSERT_TRUE(run.started);
  EXPECT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, c.exitCode);
  EXPECT_EQ(run.output, c.output);
  EXPECT_TRUE(run.printed.isEmpty()) << run.printed.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Vst2, ToolOnFixture,
    ::testing::Values(
        Case{"FixtureSynth.so", 0, "1\nFixtureSynth\n" + kFixtureSynthParameters},
        Case{"FixtureMainEntry.so", 0, "1\nFixtureMainEntry\n" + kFixtureSynthParameters},
        // A plug-in that answers 0 for every can-be-automated query lists all.
        Case{"FixtureNoAutomation.so", 0,
             "1\nFixtureNoAutomation\n5\n10004202\nBypass\n0\n4201\nCutoff\n0\n4202\nHold\n0\n"
             "4203\n\n0\n4204\nTab Name   \n0\n"},
        Case{"NamedSynth.vst", 0, "1\nFixture Grand & Strings\n" + kFixtureSynthParameters},
        Case{"PlainSynth.vst", 0, "1\nPlainSynth\n" + kFixtureSynthParameters},
        Case{"AccentSynth.vst", 0, "1\nAccentSynth\n" + kFixtureSynthParameters},
        Case{"FixtureEffect.so", 8, std::nullopt},
        Case{"FixtureNullEntry.so", 7, std::nullopt},
        Case{"FixtureNoEntry.so", 6, std::nullopt},
        Case{"NoSuchPlugin.so", 5, std::nullopt}),
    [](const auto& info) { return NameOf(info.param.plugin); });

INSTANTIATE_TEST_SUITE_P(
    Vst3, ToolOnFixture,
    ::testing::Values(
        Case{"FixtureMulti.vst3", 0,
             "2\nFixture Keys\n" + kFixtureClassParameters + "Fixture Pads\n" +
                 kFixtureClassParameters},
        Case{"FixtureNoFactory2.vst3", 8, std::nullopt},
        Case{"FixtureInitFail.vst3", 0, std::nullopt},
        Case{"FixtureEntryFalse.vst3", 7, std::nullopt},
        Case{"FixtureNullFactory.vst3", 7, std::nullopt},
        Case{"NoSuchModule.vst3", 7, std::nullopt}),
    [](const auto& info) { return NameOf(info.param.plugin); });

TEST(ToolRun, UnitCycleEndsAtTheFirstRepeatedUnit) {
  QTemporaryDir dir;
  const ToolRun run = RunOn(FixturePath("FixtureUnitCycle.vst3"), dir);
  ASSERT_FALSE(run.crashed);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_TRUE(run.output.has_value());
  // Unit 1 ("Loop A") and unit 2 ("Loop B") are each other's parent.
  EXPECT_NE(run.output->find("4207\nCutoff\n2\nLoop A\nLoop B\n"), std::string::npos) << *run.output;
  EXPECT_NE(run.output->find("4200\nWrap\n2\nLoop B\nLoop A\n"), std::string::npos) << *run.output;
}

TEST(ToolRun, Vst2EffectIsClosedBeforeTheToolGivesUp) {
  QTemporaryDir dir;
  const QString log = dir.filePath("calls.log");
  const ToolRun run = RunOn(FixturePath("FixtureEffect.so"), dir, log);
  EXPECT_EQ(run.exitCode, 8);
  EXPECT_EQ(ReadText(log), "open\ncategory\nclose\n");
}

TEST(ToolRun, Vst3LifeCycleFollowsTheProviderOrder) {
  QTemporaryDir dir;
  const QString log = dir.filePath("calls.log");
  const ToolRun run = RunOn(FixturePath("FixtureMulti.vst3"), dir, log);
  EXPECT_EQ(run.exitCode, 0);
  // The effect class is never instantiated, every plug-in gets a context that
  // offers no host interface, components are terminated before controllers,
  // and the factory goes before the module's exit.
  EXPECT_EQ(ReadText(log),
            "entry\n"
            "keys initialize context-ok\n"
            "keys terminate\n"
            "keys destroyed\n"
            "pads component initialize context-ok\n"
            "pads controller initialize context-ok\n"
            "pads component terminate\n"
            "pads controller terminate\n"
            "pads controller destroyed\n"
            "pads component destroyed\n"
            "factory released\n"
            "exit\n");
}

TEST(ToolRun, ClassThatFailsToInitialiseIsCreatedOnceAndReleased) {
  QTemporaryDir dir;
  const QString log = dir.filePath("calls.log");
  const ToolRun run = RunOn(FixturePath("FixtureInitFail.vst3"), dir, log);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadText(log),
            "entry\n"
            "keys initialize context-ok\nkeys destroyed\n"
            "pads component initialize context-ok\npads component destroyed\n"
            "factory released\nexit\n");
}

TEST(ToolRun, CrashWhileLoadingIsACrashExitWithoutOutput) {
  QTemporaryDir dir;
  const ToolRun run = RunOn(FixturePath("FixtureCrash.so"), dir);
  ASSERT_TRUE(run.started);
  EXPECT_TRUE(run.crashed);
  EXPECT_FALSE(run.output.has_value());
}

TEST(ToolRun, HangingPluginCanBeKilledByTheCaller) {
  QTemporaryDir dir;
  QProcess process;
  process.start(QString::fromUtf8(VIF_TOOL_PATH),
                {FixturePath("FixtureHang.so"), dir.filePath("VSTiInfoFinder.txt")});
  ASSERT_TRUE(process.waitForStarted());
  EXPECT_FALSE(process.waitForFinished(1000));  // it does not end by itself
  process.kill();
  ASSERT_TRUE(process.waitForFinished(10000));
  EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
  EXPECT_FALSE(QFile::exists(dir.filePath("VSTiInfoFinder.txt")));
}

TEST(ToolRun, ArgumentHandling) {
  QTemporaryDir dir;
  const QString out = dir.filePath("VSTiInfoFinder.txt");
  const QString synth = FixturePath("FixtureSynth.so");

  ToolRun run = RunTool({});
  EXPECT_EQ(run.exitCode, 0);
  run = RunTool({synth});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(QFile::exists(out));
  run = RunTool({synth, ""});
  EXPECT_EQ(run.exitCode, 4);
  run = RunTool({"", out});
  EXPECT_EQ(run.exitCode, 4);
  EXPECT_FALSE(QFile::exists(out));
  // A third argument changes nothing.
  run = RunTool({synth, out, "extra"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "1\nFixtureSynth\n" + kFixtureSynthParameters);
}

TEST(ToolRun, FileWithoutExtensionIsNotLoaded) {
  QTemporaryDir dir;
  const QString copy = dir.filePath("FixtureSynth");
  ASSERT_TRUE(QFile::copy(FixturePath("FixtureSynth.so"), copy));
  const ToolRun run = RunOn(copy, dir);
  EXPECT_EQ(run.exitCode, 7);
  EXPECT_FALSE(run.output.has_value());
}

TEST(ToolRun, ExistingOutputFileIsReplaced) {
  QTemporaryDir dir;
  QFile stale(dir.filePath("VSTiInfoFinder.txt"));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write(QByteArray(4096, 'x'));
  stale.close();
  const ToolRun run = RunOn(FixturePath("FixtureSynth.so"), dir);
  EXPECT_EQ(run.output, "1\nFixtureSynth\n" + kFixtureSynthParameters);
}

}  // namespace
