#include "editor/memory/MemChangeObserver.h"

#include "editor/memory/RemoteMemAPI.h"

MemChangeObserver::~MemChangeObserver()
{
    unregisterFromMemAPI();
}

void MemChangeObserver::unregisterFromMemAPI()
{
    if (m_memAPI) {
        m_memAPI->unregistObserver(this);
        m_memAPI = nullptr;
    }
}
