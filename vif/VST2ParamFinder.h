#pragma once

// Reads the instrument name and automatable parameters of a VST 2 plug-in.

#include "vif/VSTiRecords.h"
#include "vif/vstapi/Vst2.h"

#include <string>
#include <vector>

// The host callback handed to the plug-in's entry function: reports the host
// version and answers everything else with 0.
vstapi::vst2::VstIntPtr HostCallback(vstapi::vst2::AEffect* effect, vstapi::vst2::VstInt32 opcode,
                                     vstapi::vst2::VstInt32 index, vstapi::vst2::VstIntPtr value,
                                     void* ptr, float opt);

class CVST2ParamFinder {
public:
  explicit CVST2ParamFinder(std::vector<SVSTiInfo>* out) : m_out(out) {}
  int LoadAndReadVST2(const std::string& path);

private:
  std::vector<SVSTiInfo>* m_out;
};
