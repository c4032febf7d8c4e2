#pragma once
// Makes the memory controllers of bound controls, all on one API and one name
// table of the factory's own.

#include "editor/memory/AddressTransTable.h"

class MemController;
class MemControllerHelper;
class ParamAddress;
class RemoteMemAPI;

class MemControllerFactory {
public:
    enum ControllerType {
        PlainMemController = 0,
    };

    explicit MemControllerFactory(RemoteMemAPI* api);
    virtual ~MemControllerFactory();
    MemControllerFactory(const MemControllerFactory&) = delete;
    MemControllerFactory& operator=(const MemControllerFactory&) = delete;

    // A new controller (owned by the caller) whose address uses the factory's
    // table and, when given, takes over the given address object; null for an
    // unknown type.
    MemController* CreateController(ControllerType type, ParamAddress* address = nullptr);
    // Gives the helper a new controller that keeps the helper's current
    // address; the helper's previous controller is deleted.
    MemController* CreateController(MemControllerHelper* helper);
    void DeleteController(MemController* controller);

    RemoteMemAPI* getMemAPI() const { return m_api; }
    AddressTransTable* getAddressTransTable() { return &m_table; }
    MemController* getLastController() const { return m_lastController; }

private:
    RemoteMemAPI* m_api;
    AddressTransTable m_table;
    MemController* m_lastController = nullptr;
};
