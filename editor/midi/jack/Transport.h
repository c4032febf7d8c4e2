#pragma once
// Transport over a JACK MIDI port of the shared client.

#include "editor/midi/MIDITransport.h"
#include "editor/midi/jack/Service.h"

#include <memory>

class TJackMIDI final : public TMIDITransport, private JackMIDIService::InputSink {
    Q_OBJECT
public:
    explicit TJackMIDI(std::shared_ptr<JackMIDIService> client);
    ~TJackMIDI() override;

    bool openInput(int port, TMIDIReaderRefConInterface* reader, int filterType) override;
    void closeInput() override;
    bool openOutput(int port) override;
    void closeOutput() override;
    bool outputData(int length, unsigned char* data, unsigned long status) override;

private:
    void receive(const unsigned char* bytes, int length, uint64_t ns) override;

    std::shared_ptr<JackMIDIService> m_client;
    int m_input = -1;
    int m_output = -1;
};
