#pragma once
// A recording stand-in for the keyboard link: every call the memory API makes
// on the route is written to a shared log, and each result can be chosen.

#include "editor/memory/ComuLink.h"
#include "editor/memory/ParamAddress.h"

#include <QString>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct RouteLog {
    std::mutex mutex;
    std::vector<std::string> calls;

    bool openInputResult = true;
    bool openOutputResult = true;
    bool sendEditorAllDataResult = true;
    bool sendStoreMessageResult = true;
    bool enqueueStoreToFlashResult = true;
    bool sendMessageResult = true;

    void add(std::string call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }
    std::vector<std::string> take()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
};

inline std::string str(const ParamAddress& a)
{
    return a.toString().toStdString();
}

class FakeEncoder : public EncoderLink {
public:
    explicit FakeEncoder(std::shared_ptr<RouteLog> log) : m_log(std::move(log)) {}
    bool enqueueParamChange(const ParamAddress& address, int value) override
    {
        m_log->add("enqueue " + str(address) + "=" + std::to_string(value));
        return true;
    }
    bool enqueueParamChange(const ParamAddress& address, const QString& text) override
    {
        m_log->add("enqueue " + str(address) + "='" + text.toStdString() + "'");
        return true;
    }
    bool sendMessage(bool* wasEmpty) override
    {
        if (wasEmpty)
            *wasEmpty = true;
        m_log->add("sendMessage");
        return m_log->sendMessageResult;
    }
    bool sendBulk(int bank, int templ) override
    {
        m_log->add("sendBulk " + std::to_string(bank) + "," + std::to_string(templ));
        return true;
    }
    bool sendParamChangeOfController(int bank, int templ, int knob) override
    {
        m_log->add("sendParamChangeOfController " + std::to_string(bank) + "," + std::to_string(templ) + ","
            + std::to_string(knob));
        return true;
    }
    bool sendHardWareDataReq(bool withEditBuffers) override
    {
        m_log->add(std::string("sendHardWareDataReq ") + (withEditBuffers ? "1" : "0"));
        return true;
    }
    bool sendEditorAllData(bool editBuffersOnly) override
    {
        m_log->add(std::string("sendEditorAllData ") + (editBuffersOnly ? "1" : "0"));
        return m_log->sendEditorAllDataResult;
    }
    bool send1TemplateDataParamChange(int bank, int templ) override
    {
        m_log->add("send1TemplateDataParamChange " + std::to_string(bank) + "," + std::to_string(templ));
        return true;
    }
    bool sendStoreMessage() override
    {
        m_log->add("sendStoreMessage");
        return m_log->sendStoreMessageResult;
    }
    bool enqueueStoreToFlash() override
    {
        m_log->add("enqueueStoreToFlash");
        return m_log->enqueueStoreToFlashResult;
    }
    void clearTransmitQueue(bool lock) override { m_log->add(std::string("clearTransmitQueue ") + (lock ? "1" : "0")); }

private:
    std::shared_ptr<RouteLog> m_log;
};

class FakeDecoder : public DecoderLink {
public:
    explicit FakeDecoder(std::shared_ptr<RouteLog> log) : m_log(std::move(log)) {}
    void incrementTransmitedBulkCounter() override { m_log->add("incrementTransmitedBulkCounter"); }
    void incrementTransmitedBulkReqCounter() override { m_log->add("incrementTransmitedBulkReqCounter"); }
    void clearTransmitedBulkCounter() override { m_log->add("clearTransmitedBulkCounter"); }
    void clearTransmitedBulkReqCounter() override { m_log->add("clearTransmitedBulkReqCounter"); }

private:
    std::shared_ptr<RouteLog> m_log;
};

class FakeRouteProvider : public RouteProvider {
public:
    explicit FakeRouteProvider(std::shared_ptr<RouteLog> log) : m_log(std::move(log)) {}
    ~FakeRouteProvider() override { m_log->add("~provider"); }

    DecoderLink* openInput(RemoteMemAPI&, int watchInput, int dataInput) override
    {
        m_log->add("openInput " + std::to_string(watchInput) + "," + std::to_string(dataInput));
        if (!m_log->openInputResult)
            return nullptr;
        m_decoder = std::make_unique<FakeDecoder>(m_log);
        return m_decoder.get();
    }
    EncoderLink* openOutput(RemoteMemAPI&, int output) override
    {
        m_log->add("openOutput " + std::to_string(output));
        if (!m_log->openOutputResult)
            return nullptr;
        m_encoder = std::make_unique<FakeEncoder>(m_log);
        return m_encoder.get();
    }
    void closeRoute() override
    {
        m_log->add("closeRoute");
        m_encoder.reset();
        m_decoder.reset();
    }
    QStringList getInputPortList() override { return {QStringLiteral("ZenoA Port1"), QStringLiteral("ZenoA Port5")}; }
    QStringList getOutputPortList() override { return {QStringLiteral("ZenoA Port5")}; }

private:
    std::shared_ptr<RouteLog> m_log;
    std::unique_ptr<FakeEncoder> m_encoder;
    std::unique_ptr<FakeDecoder> m_decoder;
};
