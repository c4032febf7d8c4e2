#include "editor/protocol/ConnectionWatcher.h"

#include <QTimerEvent>

#include "editor/memory/RemoteMemAPI.h"

ConnectionWatcher::ConnectionWatcher(int port, RemoteMemAPI* api, int filterType, int periodMs)
    : MessageProcessor(port, api, filterType), m_periodMs(periodMs > 0 ? periodMs : kDefaultPeriodMs)
{
    m_timerId = startTimer(m_periodMs);
}

ConnectionWatcher::~ConnectionWatcher()
{
    if (m_timerId)
        killTimer(m_timerId);
}

bool ConnectionWatcher::Process(tagMPEVENT& event)
{
    m_heard.store(true);
    if (m_api && event.kind == MPEV_ACTIVESENSING && !m_api->isONLINE() && m_api->isWatchPortActivate())
        m_api->emitPortActivatedSignal();
    return true;
}

void ConnectionWatcher::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timerId) {
        QObject::timerEvent(event);
        return;
    }
    // A whole period without any event on the watch port: the link is lost.
    if (m_heard.exchange(false))
        return;
    if (m_api && m_api->isONLINE())
        m_api->setONLINEstate(0);
}
