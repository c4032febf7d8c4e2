#include "editor/midi/jack/PortAccessor.h"

#include "editor/midi/jack/Service.h"

std::mutex TJackMIDIPortAccessor::s_mutex;
std::shared_ptr<JackMIDIService> TJackMIDIPortAccessor::s_client;
int TJackMIDIPortAccessor::s_midiClientCounter = 0;

TJackMIDIPortAccessor::TJackMIDIPortAccessor()
{
    std::lock_guard lock(s_mutex);
    // A server that went away since the client was made gets a new chance.
    if (s_client && !s_client->alive())
        s_client->releaseIfDead();
    if (!s_client || !s_client->alive())
        s_client = JackMIDIService::open();
    ++s_midiClientCounter;
}

TJackMIDIPortAccessor::~TJackMIDIPortAccessor()
{
    std::lock_guard lock(s_mutex);
    if (--s_midiClientCounter <= 0) {
        s_client.reset();
        s_midiClientCounter = 0;
    }
}

std::shared_ptr<JackMIDIService> TJackMIDIPortAccessor::client()
{
    std::lock_guard lock(s_mutex);
    return s_client;
}

int TJackMIDIPortAccessor::getNumPorts(int io) const
{
    if (io < 0 || io > 1)
        return 0;
    // A service that was missing or went away gets a new chance at every
    // rescan, so a server started (or restarted) later is picked up.
    {
        std::lock_guard lock(s_mutex);
        if (s_client && !s_client->alive())
            s_client->releaseIfDead();
        if (!s_client || !s_client->alive())
            s_client = JackMIDIService::open();
    }
    const std::shared_ptr<JackMIDIService> service = client();
    // Numbers of ports that are absent now stay unused: their entries are
    // empty and the update leaves them out.
    m_snapshot[io] = JackPortNumbers::instance().update(io, service ? service->ports(io) : QStringList());
    return int(m_snapshot[io].size());
}

QString TJackMIDIPortAccessor::identifierForIndex(int io, int index) const
{
    if (io < 0 || io > 1 || index < 0 || index >= m_snapshot[io].size() || m_snapshot[io].at(index).isEmpty())
        return {};
    const std::shared_ptr<JackMIDIService> service = client();
    QString device;
    QString endpoint;
    if (!service || !service->portNames(m_snapshot[io].at(index), &device, &endpoint))
        return {};
    return makeIdentifier(device, endpoint, index);
}
