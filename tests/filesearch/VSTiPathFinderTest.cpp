#include "TempTree.h"
#include "shared/filesearch/VSTiPathFinder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

TEST(CVSTiPathFinder, NotSynthListLocation) {
  const struct {
    std::string folder, path;
  } cases[] = {
      {"", ""},
      {"/data", "/data/NotSynthList.txt"},
      {"/data/", "/data/NotSynthList.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(CVSTiPathFinder(c.folder).NotSynthListPath(), c.path);
}

TEST(CVSTiPathFinder, Vst2SearchLeavesOutEffectFoldersAtTheRootOnly) {
  TempTree tree;
  tree.add("Reverb/X.vst/");
  tree.add("Dynamics/Comp.vst");
  const std::string y = tree.add("Synths/Y.vst/");
  const std::string z = tree.add("Synths/Reverb/Z.vst");
  tree.add("Synths/Y.vst/Contents/Y.so");
  CVSTiPathFinder finder("");
  std::vector<std::string> found;
  EXPECT_TRUE(finder.SearchAllFiles({tree.root()}, &found, true));
  EXPECT_EQ(Sorted(found), Sorted({y, z}));
}

TEST(CVSTiPathFinder, Vst2SharedObjectsAreFoundOutsideBundles) {
  TempTree tree;
  const std::string bare = tree.add("amsynth_vst.so");
  const std::string nested = tree.add("lsp/sampler-mono.so");
  const std::string bundle = tree.add("ProM.vst/");
  tree.add("ProM.vst/ProM.so");
  tree.add("ProM.so");  // the bundle of the same name wins
  tree.add("Other.vst3/Contents/x86_64-linux/Other.so");
  tree.add("Reverb/Hall.so");
  CVSTiPathFinder finder("");
  std::vector<std::string> found;
  EXPECT_TRUE(finder.SearchAllFiles({tree.root()}, &found, true));
  EXPECT_EQ(Sorted(found), Sorted({bare, nested, bundle}));
}

TEST(CVSTiPathFinder, EarlierRootWinsForTheSameName) {
  TempTree first;
  TempTree second;
  const std::string kept = first.add("Foo.vst3/");
  second.add("Foo.vst3/");
  const std::string other = second.add("Bar.vst3/");
  CVSTiPathFinder finder("");
  std::vector<std::string> found;
  EXPECT_TRUE(finder.SearchAllFiles({first.root() + "/", "", second.root()}, &found, false));
  EXPECT_EQ(found, (std::vector<std::string>{kept, other}));
}

TEST(CVSTiPathFinder, ArgumentsAndMissingFolders) {
  CVSTiPathFinder finder("");
  std::vector<std::string> found;
  EXPECT_FALSE(finder.SearchAllFiles({"/tmp"}, nullptr, true));
  EXPECT_FALSE(finder.SearchAllFiles({}, &found, true));
  EXPECT_TRUE(finder.SearchAllFiles({"/no/such/folder"}, &found, false));
  EXPECT_TRUE(found.empty());
}

TEST(CVSTiPathFinder, KnownAndNotInstrumentFilesAreLeftOut) {
  TempTree data;
  TempTree tree;
  tree.add("Known.vst3/");
  tree.add("Effect.vst3/");
  const std::string kept = tree.add("New.vst3/");
  const std::string otherCase = tree.add("EFFECT2.vst3/");
  CVSTiPathFinder finder(data.root());
  finder.SetIgnorableVSTis({"Known.vst3", "New.vst"});
  EXPECT_TRUE(finder.AddNotSynthList(tree.path("Effect.vst3")));
  EXPECT_TRUE(finder.AddNotSynthList("/elsewhere/Effect2.vst3"));
  EXPECT_EQ(ReadAll(data.path("NotSynthList.txt")), "Effect.vst3\nEffect2.vst3\n");

  std::vector<std::string> found;
  EXPECT_TRUE(finder.SearchAllFiles({tree.root()}, &found, false));
  EXPECT_EQ(Sorted(found), Sorted({kept, otherCase}));
}

TEST(CVSTiPathFinder, NotSynthListChecks) {
  TempTree data;
  CVSTiPathFinder finder(data.root());
  EXPECT_TRUE(finder.CheckNotSynthList("/p/Foo.vst"));  // no list yet
  EXPECT_FALSE(finder.CheckNotSynthList("relative.vst"));
  EXPECT_TRUE(finder.AddNotSynthList("/p/Foo.vst"));
  EXPECT_FALSE(finder.CheckNotSynthList("/q/Foo.vst"));
  EXPECT_TRUE(finder.CheckNotSynthList("/q/foo.vst"));
  EXPECT_TRUE(finder.CheckNotSynthList("/q/Foo.vst3"));
  EXPECT_FALSE(finder.AddNotSynthList("/p/"));
  EXPECT_FALSE(finder.AddNotSynthList("Foo.vst"));
  EXPECT_FALSE(CVSTiPathFinder("").AddNotSynthList("/p/Foo.vst"));
  // A list that cannot be written to still counts as done.
  EXPECT_TRUE(CVSTiPathFinder("/no/such/folder").AddNotSynthList("/p/Foo.vst"));
}

TEST(CVSTiPathFinder, IsIgnorable) {
  CVSTiPathFinder finder("");
  finder.SetIgnorableVSTis({"Foo.vst"});
  const struct {
    std::string path;
    bool ignorable;
  } cases[] = {
      {"/a/Foo.vst", true}, {"/a/foo.vst", false}, {"/a/Foo.vst3", false},
      {"", true},           {"Foo.vst", true},     {"/a/Bar.vst", false},
  };
  for (const auto& c : cases) EXPECT_EQ(finder.IsIgnorable(c.path), c.ignorable) << c.path;
}

TEST(CVSTiPathFinder, AddPathKeepsTheFirstOfOneName) {
  CVSTiPathFinder finder("");
  std::vector<std::string> found = {"not-splittable"};
  finder.AddPath("/a/Foo.vst", &found);
  finder.AddPath("/b/Foo.vst", &found);
  finder.AddPath("/b/Foo", &found);  // same name without extension
  finder.AddPath("/b/", &found);
  finder.AddPath("", &found);
  finder.AddPath("/b/Bar.vst", nullptr);
  EXPECT_EQ(found, (std::vector<std::string>{"not-splittable", "/a/Foo.vst"}));
}

TEST(CVSTiPathFinder, GetVSTiName) {
  CVSTiPathFinder finder("");
  const struct {
    std::string path;
    std::vector<std::string> names;
  } cases[] = {
      {"/p/Unknown Synth.vst", {}},
      {"/p/Kestrel Aria SE.vst3", {"Kestrel Aria SE"}},
      {"/p/Drumwick SE.vst3", {"Drumwick SE"}},
      {"/p/kestrel aria se.vst3", {}},
      {"/p/Trilogy VST OSX.vst", {"Trilogy"}},
      {"/p/Minimonsta_VST2Carbon.vst", {"Minimonsta"}},
      {"/p/Kestrel Suite LE.vst", {"KestrelOne"}},
      {"/p/Kestrel Suite.vst", {"KestrelOne", "Kestrel Lumen", "Kestrel Pulse"}},
      {"/p/", {}},
      {"Kestrel Aria.vst", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(finder.GetVSTiName(c.path), c.names) << c.path;
}

}  // namespace
