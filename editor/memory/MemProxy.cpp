#include "editor/memory/MemProxy.h"

#include "editor/memory/ControllerData.h"
#include "editor/memory/MemController.h"
#include "editor/memory/MemControllerFactory.h"
#include "editor/memory/MemProxyEventObject.h"

#include <QCoreApplication>
#include <QThread>

namespace {
bool onUserInterfaceThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}
} // namespace

MemProxy::MemProxy()
    : m_eventObject(std::make_unique<MemProxyEventObject>(this))
{
}

MemProxy::~MemProxy()
{
    // Leave the API before anything else goes: a notification must never
    // reach a control that is half destroyed.
    m_bound = false;
    unregisterFromMemAPI();
    deleteController();
}

void MemProxy::initializeMemAPI(MemControllerFactory* factory)
{
    m_factory = factory;
}

void MemProxy::assign()
{
    if (MemController* controller = getController())
        controller->assign(this);
}

void MemProxy::unbind()
{
    // Deleting the controller removes its registration.
    deleteController();
    m_controllerCreated = false;
    m_bound = false;
}

void MemProxy::applyAddress()
{
    if (!getController())
        return;
    if (!m_namedAddress.isEmpty()) {
        if (m_namedAddress.contains(QLatin1Char('/')))
            setParamAddress(m_bank, m_template, m_namedAddress);
        else
            setParamAddress(m_bank, m_template, m_knob, m_namedAddress);
    } else {
        setParamAddressNumeric(m_bank, m_template, m_numericController, m_numericParameter);
    }
}

void MemProxy::assignMemAPI()
{
    if (!m_hasAddress) {
        unbind();
        return;
    }
    if (!m_controllerCreated || !getController()) {
        if (!m_factory)
            return;
        m_factory->CreateController(this);
        if (!getController())
            return;
        setMemAPI(m_factory->getMemAPI());
        applyAddress();
        m_controllerCreated = true;
    }
    assign();
    m_bound = getController()->isAssigned();
}

void MemProxy::setNamedAddress(const QString& name)
{
    m_hasAddress = !name.isEmpty();
    m_namedAddress = name;
    if (!getController())
        return;
    if (name.isEmpty()) {
        // A control that lost its address watches nothing until it is given
        // a new one and bound again.
        unbind();
        return;
    }
    applyAddress();
    assign();
    m_bound = getController()->isAssigned();
}

void MemProxy::setNumericAddress(int controller, int parameter)
{
    m_hasAddress = true;
    m_namedAddress.clear();
    m_numericController = static_cast<signed char>(controller);
    m_numericParameter = static_cast<signed char>(parameter);
    if (!getController())
        return;
    applyAddress();
    assign();
    m_bound = getController()->isAssigned();
}

void MemProxy::assignClassMemAPI(int value, int kind)
{
    switch (kind) {
    case ContextBank:
        m_bank = value;
        break;
    case ContextTemplate:
        m_template = value;
        break;
    case ContextKnob:
        m_knob = value;
        break;
    default:
        return;
    }
    if (!m_bound)
        return;
    // The address is derived again from the name, so that a name which fixes
    // a component ("isOnline", "templateName", "knobB2/ccNumber") keeps it
    // when the view moves.
    applyAddress();
    paramUpdate();
}

void MemProxy::paramUpdate()
{
    if (!m_bound)
        return;
    if (onUserInterfaceThread())
        updateMemAPI();
    else
        m_eventObject->requestRefresh();
}

int MemProxy::getMemAPICurrentValue() const
{
    return m_bound ? getParam() : 0;
}

int MemProxy::getMemAPIMinimumValue() const
{
    return m_bound ? getParamMinValue() : 0;
}

int MemProxy::getMemAPIMaximumValue() const
{
    return m_bound ? getParamMaxValue() : 0;
}

void MemProxy::setMemAPICurrentValue(int value)
{
    if (m_bound)
        setParam(long(value));
}

void MemProxy::setMemAPIString(const QString& text)
{
    if (m_bound)
        setParam(text);
}

QString MemProxy::getMemAPIString() const
{
    return m_bound ? getParamQString() : QString::fromLatin1(ControllerData::NoAssignID);
}
