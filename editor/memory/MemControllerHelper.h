#pragma once
// The part of a control that owns its memory controller and forwards to it.
// Every forwarder does nothing (or returns nothing) while there is no
// controller.

#include "editor/memory/NumericParameter.h"
#include "editor/memory/ParamAddress.h"

#include <QString>
#include <memory>

class MemController;
class RemoteMemAPI;

class MemControllerHelper {
public:
    MemControllerHelper();
    virtual ~MemControllerHelper();
    MemControllerHelper(const MemControllerHelper&) = delete;
    MemControllerHelper& operator=(const MemControllerHelper&) = delete;

    // Registers the observer for the controller's address.
    virtual void assign() = 0;
    virtual void postInitialize() {}

    bool setParam(long value);
    bool setParam(const QString& text);
    // The current value; 0 without a controller.
    int getParam() const;
    QString getParamQString() const;
    int getParamMaxValue() const;
    int getParamMinValue() const;
    void setParamAddressNumeric(int bank, int templ, int controller, int parameter);
    void setParamAddress(int bank, int templ, int controller, const char* name);
    void setParamAddress(int bank, int templ, int controller, const QString& name);
    void setParamAddress(int bank, int templ, const char* path);
    void setParamAddress(int bank, int templ, const QString& path);
    // A copy of the controller's address; (-1,-1,-1,-1) without a controller.
    ParamAddress getParamAddress() const;
    RemoteMemAPI* getMemapiOfController() const;

    // Re-addressing by one component.
    void setBankAdr(int bank);
    void setTemplateAdr(int templ);
    void setKnobAdr(int knob);

    MemController* getController() const { return m_controller.get(); }
    // Takes ownership; the previous controller is deleted. Null is ignored.
    void setController(MemController* controller);
    // Deletes the controller, if any.
    void deleteController();

private:
    std::unique_ptr<MemController> m_controller;
};
