#include "editor/memory/MemBinding.h"

#include "editor/memory/MemProxy.h"

#include <QObject>

namespace {
template <typename Visit>
void visitProxies(QObject* object, const Visit& visit)
{
    if (!object)
        return;
    if (auto* proxy = dynamic_cast<MemProxy*>(object))
        visit(*proxy);
    // A copy: binding a control may add or remove children of its own.
    const QObjectList children = object->children();
    for (QObject* child : children)
        visitProxies(child, visit);
}
} // namespace

void createMemProxyController(MemControllerFactory* factory, QObject* root)
{
    visitProxies(root, [factory](MemProxy& proxy) {
        proxy.initializeMemAPI(factory);
        proxy.assignMemAPI();
    });
}

void assignBank(QObject* root, int bank)
{
    visitProxies(root, [bank](MemProxy& proxy) { proxy.assignClassMemAPI(bank, MemProxy::ContextBank); });
}

void assignTemplate(QObject* root, int templ)
{
    visitProxies(root, [templ](MemProxy& proxy) { proxy.assignClassMemAPI(templ, MemProxy::ContextTemplate); });
}

void assignController(QObject* root, int knob)
{
    visitProxies(root, [knob](MemProxy& proxy) { proxy.assignClassMemAPI(knob, MemProxy::ContextKnob); });
}
