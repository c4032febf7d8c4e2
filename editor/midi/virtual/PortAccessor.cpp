#include "editor/midi/virtual/PortAccessor.h"

#include "editor/midi/virtual/Service.h"

std::mutex TVirtualMIDIPortAccessor::s_mutex;
std::shared_ptr<VirtualMIDIClient> TVirtualMIDIPortAccessor::s_client;
int TVirtualMIDIPortAccessor::s_midiClientCounter = 0;

TVirtualMIDIPortAccessor::TVirtualMIDIPortAccessor()
{
    std::lock_guard lock(s_mutex);
    if (!s_client)
        s_client = std::make_shared<VirtualMIDIClient>();
    ++s_midiClientCounter;
}

TVirtualMIDIPortAccessor::~TVirtualMIDIPortAccessor()
{
    std::lock_guard lock(s_mutex);
    if (--s_midiClientCounter <= 0) {
        s_client.reset();
        s_midiClientCounter = 0;
    }
}

std::shared_ptr<VirtualMIDIClient> TVirtualMIDIPortAccessor::client()
{
    std::lock_guard lock(s_mutex);
    return s_client;
}

int TVirtualMIDIPortAccessor::getNumPorts(int io) const
{
    VirtualMIDIService& service = VirtualMIDIService::instance();
    return io == 0 ? service.sourceCount() : service.destinationCount();
}

QString TVirtualMIDIPortAccessor::identifierForIndex(int io, int index) const
{
    QString device;
    QString endpoint;
    if (!VirtualMIDIService::instance().endpointAt(io, index, &device, &endpoint))
        return {};
    return makeIdentifier(device, endpoint, index);
}
