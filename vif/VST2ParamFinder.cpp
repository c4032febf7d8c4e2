#include "vif/VST2ParamFinder.h"

#include "vif/PluginLoader.h"

#include <cstring>

using namespace vstapi::vst2;

VstIntPtr HostCallback(AEffect* /*effect*/, VstInt32 opcode, VstInt32 /*index*/,
                       VstIntPtr /*value*/, void* /*ptr*/, float /*opt*/) {
  if (opcode == audioMasterVersion) return kHostVersion;
  return 0;
}

namespace {

VstIntPtr Dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr) {
  if (effect->dispatcher == nullptr) return 0;
  return effect->dispatcher(effect, opcode, index, 0, ptr, 0.0f);
}

}  // namespace

int CVST2ParamFinder::LoadAndReadVST2(const std::string& path) {
  if (m_out == nullptr || path.empty()) return vif::kExitBadArguments;

  CPluginLoader loader;
  if (!loader.LoadVSTLibrary(path)) return vif::kExitLoadFailed;
  const EntryProc entry = loader.GetMainEntry();
  if (entry == nullptr) return vif::kExitNoEntry;
  AEffect* effect = entry(HostCallback);
  if (effect == nullptr) return vif::kExitNoPlugin;

  Dispatch(effect, effOpen);
  if (Dispatch(effect, effGetPlugCategory) != kPlugCategSynth) {
    Dispatch(effect, effClose);
    return vif::kExitNotInstrument;
  }

  SVSTiInfo record;
  record.parameters.push_back({vif::kBypassParameterId, vif::kBypassParameterName, {}});

  // Which parameters can be automated. Some instruments never implement the
  // query and answer 0 for all of them; that says nothing, so then every
  // parameter is listed.
  std::vector<bool> automatable;
  bool anyAutomatable = false;
  for (VstInt32 i = 0; i < effect->numParams; ++i) {
    const bool yes = Dispatch(effect, effCanBeAutomated, i) != 0;
    automatable.push_back(yes);
    anyAutomatable = anyAutomatable || yes;
  }

  for (VstInt32 i = 0; i < effect->numParams; ++i) {
    const auto index = static_cast<std::size_t>(i);
    const bool asked = index < automatable.size();
    if (asked && anyAutomatable && !automatable[index]) continue;
    if (!asked && Dispatch(effect, effCanBeAutomated, i) == 0) continue;
    // Names longer than the documented limit are common; the spare room keeps
    // a plug-in that writes past the buffer's nominal size from harming us.
    char buffer[kNameBufferSize * 4];
    std::memset(buffer, 0, sizeof buffer);
    Dispatch(effect, effGetParamName, i, buffer);
    const std::size_t length = ::strnlen(buffer, kNameBufferSize - 1);
    record.parameters.push_back({i + vif::kParameterIdOffset, std::string(buffer, length), {}});
  }

  record.name = loader.GetVSTiName();
  m_out->push_back(record);
  Dispatch(effect, effClose);
  return vif::kExitRead;
}
