#include "vif/VST3ParamFinder.h"

#include "vif/VstModule.h"

#include <cstring>
#include <memory>

using namespace vstapi::vst3;

std::string LowBytesOf(const char16_t* text, std::size_t maxUnits) {
  std::string out;
  if (text == nullptr) return out;
  for (std::size_t i = 0; i < maxUnits && text[i] != 0; ++i)
    out += static_cast<char>(static_cast<unsigned>(text[i]) & 0xFF);
  return out;
}

// ---------------------------------------------------------------------------

VSTAPI_FOREIGN_CALLS CParameterInfoFinder::CParameterInfoFinder(IPlugProvider* provider, std::vector<SVSTiInfo>* out,
                                           const std::string& name)
    : m_provider(provider), m_out(out), m_name(name) {
  if (m_provider != nullptr) m_provider->addRef();
}

VSTAPI_FOREIGN_CALLS CParameterInfoFinder::~CParameterInfoFinder() {
  teardown();
  if (m_provider != nullptr) m_provider->release();
}

tresult CParameterInfoFinder::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (kFUnknownIID.Equals(iid) || ITest::iid.Equals(iid)) {
    addRef();
    *obj = static_cast<ITest*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 CParameterInfoFinder::addRef() { return ++m_refCount; }

uint32 CParameterInfoFinder::release() {
  const uint32 count = --m_refCount;
  if (count == 0) delete this;
  return count;
}

VSTAPI_FOREIGN_CALLS bool CParameterInfoFinder::setup() {
  if (m_provider == nullptr) return false;
  m_component = m_provider->getComponent();
  m_controller = m_provider->getController();
  return m_component != nullptr;
}

VSTAPI_FOREIGN_CALLS bool CParameterInfoFinder::teardown() {
  if (m_provider != nullptr && (m_component != nullptr || m_controller != nullptr))
    m_provider->releasePlugIn(m_component, m_controller);
  m_component = nullptr;
  m_controller = nullptr;
  return true;
}

namespace {

void CollectUnitNames(long unitId, const std::vector<UnitInfo>& units, std::vector<bool>* visited,
                      SVSTiParameterInfo* parameter) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    const UnitInfo& unit = units[i];
    if (unit.parentUnitId < 0 || unit.id != unitId || (*visited)[i]) continue;
    (*visited)[i] = true;
    parameter->groups.insert(parameter->groups.begin(), LowBytesOf(unit.name, 128));
    CollectUnitNames(unit.parentUnitId, units, visited, parameter);
  }
}

}  // namespace

void CParameterInfoFinder::GetUnitRelation(long unitId, const std::vector<UnitInfo>* units,
                                           SVSTiParameterInfo* parameter) {
  if (units == nullptr || parameter == nullptr || units->empty()) return;
  std::vector<bool> visited(units->size(), false);
  CollectUnitNames(unitId, *units, &visited, parameter);
}

VSTAPI_FOREIGN_CALLS bool CParameterInfoFinder::run(ITestResult* result) {
  if (result == nullptr || m_component == nullptr || m_controller == nullptr || m_out == nullptr)
    return false;

  std::vector<UnitInfo> units;
  void* object = nullptr;
  if (m_controller->queryInterface(kIUnitInfoIID.data(), &object) == kResultOk &&
      object != nullptr) {
    auto* unitInfo = static_cast<IUnitInfo*>(object);
    const int32 count = unitInfo->getUnitCount();
    if (count < 0) {
      unitInfo->release();
      return false;
    }
    for (int32 i = 0; i < count; ++i) {
      UnitInfo unit;
      std::memset(&unit, 0, sizeof unit);
      if (unitInfo->getUnitInfo(i, unit) == kResultOk) units.push_back(unit);
    }
    unitInfo->release();
  }

  if (m_controller->getParameterCount() < 0) return false;
  SVSTiInfo record;
  record.name = m_name;
  for (int32 i = 0; i < m_controller->getParameterCount(); ++i) {
    ParameterInfo info;
    std::memset(&info, 0, sizeof info);
    if (m_controller->getParameterInfo(i, info) != kResultOk) continue;
    if ((info.flags & ParameterInfo::kCanAutomate) == 0) continue;
    // Hidden and read-only parameters are not something a knob can move
    // (some frameworks report thousands of hidden MIDI-controller ones).
    if ((info.flags & (ParameterInfo::kIsHidden | ParameterInfo::kIsReadOnly)) != 0) continue;
    const std::string title = LowBytesOf(info.title, 128);
    if (title.empty()) continue;
    SVSTiParameterInfo parameter;
    parameter.id = static_cast<std::int32_t>(info.id + static_cast<uint32>(vif::kParameterIdOffset));
    parameter.name = title;
    GetUnitRelation(info.unitId, &units, &parameter);
    record.parameters.push_back(parameter);
  }
  m_out->push_back(record);
  return true;
}

// ---------------------------------------------------------------------------

CVST3ParamFinder::CVST3ParamFinder(std::vector<SVSTiInfo>* out) : m_out(out) {
  SetHostContext(this);
}

CVST3ParamFinder::~CVST3ParamFinder() {
  ReleaseFinders();
  if (GetHostContext() == this) SetHostContext(nullptr);
}

tresult CVST3ParamFinder::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (kFUnknownIID.Equals(iid) || ITestResult::iid.Equals(iid)) {
    addRef();
    *obj = static_cast<ITestResult*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 CVST3ParamFinder::addRef() { return ++m_refCount; }

uint32 CVST3ParamFinder::release() {
  const uint32 count = --m_refCount;
  if (count == 0) delete this;
  return count;
}

bool CVST3ParamFinder::AddVSTi(CParameterInfoFinder* finder) {
  if (finder == nullptr) return false;
  finder->next = nullptr;
  if (m_last != nullptr)
    m_last->next = finder;
  else
    m_first = finder;
  m_last = finder;
  return true;
}

VSTAPI_FOREIGN_CALLS void CVST3ParamFinder::ReleaseFinders() {
  for (CParameterInfoFinder* finder = m_first; finder != nullptr;) {
    CParameterInfoFinder* next = finder->next;
    finder->release();
    finder = next;
  }
  m_first = m_last = nullptr;
}

VSTAPI_FOREIGN_CALLS int CVST3ParamFinder::LoadAndReadVST3(const std::string& path) {
  if (m_out == nullptr || path.empty()) return vif::kExitBadArguments;
  auto module = std::make_unique<VstModule>(path.c_str());
  if (!module->isValid()) return vif::kExitNoPlugin;

  // Only the second version of the class information carries the
  // sub-categories; a factory without it offers no recognisable instrument.
  IPluginFactory* factory = module->factory();
  void* object = nullptr;
  IPluginFactory2* factory2 = nullptr;
  if (factory->queryInterface(kIPluginFactory2IID.data(), &object) == kResultOk && object != nullptr)
    factory2 = static_cast<IPluginFactory2*>(object);

  bool anyInstrument = false;
  if (factory2 != nullptr) {
    for (int32 i = 0; i < factory2->countClasses(); ++i) {
      PClassInfo2 info;
      std::memset(&info, 0, sizeof info);
      if (factory2->getClassInfo2(i, &info) != kResultOk) continue;
      const std::string category(info.category, ::strnlen(info.category, sizeof info.category));
      const std::string subCategories(info.subCategories,
                                      ::strnlen(info.subCategories, sizeof info.subCategories));
      if (category != kVstAudioEffectClass || subCategories.find("Instrument") == std::string::npos)
        continue;
      auto* provider = new PlugProvider(factory, info, false);
      const std::string name(info.name, ::strnlen(info.name, sizeof info.name));
      AddVSTi(new CParameterInfoFinder(provider, m_out, name));
      provider->release();
      anyInstrument = true;
    }
    factory2->release();
  }
  if (!anyInstrument) return vif::kExitNotInstrument;

  for (CParameterInfoFinder* finder = m_first; finder != nullptr; finder = finder->next) {
    if (finder->setup()) {
      finder->run(this);
      finder->teardown();
    }
  }
  // Everything that refers to the module's code goes before the module.
  ReleaseFinders();
  module.reset();
  return vif::kExitRead;
}
