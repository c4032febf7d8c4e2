#pragma once

// Recursive search for plug-in files and bundles by extension or by
// four-character package type, bounded in depth, path length and count.

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

class CFileSearch {
public:
  struct SKeywordAndPaths {
    std::string keyword;       // extension without dot, lower case; or a type as given
    bool isExtension = true;
    std::vector<std::string> paths;
  };

  // Limits of one search.
  static constexpr long kMaxDepth = 20;
  static constexpr std::size_t kMaxPathLength = 1024;
  static constexpr std::size_t kMaxPaths = 1024;

  CFileSearch() = default;
  virtual ~CFileSearch() = default;

  static bool SplitPath(const std::string* path, std::string* dir, std::string* name,
                        std::string* ext, bool wholeIsName);
  static bool GetDirectoryName(const std::string* path, std::string* out);
  static void MakeStringAllLower(std::string* s);

  bool SetSearchExtension(const char* ext);
  bool SetSearchPackageType(const char* type);
  long GetNumberOfSearchKeywords() const;
  bool GetSearchExtension(long index, std::string* out) const;
  bool GetSearchPackageType(long index, std::string* out) const;
  bool RemoveSearchKeywordAndPaths(long index);

  bool SetIgnorableDirPath(const char* path);
  long GetNumberOfIgnorableDirPaths() const;
  bool GetIgnorableDirPath(long index, std::string* out) const;
  bool RemoveIgnorableDirPath(long index);

  bool SearchFiles(const char* folder, long depth, bool skipSameName);
  bool IsOKToKeepSearching(const char* path, long depth) const;

  void ResetAll();
  long GetKeywordIndex(const char* keyword, bool isExtension) const;
  long GetNumberOfPaths(long index) const;
  bool GetPath(long keywordIndex, long pathIndex, std::string* out) const;
  std::string GetPath(long keywordIndex, long pathIndex) const;

protected:
  // One directory entry: files it, then descends into it when it is a folder.
  // `type` is the entry's four-character type, 0 when it has none (always on
  // Linux, which has no file types).
  void SearchSubDirAndFile(const std::string& entryPath, const unsigned long& type, long depth,
                           bool skipSameName);
  void AddPath(const std::string& path, const std::string* type, bool skipSameName);

private:
  bool IsIgnorableDir(const std::string& path) const;
  std::size_t TotalPaths() const;

  std::vector<SKeywordAndPaths> m_keywords;
  std::vector<std::string> m_ignorableDirs;
  // Folders already descended into during the current top-level search
  // (device, inode): symbolic links may lead back into a folder.
  std::set<std::pair<std::uint64_t, std::uint64_t>> m_visitedDirs;
};
