// Searching plug-in folders: a synthetic VST 3 folder of bundles (each with
// its Contents tree), a VST 2 folder of single files, and the real Debian
// plug-in folders when present.

#include "shared/filesearch/VSTiPathFinder.h"

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void MakeVst3Tree(const std::string& root, int bundles) {
  for (int i = 0; i < bundles; ++i) {
    const std::string dir =
        root + "/Vendor" + std::to_string(i % 10) + "/Synth" + std::to_string(i) +
        ".vst3/Contents/x86_64-linux";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/Synth" + std::to_string(i) + ".so") << "x";
  }
}

void MakeVst2Tree(const std::string& root, int files) {
  std::filesystem::create_directories(root + "/Reverb");
  for (int i = 0; i < files; ++i) {
    const std::string dir = root + (i % 5 == 0 ? "/Reverb" : "/Synths");
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "/Plug" + std::to_string(i) + ".vst") << "x";
  }
}

void SearchVst3Bundles(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();
  MakeVst3Tree(root, static_cast<int>(state.range(0)));
  const CVSTiPathFinder finder("");
  for (auto _ : state) {
    std::vector<std::string> found;
    finder.SearchAllFiles({root}, &found, false);
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(SearchVst3Bundles)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

void SearchVst2FilesWithNotSynthList(benchmark::State& state) {
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString() + "/vst";
  MakeVst2Tree(root, static_cast<int>(state.range(0)));
  const CVSTiPathFinder finder(dir.path().toStdString());
  // A list of 200 earlier non-instruments, read again for every candidate.
  for (int i = 0; i < 200; ++i) finder.AddNotSynthList("/old/Effect" + std::to_string(i) + ".vst");
  for (auto _ : state) {
    std::vector<std::string> found;
    finder.SearchAllFiles({root}, &found, true);
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(SearchVst2FilesWithNotSynthList)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

void SearchDebianFolders(benchmark::State& state) {
  const CVSTiPathFinder finder("");
  std::size_t count = 0;
  for (auto _ : state) {
    std::vector<std::string> vst2;
    std::vector<std::string> vst3;
    finder.SearchAllFiles({"/usr/lib/vst", "/usr/local/lib/vst"}, &vst2, true);
    finder.SearchAllFiles({"/usr/lib/vst3", "/usr/local/lib/vst3"}, &vst3, false);
    count = vst2.size() + vst3.size();
  }
  state.counters["found"] = static_cast<double>(count);
}
BENCHMARK(SearchDebianFolders)->Unit(benchmark::kMillisecond);

}  // namespace
