#include "vif/PlugProvider.h"

using namespace vstapi::vst3;

namespace {
FUnknown* gHostContext = nullptr;
}

FUnknown* GetHostContext() { return gHostContext; }
void SetHostContext(FUnknown* context) { gHostContext = context; }

VSTAPI_FOREIGN_CALLS PlugProvider::PlugProvider(IPluginFactory* factory, const PClassInfo2& info, bool plugIsGlobal)
    : m_factory(factory), m_classId(FUID::From(info.cid)), m_plugIsGlobal(plugIsGlobal) {
  if (m_factory != nullptr) m_factory->addRef();
}

VSTAPI_FOREIGN_CALLS PlugProvider::~PlugProvider() {
  TerminatePlugin();
  if (m_factory != nullptr) m_factory->release();
}

tresult PlugProvider::queryInterface(const TUID iid, void** obj) {
  if (obj == nullptr) return kInvalidArgument;
  if (kFUnknownIID.Equals(iid) || IPlugProvider::iid.Equals(iid)) {
    addRef();
    *obj = static_cast<IPlugProvider*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

uint32 PlugProvider::addRef() { return ++m_refCount; }

uint32 PlugProvider::release() {
  const uint32 count = --m_refCount;
  if (count == 0) delete this;
  return count;
}

VSTAPI_FOREIGN_CALLS bool PlugProvider::SetupPlugin() {
  if (m_created) return m_component != nullptr;
  m_created = true;
  if (m_factory == nullptr) return false;
  void* object = nullptr;
  if (m_factory->createInstance(m_classId.data(), kIComponentIID.data(), &object) != kResultOk ||
      object == nullptr)
    return false;
  m_component = static_cast<IComponent*>(object);
  if (m_component->initialize(GetHostContext()) != kResultOk) {
    m_component->release();
    m_component = nullptr;
    return false;
  }

  object = nullptr;
  if (m_component->queryInterface(kIEditControllerIID.data(), &object) == kResultOk &&
      object != nullptr) {
    // A single-object plug-in: the component is its own controller.
    m_controller = static_cast<IEditController*>(object);
    m_controllerIsComponent = true;
    return true;
  }

  TUID controllerId{};
  if (m_component->getControllerClassId(controllerId) != kResultOk) return true;
  const FUID controllerClass = FUID::From(controllerId);
  if (!controllerClass.IsValid()) return true;
  object = nullptr;
  if (m_factory->createInstance(controllerClass.data(), kIEditControllerIID.data(), &object) !=
          kResultOk ||
      object == nullptr)
    return true;
  auto* controller = static_cast<IEditController*>(object);
  if (controller->initialize(GetHostContext()) != kResultOk) {
    controller->release();
    return true;
  }
  m_controller = controller;
  return true;
}

VSTAPI_FOREIGN_CALLS void PlugProvider::TerminatePlugin() {
  if (m_component != nullptr) m_component->terminate();
  if (m_controller != nullptr && !m_controllerIsComponent) m_controller->terminate();
  if (m_controller != nullptr) m_controller->release();
  if (m_component != nullptr) m_component->release();
  m_controller = nullptr;
  m_component = nullptr;
  m_controllerIsComponent = false;
  m_created = false;
}

VSTAPI_FOREIGN_CALLS IComponent* PlugProvider::getComponent() {
  SetupPlugin();
  if (m_component != nullptr) m_component->addRef();
  return m_component;
}

VSTAPI_FOREIGN_CALLS IEditController* PlugProvider::getController() {
  SetupPlugin();
  if (m_controller != nullptr) m_controller->addRef();
  return m_controller;
}

VSTAPI_FOREIGN_CALLS tresult PlugProvider::releasePlugIn(IComponent* component, IEditController* controller) {
  if (component != nullptr) component->release();
  if (controller != nullptr) controller->release();
  if (!m_plugIsGlobal) TerminatePlugin();
  return kResultOk;
}
