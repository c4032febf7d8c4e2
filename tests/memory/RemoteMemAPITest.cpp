#include "FakeRoute.h"

#include "editor/memory/MemChangeObserver.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using Calls = std::vector<std::string>;

const ParamAddress kFileEdit(-3, -1, -1, -1);
const ParamAddress kLibraryEdit(-5, -1, -1, -1);
const ParamAddress kOnline(-2, -1, -1, -1);

struct CountingObserver : MemChangeObserver {
    explicit CountingObserver(std::string n = {}, std::vector<std::string>* o = nullptr)
        : name(std::move(n))
        , order(o)
    {
    }
    void paramUpdate() override
    {
        ++calls;
        if (order)
            order->push_back(name);
    }
    std::string name;
    std::vector<std::string>* order;
    int calls = 0;
};

class MemoryApi : public ::testing::Test {
protected:
    void SetUp() override { api.setRouteProvider(std::make_unique<FakeRouteProvider>(log)); }

    void openRoute()
    {
        ASSERT_TRUE(api.createMIDIComunicationRoute(0, 4, 4));
        log->take();
    }
    void goOnline()
    {
        openRoute();
        api.setONLINEstate(1);
    }
    int fileEditFlag() { return api.getParam(kFileEdit).getCurrentValue(); }
    int libraryEditFlag() { return api.getParam(kLibraryEdit).getCurrentValue(); }

    std::shared_ptr<RouteLog> log = std::make_shared<RouteLog>();
    RemoteMemAPI api;
};

struct NumericWriteCase {
    const char* label;
    ParamAddress address;
    long value;
    bool online;
    bool allowedToSend;
    bool changed;
    int fileEditFlag;
    Calls calls;
};

TEST_F(MemoryApi, NumericWriteFlowTable)
{
    const NumericWriteCase cases[] = {
        {"CC in bank 0 on-line", {0, 3, 5, 1}, 42, true, true, true, 1,
            {"enqueue (0, 3, 5, 1)=42", "sendMessage"}},
        {"CC in bank 1 on-line", {1, 3, 5, 1}, 42, true, true, true, 1, {}},
        {"CC in bank 5 on-line", {5, 3, 5, 1}, 42, true, true, true, 0, {}},
        {"CC with sending suppressed", {0, 3, 5, 1}, 42, true, false, true, 1, {}},
        {"CC off-line", {0, 3, 5, 1}, 42, false, true, true, 1, {}},
        {"CC out of range", {0, 3, 5, 1}, 128, true, true, false, 0, {}},
        {"display format", {0, 0, 11, 2}, 1, true, true, true, 1,
            {"enqueue (0, 0, 11, 2)=1", "sendMessage"}},
        {"control type", {0, 9, 14, -1}, 1, true, true, true, 1,
            {"enqueue (0, 9, 14, -1)=1", "sendMessage"}},
        {"bank available flag", {0, 51, -1, -1}, 0, true, true, true, 0, {}},
        {"bank edit flag", {-6, -1, -1, -1}, 1, true, true, true, 0, {}},
        {"library edit flag", {-5, -1, -1, -1}, 1, true, true, true, 0, {}},
        {"current template", {0, 52, -1, -1}, 7, true, true, true, 1,
            {"enqueue (0, 52, -1, -1)=7", "sendMessage"}},
        {"no such bank", {12, 0, 0, 1}, 7, true, true, false, 0, {}},
    };
    for (const NumericWriteCase& c : cases) {
        RemoteMemAPI fresh;
        fresh.setRouteProvider(std::make_unique<FakeRouteProvider>(log));
        ASSERT_TRUE(fresh.createMIDIComunicationRoute(0, 4, 4));
        fresh.setONLINEstate(c.online ? 1 : 0);
        fresh.setAllowToSendSysExFlag(c.allowedToSend);
        log->take();

        CountingObserver watcher, fileFlagWatcher;
        ParamAddress watched = c.address;
        ParamAddress fileFlag = kFileEdit;
        fresh.registObserver(&watched, &watcher);
        fresh.registObserver(&fileFlag, &fileFlagWatcher);

        EXPECT_EQ(fresh.setParam(c.address, c.value), c.changed) << c.label;
        EXPECT_EQ(watcher.calls, c.changed ? 1 : 0) << c.label;
        EXPECT_EQ(fresh.getParam(kFileEdit).getCurrentValue(), c.fileEditFlag) << c.label;
        EXPECT_EQ(fileFlagWatcher.calls, c.fileEditFlag) << c.label << ": the raised flag is announced";
        // Only an explicit write of the library flag raises it.
        EXPECT_EQ(fresh.getParam(kLibraryEdit).getCurrentValue(), c.address.isLibraryEditFlagAdr() ? 1 : 0)
            << c.label;
        EXPECT_EQ(log->take(), c.calls) << c.label;
        // Writing the same value again changes, tells and sends nothing.
        EXPECT_FALSE(fresh.setParam(c.address, c.value)) << c.label;
        EXPECT_EQ(watcher.calls, c.changed ? 1 : 0) << c.label;
        EXPECT_TRUE(log->take().empty()) << c.label;
        fresh.unregistObserver(&watcher);
        fresh.unregistObserver(&fileFlagWatcher);
    }
}

struct TextWriteCase {
    const char* label;
    ParamAddress address;
    const char* text;
    bool changed;
    int fileEditFlag;
    Calls calls;
};

TEST_F(MemoryApi, TextWriteFlowTable)
{
    const TextWriteCase cases[] = {
        {"display name in bank 0", {0, 2, 0, 0}, "Cutoff", true, 1,
            {"enqueue (0, 2, 0, 0)='Cutoff'", "sendMessage"}},
        {"display name in bank 1", {1, 2, 0, 0}, "Cutoff", true, 1, {}},
        {"remote tag ID", {0, 2, 0, 3}, "100000401", true, 1,
            {"enqueue (0, 2, 0, 3)='100000401'", "sendMessage"}},
        {"template name", {0, 2, 13, -1}, "Lead", true, 1,
            {"enqueue (0, 2, 13, -1)='Lead'", "sendMessage"}},
        {"too long a display name", {0, 2, 0, 0}, "1234567890123456", false, 0, {}},
        {"file name", {-4, -1, -1, -1}, "/tmp/x.X5R", true, 0, {}},
        {"library bank", {5, 2, 15, -1}, "Synthia", true, 0, {}},
    };
    for (const TextWriteCase& c : cases) {
        RemoteMemAPI fresh;
        fresh.setRouteProvider(std::make_unique<FakeRouteProvider>(log));
        ASSERT_TRUE(fresh.createMIDIComunicationRoute(0, 4, 4));
        fresh.setONLINEstate(1);
        log->take();
        CountingObserver watcher;
        ParamAddress watched = c.address;
        fresh.registObserver(&watched, &watcher);

        EXPECT_EQ(fresh.setParam(c.address, QString::fromUtf8(c.text)), c.changed) << c.label;
        EXPECT_EQ(watcher.calls, c.changed ? 1 : 0) << c.label;
        EXPECT_EQ(fresh.getParam(kFileEdit).getCurrentValue(), c.fileEditFlag) << c.label;
        EXPECT_EQ(log->take(), c.calls) << c.label;
        fresh.unregistObserver(&watcher);
    }
}

TEST_F(MemoryApi, ReceivedValuesAreNotSentBackButStillMarkTheFile)
{
    goOnline();
    {
        std::lock_guard group(api.memoryLock());
        api.setAllowToSendSysExFlag(false);
        EXPECT_TRUE(api.setParam(ParamAddress(0, 0, 0, 1), 12L));
        api.setAllowToSendSysExFlag(true);
    }
    EXPECT_TRUE(log->take().empty());
    EXPECT_EQ(fileEditFlag(), 1);
    EXPECT_TRUE(api.isAllowToSendSysEx());
}

TEST_F(MemoryApi, DeniedRaisingStillSendsAndCountsDownToZeroOnly)
{
    goOnline();
    api.denyToRaiseFileEditFlag();
    api.denyToRaiseFileEditFlag();
    api.allowToRaiseFileEditFlag();
    EXPECT_FALSE(api.isAllowToRaiseFileEditFlag());
    EXPECT_TRUE(api.setParam(ParamAddress(0, 0, 0, 1), 5L));
    EXPECT_EQ(fileEditFlag(), 0);
    EXPECT_EQ(log->take(), (Calls{"enqueue (0, 0, 0, 1)=5", "sendMessage"}));
    api.allowToRaiseFileEditFlag();
    api.allowToRaiseFileEditFlag();
    EXPECT_TRUE(api.isAllowToRaiseFileEditFlag());
    api.denyToRaiseFileEditFlag();
    EXPECT_FALSE(api.isAllowToRaiseFileEditFlag()) << "the count stayed at 0, not -1";
}

TEST_F(MemoryApi, ObserversAreToldOnlyForTheirAddressInOrder)
{
    std::vector<std::string> order;
    CountingObserver first("first", &order), second("second", &order), other("other", &order);
    ParamAddress a(0, 3, 5, 1), b(0, 3, 5, 1), c(0, 3, 5, 2);
    api.registObserver(&a, &first);
    api.registObserver(&b, &second);
    api.registObserver(&c, &other);
    api.setParam(ParamAddress(0, 3, 5, 1), 9L);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "second"}));

    // The registration refers to the observer's own address.
    order.clear();
    a.setParamAddress(-1, -1, -1, 2);
    api.setParam(ParamAddress(0, 3, 5, 2), 1L);
    EXPECT_EQ(order, (std::vector<std::string>{"first", "other"}));

    // Two registrations mean two calls; unregistering removes both.
    order.clear();
    api.registObserver(&c, &first);
    api.notifyObserver(ParamAddress(0, 3, 5, 2));
    EXPECT_EQ(order, (std::vector<std::string>{"first", "other", "first"}));
    api.unregistObserver(&first);
    order.clear();
    api.notifyObserver(ParamAddress(0, 3, 5, 2));
    EXPECT_EQ(order, (std::vector<std::string>{"other"}));
}

TEST_F(MemoryApi, DestroyedObserverIsNeverCalled)
{
    ParamAddress a(0, 0, 0, 1);
    {
        CountingObserver gone;
        api.registObserver(&a, &gone);
        EXPECT_EQ(gone.getMemAPI(), &api);
        EXPECT_EQ(api.observerCount(), 1);
    }
    EXPECT_EQ(api.observerCount(), 0);
    EXPECT_TRUE(api.setParam(a, 3L));
}

// An observer may drop itself (a control closing on a change) during a walk.
struct SelfRemovingObserver : MemChangeObserver {
    void paramUpdate() override
    {
        ++calls;
        getMemAPI()->unregistObserver(this);
    }
    int calls = 0;
};

TEST_F(MemoryApi, ObserverMayUnregisterDuringNotification)
{
    ParamAddress a(0, 0, 0, 1);
    SelfRemovingObserver leaving;
    CountingObserver staying;
    api.registObserver(&a, &leaving);
    api.registObserver(&a, &staying);
    api.setParam(a, 3L);
    api.setParam(a, 4L);
    EXPECT_EQ(leaving.calls, 1);
    EXPECT_EQ(staying.calls, 2);
    EXPECT_EQ(api.observerCount(), 1);
}

struct ScopeCase {
    const char* label;
    int scope; // 0 bank, 1 template, 2 controller
    std::vector<int> notified;
};

TEST_F(MemoryApi, NotifyAllFormsCompareLeadingComponents)
{
    std::vector<ParamAddress> addresses = {
        {0, 3, 5, 1}, {0, 3, 5, 2}, {0, 3, 6, 1}, {0, 3, 13, -1}, {0, 4, 5, 1}, {1, 3, 5, 1}, {0, 52, -1, -1},
    };
    std::vector<CountingObserver> observers(addresses.size());
    for (std::size_t i = 0; i < addresses.size(); ++i)
        api.registObserver(&addresses[i], &observers[i]);
    const ScopeCase cases[] = {
        {"bank", 0, {0, 1, 2, 3, 4, 6}},
        {"template", 1, {0, 1, 2, 3}},
        {"controller", 2, {0, 1}},
    };
    for (const ScopeCase& c : cases) {
        for (auto& o : observers)
            o.calls = 0;
        if (c.scope == 0)
            api.notifyObserverOfBankAllParam(0);
        else if (c.scope == 1)
            api.notifyObserverOfTemplateAllParam(0, 3);
        else
            api.notifyObserverOfControllerAllParam(0, 3, 5);
        std::vector<int> seen;
        for (std::size_t i = 0; i < observers.size(); ++i) {
            if (observers[i].calls)
                seen.push_back(int(i));
        }
        EXPECT_EQ(seen, c.notified) << c.label;
    }
    for (auto& o : observers)
        api.unregistObserver(&o);
}

TEST_F(MemoryApi, OnlineStateTellsItsObserversOnly)
{
    CountingObserver watcher;
    ParamAddress online = kOnline;
    api.registObserver(&online, &watcher);
    EXPECT_TRUE(api.setONLINEstate(1));
    EXPECT_FALSE(api.setONLINEstate(1));
    EXPECT_FALSE(api.setONLINEstate(2));
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_TRUE(api.isONLINE());
    EXPECT_EQ(fileEditFlag(), 0);
}

TEST_F(MemoryApi, CopyTemplateOntoEqualTemplateTellsNobodyButMarksTheFile)
{
    CountingObserver watcher;
    ParamAddress watched(0, 4, 0, 1);
    api.registObserver(&watched, &watcher);
    EXPECT_FALSE(api.copyTemplate(2, 3, 0, 4));
    EXPECT_EQ(watcher.calls, 0);
    EXPECT_EQ(fileEditFlag(), 1);

    api.setParam(ParamAddress(2, 3, 0, 1), 33L);
    EXPECT_TRUE(api.copyTemplate(2, 3, 0, 4));
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_EQ(api.getParam(watched).getCurrentValue(), 33);

    EXPECT_EQ(libraryEditFlag(), 0);
    EXPECT_TRUE(api.copyTemplate(2, 3, 5, 0));
    EXPECT_EQ(libraryEditFlag(), 1);
    EXPECT_FALSE(api.copyTemplate(2, 3, 9, 0));
}

TEST_F(MemoryApi, CopyBankAlwaysAnnouncesAndSetsFlags)
{
    CountingObserver watcher;
    ParamAddress watched(0, 49, 11, 3);
    api.registObserver(&watched, &watcher);
    EXPECT_TRUE(api.copyBank(5, 0));
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_EQ(fileEditFlag(), 1);
    EXPECT_EQ(api.getBankAvailableFlag(0), 1);

    api.setParam(kFileEdit, 0L);
    api.setupLibraryBank();
    EXPECT_EQ(libraryEditFlag(), 0);
    EXPECT_EQ(api.getBankAvailableFlag(5), 1);
    EXPECT_TRUE(api.copyBank(2, 5));
    EXPECT_EQ(libraryEditFlag(), 1);

    api.activateLibraryEdit();
    EXPECT_EQ(fileEditFlag(), 0) << "library activation does not mark the file";
    EXPECT_TRUE(api.isAllowToRaiseFileEditFlag());
    EXPECT_FALSE(api.copyBank(0, 9));
}

TEST_F(MemoryApi, EvacuateAndRestoreRoundTrip)
{
    while (api.getQuantityOfBank() < 9)
        api.createBank();
    api.setParam(ParamAddress(0, 1, 13, -1), QStringLiteral("Current"));
    api.setParam(ParamAddress(4, 1, 13, -1), QStringLiteral("Import"));
    api.evacuateSpecificBankAndEditBuff(4);
    api.setParam(ParamAddress(0, 1, 13, -1), QStringLiteral("Broken"));
    api.setParam(ParamAddress(4, 1, 13, -1), QStringLiteral("Broken"));
    api.restoreSpecificBankAndEditBuff(4);
    EXPECT_EQ(api.getParamQString(ParamAddress(0, 1, 13, -1)), QStringLiteral("Current"));
    EXPECT_EQ(api.getParamQString(ParamAddress(4, 1, 13, -1)), QStringLiteral("Import"));
}

TEST_F(MemoryApi, ExchangesNotifyAndSendCurrentBankSides)
{
    goOnline();
    std::vector<std::string> order;
    CountingObserver a("a", &order), b("b", &order);
    ParamAddress addrA(0, 2, 0, 1), addrB(1, 6, 0, 1);
    api.registObserver(&addrA, &a);
    api.registObserver(&addrB, &b);
    api.setParam(ParamAddress(1, 6, 0, 1), 20L);
    order.clear();
    log->take();

    EXPECT_TRUE(api.exchangeTemplate(0, 2, 1, 6));
    EXPECT_EQ(order, (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(log->take(), (Calls{"sendBulk 0,2"}));

    // Both sides in bank 0: B's bulk first; an unchanged exchange still sends.
    EXPECT_FALSE(api.exchangeTemplate(0, 3, 0, 4));
    EXPECT_EQ(log->take(), (Calls{"sendBulk 0,4", "sendBulk 0,3"}));

    order.clear();
    EXPECT_TRUE(api.exchangeController(0, 2, 0, 0, 7, 3));
    EXPECT_EQ(order, (std::vector<std::string>{"a"}));
    EXPECT_EQ(log->take(), (Calls{"sendParamChangeOfController 0,2,0", "sendParamChangeOfController 0,7,3"}));
    EXPECT_EQ(api.getParam(ParamAddress(0, 7, 3, 1)).getCurrentValue(), 20);

    api.setONLINEstate(0);
    EXPECT_TRUE(api.exchangeController(0, 2, 0, 0, 7, 3));
    EXPECT_TRUE(log->take().empty());
    EXPECT_FALSE(api.exchangeController(0, 2, 12, 0, 7, 3));
}

TEST_F(MemoryApi, ExchangeMarksFileOnlyWithinEditorBanks)
{
    api.setParam(ParamAddress(2, 0, 0, 1), 9L);
    EXPECT_TRUE(api.exchangeTemplate(2, 0, 0, 0));
    EXPECT_EQ(fileEditFlag(), 0);
    EXPECT_EQ(libraryEditFlag(), 0);
    EXPECT_TRUE(api.exchangeTemplate(0, 0, 1, 0));
    EXPECT_EQ(fileEditFlag(), 1);
    EXPECT_TRUE(api.exchangeTemplate(1, 0, 5, 0));
    EXPECT_EQ(libraryEditFlag(), 1);
}

TEST_F(MemoryApi, InitializeTemplateAlwaysNotifiesAndNeverMarks)
{
    CountingObserver watcher;
    ParamAddress watched(0, 5, 13, -1);
    api.registObserver(&watched, &watcher);
    EXPECT_FALSE(api.initializeTemplate(0, 5));
    EXPECT_EQ(watcher.calls, 1);
    api.setParam(ParamAddress(0, 5, 13, -1), QStringLiteral("x"));
    api.setParam(kFileEdit, 0L);
    watcher.calls = 0;
    EXPECT_TRUE(api.initializeTemplate(0, 5));
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_EQ(fileEditFlag(), 0);
    EXPECT_EQ(api.getParamQString(watched), QString());
}

TEST_F(MemoryApi, TemplateSelectHoldForcesOneChange)
{
    goOnline();
    CountingObserver watcher;
    ParamAddress current(0, 52, -1, -1);
    api.registObserver(&current, &watcher);
    api.holdTemplateSelect();
    EXPECT_TRUE(api.isTemplateSelectHeld());
    EXPECT_TRUE(api.setParam(current, 0L)) << "same value, processed as a change";
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_EQ(log->take(), (Calls{"enqueue (0, 52, -1, -1)=0", "sendMessage"}));
    EXPECT_FALSE(api.isTemplateSelectHeld());
    EXPECT_FALSE(api.setParam(current, 0L)) << "the hold is one-shot";

    api.holdTemplateSelect();
    EXPECT_FALSE(api.setParam(current, 50L)) << "an invalid number stays refused";
    EXPECT_FALSE(api.isTemplateSelectHeld());
    EXPECT_EQ(watcher.calls, 1);
    EXPECT_TRUE(log->take().empty());
    EXPECT_EQ(api.pendingTemplateSelects(), (QList<int>{0})) << "only the repeated select awaits its echo";
}

TEST_F(MemoryApi, PendingTemplateSelectSwallowsOnlyItsEcho)
{
    goOnline();
    const ParamAddress current(0, 52, -1, -1);
    EXPECT_TRUE(api.setParam(current, 7L));
    EXPECT_EQ(api.pendingTemplateSelects(), (QList<int>{7}));
    EXPECT_FALSE(api.takeEchoOfTemplateSelect(9));
    EXPECT_EQ(api.pendingTemplateSelects(), (QList<int>{7}));
    api.holdTemplateSelect();
    EXPECT_TRUE(api.takeEchoOfTemplateSelect(7));
    EXPECT_TRUE(api.pendingTemplateSelects().isEmpty());
    EXPECT_FALSE(api.isTemplateSelectHeld()) << "the echo releases a held select";
    EXPECT_FALSE(api.takeEchoOfTemplateSelect(7));

    // Off-line selections are not sent and so expect no echo.
    api.setONLINEstate(0);
    EXPECT_TRUE(api.setParam(current, 8L));
    EXPECT_TRUE(api.pendingTemplateSelects().isEmpty());
}

TEST_F(MemoryApi, StoreBankComparesAgainstTheAllInitialBank)
{
    openRoute();
    while (api.getQuantityOfBank() < 9)
        api.createBank();
    api.setParam(ParamAddress(8, 49, 0, 1), 74L);
    api.initializeInitialTemplate();
    for (int t = 0; t < 50; ++t)
        api.initializeTemplate(0, t);
    api.setParam(kFileEdit, 0L);

    EXPECT_TRUE(api.storeBank(false));
    EXPECT_EQ(fileEditFlag(), 0);
    EXPECT_EQ(api.getParam(ParamAddress(1, 20, 0, 1)).getCurrentValue(), 74) << "bank 1 is a copy of bank 0";
    EXPECT_TRUE(log->take().empty());

    api.setParam(ParamAddress(0, 49, 3, 0), QStringLiteral("Drive"));
    api.setParam(kFileEdit, 0L);
    EXPECT_TRUE(api.storeBank(true));
    EXPECT_EQ(fileEditFlag(), 1);
    EXPECT_EQ(api.getParamQString(ParamAddress(1, 49, 3, 0)), QStringLiteral("Drive"));
    EXPECT_EQ(log->take(), (Calls{"sendStoreMessage"}));

    log->sendStoreMessageResult = false;
    EXPECT_FALSE(api.storeBank(true));
    api.deleteMIDIComunicationRoute();
    EXPECT_FALSE(api.storeBank(true));
    EXPECT_TRUE(api.storeBank(false));
}

TEST_F(MemoryApi, SendEditorAllDataKeepsFlagsOfStepsNotReached)
{
    EXPECT_FALSE(api.sendEditorAllData(false)) << "no route";
    openRoute();
    api.setStoreFlag(true);
    api.setStoreToFlashSendingFlag(true);

    log->sendEditorAllDataResult = false;
    EXPECT_FALSE(api.sendEditorAllData(true));
    EXPECT_TRUE(api.getStoreFlag());
    EXPECT_TRUE(api.getStoreToFlashSendingFlag());
    EXPECT_EQ(log->take(), (Calls{"sendEditorAllData 1"}));

    log->sendEditorAllDataResult = true;
    log->sendStoreMessageResult = false;
    EXPECT_FALSE(api.sendEditorAllData(false));
    EXPECT_FALSE(api.getStoreFlag());
    EXPECT_TRUE(api.getStoreToFlashSendingFlag());
    EXPECT_EQ(log->take(), (Calls{"sendEditorAllData 0", "sendStoreMessage"}));

    log->sendStoreMessageResult = true;
    EXPECT_TRUE(api.sendEditorAllData(false));
    EXPECT_FALSE(api.getStoreToFlashSendingFlag());
    EXPECT_EQ(log->take(), (Calls{"sendEditorAllData 0", "enqueueStoreToFlash", "sendMessage"}));
}

TEST_F(MemoryApi, OperationsForwardToTheOpenRoute)
{
    openRoute();
    api.revokeReceivedBulk();
    EXPECT_FALSE(api.getBulkRecieveEnableFlag());
    EXPECT_TRUE(api.sendHardWareDataReq(true));
    EXPECT_TRUE(api.getBulkRecieveEnableFlag());
    EXPECT_TRUE(api.send1TemplateDataParamChange(0, 12));
    bool finished = false;
    EXPECT_TRUE(api.sendMessage(&finished));
    EXPECT_TRUE(finished);
    api.clearTransmitQueue();
    EXPECT_TRUE(api.sendStoreToFlash());
    log->enqueueStoreToFlashResult = false;
    EXPECT_FALSE(api.sendStoreToFlash());
    api.incrementTransmitedBulkCounter();
    api.incrementTransmitedBulkReqCounter();
    api.clearTransmitedBulkCounter();
    api.clearTransmitedBulkReqCounter();
    EXPECT_EQ(log->take(),
        (Calls{"sendHardWareDataReq 1", "send1TemplateDataParamChange 0,12", "sendMessage", "clearTransmitQueue 1",
            "enqueueStoreToFlash", "sendMessage", "enqueueStoreToFlash", "incrementTransmitedBulkCounter",
            "incrementTransmitedBulkReqCounter", "clearTransmitedBulkCounter", "clearTransmitedBulkReqCounter"}));
}

TEST_F(MemoryApi, WithoutRouteEveryLinkOperationDoesNothing)
{
    EXPECT_FALSE(api.sendHardWareDataReq(false));
    EXPECT_FALSE(api.sendStoreToFlash());
    EXPECT_FALSE(api.send1TemplateDataParamChange(0, 0));
    EXPECT_FALSE(api.sendMessage(nullptr));
    api.clearTransmitQueue();
    api.incrementTransmitedBulkCounter();
    api.setONLINEstate(1);
    EXPECT_TRUE(api.setParam(ParamAddress(0, 0, 0, 1), 3L));
    EXPECT_TRUE(log->take().empty());
}

TEST_F(MemoryApi, RouteCreationAndFailures)
{
    EXPECT_EQ(api.getInputPortList().size(), 2);
    EXPECT_EQ(api.getOutputPortList(), QStringList{QStringLiteral("ZenoA Port5")});

    log->openInputResult = false;
    EXPECT_FALSE(api.createMIDIComunicationRoute(0, 4, 4));
    EXPECT_EQ(log->take(), (Calls{"closeRoute", "openInput 0,4"})) << "the output is not tried";
    EXPECT_FALSE(api.hasInputPair());
    EXPECT_FALSE(api.hasEncoder());

    log->openInputResult = true;
    log->openOutputResult = false;
    EXPECT_FALSE(api.createMIDIComunicationRoute(0, 4, 4));
    EXPECT_EQ(log->take(), (Calls{"closeRoute", "openInput 0,4", "openOutput 4", "closeRoute"}));
    EXPECT_FALSE(api.hasInputPair()) << "no half route is left";

    log->openOutputResult = true;
    EXPECT_TRUE(api.createMIDIComunicationRoute(1, 5, 6));
    EXPECT_EQ(log->take(), (Calls{"closeRoute", "openInput 1,5", "openOutput 6"}));
    EXPECT_FALSE(api.createMIDIInput(1, 5)) << "an input pair exists";
    EXPECT_FALSE(api.createMIDIOutput(6)) << "an encoder exists";
    EXPECT_TRUE(log->take().empty());

    api.deleteMIDIComunicationRoute();
    EXPECT_FALSE(api.hasEncoder());
    EXPECT_TRUE(api.createMIDIOutput(2));
    EXPECT_TRUE(api.createMIDIInput(0, 1));
}

TEST(MemoryApiLifetime, NoProviderMeansNoRoute)
{
    RemoteMemAPI api;
    EXPECT_FALSE(api.createMIDIComunicationRoute(0, 4, 4));
    EXPECT_FALSE(api.createMIDIInput(0, 4));
    EXPECT_FALSE(api.createMIDIOutput(4));
    EXPECT_TRUE(api.getInputPortList().isEmpty());
    api.deleteMIDIComunicationRoute();
    EXPECT_EQ(api.txModelId()[0], 0x7F);
    EXPECT_EQ(api.txModelId()[1], 0x17);
    EXPECT_EQ(api.rxModelId()[0], 0x7F);
    EXPECT_EQ(api.rxModelId()[1], 0x19);
}

TEST(MemoryApiLifetime, DestructorClosesTheRouteAndReleasesObservers)
{
    auto log = std::make_shared<RouteLog>();
    CountingObserver outliving;
    ParamAddress a(0, 0, 0, 1);
    {
        RemoteMemAPI api;
        api.setRouteProvider(std::make_unique<FakeRouteProvider>(log));
        ASSERT_TRUE(api.createMIDIComunicationRoute(0, 4, 4));
        api.registObserver(&a, &outliving);
        log->take();
    }
    EXPECT_EQ(log->take(), (Calls{"closeRoute", "~provider"}));
    EXPECT_EQ(outliving.getMemAPI(), nullptr) << "its destructor must not reach the dead API";
}

TEST_F(MemoryApi, SignalsReachReceivers)
{
    QSignalSpy receive(&api, &RemoteMemAPI::completeBulkReceive);
    QSignalSpy transmit(&api, &RemoteMemAPI::completeBulkTransmit);
    QSignalSpy number(&api, &RemoteMemAPI::notifiedCurrentTemplateNumber);
    QSignalSpy port(&api, &RemoteMemAPI::portActivated);
    api.emitCompleteBulkReceiveSignal();
    api.emitCompleteBulkTransmitSignal();
    api.emitNotifiedCurrentTemplateNumberSignal();
    api.emitPortActivatedSignal();
    EXPECT_EQ(receive.count() + transmit.count() + number.count() + port.count(), 4);
    EXPECT_EQ(port.count(), 1);
    EXPECT_TRUE(api.isWatchPortActivate());
    EXPECT_FALSE(api.needToWaitAutoSyncDone());
    EXPECT_FALSE(api.isFileOpenRequestExist());
    EXPECT_FALSE(api.isBulkReceivePending());
    api.setBulkReceivePending(true);
    api.setBulkTransmitPending(true);
    EXPECT_TRUE(api.isBulkReceivePending());
    EXPECT_TRUE(api.isBulkTransmitPending());
}

TEST_F(MemoryApi, ConcurrentWritersKeepEveryValueAndFlag)
{
    goOnline();
    CountingObserver watcher;
    ParamAddress watched(0, 0, 0, 1);
    api.registObserver(&watched, &watcher);
    // The MIDI side writes bank 2 with sending suppressed while the user
    // interface writes bank 0.
    std::thread midi([this] {
        for (int i = 0; i < 2000; ++i) {
            std::lock_guard group(api.memoryLock());
            api.setAllowToSendSysExFlag(false);
            api.setParam(ParamAddress(2, i % 50, i % 12, 1), long(i % 128));
            api.setAllowToSendSysExFlag(true);
        }
    });
    for (int i = 1; i <= 2000; ++i)
        api.setParam(ParamAddress(0, 0, 0, 1), long(i % 2 ? 1 : 2));
    midi.join();
    EXPECT_EQ(watcher.calls, 2000);
    const Calls calls = log->take();
    EXPECT_EQ(calls.size(), 4000u) << "only bank 0 writes were sent";
    EXPECT_EQ(api.getParam(ParamAddress(2, 1999 % 50, 1999 % 12, 1)).getCurrentValue(), 1999 % 128);
}

} // namespace
