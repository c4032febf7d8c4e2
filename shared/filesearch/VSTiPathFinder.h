#pragma once

// Finds instrument plug-ins in the VST 2 and VST 3 folders, leaving out the
// ones the database already knows and the ones an earlier scan found not to
// be instruments (kept in NotSynthList.txt).

#include <string>
#include <vector>

class CFileSearch;

class CVSTiPathFinder {
public:
  static constexpr const char* kNotSynthListFileName = "NotSynthList.txt";

  explicit CVSTiPathFinder(const std::string& folder);

  void SetIgnorableVSTis(const std::vector<std::string>& fileNames);
  bool SearchAllFiles(const std::vector<std::string>& folders, std::vector<std::string>* found,
                      bool isVST2) const;
  bool StoreFilePath(const CFileSearch& search, std::vector<std::string>* found, bool isVST2) const;
  bool IsIgnorable(const std::string& path) const;
  bool CheckNotSynthList(const std::string& path) const;
  void AddPath(const std::string& path, std::vector<std::string>* found) const;
  bool AddNotSynthList(const std::string& path) const;
  std::vector<std::string> GetVSTiName(const std::string& path) const;

  const std::string& NotSynthListPath() const { return m_notSynthListPath; }

private:
  std::string m_notSynthListPath;
  std::vector<std::string> m_ignorableVSTis;
};
