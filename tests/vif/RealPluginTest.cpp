// The program on third-party plug-ins installed from Debian packages, and on
// an instrument built with an independent implementation of the plug-in
// interfaces, so that a mistake shared by our layer and our own fixtures
// cannot pass unnoticed.

#include "ToolRun.h"

#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

#define SKIP_UNLESS_INSTALLED(path, package)                                               \
  do {                                                                                     \
    if (!QFileInfo::exists(path))                                                          \
      GTEST_SKIP() << (path) << " is missing: install the Debian package " << (package);   \
  } while (0)

struct RealCase {
  const char* path;
  const char* package;
  int exitCode;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << c.path; }

class ToolOnRealPlugin : public ::testing::TestWithParam<RealCase> {};

TEST_P(ToolOnRealPlugin, ExitCode) {
  const RealCase& c = GetParam();
  SKIP_UNLESS_INSTALLED(c.path, c.package);
  QTemporaryDir dir;
  const ToolRun run = RunOn(c.path, dir);
  ASSERT_FALSE(run.crashed);
  EXPECT_EQ(run.exitCode, c.exitCode);
  EXPECT_EQ(run.output.has_value(), c.exitCode == 0);
  EXPECT_TRUE(run.printed.isEmpty()) << run.printed.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Debian, ToolOnRealPlugin,
    ::testing::Values(
        // VST 2 instruments.
        RealCase{"/usr/lib/vst/amsynth_vst.so", "amsynth", 0},
        RealCase{"/usr/lib/vst/Kars-vst.so", "dpf-plugins-vst", 0},
        RealCase{"/usr/lib/vst/Nekobi-vst.so", "dpf-plugins-vst", 0},
        // VST 2 effects, one of them in a ".vst" folder.
        RealCase{"/usr/lib/vst/MVerb-vst.so", "dpf-plugins-vst", 8},
        RealCase{"/usr/lib/vst/ProM.vst", "dpf-plugins-vst", 8},
        RealCase{"/usr/lib/vst/ZamComp-vst.so", "zam-plugins", 8},
        // VST 3 effects.
        RealCase{"/usr/lib/vst3/ZamComp.vst3", "zam-plugins", 8},
        RealCase{"/usr/lib/vst3/ZamVerb.vst3", "zam-plugins", 8},
        // A shared library without entry point.
        RealCase{"/usr/lib/vst/lsp-plugins/lsp-plugins-vst2-1.2.5.so", "lsp-plugins-vst", 6}),
    [](const auto& info) { return NameOf(info.param.path); });

TEST(RealPlugin, AmsynthListsEveryParameterThoughItAnswersNoneIsAutomatable) {
  const char* path = "/usr/lib/vst/amsynth_vst.so";
  SKIP_UNLESS_INSTALLED(path, "amsynth");
  QTemporaryDir dir;
  const ToolRun run = RunOn(path, dir);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_TRUE(run.output.has_value());
  // 41 parameters plus Bypass, numbered by index from 4201.
  EXPECT_EQ(run.output->rfind("1\namsynth_vst\n42\n10004202\nBypass\n0\n4201\namp_attack\n0\n", 0), 0u)
      << *run.output;
  EXPECT_NE(run.output->find("\n4241\n"), std::string::npos);
  EXPECT_EQ(run.output->find("\n4242\n"), std::string::npos);
}

TEST(RealPlugin, DpfInstrumentsGiveTheirParameters) {
  const char* path = "/usr/lib/vst/Kars-vst.so";
  SKIP_UNLESS_INSTALLED(path, "dpf-plugins-vst");
  QTemporaryDir dir;
  const ToolRun run = RunOn(path, dir);
  EXPECT_EQ(run.output, "1\nKars-vst\n4\n10004202\nBypass\n0\n4201\nSustain\n0\n4202\nRelease\n0\n"
                        "4203\nVolume\n0\n");
}

// Built from Debian's dpf-source by the fixtures' CMake file.
TEST(IndependentImplementation, Vst2Instrument) {
  if (!VIF_HAVE_DPF) GTEST_SKIP() << "install the Debian package dpf-source";
  QTemporaryDir dir;
  const ToolRun run = RunOn(FixturePath("indie/IndieSynth.so"), dir);
  EXPECT_EQ(run.exitCode, 0);
  // "Glide" is not automatable and "Peak" is an output.
  EXPECT_EQ(run.output, "1\nIndieSynth\n2\n10004202\nBypass\n0\n4201\nCutoff\n0\n");
}

TEST(IndependentImplementation, Vst3Instrument) {
  if (!VIF_HAVE_DPF) GTEST_SKIP() << "install the Debian package dpf-source";
  QTemporaryDir dir;
  const ToolRun run = RunOn(FixturePath("IndieSynth.vst3"), dir);
  EXPECT_EQ(run.exitCode, 0);
  // The framework puts 16 x 130 hidden MIDI-controller parameters (IDs 0 to
  // 2079) before the plug-in's own ones; those, the non-automatable "Glide"
  // and the read-only "Peak" are left out.
  EXPECT_EQ(run.output, "1\nIndie Synth\n1\n6281\nCutoff\n0\n");
}

}  // namespace
