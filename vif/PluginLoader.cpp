#include "vif/PluginLoader.h"

#include "shared/filesearch/FileSearch.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Canonical(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string out(resolved);
  std::free(resolved);
  return out;
}

std::string DecodeXmlText(const std::string& text) {
  static const std::pair<const char*, char> entities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    bool replaced = false;
    if (text[i] == '&') {
      for (const auto& [entity, ch] : entities) {
        const std::string e(entity);
        if (text.compare(i, e.size(), e) == 0) {
          out += ch;
          i += e.size();
          replaced = true;
          break;
        }
      }
    }
    if (!replaced) out += text[i++];
  }
  return out;
}

}  // namespace

CPluginLoader::~CPluginLoader() {
  if (m_library != nullptr) ::dlclose(m_library);
}

std::string CPluginLoader::LibraryPathOf(const std::string& path) {
  if (!IsDirectory(path)) return path;
  std::string name;
  CFileSearch::SplitPath(&path, nullptr, &name, nullptr, false);
  std::string dir = path;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();

  std::vector<std::string> candidates = {dir + "/" + name + ".so"};
  struct utsname machine {};
  if (::uname(&machine) == 0)
    candidates.push_back(dir + "/Contents/" + machine.machine + "-linux/" + name + ".so");
  for (const auto& candidate : candidates)
    if (IsFile(candidate)) return candidate;

  // Otherwise the first shared object directly inside, by name.
  std::vector<std::string> libraries;
  if (DIR* folder = ::opendir(dir.c_str())) {
    while (const dirent* entry = ::readdir(folder)) {
      const std::string file(entry->d_name);
      if (file.size() > 3 && file.compare(file.size() - 3, 3, ".so") == 0 &&
          IsFile(dir + "/" + file))
        libraries.push_back(dir + "/" + file);
    }
    ::closedir(folder);
  }
  std::sort(libraries.begin(), libraries.end());
  return libraries.empty() ? std::string() : libraries.front();
}

std::string CPluginLoader::BundleNameFromPlist(const std::string& text) {
  static const std::string kKey = "<key>CFBundleName</key>";
  const auto key = text.find(kKey);
  if (key == std::string::npos) return {};
  const auto valueStart = key + kKey.size();
  const auto open = text.find("<string>", valueStart);
  if (open == std::string::npos) return {};
  // Only white space may stand between the key and its value.
  const auto between = text.substr(valueStart, open - valueStart);
  if (between.find_first_not_of(" \t\r\n") != std::string::npos) return {};
  const auto start = open + 8;
  const auto close = text.find("</string>", start);
  if (close == std::string::npos) return {};
  return DecodeXmlText(text.substr(start, close - start));
}

std::string CPluginLoader::BundleNameOf(const std::string& bundlePath) {
  if (!IsDirectory(bundlePath)) return {};
  for (const char* plist : {"/Contents/Info.plist", "/Info.plist"}) {
    std::ifstream file(bundlePath + plist, std::ios::binary);
    if (!file) continue;
    std::stringstream buffer;
    buffer << file.rdbuf();
    return BundleNameFromPlist(buffer.str());
  }
  return {};
}

bool CPluginLoader::LoadVSTLibrary(const std::string& path) {
  std::string name;
  if (path.empty() || !CFileSearch::SplitPath(&path, nullptr, &name, nullptr, false)) return false;
  m_name = name;

  const std::string library = LibraryPathOf(path);
  if (library.empty()) return false;
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return false;
  if (m_library != nullptr) ::dlclose(m_library);
  m_library = handle;
  m_libraryPath = Canonical(library);

  // The bundle's display name, when it is plain ASCII that fits the reader's buffer.
  const std::string bundleName = BundleNameOf(path);
  const bool ascii = std::all_of(bundleName.begin(), bundleName.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!bundleName.empty() && ascii && bundleName.size() < 256) m_name = bundleName;
  return true;
}

void* CPluginLoader::LookUp(const char* symbol) const {
  if (m_library == nullptr) return nullptr;
  void* address = ::dlsym(m_library, symbol);
  if (address == nullptr) return nullptr;
  // A lookup through the handle also searches the library's dependencies;
  // only a function of the plug-in's own library is its entry.
  Dl_info info {};
  if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return nullptr;
  if (Canonical(info.dli_fname) != m_libraryPath) return nullptr;
  return address;
}

vstapi::vst2::EntryProc CPluginLoader::GetMainEntry() const {
  void* entry = LookUp("VSTPluginMain");
  if (entry == nullptr) entry = LookUp("main");
  return reinterpret_cast<vstapi::vst2::EntryProc>(entry);
}
