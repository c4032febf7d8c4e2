#pragma once
// The routes the memory API opens to the keyboard: owns the SysEx address
// table and the route manager for the API's lifetime, and makes and deletes
// the encoder, the decoder and the connection watcher of each route.

#include <memory>

#include "editor/memory/ComuLink.h"
#include "editor/protocol/ComuController.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"

class ConnectionWatcher;
class MessageDecoder;
class MessageEncoder;

class ComuRouteProvider : public RouteProvider {
public:
    // The watcher's period is injectable so that tests need not wait.
    explicit ComuRouteProvider(int watchPeriodMs = 5000);
    ~ComuRouteProvider() override;

    DecoderLink* openInput(RemoteMemAPI& api, int watchInput, int dataInput) override;
    EncoderLink* openOutput(RemoteMemAPI& api, int output) override;
    void closeRoute() override;
    QStringList getInputPortList() override;
    QStringList getOutputPortList() override;

    ComuController& controller() { return *m_controller; }
    SysExParamChangeAddressTransTable& sysExTable() { return m_table; }
    MessageEncoder* encoder() const { return m_encoder.get(); }
    MessageDecoder* decoder() const { return m_decoder.get(); }
    ConnectionWatcher* watcher() const { return m_watcher.get(); }

private:
    SysExParamChangeAddressTransTable m_table;
    std::unique_ptr<ComuController> m_controller;
    int m_watchPeriodMs;
    std::unique_ptr<MessageEncoder> m_encoder;
    std::unique_ptr<MessageDecoder> m_decoder;
    std::unique_ptr<ConnectionWatcher> m_watcher;
};
