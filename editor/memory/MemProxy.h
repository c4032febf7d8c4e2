#pragma once
// The memory side of a bound control. It keeps the control's address (a name
// such as "knobA1/ccNumber" or "templateName", or numbers), binds a
// controller when the view is ready, follows the view to other banks,
// templates and knobs, and refreshes the control on the user interface thread
// whenever the watched value may have changed.
//
// A control derives from its widget class and from MemProxy, and implements
// updateMemAPI() to copy the value from memory into the widget.

#include "editor/memory/MemChangeObserver.h"
#include "editor/memory/MemControllerHelper.h"

#include <QString>
#include <memory>

class MemControllerFactory;
class MemProxyEventObject;

class MemProxy : public MemControllerHelper, public MemChangeObserver {
public:
    enum ContextKind {
        ContextBank = 0,
        ContextTemplate = 1,
        ContextKnob = 2,
    };

    MemProxy();
    ~MemProxy() override;

    void assign() override;
    // Binds the proxy: makes its controller (once), addresses it from the
    // name or the numbers and registers. Without an address it unbinds.
    virtual void assignMemAPI();
    // Copies the value from memory into the control. Runs on the user
    // interface thread only.
    virtual void updateMemAPI() = 0;
    // Refreshes at once on the user interface thread; from any other thread
    // it only queues the refresh there.
    void paramUpdate() override;

    void initializeMemAPI(MemControllerFactory* factory);
    MemControllerFactory* getFactory() const { return m_factory; }

    void setNamedAddress(const QString& name);
    QString getNamedAddress() const { return m_namedAddress; }
    void setNumericAddress(int controller, int parameter);
    bool hasAddress() const { return m_hasAddress; }

    // kind: 0 bank, 1 template, 2 knob; others are ignored.
    void assignClassMemAPI(int value, int kind);
    int getBankNumber() const { return m_bank; }
    int getTemplateNumber() const { return m_template; }
    int getKnobNumber() const { return m_knob; }

    bool isBound() const { return m_bound; }
    // 0 while not bound.
    int getMemAPICurrentValue() const;
    int getMemAPIMinimumValue() const;
    int getMemAPIMaximumValue() const;
    // Ignored while not bound.
    void setMemAPICurrentValue(int value);
    void setMemAPIString(const QString& text);
    // The host's no-assignment identifier while not bound.
    QString getMemAPIString() const;

    MemProxyEventObject* getEventObject() const { return m_eventObject.get(); }

private:
    // Addresses the controller from the name or the numbers with the current
    // bank, template and knob.
    void applyAddress();
    void unbind();

    bool m_bound = false;
    int m_bank = 0;
    int m_template = 0;
    int m_knob = 0;
    bool m_hasAddress = false;
    QString m_namedAddress;
    int m_numericController = -1;
    int m_numericParameter = -1;
    std::unique_ptr<MemProxyEventObject> m_eventObject;
    MemControllerFactory* m_factory = nullptr;
    bool m_controllerCreated = false;
};
