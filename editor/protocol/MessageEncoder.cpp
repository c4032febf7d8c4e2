#include "editor/protocol/MessageEncoder.h"

#include <type_traits>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/protocol/ComuController.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"

using namespace SysExMsg;

namespace {
constexpr int kTemplateNameWidth = 13;
constexpr int kVSTiNameWidth = 12;
constexpr int kDisplayNameWidth = 15;
constexpr int kRemoteNumberWidth = 9;

bool validTemplate(int templ)
{
    return templ >= 0 && templ < kTemplateCount;
}

bool validKnob(int knob)
{
    return knob >= 0 && knob < kKnobCount;
}
} // namespace

class MessageEncoder::Locker {
    using MemoryLock = std::remove_reference_t<decltype(std::declval<RemoteMemAPI&>().memoryLock())>;

public:
    explicit Locker(MessageEncoder& encoder)
        : m_memory(encoder.m_api ? &encoder.m_api->memoryLock() : nullptr), m_encoder(encoder.m_lock)
    {
        if (m_memory)
            m_memory->lock();
        m_encoder.lock();
    }
    ~Locker()
    {
        m_encoder.unlock();
        if (m_memory)
            m_memory->unlock();
    }
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;

private:
    MemoryLock* m_memory;
    std::recursive_mutex& m_encoder;
};

MessageEncoder::MessageEncoder(const unsigned char* modelId, SysExParamChangeAddressTransTable& table,
                               ComuController& route, long port, RemoteMemAPI* api)
    : m_table(table), m_route(route), m_port(port), m_api(api)
{
    m_modelId[0] = modelId ? modelId[0] : 0x7F;
    m_modelId[1] = modelId ? modelId[1] : 0x17;
    if (m_api)
        m_addressTable = m_api->getAddressTransTable();
}

MessageEncoder::~MessageEncoder()
{
    clearTransmitQueue(true);
}

// ---------------------------------------------------------------- building

bool MessageEncoder::createParamChange(Event* event, const unsigned char* midLow,
                                       const unsigned char* values, int count)
{
    if (!event || !midLow)
        return false;
    event->portId = m_port;
    event->bytes = paramChange(m_modelId, midLow[0], midLow[1], values, count);
    return true;
}

bool MessageEncoder::createParamReq(const unsigned char* midLow, long port, Event* event)
{
    if (!event || !midLow)
        return false;
    event->portId = port;
    event->bytes = paramRequest(m_modelId, midLow[0], midLow[1]);
    return true;
}

bool MessageEncoder::createBulkReqHeaderFooter(BulkType type, BulkType2 type2, int templ, Event* event)
{
    // The keyboard has no request for a footer.
    if (!event || type2 != BulkHeader || (type != BulkNormal && type != BulkEditBuffer)
        || !validTemplate(templ))
        return false;
    event->portId = m_port;
    event->bytes = bulkRequest(m_modelId, type == BulkNormal ? kMidNormalBulk : kMidEditBufferBulk, templ);
    return true;
}

bool MessageEncoder::createBulkHeaderFooter(BulkType type, BulkType2 type2, int templ, Event* event)
{
    if (!event || (type2 != BulkHeader && type2 != BulkFooter)
        || (type != BulkNormal && type != BulkEditBuffer) || !validTemplate(templ))
        return false;
    event->portId = m_port;
    event->bytes = bulkDump(m_modelId, type2 == BulkHeader ? kAddrBulkHeader : kAddrBulkFooter,
                            type == BulkNormal ? kMidNormalBulk : kMidEditBufferBulk,
                            static_cast<unsigned char>(templ), nullptr, 0);
    return true;
}

bool MessageEncoder::createBulkContent(int block, int bank, int templ, Event* event)
{
    if (!event || block < 0 || block > kKnobCount)
        return false;
    Bytes m;
    if (block == 0) {
        m = bulkDumpBegin(m_modelId, kAddrParam, kMidCommon, 0x00, kCommonBlockDataBytes);
        appendPaddedText(m, textAt(bank, templ, ParamAddress::ControllerTemplateName, -1), kTemplateNameWidth);
        appendPaddedText(m, textAt(bank, templ, ParamAddress::ControllerVSTiName, -1), kVSTiNameWidth);
        m.push_back(static_cast<unsigned char>(numberAt(bank, templ, ParamAddress::ControllerControlType, -1)));
        m.push_back(0); // reserved
    } else {
        const int knob = block - 1;
        m = bulkDumpBegin(m_modelId, kAddrParam, static_cast<unsigned char>(kMidKnobBase + knob), 0x00,
                          kKnobBlockDataBytes);
        appendPaddedText(m, textAt(bank, templ, knob, ParamAddress::ParamRemoteTagID), kRemoteNumberWidth);
        appendPaddedText(m, textAt(bank, templ, knob, ParamAddress::ParamDisplayName), kDisplayNameWidth);
        m.push_back(static_cast<unsigned char>(numberAt(bank, templ, knob, ParamAddress::ParamCCNumber)));
        m.push_back(static_cast<unsigned char>(numberAt(bank, templ, knob, ParamAddress::ParamDisplayFormat)));
    }
    bulkDumpFinish(m);
    event->portId = m_port;
    event->bytes = std::move(m);
    return true;
}

void MessageEncoder::CreateByteCount(std::vector<unsigned char>& message, unsigned char* high,
                                     unsigned char* low)
{
    byteCount(message, high, low);
}

void MessageEncoder::CreateBulkChecksum(std::vector<unsigned char>& message)
{
    message.push_back(checksum(message));
}

int MessageEncoder::numberAt(int bank, int templ, int controller, int parameter)
{
    if (!m_api)
        return 0;
    return m_api->getParam(ParamAddress(bank, templ, controller, parameter)).getCurrentValue() & 0x7F;
}

QString MessageEncoder::textAt(int bank, int templ, int controller, int parameter)
{
    if (!m_api)
        return {};
    return m_api->getParamQString(ParamAddress(bank, templ, controller, parameter));
}

// ---------------------------------------------------------------- queueing

bool MessageEncoder::bufferingMsg(Event& event)
{
    const Bytes& m = event.bytes;
    if (m.size() < 2 || m[0] != kManufacturer)
        return false;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const unsigned char command = m[kOffCommand];
    const unsigned char kind = command & 0xF0;

    auto appendGroup = [this, &event](bool wait) -> Group& {
        Group group;
        group.wait = wait;
        group.events.push_back(std::move(event));
        m_queue.push_back(std::move(group));
        return m_queue.back();
    };

    if (kind == kCmdParamChange || kind == kCmdParamRequest) {
        appendGroup(false);
        m_openGroup = nullptr;
        return true;
    }
    if (kind == kCmdBulkRequest) {
        if (m_openGroup)
            return false;
        appendGroup(true);
        if (m_api)
            m_api->incrementTransmitedBulkReqCounter();
        return true;
    }
    if (command > 0x0F || m.size() < kMinBulkLength)
        return false;
    const unsigned char ah = m[kOffBulkAH];
    if (ah == kAddrBulkHeader) {
        if (m_openGroup)
            return false;
        m_openGroup = &appendGroup(true);
        m_openGroup->events.reserve(2 + kKnobCount + 1); // header, blocks, footer
        if (m_api)
            m_api->incrementTransmitedBulkCounter();
        return true;
    }
    if (ah == kAddrBulkFooter) {
        if (!m_openGroup)
            return false;
        m_openGroup->events.push_back(std::move(event));
        m_openGroup = nullptr;
        return true;
    }
    if (ah == kAddrStoreToFlash && m[kOffBulkAM] == 0 && m[kOffBulkAL] == 0) {
        appendGroup(false);
        return true;
    }
    if (!m_openGroup)
        return false;
    m_openGroup->events.push_back(std::move(event));
    return true;
}

bool MessageEncoder::enqueueChecked(Event& event)
{
    if (bufferingMsg(event))
        return true;
    clearTransmitQueue(true);
    return false;
}

bool MessageEncoder::enqueueParamChange(const unsigned char* midLow, const unsigned char* values, int count)
{
    Event event;
    if (!createParamChange(&event, midLow, values, count)) {
        clearTransmitQueue(true);
        return false;
    }
    return enqueueChecked(event);
}

bool MessageEncoder::enqueueParamReq(const unsigned char* midLow)
{
    Event event;
    if (!createParamReq(midLow, m_port, &event)) {
        clearTransmitQueue(true);
        return false;
    }
    return enqueueChecked(event);
}

bool MessageEncoder::enqueueParamChange(const ParamAddress& address, int value)
{
    unsigned char wire[4];
    if (!m_table.getSysExParamAddress(address, wire))
        return false;
    const unsigned char byte = static_cast<unsigned char>(value & 0xFF);
    return enqueueParamChange(wire, &byte, 1);
}

bool MessageEncoder::enqueueTextChanges(unsigned char mid, unsigned char low, int width, const QString& text)
{
    const Bytes bytes = paddedText(text, width);
    Locker lock(*this);
    for (int j = 0; j < width; ++j) {
        const unsigned char midLow[2] = {mid, static_cast<unsigned char>(low + j)};
        if (!enqueueParamChange(midLow, &bytes[static_cast<std::size_t>(j)], 1))
            return false;
    }
    return true;
}

bool MessageEncoder::enqueueRemoteNumber(unsigned char mid, unsigned char low, const QString& text)
{
    const Bytes bytes = paddedText(text, kRemoteNumberWidth);
    const unsigned char midLow[2] = {mid, low};
    return enqueueParamChange(midLow, bytes.data(), kRemoteNumberWidth);
}

bool MessageEncoder::enqueueParamChange(const ParamAddress& address, const QString& text)
{
    unsigned char wire[4];
    if (!m_table.getSysExParamAddress(address, wire))
        return false;
    if (address.isTemplateNameAdr() || address.isVSTiNameAdr()
        || (address.isControllerAdr() && address.isDisplayNameAdr()))
        return enqueueTextChanges(wire[0], wire[1], wire[3], text);
    if (address.isControllerAdr() && address.isRemoteTagIDAdr())
        return enqueueRemoteNumber(wire[0], wire[1], text);
    return false;
}

bool MessageEncoder::enququeTemplateNumberReq()
{
    const unsigned char midLow[2] = {kMidCurrentTemplate, 0x00};
    return enqueueParamReq(midLow);
}

bool MessageEncoder::enququeBankEditFlagReq()
{
    const unsigned char midLow[2] = {kMidBankEditFlag, 0x00};
    return enqueueParamReq(midLow);
}

bool MessageEncoder::enququeTemplateNumberSelect()
{
    Locker lock(*this);
    const int current = m_api
        ? m_api->getParam(ParamAddress(0, ParamAddress::TemplateCurrentTemplateNumber, -1, -1)).getCurrentValue()
        : 0;
    return enqueueParamChange(ParamAddress(0, ParamAddress::TemplateCurrentTemplateNumber, -1, -1), current);
}

bool MessageEncoder::enqueueBulkReqHeaderFooter(BulkType type, BulkType2 type2, int templ)
{
    Event event;
    if (!createBulkReqHeaderFooter(type, type2, templ, &event)) {
        clearTransmitQueue(true);
        return false;
    }
    return enqueueChecked(event);
}

bool MessageEncoder::enqueue1TemplateBulk(int bank, int templ)
{
    if ((bank != 0 && bank != 1) || !validTemplate(templ)) {
        clearTransmitQueue(true);
        return false;
    }
    // The current bank goes to the keyboard's edit buffers, the editor
    // backup to its stored templates.
    const BulkType type = bank == 0 ? BulkEditBuffer : BulkNormal;
    Locker lock(*this);
    Event event;
    if (!createBulkHeaderFooter(type, BulkHeader, templ, &event) || !enqueueChecked(event))
        return false;
    for (int block = 0; block <= kKnobCount; ++block) {
        Event content;
        if (!createBulkContent(block, bank, templ, &content) || !enqueueChecked(content)) {
            clearTransmitQueue(true);
            return false;
        }
    }
    Event footer;
    if (!createBulkHeaderFooter(type, BulkFooter, templ, &footer) || !enqueueChecked(footer)) {
        clearTransmitQueue(true);
        return false;
    }
    return true;
}

bool MessageEncoder::enqueueStoreToFlash()
{
    Event event;
    event.portId = m_port;
    event.bytes = storeToFlash(m_modelId);
    return enqueueChecked(event);
}

// ---------------------------------------------------------------- sending

bool MessageEncoder::sendMessage(bool* wasEmpty)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (wasEmpty)
        *wasEmpty = m_queue.empty();
    bool ok = true;
    while (!m_queue.empty()) {
        Group& group = m_queue.front();
        for (Event& event : group.events) {
            if (!ok)
                break; // the rest of a failed group is dropped unsent
            tagMPEVENT out;
            out.kind = MPEV_SYSEX;
            out.portId = static_cast<int32_t>(event.portId);
            out.channel = 0;
            out.length = static_cast<int32_t>(event.bytes.size());
            out.data = event.bytes.data();
            ok = m_route.midiOutDispatch(out, ComuController::MPASYNC_SYNC) == ComuController::kSuccess;
        }
        const bool wait = group.wait;
        if (m_openGroup == &group)
            m_openGroup = nullptr;
        m_queue.pop_front();
        if (!ok) {
            clearTransmitQueue(false);
            break;
        }
        if (wait)
            break;
        if (m_queue.empty() && m_api) {
            m_api->setBulkTransmitPending(false);
            m_api->emitCompleteBulkTransmitSignal();
            m_api->revokeReceivedBulk();
        }
    }
    return ok;
}

bool MessageEncoder::sendParamChange(const unsigned char* midLow, unsigned char value)
{
    Locker lock(*this);
    return enqueueParamChange(midLow, &value, 1) && sendMessage(nullptr);
}

bool MessageEncoder::sendBulk(int bank, int templ)
{
    Locker lock(*this);
    return enqueue1TemplateBulk(bank, templ) && sendMessage(nullptr);
}

bool MessageEncoder::sendHardWareDataReq(bool withEditBuffers)
{
    Locker lock(*this);
    bool ok = true;
    for (int t = 0; t < kTemplateCount && ok; ++t)
        ok = enqueueBulkReqHeaderFooter(BulkNormal, BulkHeader, t);
    ok = ok && enququeBankEditFlagReq();
    if (withEditBuffers) {
        ok = ok && enququeTemplateNumberReq();
        for (int t = 0; t < kTemplateCount && ok; ++t)
            ok = enqueueBulkReqHeaderFooter(BulkEditBuffer, BulkHeader, t);
    }
    ok = ok && sendMessage(nullptr);
    if (!ok)
        clearTransmitQueue(true);
    return ok;
}

bool MessageEncoder::sendEditorAllData(bool editBuffersOnly)
{
    Locker lock(*this);
    bool ok = true;
    for (int t = 0; t < kTemplateCount && ok; ++t)
        ok = enqueue1TemplateBulk(0, t);
    ok = ok && enququeTemplateNumberSelect();
    if (!editBuffersOnly) {
        for (int t = 0; t < kTemplateCount && ok; ++t)
            ok = enqueue1TemplateBulk(1, t);
    }
    ok = ok && sendMessage(nullptr);
    if (!ok)
        clearTransmitQueue(true);
    return ok;
}

bool MessageEncoder::enqueueValue(int bank, int templ, int controller, int parameter)
{
    const ParamAddress address(bank, templ, controller, parameter);
    if (address.isStringParamAdr())
        return enqueueParamChange(address, textAt(bank, templ, controller, parameter));
    return enqueueParamChange(address, numberAt(bank, templ, controller, parameter));
}

bool MessageEncoder::sendParamChangeOfController(int bank, int templ, int knob)
{
    if (!validTemplate(templ) || !validKnob(knob)) {
        clearTransmitQueue(true);
        return false;
    }
    Locker lock(*this);
    const bool ok = enqueueValue(bank, templ, knob, ParamAddress::ParamDisplayName)
        && enqueueValue(bank, templ, knob, ParamAddress::ParamCCNumber)
        && enqueueValue(bank, templ, knob, ParamAddress::ParamDisplayFormat)
        && enqueueValue(bank, templ, knob, ParamAddress::ParamRemoteTagID) && sendMessage(nullptr);
    if (!ok)
        clearTransmitQueue(true);
    return ok;
}

bool MessageEncoder::send1TemplateDataParamChange(int bank, int templ)
{
    if (!validTemplate(templ)) {
        clearTransmitQueue(true);
        return false;
    }
    Locker lock(*this);
    const unsigned char reservedAddress[2] = {kMidCommon, 0x1A};
    const unsigned char zero = 0;
    bool ok = enqueueValue(bank, templ, ParamAddress::ControllerTemplateName, -1)
        && enqueueValue(bank, templ, ParamAddress::ControllerVSTiName, -1)
        && enqueueValue(bank, templ, ParamAddress::ControllerControlType, -1)
        && enqueueParamChange(reservedAddress, &zero, 1);
    for (int k = 0; k < kKnobCount && ok; ++k)
        ok = sendParamChangeOfController(bank, templ, k);
    if (!ok)
        clearTransmitQueue(true);
    return ok;
}

bool MessageEncoder::sendStoreMessage()
{
    Locker lock(*this);
    Event event;
    event.portId = m_port;
    event.bytes = storeMessage(m_modelId);
    const bool ok = enqueueChecked(event) && sendMessage(nullptr);
    if (!ok)
        clearTransmitQueue(true);
    return ok;
}

void MessageEncoder::clearTransmitQueue(bool lock)
{
    if (lock)
        m_lock.lock();
    m_queue.clear();
    m_openGroup = nullptr;
    if (lock)
        m_lock.unlock();
}

int MessageEncoder::queuedGroupCount()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return static_cast<int>(m_queue.size());
}

int MessageEncoder::queuedEventCount()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    int n = 0;
    for (const Group& g : m_queue)
        n += static_cast<int>(g.events.size());
    return n;
}

bool MessageEncoder::hasOpenGroup()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_openGroup != nullptr;
}
