#include "editor/midi/virtual/Transport.h"

#include "editor/midi/virtual/PortAccessor.h"

#include <utility>

TVirtualMIDI::TVirtualMIDI(std::shared_ptr<VirtualMIDIClient> client)
    : m_client(std::move(client))
{
}

TVirtualMIDI::~TVirtualMIDI()
{
    closeInput();
    closeOutput();
}

bool TVirtualMIDI::openInput(int port, TMIDIReaderRefConInterface* reader, int /*filterType*/)
{
    if (!m_client)
        return false;
    closeInput();
    VirtualMIDIService& service = VirtualMIDIService::instance();
    const uint64_t source = service.endpointHandle(0, port - 1);
    if (!source)
        return false;
    setReader(reader);
    startPusherThread();
    m_connection = service.connect(source, this);
    if (!m_connection) {
        closeInput();
        return false;
    }
    return true;
}

void TVirtualMIDI::closeInput()
{
    if (m_connection) {
        VirtualMIDIService::instance().disconnect(m_connection);
        m_connection = 0;
    }
    stopPusherThread();
}

bool TVirtualMIDI::openOutput(int port)
{
    if (!m_client)
        return false;
    m_destination = VirtualMIDIService::instance().endpointHandle(1, port - 1);
    return m_destination != 0;
}

void TVirtualMIDI::closeOutput()
{
    m_destination = 0;
}

bool TVirtualMIDI::outputData(int length, unsigned char* data, unsigned long status)
{
    const uint64_t destination = m_destination;
    if (!destination)
        return false;
    return sendInPieces(length, data, status, [destination](const unsigned char* bytes, int count) {
        return VirtualMIDIService::instance().send(destination, bytes, count);
    });
}

void TVirtualMIDI::receive(const unsigned char* bytes, int length, uint64_t ns)
{
    setPacketTime(ns);
    read(length, bytes);
}
