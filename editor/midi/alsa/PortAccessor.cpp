#include "editor/midi/alsa/PortAccessor.h"

#include "editor/midi/alsa/Service.h"

std::mutex TAlsaMIDIPortAccessor::s_mutex;
std::shared_ptr<AlsaMIDIService> TAlsaMIDIPortAccessor::s_client;
int TAlsaMIDIPortAccessor::s_midiClientCounter = 0;

TAlsaMIDIPortAccessor::TAlsaMIDIPortAccessor()
{
    std::lock_guard lock(s_mutex);
    if (!s_client)
        s_client = AlsaMIDIService::open();
    ++s_midiClientCounter;
}

TAlsaMIDIPortAccessor::~TAlsaMIDIPortAccessor()
{
    std::lock_guard lock(s_mutex);
    if (--s_midiClientCounter <= 0) {
        s_client.reset();
        s_midiClientCounter = 0;
    }
}

std::shared_ptr<AlsaMIDIService> TAlsaMIDIPortAccessor::client()
{
    std::lock_guard lock(s_mutex);
    return s_client;
}

int TAlsaMIDIPortAccessor::getNumPorts(int io) const
{
    if (io < 0 || io > 1)
        return 0;
    // A service that was missing or went away gets a new chance at every
    // rescan, so a server started (or restarted) later is picked up.
    {
        std::lock_guard lock(s_mutex);
        if (!s_client)
            s_client = AlsaMIDIService::open();
    }
    const std::shared_ptr<AlsaMIDIService> service = client();
    m_snapshot[io] = service ? service->ports(io) : std::vector<AlsaMIDIService::Address>();
    if (service)
        service->rememberPorts(io, m_snapshot[io]);
    return int(m_snapshot[io].size());
}

QString TAlsaMIDIPortAccessor::identifierForIndex(int io, int index) const
{
    if (io < 0 || io > 1 || index < 0 || size_t(index) >= m_snapshot[io].size())
        return {};
    const std::shared_ptr<AlsaMIDIService> service = client();
    QString device;
    QString endpoint;
    if (!service || !service->portNames(m_snapshot[io][size_t(index)], &device, &endpoint))
        return {};
    return makeIdentifier(device, endpoint, index);
}
