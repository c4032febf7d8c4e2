#pragma once

// One run of the info finder: decides from the plug-in's file name whether to
// read it at all, reads it with the VST 2 or VST 3 reader, and writes the
// instruments found to the output file for the editor.

#include "vif/VSTiRecords.h"

#include <string>
#include <vector>

class CVSTiInfoFinder {
public:
  explicit CVSTiInfoFinder(const std::string& outputPath) : m_outputPath(outputPath) {}

  int GetVSTiInfo(const std::string& pluginPath);
  bool ShouldIgnore(const std::string& pluginPath) const;
  int IsSpecial(const std::string& pluginPath);
  void MakeStringAllLower(std::string* s) const;
  void OutputVSTiInfo();
  void ReplaceUnusableLetters(std::string* s) const;

  const std::vector<SVSTiInfo>& Records() const { return m_records; }

  // The name lists, exposed for the tests and the editor's expectations.
  static const std::vector<std::string>& IgnoreList();
  static const std::vector<std::string>& BypassOnlyList();
  static const std::vector<std::string>& PresetHandledList();

private:
  std::vector<SVSTiInfo> m_records;
  std::string m_outputPath;
};
