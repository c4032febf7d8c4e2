#include "editor/memory/MemProxyEventObject.h"

#include "editor/memory/MemProxy.h"

MemProxyEventObject::MemProxyEventObject(MemProxy* proxy)
    : m_proxy(proxy)
{
    connect(this, &MemProxyEventObject::paramUpdateSignal, this, &MemProxyEventObject::paramUpdateSlot,
        Qt::QueuedConnection);
}

MemProxyEventObject::~MemProxyEventObject() = default;

void MemProxyEventObject::requestRefresh()
{
    if (!m_refreshPending.exchange(true))
        emit paramUpdateSignal();
}

void MemProxyEventObject::paramUpdateSlot()
{
    // Cleared before the refresh, so a change that lands during it asks for
    // another one.
    m_refreshPending = false;
    if (m_proxy)
        m_proxy->paramUpdate();
}
