#pragma once
// Consumer of the events arriving on one input port (the decoder and the
// connection watcher). Process runs on the port's pump thread.

#include "editor/midi/MIDIEvent.h"

class RemoteMemAPI;

class MessageProcessor {
public:
    MessageProcessor(long port, RemoteMemAPI* api, int filterType)
        : m_port(port), m_api(api), m_filterType(filterType)
    {
    }
    virtual ~MessageProcessor() = default;
    MessageProcessor(const MessageProcessor&) = delete;
    MessageProcessor& operator=(const MessageProcessor&) = delete;

    virtual bool Process(tagMPEVENT& event) = 0;

    long getPortID() const { return m_port; }
    int getMidiFilterType() const { return m_filterType; }
    RemoteMemAPI* memAPI() const { return m_api; }

protected:
    long m_port;
    RemoteMemAPI* m_api;
    int m_filterType;
};
