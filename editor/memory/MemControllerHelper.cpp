#include "editor/memory/MemControllerHelper.h"

#include "editor/memory/MemController.h"

MemControllerHelper::MemControllerHelper() = default;

MemControllerHelper::~MemControllerHelper() = default;

bool MemControllerHelper::setParam(long value)
{
    return m_controller ? m_controller->setParam(value) : false;
}

bool MemControllerHelper::setParam(const QString& text)
{
    return m_controller ? m_controller->setParam(text) : false;
}

int MemControllerHelper::getParam() const
{
    return m_controller ? m_controller->getParam().getCurrentValue() : 0;
}

QString MemControllerHelper::getParamQString() const
{
    return m_controller ? m_controller->getParamQString() : QString();
}

int MemControllerHelper::getParamMaxValue() const
{
    return m_controller ? m_controller->getParam().getMaxValue() : 0;
}

int MemControllerHelper::getParamMinValue() const
{
    return m_controller ? m_controller->getParam().getMinValue() : 0;
}

void MemControllerHelper::setParamAddressNumeric(int bank, int templ, int controller, int parameter)
{
    if (m_controller)
        m_controller->setParamAddressNumeric(bank, templ, controller, parameter);
}

void MemControllerHelper::setParamAddress(int bank, int templ, int controller, const char* name)
{
    if (m_controller)
        m_controller->setParamAddress(bank, templ, controller, name);
}

void MemControllerHelper::setParamAddress(int bank, int templ, int controller, const QString& name)
{
    if (m_controller)
        m_controller->setParamAddress(bank, templ, controller, name);
}

void MemControllerHelper::setParamAddress(int bank, int templ, const char* path)
{
    if (m_controller)
        m_controller->setParamAddress(bank, templ, path);
}

void MemControllerHelper::setParamAddress(int bank, int templ, const QString& path)
{
    if (m_controller)
        m_controller->setParamAddress(bank, templ, path);
}

ParamAddress MemControllerHelper::getParamAddress() const
{
    return m_controller ? *m_controller->getParamAddress() : ParamAddress();
}

RemoteMemAPI* MemControllerHelper::getMemapiOfController() const
{
    return m_controller ? m_controller->getMemAPI() : nullptr;
}

void MemControllerHelper::setBankAdr(int bank)
{
    if (m_controller)
        m_controller->setParamAddress(bank, -1, static_cast<const char*>(nullptr));
}

void MemControllerHelper::setTemplateAdr(int templ)
{
    if (m_controller)
        m_controller->setParamAddress(-1, templ, static_cast<const char*>(nullptr));
}

void MemControllerHelper::setKnobAdr(int knob)
{
    if (m_controller)
        m_controller->setParamAddress(-1, -1, knob, static_cast<const char*>(nullptr));
}

void MemControllerHelper::setController(MemController* controller)
{
    if (!controller || controller == m_controller.get())
        return;
    m_controller.reset(controller);
}

void MemControllerHelper::deleteController()
{
    m_controller.reset();
}
