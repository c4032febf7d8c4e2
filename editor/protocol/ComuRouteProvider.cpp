#include "editor/protocol/ComuRouteProvider.h"

#include "editor/memory/RemoteMemAPI.h"
#include "editor/protocol/ConnectionWatcher.h"
#include "editor/protocol/MessageDecoder.h"
#include "editor/protocol/MessageEncoder.h"

ComuRouteProvider::ComuRouteProvider(int watchPeriodMs)
    : m_controller(std::make_unique<ComuController>(&m_table)), m_watchPeriodMs(watchPeriodMs)
{
}

ComuRouteProvider::~ComuRouteProvider()
{
    closeRoute();
    m_controller.reset();
}

DecoderLink* ComuRouteProvider::openInput(RemoteMemAPI& api, int watchInput, int dataInput)
{
    if (m_decoder || m_watcher)
        return nullptr;
    auto decoder = std::make_unique<MessageDecoder>(&m_table, api.rxModelId(), dataInput, &api,
                                                    MessageDecoder::kFilterType);
    auto watcher = std::make_unique<ConnectionWatcher>(watchInput, &api, ConnectionWatcher::kFilterType,
                                                       m_watchPeriodMs);
    const auto dataPort = static_cast<ComuController::DWORD>(dataInput);
    const bool dataWasOpen = m_controller->isPortActive(0, dataPort);
    if (!m_controller->setMessageProcessorAndOpenPort(decoder.get()))
        return nullptr;
    if (!m_controller->setMessageProcessorAndOpenPort(watcher.get())) {
        // Close what this call opened before its consumer goes away.
        if (!dataWasOpen)
            m_controller->releasePort(0, dataPort);
        return nullptr;
    }
    m_decoder = std::move(decoder);
    m_watcher = std::move(watcher);
    return m_decoder.get();
}

EncoderLink* ComuRouteProvider::openOutput(RemoteMemAPI& api, int output)
{
    if (m_encoder)
        return nullptr;
    auto encoder = std::make_unique<MessageEncoder>(api.txModelId(), m_table, *m_controller, output, &api);
    if (!m_controller->requestPort(1, static_cast<ComuController::DWORD>(output), 0, nullptr))
        return nullptr;
    m_encoder = std::move(encoder);
    return m_encoder.get();
}

void ComuRouteProvider::closeRoute()
{
    m_encoder.reset();
    // Closing the inputs stops their pumps, so no Process call is running
    // when decoder and watcher go.
    m_controller->CloseAllOpendPortAndDeleteAllTransporters();
    m_decoder.reset();
    m_watcher.reset();
}

QStringList ComuRouteProvider::getInputPortList()
{
    return m_controller->getInputPortList();
}

QStringList ComuRouteProvider::getOutputPortList()
{
    return m_controller->getOutputPortList();
}
