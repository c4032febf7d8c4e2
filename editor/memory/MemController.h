#pragma once
// Reads and writes one address of the template memory through the memory API
// and registers an observer for it. Re-addressing keeps the same address
// object, so a registration follows the controller to its new address.

#include "editor/memory/NumericParameter.h"
#include "editor/memory/ParamAddress.h"

#include <QString>
#include <memory>

class AddressTransTable;
class MemChangeObserver;
class RemoteMemAPI;

class MemController {
public:
    MemController(RemoteMemAPI* api, AddressTransTable* table);
    // Removes its registration: nothing may watch an address that is gone.
    virtual ~MemController();
    MemController(const MemController&) = delete;
    MemController& operator=(const MemController&) = delete;

    void setMemAPI(RemoteMemAPI* api) { m_api = api; }
    RemoteMemAPI* getMemAPI() const { return m_api; }
    void setAddressTransTable(AddressTransTable* table) { m_table = table; }
    AddressTransTable* getAddressTransTable() const { return m_table; }
    // The controller's own address object (never null).
    ParamAddress* getParamAddress() { return m_address.get(); }
    const ParamAddress* getParamAddress() const { return m_address.get(); }

    // Writes through the API at the controller's address; true when changed.
    bool setParam(long value);
    bool setParam(const QString& text);
    NumericParameter getParam() const;
    QString getParamQString() const;

    // Each changes the address (-1 keeps a component) and, once assigned,
    // tells the observers of the new address.
    void setParamAddressNumeric(int bank, int templ, int controller, int parameter);
    void setParamAddress(int bank, int templ, int controller, const char* name);
    void setParamAddress(int bank, int templ, int controller, const QString& name);
    void setParamAddress(int bank, int templ, const char* path);
    void setParamAddress(int bank, int templ, const QString& path);
    // Takes the components (and the table, if any) of the given object and
    // deletes it; null is ignored.
    void setParamAddress(ParamAddress* address);
    void setTransTableToParamAddress(AddressTransTable* table);

    // Registers the observer for this controller's address. A second call
    // for the same observer keeps the one registration.
    void assign(MemChangeObserver* observer);
    bool isAssigned() const { return m_assigned; }

private:
    void addressChanged();

    std::unique_ptr<ParamAddress> m_address;
    RemoteMemAPI* m_api = nullptr;
    bool m_assigned = false;
    MemChangeObserver* m_observer = nullptr;
    AddressTransTable* m_table = nullptr;
};
