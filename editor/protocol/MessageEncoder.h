#pragma once
// Builds the keyboard's messages from memory values, keeps them in a
// transmit queue and sends them through the route manager. The queue is
// paced by the keyboard's answers, not by time: messages that need no answer
// go out back to back, while a bulk dump request or a template dump ends a
// sending pass; the decoder resumes sending when the answer arrives.

#include <QObject>
#include <QString>

#include <list>
#include <mutex>
#include <vector>

#include "editor/memory/ComuLink.h"
#include "editor/memory/ParamAddress.h"
#include "editor/protocol/SysExMessages.h"

class AddressTransTable;
class ComuController;
class RemoteMemAPI;
class SysExParamChangeAddressTransTable;

class MessageEncoder : public QObject, public EncoderLink {
public:
    enum BulkType { BulkNormal = 0, BulkEditBuffer = 1 };
    enum BulkType2 { BulkHeader = 0, BulkFooter = 2 };

    // One outgoing message, from 0x43 up to and including F7, exact size.
    struct Event {
        long portId = 0;
        SysExMsg::Bytes bytes;
    };
    struct Group {
        bool wait = false;
        std::vector<Event> events;
    };

    MessageEncoder(const unsigned char* modelId, SysExParamChangeAddressTransTable& table,
                   ComuController& route, long port, RemoteMemAPI* api);
    ~MessageEncoder() override;

    // ---- building one event (false only for a missing event) ----
    bool createParamChange(Event* event, const unsigned char* midLow, const unsigned char* values,
                           int count);
    bool createParamReq(const unsigned char* midLow, long port, Event* event);
    bool createBulkReqHeaderFooter(BulkType type, BulkType2 type2, int templ, Event* event);
    bool createBulkHeaderFooter(BulkType type, BulkType2 type2, int templ, Event* event);
    bool createBulkContent(int block, int bank, int templ, Event* event);
    static void CreateByteCount(std::vector<unsigned char>& message, unsigned char* high,
                                unsigned char* low);
    static void CreateBulkChecksum(std::vector<unsigned char>& message);

    // ---- queueing: any failure empties the queue (bufferingMsg excepted) ----
    bool bufferingMsg(Event& event);
    bool enqueueParamChange(const ParamAddress& address, int value) override;
    bool enqueueParamChange(const ParamAddress& address, const QString& text) override;
    bool enqueueParamChange(const unsigned char* midLow, const unsigned char* values, int count);
    bool enqueueParamReq(const unsigned char* midLow);
    bool enququeTemplateNumberReq();
    bool enququeBankEditFlagReq();
    bool enququeTemplateNumberSelect();
    bool enqueueBulkReqHeaderFooter(BulkType type, BulkType2 type2, int templ);
    bool enqueue1TemplateBulk(int bank, int templ);
    bool enqueueStoreToFlash() override;

    // ---- sending ----
    bool sendMessage(bool* wasEmpty) override;
    bool sendParamChange(const unsigned char* midLow, unsigned char value);
    bool sendBulk(int bank, int templ) override;
    bool sendHardWareDataReq(bool withEditBuffers) override;
    bool sendEditorAllData(bool editBuffersOnly) override;
    bool sendParamChangeOfController(int bank, int templ, int knob) override;
    bool send1TemplateDataParamChange(int bank, int templ) override;
    bool sendStoreMessage() override;
    void clearTransmitQueue(bool lock) override;

    // ---- inspection (tests, benchmarks) ----
    int queuedGroupCount();
    int queuedEventCount();
    bool hasOpenGroup();
    long port() const { return m_port; }

private:
    // Values are read from memory while queueing, and the decoder resumes the
    // queue with the memory lock held: so the memory lock is always taken
    // before the encoder lock.
    class Locker;
    bool enqueueChecked(Event& event);
    bool enqueueTextChanges(unsigned char mid, unsigned char low, int width, const QString& text);
    bool enqueueRemoteNumber(unsigned char mid, unsigned char low, const QString& text);
    bool enqueueValue(int bank, int templ, int controller, int parameter);
    int numberAt(int bank, int templ, int controller, int parameter);
    QString textAt(int bank, int templ, int controller, int parameter);

    unsigned char m_modelId[2];
    SysExParamChangeAddressTransTable& m_table;
    ComuController& m_route;
    long m_port;
    RemoteMemAPI* m_api;
    AddressTransTable* m_addressTable = nullptr;
    std::recursive_mutex m_lock;
    std::list<Group> m_queue;
    Group* m_openGroup = nullptr;
};
