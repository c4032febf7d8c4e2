#include "editor/memory/RemoteMemAPI.h"

#include "editor/memory/MemChangeObserver.h"

#include <algorithm>
#include <mutex>

namespace {
using Locker = std::lock_guard<std::recursive_mutex>;
using PlainLocker = std::lock_guard<std::mutex>;

const ParamAddress kOnlineAddress(ParamAddress::BankOnline, -1, -1, -1);
const ParamAddress kFileEditFlagAddress(ParamAddress::BankFileEditFlag, -1, -1, -1);
const ParamAddress kLibraryEditFlagAddress(ParamAddress::BankLibraryEditFlag, -1, -1, -1);
} // namespace

RemoteMemAPI::RemoteMemAPI(QObject* parent)
    : QObject(parent)
{
}

RemoteMemAPI::~RemoteMemAPI()
{
    // The route goes first: its input threads write into the memory.
    deleteMIDIComunicationRoute();
    m_routeProvider.reset();

    Locker lock(m_memoryLock);
    for (const PairAdrObs& pair : m_observers) {
        MemChangeObserver* observer = pair.getObserver();
        if (observer && observer->getMemAPI() == this)
            observer->setMemAPI(nullptr);
    }
    m_observers.clear();
}

// ---- Routes -------------------------------------------------------------

void RemoteMemAPI::setRouteProvider(std::unique_ptr<RouteProvider> provider)
{
    deleteMIDIComunicationRoute();
    m_routeProvider = std::move(provider);
}

bool RemoteMemAPI::createMIDIComunicationRoute(int watchInput, int dataInput, int output)
{
    deleteMIDIComunicationRoute();
    if (!createMIDIInput(watchInput, dataInput))
        return false;
    if (!createMIDIOutput(output)) {
        // An input without an output would let the keyboard look reachable
        // while nothing can be sent to it.
        deleteMIDIComunicationRoute();
        return false;
    }
    return true;
}

bool RemoteMemAPI::createMIDIInput(int watchInput, int dataInput)
{
    {
        Locker lock(m_memoryLock);
        if (m_decoder || !m_routeProvider)
            return false;
    }
    // Opening ports starts the input threads, which call back into the API:
    // the memory lock must not be held here.
    DecoderLink* decoder = m_routeProvider->openInput(*this, watchInput, dataInput);
    if (!decoder)
        return false;
    Locker lock(m_memoryLock);
    PlainLocker linkLock(m_linkMutex);
    m_decoder = decoder;
    return true;
}

bool RemoteMemAPI::createMIDIOutput(int output)
{
    {
        Locker lock(m_memoryLock);
        if (m_encoder || !m_routeProvider)
            return false;
    }
    EncoderLink* encoder = m_routeProvider->openOutput(*this, output);
    if (!encoder)
        return false;
    Locker lock(m_memoryLock);
    PlainLocker linkLock(m_linkMutex);
    m_encoder = encoder;
    return true;
}

void RemoteMemAPI::deleteMIDIComunicationRoute()
{
    {
        // Once these are cleared no write flow reaches the route objects.
        Locker lock(m_memoryLock);
        PlainLocker linkLock(m_linkMutex);
        m_encoder = nullptr;
        m_decoder = nullptr;
    }
    // Closing joins the input threads, which may be waiting for the memory
    // lock: it must be called without it.
    if (m_routeProvider)
        m_routeProvider->closeRoute();
}

EncoderLink* RemoteMemAPI::getEncoder()
{
    Locker lock(m_memoryLock);
    return m_encoder;
}

DecoderLink* RemoteMemAPI::getDecoder()
{
    Locker lock(m_memoryLock);
    return m_decoder;
}

bool RemoteMemAPI::hasEncoder()
{
    Locker lock(m_memoryLock);
    return m_encoder != nullptr;
}

bool RemoteMemAPI::hasInputPair()
{
    Locker lock(m_memoryLock);
    return m_decoder != nullptr;
}

QStringList RemoteMemAPI::getInputPortList()
{
    return m_routeProvider ? m_routeProvider->getInputPortList() : QStringList();
}

QStringList RemoteMemAPI::getOutputPortList()
{
    return m_routeProvider ? m_routeProvider->getOutputPortList() : QStringList();
}

// ---- Values -------------------------------------------------------------

bool RemoteMemAPI::setParam(const ParamAddress& address, long value)
{
    Locker lock(m_memoryLock);
    bool changed = m_memory.setParam(address, value);
    if (address.isCurrentTemplateNumAdr() && m_templateSelectHeld.exchange(false) && !changed) {
        // A held select repeats the present number; a number the memory
        // refused stays refused and is never sent.
        changed = m_memory.isValidBankIndex(address.bank())
            && long(m_memory.getParam(address).getCurrentValue()) == value;
    }
    if (!changed)
        return false;

    notify(NotifyScope::Exact, address);

    if (address.isFileEditFlagAdr() || address.isBankAvailFlagAdr())
        return true;

    if (!address.isBankEditFlagAdr())
        raiseFileEditFlagIfAllowed(address.bank());

    if (m_encoder && m_memory.isONLINE() && m_memory.isAllowedToSendSysEx()
        && address.isStoredBankParamAdr() && !address.isBankEditFlagAdr()) {
        if (address.isCurrentTemplateNumAdr()) {
            PlainLocker pending(m_pendingMutex);
            m_pendingTemplateSelects.append(int(value));
        }
        m_encoder->enqueueParamChange(address, int(value));
        m_encoder->sendMessage(nullptr);
    }
    return true;
}

bool RemoteMemAPI::setParam(const ParamAddress& address, const QString& text)
{
    Locker lock(m_memoryLock);
    if (!m_memory.setParam(address, text))
        return false;

    notify(NotifyScope::Exact, address);

    if (!address.isBankEditFlagAdr() && !address.isFileEditFlagAdr() && !address.isFileNameAdr())
        raiseFileEditFlagIfAllowed(address.bank());

    if (m_encoder && m_memory.isONLINE() && m_memory.isAllowedToSendSysEx()
        && address.isStoredBankParamAdr() && !address.isParamUsedInOnlyEditor()) {
        m_encoder->enqueueParamChange(address, text);
        m_encoder->sendMessage(nullptr);
    }
    return true;
}

NumericParameter RemoteMemAPI::getParam(const ParamAddress& address)
{
    Locker lock(m_memoryLock);
    return m_memory.getParam(address);
}

QString RemoteMemAPI::getParamQString(const ParamAddress& address)
{
    Locker lock(m_memoryLock);
    return m_memory.getParamQString(address);
}

BankData* RemoteMemAPI::getBank(int bank)
{
    Locker lock(m_memoryLock);
    return m_memory.getBank(bank);
}

int RemoteMemAPI::getQuantityOfBank()
{
    Locker lock(m_memoryLock);
    return m_memory.getQuantityOfBank();
}

int RemoteMemAPI::createBank()
{
    Locker lock(m_memoryLock);
    return m_memory.createBank();
}

bool RemoteMemAPI::setBankAvailableFlag(int flag, int bank)
{
    Locker lock(m_memoryLock);
    return m_memory.setBankAvailableFlag(flag, bank);
}

int RemoteMemAPI::getBankAvailableFlag(int bank)
{
    Locker lock(m_memoryLock);
    return m_memory.getBankAvailableFlag(bank);
}

ControlTemplateData RemoteMemAPI::getTemplateData(int bank, int templ)
{
    Locker lock(m_memoryLock);
    return m_memory.getTemplateData(bank, templ);
}

ControlTemplateData RemoteMemAPI::getInitialTemplate()
{
    Locker lock(m_memoryLock);
    return m_memory.getInitialTemplate();
}

bool RemoteMemAPI::isONLINE()
{
    Locker lock(m_memoryLock);
    return m_memory.isONLINE();
}

bool RemoteMemAPI::setONLINEstate(long state)
{
    Locker lock(m_memoryLock);
    if (!m_memory.setONLINEstate(state))
        return false;
    notify(NotifyScope::Exact, kOnlineAddress);
    return true;
}

void RemoteMemAPI::setAllowToSendSysExFlag(bool allowed)
{
    Locker lock(m_memoryLock);
    m_memory.setFlagOfIsAllowedToSendSysEx(allowed);
}

bool RemoteMemAPI::isAllowToSendSysEx()
{
    Locker lock(m_memoryLock);
    return m_memory.isAllowedToSendSysEx();
}

// ---- Observers ----------------------------------------------------------

void RemoteMemAPI::registObserver(ParamAddress* address, MemChangeObserver* observer)
{
    if (!address || !observer)
        return;
    Locker lock(m_memoryLock);
    m_observers.emplace_back(address, observer);
    if (!observer->getMemAPI())
        observer->setMemAPI(this);
}

void RemoteMemAPI::unregistObserver(MemChangeObserver* observer)
{
    if (!observer)
        return;
    Locker lock(m_memoryLock);
    for (PairAdrObs& pair : m_observers) {
        if (pair.getObserver() == observer)
            pair.setObserver(nullptr);
    }
    m_observersDirty = true;
    compactObservers();
}

void RemoteMemAPI::unregistObserver(MemChangeObserver* observer, const ParamAddress* address)
{
    if (!observer)
        return;
    Locker lock(m_memoryLock);
    for (PairAdrObs& pair : m_observers) {
        if (pair.getObserver() == observer && pair.addressObject() == address)
            pair.setObserver(nullptr);
    }
    m_observersDirty = true;
    compactObservers();
}

void RemoteMemAPI::compactObservers()
{
    // While a walk is under way (an observer may unregister from inside its
    // own paramUpdate), removed entries stay as empty slots so that no index
    // moves under the walk; they are dropped once the walk ends.
    if (m_notifyDepth > 0 || !m_observersDirty)
        return;
    m_observers.erase(std::remove_if(m_observers.begin(), m_observers.end(),
                          [](const PairAdrObs& pair) { return pair.getObserver() == nullptr; }),
        m_observers.end());
    m_observersDirty = false;
}

int RemoteMemAPI::observerCount()
{
    Locker lock(m_memoryLock);
    return int(std::count_if(m_observers.begin(), m_observers.end(),
        [](const PairAdrObs& pair) { return pair.getObserver() != nullptr; }));
}

void RemoteMemAPI::notify(NotifyScope scope, const ParamAddress& address)
{
    Locker lock(m_memoryLock);
    ++m_notifyDepth;
    // Indexes, not iterators: an observer may register others while called.
    for (std::size_t i = 0; i < m_observers.size(); ++i) {
        MemChangeObserver* observer = m_observers[i].getObserver();
        const ParamAddress* watched = m_observers[i].addressObject();
        if (!observer || !watched)
            continue;
        bool match = false;
        switch (scope) {
        case NotifyScope::Exact:
            match = *watched == address;
            break;
        case NotifyScope::Controller:
            match = watched->controller() == address.controller() && watched->templ() == address.templ()
                && watched->bank() == address.bank();
            break;
        case NotifyScope::Template:
            match = watched->templ() == address.templ() && watched->bank() == address.bank();
            break;
        case NotifyScope::Bank:
            match = watched->bank() == address.bank();
            break;
        }
        if (match)
            observer->paramUpdate();
    }
    --m_notifyDepth;
    compactObservers();
}

void RemoteMemAPI::notifyObserver(const ParamAddress& address)
{
    notify(NotifyScope::Exact, address);
}

void RemoteMemAPI::notifyObserverOfBankAllParam(int bank)
{
    ParamAddress address;
    address.setParamAddress(bank, -1, -1, -1);
    notify(NotifyScope::Bank, address);
}

void RemoteMemAPI::notifyObserverOfTemplateAllParam(int bank, int templ)
{
    ParamAddress address;
    address.setParamAddress(bank, templ, -1, -1);
    notify(NotifyScope::Template, address);
}

void RemoteMemAPI::notifyObserverOfControllerAllParam(int bank, int templ, int controller)
{
    ParamAddress address;
    address.setParamAddress(bank, templ, controller, -1);
    notify(NotifyScope::Controller, address);
}

// ---- Edit flags ---------------------------------------------------------

void RemoteMemAPI::raiseFileEditFlagIfAllowed(int bank)
{
    if (ParamAddress::isEditBufferOrStoredBankParam(bank) && isAllowToRaiseFileEditFlag())
        setParam(kFileEditFlagAddress, 1L);
}

void RemoteMemAPI::raiseLibraryEditFlag()
{
    setParam(kLibraryEditFlagAddress, 1L);
}

void RemoteMemAPI::denyToRaiseFileEditFlag()
{
    PlainLocker lock(m_denyMutex);
    ++m_denyRaiseCount;
}

void RemoteMemAPI::allowToRaiseFileEditFlag()
{
    PlainLocker lock(m_denyMutex);
    if (m_denyRaiseCount > 0)
        --m_denyRaiseCount;
}

bool RemoteMemAPI::isAllowToRaiseFileEditFlag()
{
    PlainLocker lock(m_denyMutex);
    return m_denyRaiseCount == 0;
}

// ---- Bank and template operations --------------------------------------

bool RemoteMemAPI::copyBank(int src, int dst)
{
    Locker lock(m_memoryLock);
    if (!m_memory.copyBank(src, dst))
        return false;
    // A whole bank is always announced: its flags may have changed even when
    // no template did.
    notifyObserverOfBankAllParam(dst);
    raiseFileEditFlagIfAllowed(dst);
    if (dst == RemoteMemory::LibraryBank)
        raiseLibraryEditFlag();
    return true;
}

bool RemoteMemAPI::copyTemplate(int srcBank, int srcTemplate, int dstBank, int dstTemplate)
{
    Locker lock(m_memoryLock);
    if (!m_memory.isValidBankIndex(srcBank) || !m_memory.isValidBankIndex(dstBank)
        || !RemoteMemory::isValidTemplateIndex(srcTemplate) || !RemoteMemory::isValidTemplateIndex(dstTemplate))
        return false;
    const bool changed = m_memory.copyTemplate(srcBank, srcTemplate, dstBank, dstTemplate);
    if (changed)
        notifyObserverOfTemplateAllParam(dstBank, dstTemplate);
    raiseFileEditFlagIfAllowed(dstBank);
    if (dstBank == RemoteMemory::LibraryBank)
        raiseLibraryEditFlag();
    return changed;
}

bool RemoteMemAPI::exchangeTemplate(int bankA, int templateA, int bankB, int templateB)
{
    Locker lock(m_memoryLock);
    if (!m_memory.isValidBankIndex(bankA) || !m_memory.isValidBankIndex(bankB)
        || !RemoteMemory::isValidTemplateIndex(templateA) || !RemoteMemory::isValidTemplateIndex(templateB))
        return false;
    const bool changed = m_memory.exchangeTemplate(bankA, templateA, bankB, templateB);
    if (changed) {
        notifyObserverOfTemplateAllParam(bankB, templateB);
        notifyObserverOfTemplateAllParam(bankA, templateA);
        if (ParamAddress::isEditBufferOrStoredBankParam(bankA))
            raiseFileEditFlagIfAllowed(bankB);
        if (bankA == RemoteMemory::LibraryBank || bankB == RemoteMemory::LibraryBank)
            raiseLibraryEditFlag();
    }
    if (m_encoder && m_memory.isONLINE()) {
        if (bankB == RemoteMemory::CurrentBank)
            m_encoder->sendBulk(RemoteMemory::CurrentBank, templateB);
        if (bankA == RemoteMemory::CurrentBank)
            m_encoder->sendBulk(RemoteMemory::CurrentBank, templateA);
    }
    return changed;
}

bool RemoteMemAPI::exchangeController(int bankA, int templateA, int knobA, int bankB, int templateB, int knobB)
{
    Locker lock(m_memoryLock);
    if (!m_memory.isValidBankIndex(bankA) || !m_memory.isValidBankIndex(bankB)
        || !RemoteMemory::isValidTemplateIndex(templateA) || !RemoteMemory::isValidTemplateIndex(templateB)
        || !RemoteMemory::isValidControllerIndex(knobA) || !RemoteMemory::isValidControllerIndex(knobB))
        return false;
    const bool changed = m_memory.exchangeController(bankA, templateA, knobA, bankB, templateB, knobB);
    if (changed) {
        notifyObserverOfControllerAllParam(bankB, templateB, knobB);
        notifyObserverOfControllerAllParam(bankA, templateA, knobA);
        if (ParamAddress::isEditBufferOrStoredBankParam(bankA))
            raiseFileEditFlagIfAllowed(bankB);
    }
    if (m_encoder && m_memory.isONLINE()) {
        if (bankA == RemoteMemory::CurrentBank)
            m_encoder->sendParamChangeOfController(RemoteMemory::CurrentBank, templateA, knobA);
        if (bankB == RemoteMemory::CurrentBank)
            m_encoder->sendParamChangeOfController(RemoteMemory::CurrentBank, templateB, knobB);
    }
    return changed;
}

bool RemoteMemAPI::initializeTemplate(int bank, int templ)
{
    Locker lock(m_memoryLock);
    if (!m_memory.isValidBankIndex(bank) || !RemoteMemory::isValidTemplateIndex(templ))
        return false;
    const bool changed = m_memory.initializeTemplate(bank, templ);
    notifyObserverOfTemplateAllParam(bank, templ);
    return changed;
}

void RemoteMemAPI::initializeInitialTemplate()
{
    Locker lock(m_memoryLock);
    m_memory.initializeInitialTemplate();
}

void RemoteMemAPI::setupLibraryBank()
{
    Locker lock(m_memoryLock);
    if (m_memory.copyBank(RemoteMemory::CurrentBank, RemoteMemory::LibraryBank))
        notifyObserverOfBankAllParam(RemoteMemory::LibraryBank);
}

void RemoteMemAPI::activateLibraryEdit()
{
    Locker lock(m_memoryLock);
    denyToRaiseFileEditFlag();
    copyBank(RemoteMemory::LibraryBank, RemoteMemory::CurrentBank);
    allowToRaiseFileEditFlag();
}

void RemoteMemAPI::evacuateSpecificBankAndEditBuff(int bank)
{
    Locker lock(m_memoryLock);
    copyBank(bank, RemoteMemory::SaveAreaBank);
    copyBank(RemoteMemory::CurrentBank, RemoteMemory::SaveAreaEditBank);
}

void RemoteMemAPI::restoreSpecificBankAndEditBuff(int bank)
{
    Locker lock(m_memoryLock);
    copyBank(RemoteMemory::SaveAreaBank, bank);
    copyBank(RemoteMemory::SaveAreaEditBank, RemoteMemory::CurrentBank);
}

// ---- Synchronisation and storing ---------------------------------------

bool RemoteMemAPI::sendHardWareDataReq(bool withEditBuffers)
{
    Locker lock(m_memoryLock);
    m_bulkReceiveEnable = true;
    return m_encoder ? m_encoder->sendHardWareDataReq(withEditBuffers) : false;
}

bool RemoteMemAPI::sendEditorAllData(bool editBuffersOnly)
{
    Locker lock(m_memoryLock);
    if (!m_encoder)
        return false;
    bool ok = m_encoder->sendEditorAllData(editBuffersOnly);
    if (ok && m_storeFlag) {
        ok = storeBank(true);
        m_storeFlag = false;
    }
    if (ok && m_storeToFlashSendingFlag) {
        ok = sendStoreToFlash();
        m_storeToFlashSendingFlag = false;
    }
    return ok;
}

bool RemoteMemAPI::storeBank(bool send)
{
    Locker lock(m_memoryLock);
    denyToRaiseFileEditFlag();
    copyBank(RemoteMemory::CurrentBank, RemoteMemory::EditorBackupBank);
    allowToRaiseFileEditFlag();

    const ControlTemplateData initial = m_memory.makeInitialTemplate();
    const BankData* current = m_memory.getBank(RemoteMemory::CurrentBank);
    for (int t = 0; t < ParamAddress::TemplateCount; ++t) {
        if (*current->getTemplate(t) != initial) {
            setParam(kFileEditFlagAddress, 1L);
            break;
        }
    }
    if (!send)
        return true;
    return m_encoder ? m_encoder->sendStoreMessage() : false;
}

bool RemoteMemAPI::sendStoreToFlash()
{
    Locker lock(m_memoryLock);
    if (!m_encoder || !m_encoder->enqueueStoreToFlash())
        return false;
    return m_encoder->sendMessage(nullptr);
}

bool RemoteMemAPI::send1TemplateDataParamChange(int bank, int templ)
{
    Locker lock(m_memoryLock);
    return m_encoder ? m_encoder->send1TemplateDataParamChange(bank, templ) : false;
}

bool RemoteMemAPI::sendMessage(bool* finished)
{
    Locker lock(m_memoryLock);
    return m_encoder ? m_encoder->sendMessage(finished) : false;
}

void RemoteMemAPI::clearTransmitQueue()
{
    Locker lock(m_memoryLock);
    if (m_encoder)
        m_encoder->clearTransmitQueue(true);
}

void RemoteMemAPI::revokeReceivedBulk()
{
    PlainLocker lock(m_bulkReceiveMutex);
    m_bulkReceiveEnable = false;
}

bool RemoteMemAPI::getBulkRecieveEnableFlag()
{
    return m_bulkReceiveEnable;
}

// The counters are raised by the encoder, which may hold its own lock and not
// the memory lock; a small leaf lock keeps the decoder alive for the call
// without inverting the memory-then-encoder lock order.
void RemoteMemAPI::incrementTransmitedBulkCounter()
{
    PlainLocker lock(m_linkMutex);
    if (m_decoder)
        m_decoder->incrementTransmitedBulkCounter();
}

void RemoteMemAPI::incrementTransmitedBulkReqCounter()
{
    PlainLocker lock(m_linkMutex);
    if (m_decoder)
        m_decoder->incrementTransmitedBulkReqCounter();
}

void RemoteMemAPI::clearTransmitedBulkCounter()
{
    PlainLocker lock(m_linkMutex);
    if (m_decoder)
        m_decoder->clearTransmitedBulkCounter();
}

void RemoteMemAPI::clearTransmitedBulkReqCounter()
{
    PlainLocker lock(m_linkMutex);
    if (m_decoder)
        m_decoder->clearTransmitedBulkReqCounter();
}

// ---- Template selections ------------------------------------------------

void RemoteMemAPI::holdTemplateSelect()
{
    m_templateSelectHeld = true;
}

bool RemoteMemAPI::isTemplateSelectHeld()
{
    return m_templateSelectHeld;
}

bool RemoteMemAPI::takeEchoOfTemplateSelect(int reportedNumber)
{
    PlainLocker lock(m_pendingMutex);
    if (m_pendingTemplateSelects.isEmpty() || m_pendingTemplateSelects.first() != reportedNumber)
        return false;
    m_pendingTemplateSelects.removeFirst();
    m_templateSelectHeld = false;
    return true;
}

QList<int> RemoteMemAPI::pendingTemplateSelects()
{
    PlainLocker lock(m_pendingMutex);
    return m_pendingTemplateSelects;
}
