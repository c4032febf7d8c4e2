#include "editor/midi/jack/Transport.h"

#include <utility>

TJackMIDI::TJackMIDI(std::shared_ptr<JackMIDIService> client)
    : m_client(std::move(client))
{
}

TJackMIDI::~TJackMIDI()
{
    closeInput();
    closeOutput();
}

bool TJackMIDI::openInput(int port, TMIDIReaderRefConInterface* reader, int /*filterType*/)
{
    if (!m_client || !m_client->alive())
        return false;
    closeInput();
    // The number means the port it meant in the lists the caller saw; if
    // that port has gone, the connection fails rather than reaching another.
    const QString source = JackPortNumbers::instance().nameOf(0, port);
    if (source.isEmpty())
        return false;
    setReader(reader);
    startPusherThread();
    m_input = m_client->openInput(source, this);
    if (m_input < 0) {
        closeInput();
        return false;
    }
    return true;
}

void TJackMIDI::closeInput()
{
    if (m_input >= 0) {
        m_client->closeInput(m_input);
        m_input = -1;
    }
    stopPusherThread();
}

bool TJackMIDI::openOutput(int port)
{
    if (!m_client || !m_client->alive())
        return false;
    closeOutput();
    const QString destination = JackPortNumbers::instance().nameOf(1, port);
    if (destination.isEmpty())
        return false;
    m_output = m_client->openOutput(destination);
    return m_output >= 0;
}

void TJackMIDI::closeOutput()
{
    if (m_output >= 0) {
        m_client->closeOutput(m_output);
        m_output = -1;
    }
}

bool TJackMIDI::outputData(int length, unsigned char* data, unsigned long status)
{
    if (m_output < 0 || !m_client)
        return false;
    JackMIDIService* service = m_client.get();
    const int slot = m_output;
    return sendInPieces(length, data, status, [service, slot](const unsigned char* bytes, int count) {
        return service->send(slot, bytes, count);
    });
}

void TJackMIDI::receive(const unsigned char* bytes, int length, uint64_t ns)
{
    setPacketTime(ns);
    read(length, bytes);
}
