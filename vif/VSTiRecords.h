#pragma once

// What the info finder collects from one plug-in, and the codes it ends with.

#include <cstdint>
#include <string>
#include <vector>

struct SVSTiParameterInfo {
  std::int32_t id = 0;              // parameter number + 4201, or kBypassParameterId
  std::string name;
  std::vector<std::string> groups;  // enclosing groups, outermost first
};

struct SVSTiInfo {
  std::string name;
  std::vector<SVSTiParameterInfo> parameters;
};

namespace vif {

// Offset between a plug-in's own parameter number and the number the editor uses.
constexpr std::int32_t kParameterIdOffset = 4201;
// The pseudo-parameter that stands for the plug-in's bypass switch.
constexpr std::int32_t kBypassParameterId = 10004202;
constexpr const char* kBypassParameterName = "Bypass";

// Exit codes of the tool; the readers return the same values.
enum ExitCode : int {
  kExitRead = 0,           // read; records collected
  kExitPresetHandled = 1,  // the editor takes the parameters from its preset file
  kExitBypassOnly = 2,     // only the bypass pseudo-parameter is written
  kExitIgnored = 3,        // in the ignore list, or no usable file name
  kExitBadArguments = 4,   // empty plug-in or output path
  kExitLoadFailed = 5,     // VST 2: the library could not be loaded
  kExitNoEntry = 6,        // VST 2: neither entry point exists
  kExitNoPlugin = 7,       // no extension; entry returned nothing; VST 3 module unusable
  kExitNotInstrument = 8,  // an effect, or a module without instrument class
};

}  // namespace vif
