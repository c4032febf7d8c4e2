#include "editor/midi/alsa/Transport.h"

#include <utility>

TAlsaMIDI::TAlsaMIDI(std::shared_ptr<AlsaMIDIService> client)
    : m_client(std::move(client))
{
}

TAlsaMIDI::~TAlsaMIDI()
{
    closeInput();
    closeOutput();
}

bool TAlsaMIDI::openInput(int port, TMIDIReaderRefConInterface* reader, int /*filterType*/)
{
    if (!m_client)
        return false;
    closeInput();
    const std::vector<AlsaMIDIService::Address> sources = m_client->numberedPorts(0);
    if (port < 1 || size_t(port) > sources.size())
        return false;
    setReader(reader);
    startPusherThread();
    m_input = m_client->openInput(sources[size_t(port - 1)], this);
    if (m_input < 0) {
        closeInput();
        return false;
    }
    return true;
}

void TAlsaMIDI::closeInput()
{
    if (m_input >= 0) {
        m_client->closeInput(m_input);
        m_input = -1;
    }
    stopPusherThread();
}

bool TAlsaMIDI::openOutput(int port)
{
    if (!m_client)
        return false;
    closeOutput();
    const std::vector<AlsaMIDIService::Address> destinations = m_client->numberedPorts(1);
    if (port < 1 || size_t(port) > destinations.size())
        return false;
    m_output = m_client->openOutput(destinations[size_t(port - 1)]);
    return m_output >= 0;
}

void TAlsaMIDI::closeOutput()
{
    if (m_output >= 0) {
        m_client->closeOutput(m_output);
        m_output = -1;
    }
}

bool TAlsaMIDI::outputData(int length, unsigned char* data, unsigned long status)
{
    if (m_output < 0 || !m_client)
        return false;
    AlsaMIDIService* service = m_client.get();
    const int slot = m_output;
    return sendInPieces(length, data, status, [service, slot](const unsigned char* bytes, int count) {
        return service->send(slot, bytes, count);
    });
}

void TAlsaMIDI::receive(const unsigned char* bytes, int length, uint64_t ns)
{
    setPacketTime(ns);
    read(length, bytes);
}
