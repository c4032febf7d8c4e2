#pragma once

// The parts of the VST 3 binary interface that the info finder uses: the
// reference-counted base interface, the class factory, the component and edit
// controller with their parameter and unit records, result codes and the
// interface identifiers. Written from the published values. The interfaces
// are plain abstract classes without destructors so that their virtual tables
// match the plug-ins' ones slot for slot.

#include <cstdint>
#include <cstring>

// Plug-in objects are reached through these interfaces but are not objects of
// our classes (some are plain C structures with a table of functions), so the
// sanitizer's dynamic-type check does not apply to calls into them.
#if defined(__clang__) || defined(__GNUC__)
#define VSTAPI_FOREIGN_CALLS __attribute__((no_sanitize("vptr")))
#else
#define VSTAPI_FOREIGN_CALLS
#endif

namespace vstapi::vst3 {

using int8 = std::int8_t;
using int16 = std::int16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using char8 = char;
using char16 = char16_t;
using TBool = std::uint8_t;
using tresult = int32;
using FIDString = const char8*;
using TUID = char[16];
using String128 = char16[128];

using ParamID = uint32;
using ParamValue = double;
using UnitID = int32;
using ProgramListID = int32;
using MediaType = int32;
using BusDirection = int32;
using IoMode = int32;

// Result codes of the non-Windows platforms.
enum : tresult {
  kNoInterface = -1,
  kResultOk = 0,
  kResultTrue = kResultOk,
  kResultFalse = 1,
  kInvalidArgument = 2,
  kNotImplemented = 3,
  kInternalError = 4,
  kNotInitialized = 5,
  kOutOfMemory = 6,
};

// A 16-byte identifier. Outside Windows each of the four 32-bit parts is
// stored most significant byte first.
struct FUID {
  std::uint8_t bytes[16];

  static constexpr FUID Make(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
    FUID id{};
    const uint32 parts[4] = {l1, l2, l3, l4};
    for (int p = 0; p < 4; ++p)
      for (int b = 0; b < 4; ++b)
        id.bytes[p * 4 + b] = static_cast<std::uint8_t>((parts[p] >> (24 - 8 * b)) & 0xFF);
    return id;
  }
  const char* data() const { return reinterpret_cast<const char*>(bytes); }
  bool Equals(const void* tuid) const {
    return tuid != nullptr && std::memcmp(bytes, tuid, sizeof bytes) == 0;
  }
  bool IsValid() const {
    for (auto b : bytes)
      if (b != 0) return true;
    return false;
  }
  static FUID From(const void* tuid) {
    FUID id{};
    if (tuid != nullptr) std::memcpy(id.bytes, tuid, sizeof id.bytes);
    return id;
  }
};

class FUnknown {
public:
  virtual tresult queryInterface(const TUID iid, void** obj) = 0;
  virtual uint32 addRef() = 0;
  virtual uint32 release() = 0;
};

class IPluginBase : public FUnknown {
public:
  virtual tresult initialize(FUnknown* context) = 0;
  virtual tresult terminate() = 0;
};

struct PFactoryInfo {
  char8 vendor[64];
  char8 url[256];
  char8 email[128];
  int32 flags;
};

struct PClassInfo {
  TUID cid;
  int32 cardinality;
  char8 category[32];
  char8 name[64];
};

struct PClassInfo2 {
  TUID cid;
  int32 cardinality;
  char8 category[32];
  char8 name[64];
  uint32 classFlags;
  char8 subCategories[128];
  char8 vendor[64];
  char8 version[64];
  char8 sdkVersion[64];
};

class IPluginFactory : public FUnknown {
public:
  virtual tresult getFactoryInfo(PFactoryInfo* info) = 0;
  virtual int32 countClasses() = 0;
  virtual tresult getClassInfo(int32 index, PClassInfo* info) = 0;
  virtual tresult createInstance(FIDString cid, FIDString iid, void** obj) = 0;
};

class IPluginFactory2 : public IPluginFactory {
public:
  virtual tresult getClassInfo2(int32 index, PClassInfo2* info) = 0;
};

class IBStream;
class IComponentHandler;
class IPlugView;
struct BusInfo;
struct RoutingInfo;
struct ProgramListInfo;

class IComponent : public IPluginBase {
public:
  virtual tresult getControllerClassId(TUID classId) = 0;
  virtual tresult setIoMode(IoMode mode) = 0;
  virtual int32 getBusCount(MediaType type, BusDirection dir) = 0;
  virtual tresult getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) = 0;
  virtual tresult getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
  virtual tresult activateBus(MediaType type, BusDirection dir, int32 index, TBool state) = 0;
  virtual tresult setActive(TBool state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
};

struct ParameterInfo {
  enum ParameterFlags : int32 {
    kNoFlags = 0,
    kCanAutomate = 1 << 0,
    kIsReadOnly = 1 << 1,
    kIsWrapAround = 1 << 2,
    kIsList = 1 << 3,
    kIsHidden = 1 << 4,
    kIsProgramChange = 1 << 15,
    kIsBypass = 1 << 16,
  };
  ParamID id;
  String128 title;
  String128 shortTitle;
  String128 units;
  int32 stepCount;
  ParamValue defaultNormalizedValue;
  UnitID unitId;
  int32 flags;
};

class IEditController : public IPluginBase {
public:
  virtual tresult setComponentState(IBStream* state) = 0;
  virtual tresult setState(IBStream* state) = 0;
  virtual tresult getState(IBStream* state) = 0;
  virtual int32 getParameterCount() = 0;
  virtual tresult getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
  virtual tresult getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                        String128 string) = 0;
  virtual tresult getParamValueByString(ParamID id, char16* string,
                                        ParamValue& valueNormalized) = 0;
  virtual ParamValue normalizedParamToPlain(ParamID id, ParamValue valueNormalized) = 0;
  virtual ParamValue plainParamToNormalized(ParamID id, ParamValue plainValue) = 0;
  virtual ParamValue getParamNormalized(ParamID id) = 0;
  virtual tresult setParamNormalized(ParamID id, ParamValue value) = 0;
  virtual tresult setComponentHandler(IComponentHandler* handler) = 0;
  virtual IPlugView* createView(FIDString name) = 0;
};

constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr ProgramListID kNoProgramListId = -1;

struct UnitInfo {
  UnitID id;
  UnitID parentUnitId;
  String128 name;
  ProgramListID programListId;
};

class IUnitInfo : public FUnknown {
public:
  virtual int32 getUnitCount() = 0;
  virtual tresult getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
  virtual int32 getProgramListCount() = 0;
  virtual tresult getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
  virtual tresult getProgramName(ProgramListID listId, int32 programIndex, String128 name) = 0;
  virtual tresult getProgramInfo(ProgramListID listId, int32 programIndex,
                                 FIDString attributeId, String128 attributeValue) = 0;
  virtual tresult hasProgramPitchNames(ProgramListID listId, int32 programIndex) = 0;
  virtual tresult getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                      String128 name) = 0;
  virtual UnitID getSelectedUnit() = 0;
  virtual tresult selectUnit(UnitID unitId) = 0;
  virtual tresult getUnitByBus(MediaType type, BusDirection dir, int32 busIndex, int32 channel,
                               UnitID& unitId) = 0;
  virtual tresult setUnitProgramData(int32 listOrUnitId, int32 programIndex, IBStream* data) = 0;
};

// Interface identifiers.
inline constexpr FUID kFUnknownIID = FUID::Make(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
inline constexpr FUID kIPluginBaseIID = FUID::Make(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
inline constexpr FUID kIPluginFactoryIID =
    FUID::Make(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
inline constexpr FUID kIPluginFactory2IID =
    FUID::Make(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
inline constexpr FUID kIComponentIID = FUID::Make(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
inline constexpr FUID kIEditControllerIID =
    FUID::Make(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
inline constexpr FUID kIUnitInfoIID = FUID::Make(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);

// Class category of audio processors.
inline constexpr const char* kVstAudioEffectClass = "Audio Module Class";

// Exported functions of a module.
using GetFactoryProc = IPluginFactory* (*)();
using ModuleEntryProc = bool (*)(void* sharedLibraryHandle);
using ModuleExitProc = bool (*)();

static_assert(sizeof(ParameterInfo) == 792, "ParameterInfo must keep its published layout");
static_assert(sizeof(UnitInfo) == 268, "UnitInfo must keep its published layout");
static_assert(sizeof(PClassInfo2) == 440, "PClassInfo2 must keep its published layout");

}  // namespace vstapi::vst3
