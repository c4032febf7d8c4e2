#pragma once
// Transport over a port of the shared ALSA sequencer client.

#include "editor/midi/MIDITransport.h"
#include "editor/midi/alsa/Service.h"

#include <memory>

class TAlsaMIDI final : public TMIDITransport, private AlsaMIDIService::InputSink {
    Q_OBJECT
public:
    explicit TAlsaMIDI(std::shared_ptr<AlsaMIDIService> client);
    ~TAlsaMIDI() override;

    bool openInput(int port, TMIDIReaderRefConInterface* reader, int filterType) override;
    void closeInput() override;
    bool openOutput(int port) override;
    void closeOutput() override;
    bool outputData(int length, unsigned char* data, unsigned long status) override;

private:
    void receive(const unsigned char* bytes, int length, uint64_t ns) override;

    std::shared_ptr<AlsaMIDIService> m_client;
    int m_input = -1;
    int m_output = -1;
};
