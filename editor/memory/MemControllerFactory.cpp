#include "editor/memory/MemControllerFactory.h"

#include "editor/memory/MemController.h"
#include "editor/memory/MemControllerHelper.h"
#include "editor/memory/ParamAddress.h"

MemControllerFactory::MemControllerFactory(RemoteMemAPI* api)
    : m_api(api)
{
}

MemControllerFactory::~MemControllerFactory() = default;

MemController* MemControllerFactory::CreateController(ControllerType type, ParamAddress* address)
{
    if (type != PlainMemController)
        return nullptr;
    auto* controller = new MemController(m_api, &m_table);
    controller->setTransTableToParamAddress(&m_table);
    if (address) {
        address->setAddressTransTable(&m_table);
        controller->setParamAddress(address);
    }
    m_lastController = controller;
    return controller;
}

MemController* MemControllerFactory::CreateController(MemControllerHelper* helper)
{
    if (!helper)
        return nullptr;
    MemController* controller = CreateController(PlainMemController, new ParamAddress(helper->getParamAddress()));
    helper->setController(controller);
    return controller;
}

void MemControllerFactory::DeleteController(MemController* controller)
{
    if (controller == m_lastController)
        m_lastController = nullptr;
    delete controller;
}
