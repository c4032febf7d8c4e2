#pragma once
// Transport over the in-process virtual service.

#include "editor/midi/MIDITransport.h"
#include "editor/midi/virtual/Service.h"

#include <cstdint>
#include <memory>

struct VirtualMIDIClient;

class TVirtualMIDI final : public TMIDITransport, private VirtualMIDIService::Receiver {
    Q_OBJECT
public:
    explicit TVirtualMIDI(std::shared_ptr<VirtualMIDIClient> client);
    ~TVirtualMIDI() override;

    bool openInput(int port, TMIDIReaderRefConInterface* reader, int filterType) override;
    void closeInput() override;
    bool openOutput(int port) override;
    void closeOutput() override;
    bool outputData(int length, unsigned char* data, unsigned long status) override;

private:
    void receive(const unsigned char* bytes, int length, uint64_t ns) override;

    std::shared_ptr<VirtualMIDIClient> m_client;
    uint64_t m_connection = 0;
    uint64_t m_destination = 0;
};
