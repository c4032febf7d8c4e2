#include "shared/filesearch/FileSearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>

namespace {

// Canonical absolute path, or empty when the item does not exist.
std::string CanonicalPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

bool CFileSearch::SplitPath(const std::string* path, std::string* dir, std::string* name,
                            std::string* ext, bool wholeIsName) {
  if (dir) dir->clear();
  if (name) name->clear();
  if (ext) ext->clear();
  if (path == nullptr || path->empty()) return false;

  std::string fileName;
  if (wholeIsName) {
    fileName = *path;
  } else {
    const char first = (*path)[0];
    if (first != '/' && first != ':') return false;
    const auto slash = path->rfind('/');
    if (slash == std::string::npos) return false;
    if (dir) *dir = path->substr(0, slash + 1);
    fileName = path->substr(slash + 1);
  }

  const auto dot = fileName.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    if (name) *name = fileName;
    return true;
  }
  std::string base = fileName.substr(0, dot);
  std::string suffix = fileName.substr(dot);
  if (suffix == ".") {
    base += '.';
    suffix.clear();
  }
  if (name) *name = base;
  if (ext) *ext = suffix;
  return true;
}

bool CFileSearch::GetDirectoryName(const std::string* path, std::string* out) {
  if (out) out->clear();
  if (path == nullptr || out == nullptr || path->empty()) return false;
  const auto last = path->rfind('/');
  if (last == std::string::npos || last == 0) return false;
  const auto before = path->rfind('/', last - 1);
  if (before == std::string::npos) return false;
  *out = path->substr(before + 1, last - before - 1);
  return true;
}

void CFileSearch::MakeStringAllLower(std::string* s) {
  if (s == nullptr) return;
  std::string copy = *s;
  for (char& c : copy) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) return;  // non-ASCII text is left exactly as it was
    if (byte >= 'A' && byte <= 'Z') c = static_cast<char>(byte - 'A' + 'a');
  }
  *s = copy;
}

bool CFileSearch::SetSearchExtension(const char* ext) {
  if (ext == nullptr) return false;
  std::string keyword(ext);
  if (!keyword.empty() && keyword[0] == '.') keyword.erase(0, 1);
  MakeStringAllLower(&keyword);
  for (const auto& record : m_keywords)
    if (record.isExtension && record.keyword == keyword) return false;
  m_keywords.push_back({keyword, true, {}});
  return true;
}

bool CFileSearch::SetSearchPackageType(const char* type) {
  if (type == nullptr) return false;
  const std::string keyword(type);
  for (const auto& record : m_keywords)
    if (!record.isExtension && record.keyword == keyword) return false;
  m_keywords.push_back({keyword, false, {}});
  return true;
}

long CFileSearch::GetNumberOfSearchKeywords() const { return static_cast<long>(m_keywords.size()); }

bool CFileSearch::GetSearchExtension(long index, std::string* out) const {
  if (out == nullptr) return false;
  out->clear();
  if (index < 0 || index >= GetNumberOfSearchKeywords()) return false;
  const auto& record = m_keywords[static_cast<std::size_t>(index)];
  if (!record.isExtension) return false;
  *out = record.keyword;
  return true;
}

bool CFileSearch::GetSearchPackageType(long index, std::string* out) const {
  if (out == nullptr) return false;
  out->clear();
  if (index < 0 || index >= GetNumberOfSearchKeywords()) return false;
  const auto& record = m_keywords[static_cast<std::size_t>(index)];
  if (record.isExtension) return false;
  *out = record.keyword;
  return true;
}

bool CFileSearch::RemoveSearchKeywordAndPaths(long index) {
  if (index < 0 || index >= GetNumberOfSearchKeywords()) return false;
  m_keywords.erase(m_keywords.begin() + index);
  return true;
}

bool CFileSearch::SetIgnorableDirPath(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  std::string dir(path);
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  m_ignorableDirs.push_back(dir);
  return true;
}

long CFileSearch::GetNumberOfIgnorableDirPaths() const {
  return static_cast<long>(m_ignorableDirs.size());
}

bool CFileSearch::GetIgnorableDirPath(long index, std::string* out) const {
  if (out == nullptr) return false;
  out->clear();
  if (index < 0 || index >= GetNumberOfIgnorableDirPaths()) return false;
  *out = m_ignorableDirs[static_cast<std::size_t>(index)];
  return true;
}

bool CFileSearch::RemoveIgnorableDirPath(long index) {
  if (index < 0 || index >= GetNumberOfIgnorableDirPaths()) return false;
  m_ignorableDirs.erase(m_ignorableDirs.begin() + index);
  return true;
}

std::size_t CFileSearch::TotalPaths() const {
  std::size_t total = 0;
  for (const auto& record : m_keywords) total += record.paths.size();
  return total;
}

bool CFileSearch::IsOKToKeepSearching(const char* path, long depth) const {
  if (path == nullptr) return false;
  if (depth < 0 || depth >= kMaxDepth) return false;
  if (std::char_traits<char>::length(path) >= kMaxPathLength) return false;
  return TotalPaths() < kMaxPaths;
}

bool CFileSearch::SearchFiles(const char* folder, long depth, bool skipSameName) {
  if (folder == nullptr || *folder == '\0') return false;
  if (depth == 0) m_visitedDirs.clear();
  if (!IsOKToKeepSearching(folder, depth)) return true;

  const std::string dirPath = WithoutTrailingSlash(folder);
  struct stat info {};
  if (::stat(dirPath.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  // A folder reached a second time (through a symbolic link, possibly one
  // that points back up the tree) has been searched already.
  const auto key = std::make_pair(static_cast<std::uint64_t>(info.st_dev),
                                  static_cast<std::uint64_t>(info.st_ino));
  if (!m_visitedDirs.insert(key).second) return true;

  DIR* dir = ::opendir(dirPath.c_str());
  if (dir == nullptr) return false;
  const std::string prefix = dirPath == "/" ? dirPath : dirPath + "/";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name(entry->d_name);
    if (name == "." || name == "..") continue;
    const unsigned long noType = 0;
    SearchSubDirAndFile(prefix + name, noType, depth, skipSameName);
  }
  ::closedir(dir);
  return true;
}

bool CFileSearch::IsIgnorableDir(const std::string& path) const {
  if (m_ignorableDirs.empty()) return false;
  const std::string canonicalEntry = CanonicalPath(path);
  for (const auto& ignorable : m_ignorableDirs) {
    const std::string canonical = CanonicalPath(ignorable);
    if (canonical.empty()) continue;  // ignorable folders that do not exist are passed over
    if (path == canonical || path == ignorable || canonicalEntry == canonical) return true;
  }
  return false;
}

void CFileSearch::SearchSubDirAndFile(const std::string& entryPath, const unsigned long& type,
                                      long depth, bool skipSameName) {
  if (entryPath.empty() || !IsOKToKeepSearching(entryPath.c_str(), depth)) return;
  if (IsIgnorableDir(entryPath)) return;

  struct stat info {};
  const bool isDirectory = ::stat(entryPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  if (type != 0) {
    std::string typeString(4, ' ');
    for (int i = 0; i < 4; ++i)
      typeString[static_cast<std::size_t>(i)] = static_cast<char>((type >> (8 * (3 - i))) & 0xFF);
    AddPath(entryPath, &typeString, skipSameName);
  } else {
    AddPath(entryPath, nullptr, skipSameName);
  }
  if (isDirectory) SearchFiles(entryPath.c_str(), depth + 1, skipSameName);
}

void CFileSearch::AddPath(const std::string& path, const std::string* type, bool skipSameName) {
  std::string name;
  std::string ext;
  if (!SplitPath(&path, nullptr, &name, &ext, false)) return;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  MakeStringAllLower(&ext);

  for (auto& record : m_keywords) {
    if (TotalPaths() >= kMaxPaths) return;
    if (record.isExtension) {
      if (record.keyword != ext) continue;
    } else {
      if (type == nullptr || record.keyword != *type) continue;
    }
    bool sameNameFiled = false;
    if (skipSameName) {
      for (const auto& known : record.paths) {
        std::string knownName;
        if (SplitPath(&known, nullptr, &knownName, nullptr, false) && knownName == name) {
          sameNameFiled = true;
          break;
        }
      }
    }
    if (!sameNameFiled) record.paths.push_back(path);
  }
}

void CFileSearch::ResetAll() {
  m_keywords.clear();
  m_ignorableDirs.clear();
  m_visitedDirs.clear();
}

long CFileSearch::GetKeywordIndex(const char* keyword, bool isExtension) const {
  if (keyword == nullptr) return -1;
  std::string text(keyword);
  if (isExtension) {
    if (!text.empty() && text[0] == '.') text.erase(0, 1);
    MakeStringAllLower(&text);
  }
  for (std::size_t i = 0; i < m_keywords.size(); ++i)
    if (m_keywords[i].isExtension == isExtension && m_keywords[i].keyword == text)
      return static_cast<long>(i);
  return -1;
}

long CFileSearch::GetNumberOfPaths(long index) const {
  if (index < 0 || index >= GetNumberOfSearchKeywords()) return -1;
  return static_cast<long>(m_keywords[static_cast<std::size_t>(index)].paths.size());
}

bool CFileSearch::GetPath(long keywordIndex, long pathIndex, std::string* out) const {
  if (out == nullptr) return false;
  out->clear();
  const long count = GetNumberOfPaths(keywordIndex);
  if (count < 0 || pathIndex < 0 || pathIndex >= count) return false;
  *out = m_keywords[static_cast<std::size_t>(keywordIndex)].paths[static_cast<std::size_t>(pathIndex)];
  return true;
}

std::string CFileSearch::GetPath(long keywordIndex, long pathIndex) const {
  std::string out;
  GetPath(keywordIndex, pathIndex, &out);
  return out;
}
