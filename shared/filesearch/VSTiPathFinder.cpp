#include "shared/filesearch/VSTiPathFinder.h"

#include "shared/filesearch/FileSearch.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

// Effect-category folders directly under a VST 2 root; nothing in them is an
// instrument.
constexpr std::array<const char*, 9> kEffectFolders = {
    "Distortion", "Dynamics", "Filter", "Modulation", "Restoration",
    "Reverb",     "Surround", "Tools",  "Spatial"};

struct SBundleNames {
  const char* bundle;
  std::vector<std::string> instruments;  // empty: the bundle name itself
};

// Instrument bundles whose parameters the editor knows from its preset file,
// with the instrument names each provides.
const std::vector<SBundleNames>& BundleTable() {
  static const std::vector<SBundleNames> table = {
      // The host maker's own instruments.
      {"Kestrel Aria", {}},
      {"Kestrel Aria SE", {}},
      {"Kestrel Aria LE", {}},
      {"Drumwick", {}},
      {"Drumwick SE", {}},
      {"Drumwick Kit", {}},
      {"Groovemill", {}},
      {"Groovemill SE", {}},
      {"Kestrel Sonora", {}},
      {"KestrelOne", {}},
      {"Kestrel Lumen", {}},
      {"Kestrel Pulse", {}},
      {"Loopmill", {}},
      {"Beatwick", {}},
      {"Osterby Vantor", {}},
      {"Osterby Prism", {}},
      {"Osterby Quillet", {}},
      {"Osterby Sorrel", {}},
      {"Osterby Ferrow", {}},
      {"Osterby Lumask", {}},
      {"Osterby Tamber", {}},
      {"Osterby Grand", {}},
      {"Osterby Tines", {}},
      {"Osterby Organ", {}},
      {"Osterby Brass Section", {}},
      {"Osterby String Ensemble", {}},
      // Instruments of other makers.
      {"Velmor Tonewheel", {}},
      {"Velmor Stage Piano", {}},
      {"Velmor Voxline", {}},
      {"Corvel Dusk", {}},
      {"Corvel Dawn", {}},
      {"Corvel Meridian", {}},
      {"Corvel Bassline", {}},
      {"Fennick Drift", {}},
      {"Fennick Solstice", {}},
      {"Fennick Ember", {}},
      {"Harrowgate Sixfold", {}},
      {"Harrowgate Mono", {}},
      {"Harrowgate Tideline", {}},
      {"Lindqvist Clavier", {}},
      {"Lindqvist Celesta", {}},
      {"Lindqvist Harp", {}},
      {"Marrow Atmos", {}},
      {"Marrow Pulsar", {}},
      {"Marrow Nebula", {}},
      {"Quillon Facet", {}},
      {"Quillon Loom", {}},
      {"Quillon Lattice", {}},
      {"Saltmarsh Heron", {}},
      {"Saltmarsh Plover", {}},
      {"Tidewater Bass", {}},
      {"Tidewater Keys", {}},
      {"Tidewater Drums", {}},
      // Bundles whose instrument has another name.
      {"Trilogy VST OSX", {"Trilogy"}},
      {"Minimonsta_VST2Carbon", {"Minimonsta"}},
      {"Nimbus VST OSX", {"Nimbus"}},
      {"Corvel Dusk VST2", {"Corvel Dusk 2"}},
      {"Fennick Drift Universal", {"Fennick Drift UB"}},
      {"Marrow Atmos Carbon", {"Marrow Atmos X"}},
      // The host maker's synthesizer collection: its editions carry the first
      // instrument, the full bundle all three.
      {"Kestrel Suite LE", {"KestrelOne"}},
      {"Kestrel Suite AI", {"KestrelOne"}},
      {"Kestrel Suite", {"KestrelOne", "Kestrel Lumen", "Kestrel Pulse"}},
  };
  return table;
}

std::string FileNameOf(const std::string& path, bool* ok) {
  std::string name;
  std::string ext;
  *ok = CFileSearch::SplitPath(&path, nullptr, &name, &ext, false);
  return name + ext;
}

// The extension of the shared objects that are VST 2 plug-ins on Linux.
constexpr const char* kSharedObjectExtension = "so";

// True when a folder above the item is a ".vst" or ".vst3" bundle.
bool IsInsideBundle(const std::string& path) {
  std::string dir;
  if (!CFileSearch::SplitPath(&path, &dir, nullptr, nullptr, false)) return false;
  std::string::size_type start = 0;
  while (start < dir.size()) {
    const auto end = dir.find('/', start);
    if (end == std::string::npos) break;
    std::string component = dir.substr(start, end - start);
    CFileSearch::MakeStringAllLower(&component);
    const auto endsWith = [&](const std::string& suffix) {
      return component.size() > suffix.size() &&
             component.compare(component.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    if (endsWith(".vst") || endsWith(".vst3")) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

CVSTiPathFinder::CVSTiPathFinder(const std::string& folder) {
  if (folder.empty()) return;
  m_notSynthListPath = folder;
  if (m_notSynthListPath.back() != '/') m_notSynthListPath += '/';
  m_notSynthListPath += kNotSynthListFileName;
}

void CVSTiPathFinder::SetIgnorableVSTis(const std::vector<std::string>& fileNames) {
  m_ignorableVSTis = fileNames;
}

bool CVSTiPathFinder::SearchAllFiles(const std::vector<std::string>& folders,
                                     std::vector<std::string>* found, bool isVST2) const {
  if (found == nullptr || folders.empty()) return false;
  CFileSearch search;
  for (const auto& folder : folders) {
    search.ResetAll();
    if (folder.empty()) continue;
    if (isVST2) {
      const std::string base = folder.back() == '/' ? folder : folder + "/";
      for (const char* effectFolder : kEffectFolders)
        search.SetIgnorableDirPath((base + effectFolder).c_str());
      search.SetSearchExtension("vst");
      search.SetSearchPackageType("aPcs");
      // On Linux a VST 2 plug-in is usually a bare shared object.
      search.SetSearchExtension(kSharedObjectExtension);
    } else {
      search.SetSearchExtension("vst3");
    }
    if (search.SearchFiles(folder.c_str(), 0, true)) StoreFilePath(search, found, isVST2);
  }
  return true;
}

bool CVSTiPathFinder::StoreFilePath(const CFileSearch& search, std::vector<std::string>* found,
                                    bool isVST2) const {
  struct Keyword {
    const char* text;
    bool isExtension;
    bool optional;
  };
  const std::vector<Keyword> keywords =
      isVST2 ? std::vector<Keyword>{{"vst", true, false},
                                    {"aPcs", false, false},
                                    {kSharedObjectExtension, true, true}}
             : std::vector<Keyword>{{"vst3", true, false}};
  for (const auto& keyword : keywords) {
    const long index = search.GetKeywordIndex(keyword.text, keyword.isExtension);
    if (index < 0) {
      if (keyword.optional) continue;
      return false;
    }
    const long count = search.GetNumberOfPaths(index);
    for (long i = 0; i < count; ++i) {
      const std::string path = search.GetPath(index, i);
      // The library inside a plug-in bundle is the bundle's, not a plug-in of its own.
      if (keyword.optional && IsInsideBundle(path)) continue;
      if (!IsIgnorable(path) && CheckNotSynthList(path)) AddPath(path, found);
    }
  }
  return true;
}

bool CVSTiPathFinder::IsIgnorable(const std::string& path) const {
  if (path.empty()) return true;
  bool ok = false;
  const std::string fileName = FileNameOf(path, &ok);
  if (!ok) return true;
  for (const auto& ignorable : m_ignorableVSTis)
    if (ignorable == fileName) return true;
  return false;
}

bool CVSTiPathFinder::CheckNotSynthList(const std::string& path) const {
  bool ok = false;
  const std::string fileName = FileNameOf(path, &ok);
  if (!ok) return false;
  if (m_notSynthListPath.empty()) return true;
  std::FILE* file = std::fopen(m_notSynthListPath.c_str(), "r");
  if (file == nullptr) return true;
  char line[1023];
  bool listed = false;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    line[std::strcspn(line, "\n")] = '\0';
    if (fileName == line) {
      listed = true;
      break;
    }
  }
  std::fclose(file);
  return !listed;
}

void CVSTiPathFinder::AddPath(const std::string& path, std::vector<std::string>* found) const {
  if (path.empty() || found == nullptr) return;
  std::string name;
  if (!CFileSearch::SplitPath(&path, nullptr, &name, nullptr, false) || name.empty()) return;
  for (const auto& known : *found) {
    std::string knownName;
    if (!CFileSearch::SplitPath(&known, nullptr, &knownName, nullptr, false)) continue;
    if (knownName == name) return;
  }
  found->push_back(path);
}

bool CVSTiPathFinder::AddNotSynthList(const std::string& path) const {
  if (m_notSynthListPath.empty()) return false;
  std::string name;
  std::string ext;
  if (!CFileSearch::SplitPath(&path, nullptr, &name, &ext, false) || name.empty()) return false;
  if (std::FILE* file = std::fopen(m_notSynthListPath.c_str(), "a")) {
    const std::string line = name + ext + "\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
  }
  return true;
}

std::vector<std::string> CVSTiPathFinder::GetVSTiName(const std::string& path) const {
  std::string name;
  if (!CFileSearch::SplitPath(&path, nullptr, &name, nullptr, false) || name.empty()) return {};
  for (const auto& row : BundleTable()) {
    if (name != row.bundle) continue;
    if (row.instruments.empty()) return {name};
    return row.instruments;
  }
  return {};
}
