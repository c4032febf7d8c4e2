#pragma once
// The one gate to the template memory. Owns the RemoteMemory and guards it with
// a recursive lock; tells observers about changes; keeps the edit flags; while
// on-line turns changes of the current bank into messages for the keyboard
// through the open route (see ComuLink.h for the route seam).

#include "editor/memory/AddressTransTable.h"
#include "editor/memory/BankData.h"
#include "editor/memory/ComuLink.h"
#include "editor/memory/ControlTemplateData.h"
#include "editor/memory/NumericParameter.h"
#include "editor/memory/PairAdrObs.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemory.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class MemChangeObserver;

class RemoteMemAPI : public QObject {
    Q_OBJECT
public:
    explicit RemoteMemAPI(QObject* parent = nullptr);
    // Closes the route first, so that no MIDI thread writes into a memory that
    // is going away, then drops the memory.
    ~RemoteMemAPI() override;

    // ---- Routes -------------------------------------------------------------
    // Takes ownership. Without a provider no route can be opened.
    void setRouteProvider(std::unique_ptr<RouteProvider> provider);
    RouteProvider* getRouteProvider() const { return m_routeProvider.get(); }
    // Closes any route, then opens input and output; false (and no route left
    // open) when either side fails. Route operations join the input threads,
    // which take the memory lock: never call them while holding memoryLock().
    bool createMIDIComunicationRoute(int watchInput, int dataInput, int output);
    bool createMIDIInput(int watchInput, int dataInput);
    bool createMIDIOutput(int output);
    void deleteMIDIComunicationRoute();
    QStringList getInputPortList();
    QStringList getOutputPortList();
    // The open route's objects; null while closed. They stay valid only while
    // the caller holds memoryLock().
    EncoderLink* getEncoder();
    DecoderLink* getDecoder();
    bool hasEncoder();
    bool hasInputPair();
    // Model ID bytes of the messages the editor sends and receives.
    const unsigned char* txModelId() const { return m_txModelId; }
    const unsigned char* rxModelId() const { return m_rxModelId; }

    // ---- Values -------------------------------------------------------------
    bool setParam(const ParamAddress& address, long value);
    bool setParam(const ParamAddress& address, const QString& text);
    NumericParameter getParam(const ParamAddress& address);
    QString getParamQString(const ParamAddress& address);
    // The bank in place (null when invalid). Hold memoryLock() while using it.
    BankData* getBank(int bank);
    int getQuantityOfBank();
    int createBank();
    bool setBankAvailableFlag(int flag, int bank);
    int getBankAvailableFlag(int bank);
    // A copy of a template; a default template when an index is invalid.
    ControlTemplateData getTemplateData(int bank, int templ);
    ControlTemplateData getInitialTemplate();
    bool isONLINE();
    bool setONLINEstate(long state);
    void setAllowToSendSysExFlag(bool allowed);
    bool isAllowToSendSysEx();

    // ---- Observers ----------------------------------------------------------
    // The address stays owned by the caller and is watched where it lives.
    void registObserver(ParamAddress* address, MemChangeObserver* observer);
    void unregistObserver(MemChangeObserver* observer);
    // Removes only the registrations of this observer on this address object.
    void unregistObserver(MemChangeObserver* observer, const ParamAddress* address);
    int observerCount();
    void notifyObserver(const ParamAddress& address);
    void notifyObserverOfBankAllParam(int bank);
    void notifyObserverOfTemplateAllParam(int bank, int templ);
    void notifyObserverOfControllerAllParam(int bank, int templ, int controller);

    // ---- Bank and template operations -------------------------------------
    bool copyBank(int src, int dst);
    bool copyTemplate(int srcBank, int srcTemplate, int dstBank, int dstTemplate);
    bool exchangeTemplate(int bankA, int templateA, int bankB, int templateB);
    bool exchangeController(int bankA, int templateA, int knobA, int bankB, int templateB, int knobB);
    bool initializeTemplate(int bank, int templ);
    void initializeInitialTemplate();
    void setupLibraryBank();
    void activateLibraryEdit();
    void evacuateSpecificBankAndEditBuff(int bank);
    void restoreSpecificBankAndEditBuff(int bank);

    // ---- Edit flag control ------------------------------------------------
    void denyToRaiseFileEditFlag();
    void allowToRaiseFileEditFlag();
    bool isAllowToRaiseFileEditFlag();

    // ---- Synchronisation and storing --------------------------------------
    bool sendHardWareDataReq(bool withEditBuffers);
    bool sendEditorAllData(bool editBuffersOnly);
    bool storeBank(bool send);
    bool sendStoreToFlash();
    bool send1TemplateDataParamChange(int bank, int templ);
    bool sendMessage(bool* finished);
    void clearTransmitQueue();
    void revokeReceivedBulk();
    bool getBulkRecieveEnableFlag();
    void incrementTransmitedBulkCounter();
    void incrementTransmitedBulkReqCounter();
    void clearTransmitedBulkCounter();
    void clearTransmitedBulkReqCounter();

    // The next write of a current template number is processed as a change,
    // even when the number is the same.
    void holdTemplateSelect();
    bool isTemplateSelectHeld();
    // The decoder's check of a reported current template number: true (and the
    // entry removed, a held select released) when it is the echo of the first
    // pending selection; false when the number must be written as received.
    bool takeEchoOfTemplateSelect(int reportedNumber);
    QList<int> pendingTemplateSelects();

    void setBulkReceivePending(bool pending) { m_bulkReceivePending = pending; }
    bool isBulkReceivePending() const { return m_bulkReceivePending; }
    void setBulkTransmitPending(bool pending) { m_bulkTransmitPending = pending; }
    bool isBulkTransmitPending() const { return m_bulkTransmitPending; }
    void setWatchPortActivate(bool active) { m_watchPortActive = active; }
    bool isWatchPortActivate() const { return m_watchPortActive; }
    void setNeedToWaitAutoSyncDoneFlag(bool wait) { m_needToWaitAutoSync = wait; }
    bool needToWaitAutoSyncDone() const { return m_needToWaitAutoSync; }
    void setFileOpenRequestFlag(bool request) { m_fileOpenRequest = request; }
    bool isFileOpenRequestExist() const { return m_fileOpenRequest; }
    void setStoreFlag(bool store) { m_storeFlag = store; }
    bool getStoreFlag() const { return m_storeFlag; }
    void setStoreToFlashSendingFlag(bool send) { m_storeToFlashSendingFlag = send; }
    bool getStoreToFlashSendingFlag() const { return m_storeToFlashSendingFlag; }

    // ---- Signals raised from the MIDI side --------------------------------
    void emitCompleteBulkReceiveSignal() { emit completeBulkReceive(); }
    void emitCompleteBulkTransmitSignal() { emit completeBulkTransmit(); }
    void emitNotifiedCurrentTemplateNumberSignal() { emit notifiedCurrentTemplateNumber(); }
    void emitPortActivatedSignal() { emit portActivated(); }

    // For callers that must group several operations
    // (std::lock_guard lock(api.memoryLock())). A standard mutex, so that
    // thread checkers see every hand-over between the user interface and the
    // MIDI threads.
    std::recursive_mutex& memoryLock() { return m_memoryLock; }
    AddressTransTable* getAddressTransTable() { return &m_addressTable; }

signals:
    void completeBulkReceive();
    void completeBulkTransmit();
    void notifiedCurrentTemplateNumber();
    void portActivated();

private:
    enum class NotifyScope { Exact, Bank, Template, Controller };
    void notify(NotifyScope scope, const ParamAddress& address);
    void raiseFileEditFlagIfAllowed(int bank);
    void raiseLibraryEditFlag();
    bool copyBankLocked(int src, int dst);
    void compactObservers();

    RemoteMemory m_memory;
    std::recursive_mutex m_memoryLock;
    std::vector<PairAdrObs> m_observers;
    int m_notifyDepth = 0;
    bool m_observersDirty = false;
    AddressTransTable m_addressTable;

    std::unique_ptr<RouteProvider> m_routeProvider;
    EncoderLink* m_encoder = nullptr;
    DecoderLink* m_decoder = nullptr;
    unsigned char m_txModelId[2] = {0x7F, 0x17};
    unsigned char m_rxModelId[2] = {0x7F, 0x19};

    // Guards the route object pointers for calls made without the memory lock.
    std::mutex m_linkMutex;
    std::mutex m_pendingMutex;
    QList<int> m_pendingTemplateSelects;
    std::mutex m_denyMutex;
    int m_denyRaiseCount = 0;
    std::atomic<bool> m_templateSelectHeld{false};
    std::mutex m_bulkReceiveMutex;
    std::atomic<bool> m_bulkReceiveEnable{true};
    std::atomic<bool> m_bulkReceivePending{false};
    std::atomic<bool> m_bulkTransmitPending{false};
    std::atomic<bool> m_watchPortActive{true};
    std::atomic<bool> m_needToWaitAutoSync{false};
    std::atomic<bool> m_fileOpenRequest{false};
    std::atomic<bool> m_storeFlag{false};
    std::atomic<bool> m_storeToFlashSendingFlag{false};
};
