#pragma once

// Loads the shared library of a VST 2 plug-in: a ".so" file, or a ".vst"
// folder that holds one (with an optional Info.plist naming the instrument).

#include "vif/vstapi/Vst2.h"

#include <string>

class CPluginLoader {
public:
  CPluginLoader() = default;
  ~CPluginLoader();
  CPluginLoader(const CPluginLoader&) = delete;
  CPluginLoader& operator=(const CPluginLoader&) = delete;

  bool LoadVSTLibrary(const std::string& path);
  vstapi::vst2::EntryProc GetMainEntry() const;
  std::string GetVSTiName() const { return m_name; }

  // The shared object that was (or would be) loaded for a plug-in path:
  // the path itself for a file, the library inside for a ".vst" folder.
  static std::string LibraryPathOf(const std::string& path);
  // "CFBundleName" of a bundle folder's Info.plist, empty when absent.
  static std::string BundleNameOf(const std::string& bundlePath);
  // "CFBundleName" from the text of an Info.plist, empty when absent.
  static std::string BundleNameFromPlist(const std::string& text);

private:
  void* LookUp(const char* symbol) const;

  void* m_library = nullptr;
  std::string m_libraryPath;
  std::string m_name;
};
