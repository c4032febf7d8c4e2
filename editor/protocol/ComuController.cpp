#include "editor/protocol/ComuController.h"

#include "editor/midi/MIDIPortAccessor.h"
#include "editor/protocol/AppMIDIRoutes.h"
#include "editor/protocol/MessageProcessor.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;
} // namespace

ComuController::ComuController()
{
    Init_ComuController();
}

ComuController::ComuController(SysExParamChangeAddressTransTable* table) : m_sysExTable(table)
{
    Init_ComuController();
}

void ComuController::Init_ComuController()
{
    m_portAccessor.reset(MIDIPortAccessor());
}

ComuController::~ComuController()
{
    CloseAllOpendPortAndDeleteAllTransporters();
    m_portAccessor.reset();
}

bool ComuController::requestPort(int io, DWORD dwPortId, int FType, MessageProcessor* p1)
{
    if (dwPortId == 0)
        return false;
    if (io == 0) {
        if (m_midiInTransporters.count(dwPortId))
            return true;
        auto route = std::make_unique<TAppMIDIIn>(p1);
        if (!route->openPort(static_cast<long>(dwPortId), FType))
            return false;
        m_midiInTransporters.emplace(dwPortId, std::move(route));
        m_lastConsumer = p1;
        return true;
    }
    if (io != 1)
        return false;
    {
        Lock mapLock(m_mapLock);
        if (m_midiOutTransporters.count(dwPortId))
            return true;
    }
    std::shared_ptr<std::recursive_mutex> newMutex;
    {
        Lock mapLock(m_mapLock);
        if (!m_midiOutMutexes.count(dwPortId))
            newMutex = std::make_shared<std::recursive_mutex>();
    }
    auto route = std::make_unique<TAppMIDIOut>();
    if (!route->openPort(static_cast<long>(dwPortId)))
        return false; // route, its transport and the new mutex go with the scope
    Lock mapLock(m_mapLock);
    m_midiOutTransporters.emplace(dwPortId, std::move(route));
    if (newMutex)
        m_midiOutMutexes.emplace(dwPortId, std::move(newMutex));
    return true;
}

void ComuController::releasePort(int io, DWORD dwPortId)
{
    if (io == 0) {
        auto it = m_midiInTransporters.find(dwPortId);
        if (it == m_midiInTransporters.end())
            return;
        std::unique_ptr<TAppMIDIIn> route = std::move(it->second);
        m_midiInTransporters.erase(it);
        route.reset(); // stops the pump
        return;
    }
    std::shared_ptr<std::recursive_mutex> portMutex;
    {
        Lock mapLock(m_mapLock);
        auto mutexIt = m_midiOutMutexes.find(dwPortId);
        if (mutexIt == m_midiOutMutexes.end() || !m_midiOutTransporters.count(dwPortId))
            return;
        portMutex = mutexIt->second;
    }
    std::unique_ptr<TAppMIDIOut> route;
    {
        // The port's mutex first: a send in progress finishes before the
        // route goes away.
        Lock portLock(*portMutex);
        Lock mapLock(m_mapLock);
        auto it = m_midiOutTransporters.find(dwPortId);
        if (it != m_midiOutTransporters.end()) {
            route = std::move(it->second);
            m_midiOutTransporters.erase(it);
        }
    }
    route.reset();
}

bool ComuController::isPortActive(int io, DWORD dwPortId)
{
    if (io == 0)
        return m_midiInTransporters.count(dwPortId) != 0;
    Lock mapLock(m_mapLock);
    return m_midiOutTransporters.count(dwPortId) != 0;
}

bool ComuController::setMessageProcessorAndOpenPort(MessageProcessor* p1)
{
    if (!p1)
        return false;
    return requestPort(0, static_cast<DWORD>(p1->getPortID()), p1->getMidiFilterType(), p1);
}

QStringList ComuController::getInputPortList()
{
    auto* uni = dynamic_cast<TUniMIDIPortAccessor*>(m_portAccessor.get());
    if (!uni)
        return {};
    uni->updatePortInfo();
    return uni->getInputPortList();
}

QStringList ComuController::getOutputPortList()
{
    auto* uni = dynamic_cast<TUniMIDIPortAccessor*>(m_portAccessor.get());
    if (!uni)
        return {};
    uni->updatePortInfo();
    return uni->getOutputPortList();
}

void ComuController::CloseAllOpendPortAndDeleteAllTransporters()
{
    while (!m_midiInTransporters.empty())
        releasePort(0, m_midiInTransporters.begin()->first);
    m_lastConsumer = nullptr;
    for (;;) {
        DWORD port = 0;
        {
            Lock mapLock(m_mapLock);
            if (m_midiOutTransporters.empty())
                break;
            port = m_midiOutTransporters.begin()->first;
        }
        releasePort(1, port);
    }
    Lock mapLock(m_mapLock);
    m_midiOutMutexes.clear();
}

ComuController::HRESULT ComuController::midiOutDispatch(MPEVENT rEvent, int eMode)
{
    Q_UNUSED(eMode);
    const DWORD port = static_cast<DWORD>(rEvent.portId);
    std::shared_ptr<std::recursive_mutex> portMutex;
    {
        Lock mapLock(m_mapLock);
        auto it = m_midiOutMutexes.find(port);
        if (it == m_midiOutMutexes.end())
            return kFailure;
        portMutex = it->second;
    }
    Lock portLock(*portMutex);
    TAppMIDIOut* route = nullptr;
    {
        Lock mapLock(m_mapLock);
        auto it = m_midiOutTransporters.find(port);
        if (it == m_midiOutTransporters.end())
            return kFailure;
        route = it->second.get();
    }
    return route->midiOut(rEvent);
}
