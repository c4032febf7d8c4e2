#include "vif/VSTiInfoFinder.h"

#include "shared/filesearch/FileSearch.h"
#include "vif/VST2ParamFinder.h"
#include "vif/VST3ParamFinder.h"

#include <algorithm>
#include <cstdio>

namespace {

// Texts longer than this do not fit the editor's line buffer.
constexpr std::size_t kMaxTextLength = 255;

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  return std::find(list.begin(), list.end(), name) != list.end();
}

std::string FileNameWithoutExtension(const std::string& path, bool* ok) {
  std::string name;
  *ok = CFileSearch::SplitPath(&path, nullptr, &name, nullptr, false) && !name.empty();
  return name;
}

}  // namespace

const std::vector<std::string>& CVSTiInfoFinder::IgnoreList() {
  static const std::vector<std::string> list = {
      // Effects that ship with the host (their files carry lower-case names).
      "osterbyverb", "glassdelay", "tapeecho", "bandsplitter", "tonewarp", "levelguard",
      // The plug-in sets of the host editions.
      "Cantor Plugin Set", "Cantor Artist Plugin Set", "Cantor Elements Plugin Set",
      "Cantor AI Plugin Set", "Cantor LE Plugin Set", "Cantor Core Plugins",
      // Another maker's pitch-correction effect.
      "Corvel Tunesmith", "Corvel Tunesmith Evo"};
  return list;
}

const std::vector<std::string>& CVSTiInfoFinder::BypassOnlyList() {
  static const std::vector<std::string> list = {"Loopmill", "Beatwick"};
  return list;
}

const std::vector<std::string>& CVSTiInfoFinder::PresetHandledList() {
  static const std::vector<std::string> list = {
      "Kestrel Aria", "Kestrel Aria SE", "Kestrel Aria LE", "Drumwick", "Drumwick SE",
      "Drumwick Kit", "Groovemill", "Groovemill SE", "Kestrel Sonora"};
  return list;
}

int CVSTiInfoFinder::GetVSTiInfo(const std::string& pluginPath) {
  if (m_outputPath.empty() || pluginPath.empty()) return vif::kExitBadArguments;
  if (ShouldIgnore(pluginPath)) return vif::kExitIgnored;
  const int special = IsSpecial(pluginPath);
  if (special != 9) return special;

  std::string name;
  std::string ext;
  if (!CFileSearch::SplitPath(&pluginPath, nullptr, &name, &ext, false))
    return vif::kExitBadArguments;
  MakeStringAllLower(&ext);
  if (ext.empty()) return vif::kExitNoPlugin;

  int code = vif::kExitRead;
  if (ext == ".vst3") {
    auto* reader = new CVST3ParamFinder(&m_records);
    code = reader->LoadAndReadVST3(pluginPath);
    reader->release();
  } else {
    CVST2ParamFinder reader(&m_records);
    code = reader.LoadAndReadVST2(pluginPath);
  }
  if (code != vif::kExitRead) return code;
  OutputVSTiInfo();
  return vif::kExitRead;
}

bool CVSTiInfoFinder::ShouldIgnore(const std::string& pluginPath) const {
  bool ok = false;
  const std::string name = FileNameWithoutExtension(pluginPath, &ok);
  return !ok || Contains(IgnoreList(), name);
}

int CVSTiInfoFinder::IsSpecial(const std::string& pluginPath) {
  bool ok = false;
  const std::string name = FileNameWithoutExtension(pluginPath, &ok);
  if (!ok) return vif::kExitBadArguments;
  if (Contains(BypassOnlyList(), name)) {
    SVSTiInfo record;
    record.name = name;
    record.parameters.push_back({vif::kBypassParameterId, vif::kBypassParameterName, {}});
    m_records.push_back(record);
    OutputVSTiInfo();
    return vif::kExitBypassOnly;
  }
  if (Contains(PresetHandledList(), name)) return vif::kExitPresetHandled;
  return 9;
}

void CVSTiInfoFinder::MakeStringAllLower(std::string* s) const {
  if (s == nullptr || s->empty()) return;
  CFileSearch::MakeStringAllLower(s);
}

void CVSTiInfoFinder::ReplaceUnusableLetters(std::string* s) const {
  if (s == nullptr) return;
  for (char& c : *s) {
    const auto byte = static_cast<signed char>(c);
    if (byte < 0x20 || byte == 0x7F) c = ' ';
  }
}

void CVSTiInfoFinder::OutputVSTiInfo() {
  if (m_records.empty() || m_outputPath.empty()) return;
  std::FILE* file = std::fopen(m_outputPath.c_str(), "w");
  if (file == nullptr) return;
  auto text = [&](std::string s) {
    ReplaceUnusableLetters(&s);
    if (s.size() > kMaxTextLength) s.resize(kMaxTextLength);
    std::fprintf(file, "%s\n", s.c_str());
  };
  auto number = [&](long long n) { std::fprintf(file, "%d\n", static_cast<int>(n)); };

  number(static_cast<long long>(m_records.size()));
  for (const auto& record : m_records) {
    text(record.name);
    number(static_cast<long long>(record.parameters.size()));
    for (const auto& parameter : record.parameters) {
      number(parameter.id);
      text(parameter.name);
      number(static_cast<long long>(parameter.groups.size()));
      for (const auto& group : parameter.groups) text(group);
    }
  }
  std::fclose(file);
}
