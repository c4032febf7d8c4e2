// vif_bare_loader <plug-in path>: loads the plug-in's shared library and
// unloads it again, nothing more. The baseline for the tool's benchmark.

#include "vif/PluginLoader.h"
#include "vif/VstModule.h"

#include <dlfcn.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string path = argv[1];
  const bool vst3 = path.size() > 5 && path.compare(path.size() - 5, 5, ".vst3") == 0;
  const std::string library =
      vst3 ? VstModule::LibraryPathOf(path) : CPluginLoader::LibraryPathOf(path);
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return 1;
  ::dlclose(handle);
  return 0;
}
