#pragma once

// Creates one plug-in class of a VST 3 factory on request: the component,
// initialised with the process's host context, and its edit controller (the
// component itself, or a separate controller class), and terminates and
// releases both when they are handed back.

#include "vif/vstapi/Vst3.h"

#include <atomic>

class IPlugProvider : public vstapi::vst3::FUnknown {
public:
  virtual vstapi::vst3::IComponent* getComponent() = 0;
  virtual vstapi::vst3::IEditController* getController() = 0;
  virtual vstapi::vst3::tresult releasePlugIn(vstapi::vst3::IComponent* component,
                                              vstapi::vst3::IEditController* controller) = 0;
  static constexpr vstapi::vst3::FUID iid =
      vstapi::vst3::FUID::Make(0x6B2E90A4, 0x51C74D3E, 0xA0F86B12, 0xC4D3E5F7);
};

class PlugProvider final : public IPlugProvider {
public:
  // `plugIsGlobal` false: the plug-in lives only between getComponent() and
  // releasePlugIn(). The factory is referenced for the provider's lifetime.
  PlugProvider(vstapi::vst3::IPluginFactory* factory, const vstapi::vst3::PClassInfo2& info,
               bool plugIsGlobal);

  vstapi::vst3::tresult queryInterface(const vstapi::vst3::TUID iid, void** obj) override;
  vstapi::vst3::uint32 addRef() override;
  vstapi::vst3::uint32 release() override;

  // Both return a new reference (or null); hand them back with releasePlugIn.
  vstapi::vst3::IComponent* getComponent() override;
  vstapi::vst3::IEditController* getController() override;
  vstapi::vst3::tresult releasePlugIn(vstapi::vst3::IComponent* component,
                                      vstapi::vst3::IEditController* controller) override;

private:
  ~PlugProvider();
  bool SetupPlugin();
  void TerminatePlugin();

  std::atomic<vstapi::vst3::uint32> m_refCount{1};
  vstapi::vst3::IPluginFactory* m_factory;
  vstapi::vst3::FUID m_classId{};
  bool m_plugIsGlobal;
  vstapi::vst3::IComponent* m_component = nullptr;
  vstapi::vst3::IEditController* m_controller = nullptr;
  bool m_controllerIsComponent = false;
  bool m_created = false;  // creation tried since the last termination
};

// The host context handed to plug-ins' initialize(); set by the VST 3 reader.
vstapi::vst3::FUnknown* GetHostContext();
void SetHostContext(vstapi::vst3::FUnknown* context);
