#include "TempTree.h"
#include "shared/filesearch/FileSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(CFileSearch, SplitPath) {
  const struct {
    std::string path;
    bool wholeIsName;
    bool ok;
    std::string dir, name, ext;
  } cases[] = {
      {"/a/b/Foo.vst", false, true, "/a/b/", "Foo", ".vst"},
      {"/a/b/Foo", false, true, "/a/b/", "Foo", ""},
      {"/a/.hidden", false, true, "/a/", ".hidden", ""},
      {"/a/b/Foo.", false, true, "/a/b/", "Foo.", ""},
      {"/a/b/Foo.bar.vst3", false, true, "/a/b/", "Foo.bar", ".vst3"},
      {"/a/b/", false, true, "/a/b/", "", ""},
      {":Disk/Foo.vst", false, true, ":Disk/", "Foo", ".vst"},
      {":Foo.vst", false, false, "", "", ""},
      {"Foo.vst", false, false, "", "", ""},
      {"Foo.vst", true, true, "", "Foo", ".vst"},
      {"", true, false, "", "", ""},
  };
  for (const auto& c : cases) {
    std::string dir = "stale", name = "stale", ext = "stale";
    EXPECT_EQ(CFileSearch::SplitPath(&c.path, &dir, &name, &ext, c.wholeIsName), c.ok) << c.path;
    EXPECT_EQ(dir, c.dir) << c.path;
    EXPECT_EQ(name, c.name) << c.path;
    EXPECT_EQ(ext, c.ext) << c.path;
  }
  EXPECT_FALSE(CFileSearch::SplitPath(nullptr, nullptr, nullptr, nullptr, false));
  const std::string path = "/x/Y.vst";
  EXPECT_TRUE(CFileSearch::SplitPath(&path, nullptr, nullptr, nullptr, false));
}

TEST(CFileSearch, GetDirectoryName) {
  const struct {
    std::string path;
    bool ok;
    std::string out;
  } cases[] = {
      {"/a/b/Foo.vst", true, "b"},
      {"/a/Foo.vst", true, "a"},
      {"/Foo.vst", false, ""},
      {"Foo.vst", false, ""},
      {"", false, ""},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(CFileSearch::GetDirectoryName(&c.path, &out), c.ok) << c.path;
    EXPECT_EQ(out, c.out) << c.path;
  }
  std::string out;
  EXPECT_FALSE(CFileSearch::GetDirectoryName(nullptr, &out));
}

TEST(CFileSearch, MakeStringAllLower) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"VST", "vst"},
      {"Mixed.Case-1", "mixed.case-1"},
      {"\xC3\x89TUDE VST", "\xC3\x89TUDE VST"},  // unchanged, plain capitals included
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string s = c.in;
    CFileSearch::MakeStringAllLower(&s);
    EXPECT_EQ(s, c.out);
  }
  CFileSearch::MakeStringAllLower(nullptr);
}

TEST(CFileSearch, Keywords) {
  CFileSearch search;
  EXPECT_FALSE(search.SetSearchExtension(nullptr));
  EXPECT_FALSE(search.SetSearchPackageType(nullptr));
  EXPECT_TRUE(search.SetSearchExtension(".VST"));
  EXPECT_FALSE(search.SetSearchExtension("vst"));
  EXPECT_TRUE(search.SetSearchPackageType("vst"));  // same text, other kind
  EXPECT_TRUE(search.SetSearchPackageType("aPcs"));
  EXPECT_FALSE(search.SetSearchPackageType("aPcs"));
  EXPECT_TRUE(search.SetSearchPackageType("APCS"));
  EXPECT_EQ(search.GetNumberOfSearchKeywords(), 4);

  EXPECT_EQ(search.GetKeywordIndex(".Vst", true), 0);
  EXPECT_EQ(search.GetKeywordIndex("vst", false), 1);
  EXPECT_EQ(search.GetKeywordIndex("apcs", false), -1);
  EXPECT_EQ(search.GetKeywordIndex(nullptr, true), -1);

  std::string out;
  EXPECT_TRUE(search.GetSearchExtension(0, &out));
  EXPECT_EQ(out, "vst");
  EXPECT_FALSE(search.GetSearchExtension(1, &out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(search.GetSearchPackageType(2, &out));
  EXPECT_EQ(out, "aPcs");
  EXPECT_FALSE(search.GetSearchPackageType(0, &out));
  EXPECT_FALSE(search.GetSearchPackageType(4, &out));
  EXPECT_FALSE(search.GetSearchExtension(0, nullptr));
  EXPECT_EQ(search.GetNumberOfPaths(0), 0);
  EXPECT_EQ(search.GetNumberOfPaths(4), -1);
  EXPECT_EQ(search.GetPath(0, 0), "");

  EXPECT_TRUE(search.RemoveSearchKeywordAndPaths(0));
  EXPECT_FALSE(search.RemoveSearchKeywordAndPaths(3));
  EXPECT_EQ(search.GetKeywordIndex("vst", true), -1);
  search.ResetAll();
  EXPECT_EQ(search.GetNumberOfSearchKeywords(), 0);
}

TEST(CFileSearch, IgnorableFolders) {
  CFileSearch search;
  EXPECT_FALSE(search.SetIgnorableDirPath(nullptr));
  EXPECT_FALSE(search.SetIgnorableDirPath(""));
  EXPECT_TRUE(search.SetIgnorableDirPath("/a/Reverb/"));
  EXPECT_TRUE(search.SetIgnorableDirPath("/a/Reverb"));  // no duplicate check
  EXPECT_EQ(search.GetNumberOfIgnorableDirPaths(), 2);
  std::string out;
  EXPECT_TRUE(search.GetIgnorableDirPath(0, &out));
  EXPECT_EQ(out, "/a/Reverb");
  EXPECT_FALSE(search.GetIgnorableDirPath(2, &out));
  EXPECT_TRUE(search.RemoveIgnorableDirPath(1));
  EXPECT_FALSE(search.RemoveIgnorableDirPath(1));
  search.ResetAll();
  EXPECT_EQ(search.GetNumberOfIgnorableDirPaths(), 0);
}

TEST(CFileSearch, IsOKToKeepSearching) {
  CFileSearch search;
  const std::string longest(1023, 'a');
  const std::string tooLong(1024, 'a');
  const struct {
    const char* path;
    long depth;
    bool ok;
  } cases[] = {
      {"/a", 0, true},   {"/a", 19, true},           {"/a", 20, false},
      {"/a", -1, false}, {nullptr, 0, false},        {longest.c_str(), 0, true},
      {tooLong.c_str(), 0, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(search.IsOKToKeepSearching(c.path, c.depth), c.ok) << c.depth;
}

std::vector<std::string> PathsOf(const CFileSearch& search, long keyword) {
  std::vector<std::string> paths;
  for (long i = 0; i < search.GetNumberOfPaths(keyword); ++i) paths.push_back(search.GetPath(keyword, i));
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST(CFileSearch, FilesAndBundleFoldersAreFiledAndFoldersSearched) {
  TempTree tree;
  const std::string bundle = tree.add("Synths/Foo.vst/");
  const std::string inner = tree.add("Synths/Foo.vst/Contents/Inner.VST");
  const std::string file = tree.add("Bar.vst");
  tree.add("Bar.vst3");
  tree.add("Readme.txt");
  CFileSearch search;
  search.SetSearchExtension("vst");
  EXPECT_TRUE(search.SearchFiles(tree.root().c_str(), 0, false));
  EXPECT_EQ(PathsOf(search, 0), (std::vector<std::string>{file, bundle, inner}));
}

TEST(CFileSearch, SameNameIsFiledOnceWhenAsked) {
  TempTree tree;
  tree.add("a/Foo.vst");
  tree.add("b/Foo.vst");
  tree.add("b/Foo.vst3");
  for (const bool skip : {true, false}) {
    CFileSearch search;
    search.SetSearchExtension("vst");
    search.SetSearchExtension("vst3");
    EXPECT_TRUE(search.SearchFiles((tree.root() + "/").c_str(), 0, skip));
    EXPECT_EQ(search.GetNumberOfPaths(0), skip ? 1 : 2);
    EXPECT_EQ(search.GetNumberOfPaths(1), 1);  // names are compared per keyword
  }
}

TEST(CFileSearch, FolderThatCannotBeSearched) {
  TempTree tree;
  const std::string file = tree.add("File.vst");
  CFileSearch search;
  search.SetSearchExtension("vst");
  EXPECT_FALSE(search.SearchFiles(nullptr, 0, true));
  EXPECT_FALSE(search.SearchFiles("", 0, true));
  EXPECT_FALSE(search.SearchFiles(tree.path("missing").c_str(), 0, true));
  EXPECT_FALSE(search.SearchFiles(file.c_str(), 0, true));
  EXPECT_TRUE(search.SearchFiles(tree.root().c_str(), 20, true));  // beyond the limit: nothing
  EXPECT_EQ(search.GetNumberOfPaths(0), 0);
}

TEST(CFileSearch, DepthLimit) {
  TempTree tree;
  // Levels 1..21 below the root: d1/d2/.../d21, each level with a match.
  std::string relative;
  for (int level = 1; level <= 21; ++level) {
    relative += "d" + std::to_string(level) + "/";
    tree.add(relative + "L" + std::to_string(level) + ".vst");
  }
  CFileSearch search;
  search.SetSearchExtension("vst");
  EXPECT_TRUE(search.SearchFiles(tree.root().c_str(), 0, false));
  // Entries at depth 0..19 are examined: L1 (depth 1) .. L19 (depth 19).
  const auto paths = PathsOf(search, 0);
  EXPECT_EQ(paths.size(), 19u);
  const auto filed = [&](int level) {
    return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) {
      return p.ends_with("/L" + std::to_string(level) + ".vst");
    });
  };
  EXPECT_TRUE(filed(19));
  EXPECT_FALSE(filed(20));
  EXPECT_FALSE(filed(21));
}

TEST(CFileSearch, CountLimit) {
  TempTree tree;
  for (int i = 0; i < 1030; ++i) tree.add("many/P" + std::to_string(i) + ".vst");
  CFileSearch search;
  search.SetSearchExtension("vst");
  EXPECT_TRUE(search.SearchFiles(tree.root().c_str(), 0, false));
  EXPECT_EQ(search.GetNumberOfPaths(0), 1024);
}

TEST(CFileSearch, SymbolicLinkCyclesEnd) {
  TempTree tree;
  const std::string own = tree.add("Synths/Own.vst");
  tree.link("Synths/Loop", tree.root());       // back up to the root
  tree.link("Synths/Self", tree.path("Synths"));
  TempTree outside;
  outside.add("Elsewhere.vst");
  tree.link("Linked", outside.root());         // a linked folder outside the tree
  CFileSearch search;
  search.SetSearchExtension("vst");
  EXPECT_TRUE(search.SearchFiles(tree.root().c_str(), 0, false));
  EXPECT_EQ(PathsOf(search, 0),
            (std::vector<std::string>{tree.path("Linked/Elsewhere.vst"), own}));
}

TEST(CFileSearch, IgnorableFolderIsNeitherFiledNorSearched) {
  TempTree tree;
  tree.add("Reverb.vst/Hall.vst");
  const std::string kept = tree.add("Synth.vst");
  CFileSearch search;
  search.SetSearchExtension("vst");
  search.SetIgnorableDirPath((tree.path("Reverb.vst") + "/").c_str());
  search.SetIgnorableDirPath(tree.path("Missing").c_str());
  EXPECT_TRUE(search.SearchFiles(tree.root().c_str(), 0, false));
  EXPECT_EQ(PathsOf(search, 0), std::vector<std::string>{kept});
}

}  // namespace
