#pragma once

// The parts of the VST 2 binary interface that the info finder uses: the
// effect record a plug-in's entry function returns, the dispatcher opcodes it
// sends, and the host callback. Written from the published values; the value
// argument and the result are pointer-sized, as plug-ins built for 64-bit
// systems expect.

#include <cstdint>

namespace vstapi::vst2 {

using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

using HostCallbackProc = VstIntPtr (*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                       VstIntPtr value, void* ptr, float opt);
using DispatcherProc = VstIntPtr (*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                     VstIntPtr value, void* ptr, float opt);
using ProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                             VstInt32 sampleFrames);
using ProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                   VstInt32 sampleFrames);
using SetParameterProc = void (*)(AEffect* effect, VstInt32 index, float value);
using GetParameterProc = float (*)(AEffect* effect, VstInt32 index);

// The entry function exported by a plug-in ("VSTPluginMain", or "main").
using EntryProc = AEffect* (*)(HostCallbackProc host);

struct AEffect {
  VstInt32 magic;
  DispatcherProc dispatcher;
  ProcessProc process;  // obsolete accumulating process
  SetParameterProc setParameter;
  GetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr reserved1;
  VstIntPtr reserved2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  ProcessProc processReplacing;
  ProcessDoubleProc processDoubleReplacing;
  char future[56];
};

// 'VstP'
constexpr VstInt32 kEffectMagic = 0x56737450;

// Dispatcher opcodes (host to plug-in).
enum EffectOpcode : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effGetParamName = 8,
  effCanBeAutomated = 26,
  effGetPlugCategory = 35,
};

// Callback opcodes (plug-in to host).
enum HostOpcode : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
};

enum PlugCategory : VstInt32 {
  kPlugCategUnknown = 0,
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

// Host version reported to plug-ins.
constexpr VstIntPtr kHostVersion = 2400;

// Parameter names are written into a buffer of this size.
constexpr int kNameBufferSize = 256;

static_assert(sizeof(void*) != 8 || sizeof(AEffect) == 192,
              "AEffect must keep its published 64-bit layout");

}  // namespace vstapi::vst2
