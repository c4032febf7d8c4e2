#pragma once

// Reads the instrument classes of a VST 3 module and the automatable
// parameters of each, with the names of the units that hold them.

#include "vif/PlugProvider.h"
#include "vif/TestRoles.h"
#include "vif/VSTiRecords.h"

#include <atomic>
#include <string>
#include <vector>

// Examines one instrument class.
class CParameterInfoFinder final : public ITest {
public:
  CParameterInfoFinder(IPlugProvider* provider, std::vector<SVSTiInfo>* out,
                       const std::string& name);

  vstapi::vst3::tresult queryInterface(const vstapi::vst3::TUID iid, void** obj) override;
  vstapi::vst3::uint32 addRef() override;
  vstapi::vst3::uint32 release() override;
  bool setup() override;
  bool run(ITestResult* result) override;
  bool teardown() override;

  // Puts the names of the unit `unitId` and of its ancestors in front of the
  // parameter's groups, outermost first. Root units add nothing; a unit met
  // twice (parent links that form a cycle) ends the walk.
  static void GetUnitRelation(long unitId, const std::vector<vstapi::vst3::UnitInfo>* units,
                              SVSTiParameterInfo* parameter);

  CParameterInfoFinder* next = nullptr;  // the reader's list

private:
  ~CParameterInfoFinder() override;

  std::atomic<vstapi::vst3::uint32> m_refCount{1};
  IPlugProvider* m_provider;
  vstapi::vst3::IComponent* m_component = nullptr;
  vstapi::vst3::IEditController* m_controller = nullptr;
  std::vector<SVSTiInfo>* m_out;
  std::string m_name;
};

// The reader; also the host context of every plug-in it creates.
class CVST3ParamFinder final : public ITestResult {
public:
  explicit CVST3ParamFinder(std::vector<SVSTiInfo>* out);

  vstapi::vst3::tresult queryInterface(const vstapi::vst3::TUID iid, void** obj) override;
  vstapi::vst3::uint32 addRef() override;
  vstapi::vst3::uint32 release() override;
  void addErrorMessage(const char16_t*) override {}
  void addMessage(const char16_t*) override {}

  int LoadAndReadVST3(const std::string& path);
  bool AddVSTi(CParameterInfoFinder* finder);

private:
  ~CVST3ParamFinder();
  void ReleaseFinders();

  std::atomic<vstapi::vst3::uint32> m_refCount{1};
  std::vector<SVSTiInfo>* m_out;
  CParameterInfoFinder* m_first = nullptr;
  CParameterInfoFinder* m_last = nullptr;
};

// Titles and unit names: the low byte of every UTF-16 code unit up to the
// first zero.
std::string LowBytesOf(const char16_t* text, std::size_t maxUnits);
