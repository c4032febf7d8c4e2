#pragma once

// A loaded VST 3 module: a ".vst3" bundle folder holding
// Contents/<machine>-linux/<name>.so (or a plain ".vst3" shared object),
// entered through ModuleEntry and asked for its class factory.

#include "vif/vstapi/Vst3.h"

#include <string>

class VstModule {
public:
  explicit VstModule(const char* path);
  ~VstModule();
  VstModule(const VstModule&) = delete;
  VstModule& operator=(const VstModule&) = delete;

  bool isValid() const { return m_library != nullptr && m_factory != nullptr; }
  vstapi::vst3::IPluginFactory* factory() const { return m_factory; }

  // The shared object inside a bundle path (the path itself for a file).
  static std::string LibraryPathOf(const std::string& path);

private:
  void* m_library = nullptr;
  vstapi::vst3::IPluginFactory* m_factory = nullptr;
};
