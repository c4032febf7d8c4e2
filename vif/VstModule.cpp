#include "vif/VstModule.h"

#include "shared/filesearch/FileSearch.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/utsname.h>

using namespace vstapi::vst3;

std::string VstModule::LibraryPathOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode)) return path;
  std::string dir = path;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::string name;
  if (!CFileSearch::SplitPath(&dir, nullptr, &name, nullptr, false) || name.empty()) return {};
  struct utsname machine {};
  if (::uname(&machine) != 0) return {};
  return dir + "/Contents/" + machine.machine + "-linux/" + name + ".so";
}

VSTAPI_FOREIGN_CALLS VstModule::VstModule(const char* path) {
  if (path == nullptr || *path == '\0') return;
  const std::string library = LibraryPathOf(path);
  if (library.empty()) return;
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return;

  if (auto entry = reinterpret_cast<ModuleEntryProc>(::dlsym(handle, "ModuleEntry"))) {
    if (!entry(handle)) {
      ::dlclose(handle);
      return;
    }
  }
  m_library = handle;
  if (auto getFactory = reinterpret_cast<GetFactoryProc>(::dlsym(handle, "GetPluginFactory")))
    m_factory = getFactory();
}

VSTAPI_FOREIGN_CALLS VstModule::~VstModule() {
  if (m_factory != nullptr) m_factory->release();
  m_factory = nullptr;
  if (m_library == nullptr) return;
  if (auto exitProc = reinterpret_cast<ModuleExitProc>(::dlsym(m_library, "ModuleExit"))) exitProc();
  ::dlclose(m_library);
}
