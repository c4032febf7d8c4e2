#pragma once
// Ports of the JACK server.

#include "editor/midi/MIDIPortAccessor.h"

#include <QStringList>

#include <memory>
#include <mutex>

class JackMIDIService;

class TJackMIDIPortAccessor : public TUniMIDIPortAccessor {
public:
    TJackMIDIPortAccessor();
    ~TJackMIDIPortAccessor() override;

    // Counting takes a fresh snapshot of the server's ports; the names
    // asked for afterwards come from it.
    int getNumPorts(int io) const override;
    QString identifierForIndex(int io, int index) const override;

    // The connection shared by the accessors alive (null without a server);
    // transports keep a reference.
    static std::shared_ptr<JackMIDIService> client();

private:
    mutable QStringList m_snapshot[2];
    static std::mutex s_mutex;
    static std::shared_ptr<JackMIDIService> s_client;
    static int s_midiClientCounter;
};
