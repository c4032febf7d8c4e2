#include "editor/memory/MemController.h"

#include "editor/memory/MemChangeObserver.h"
#include "editor/memory/RemoteMemAPI.h"

MemController::MemController(RemoteMemAPI* api, AddressTransTable* table)
    : m_address(std::make_unique<ParamAddress>(table))
    , m_api(api)
    , m_table(table)
{
}

MemController::~MemController()
{
    // Only pointers are compared: the observer itself may be gone already.
    if (m_assigned && m_api && m_observer)
        m_api->unregistObserver(m_observer, m_address.get());
}

bool MemController::setParam(long value)
{
    return m_api ? m_api->setParam(*m_address, value) : false;
}

bool MemController::setParam(const QString& text)
{
    return m_api ? m_api->setParam(*m_address, text) : false;
}

NumericParameter MemController::getParam() const
{
    return m_api ? m_api->getParam(*m_address) : NumericParameter();
}

QString MemController::getParamQString() const
{
    return m_api ? m_api->getParamQString(*m_address) : QString();
}

void MemController::addressChanged()
{
    if (m_assigned && m_api)
        m_api->notifyObserver(*m_address);
}

void MemController::setParamAddressNumeric(int bank, int templ, int controller, int parameter)
{
    m_address->setParamAddress(bank, templ, controller, parameter);
    addressChanged();
}

void MemController::setParamAddress(int bank, int templ, int controller, const char* name)
{
    m_address->setParamAddress(bank, templ, controller, name);
    addressChanged();
}

void MemController::setParamAddress(int bank, int templ, int controller, const QString& name)
{
    m_address->setParamAddress(bank, templ, controller, name);
    addressChanged();
}

void MemController::setParamAddress(int bank, int templ, const char* path)
{
    m_address->setParamAddress(bank, templ, path, -1);
    addressChanged();
}

void MemController::setParamAddress(int bank, int templ, const QString& path)
{
    m_address->setParamAddress(bank, templ, path, -1);
    addressChanged();
}

void MemController::setParamAddress(ParamAddress* address)
{
    if (!address)
        return;
    // The registration refers to m_address; replacing the object would leave
    // the API watching freed memory, so the components move instead.
    AddressTransTable* table = address->getAddressTransTable() ? address->getAddressTransTable()
                                                                : m_address->getAddressTransTable();
    if (address != m_address.get()) {
        *m_address = *address;
        delete address;
    }
    m_address->setAddressTransTable(table);
    addressChanged();
}

void MemController::setTransTableToParamAddress(AddressTransTable* table)
{
    m_address->setAddressTransTable(table);
}

void MemController::assign(MemChangeObserver* observer)
{
    if (!m_api || !observer)
        return;
    if (!(m_assigned && m_observer == observer)) {
        if (m_assigned && m_observer)
            m_api->unregistObserver(m_observer, m_address.get());
        m_api->registObserver(m_address.get(), observer);
        m_observer = observer;
    }
    m_assigned = true;
}
