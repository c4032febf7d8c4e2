// A whole synchronisation run between the editor's memory, protocol and MIDI
// layers and the simulated keyboard on the in-process MIDI service: two
// independent readings of the message formats have to agree for any of these
// to pass.
#include "editor/protocol/sync/KeyboardSync.h"

#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"
#include "editor/midi/KeyboardPortSets.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/midi/virtual/Service.h"
#include "editor/protocol/ComuRouteProvider.h"
#include "sim/KeyboardPorts.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

using namespace sim;

namespace {

SimTemplate keyboardTemplate(int t, const std::string& prefix)
{
    SimTemplate out;
    out.setTemplateName(prefix + " " + std::to_string(t + 1));
    out.setVstiName("Synth" + std::to_string(t % 7));
    out.setControlType(t % 2);
    for (int k = 0; k < kKnobCount; ++k) {
        out.setDisplayName(k, prefix.substr(0, 1) + "knob" + std::to_string(k));
        out.setCcNumber(k, (t * 3 + k) % 128);
        out.setDisplayFormat(k, (t + k) % 2);
        out.setRemoteNumber(k, k % 3 == 0 ? "100000401" : "0000004d2");
    }
    return out;
}

class KeyboardSyncRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual));
        VirtualMIDIService::instance().unplugAll();
        for (int t = 0; t < kTemplateCount; ++t) {
            keyboard.setStored(t, keyboardTemplate(t, "Stored"));
            keyboard.setEditBuffer(t, keyboardTemplate(t, "Edit"));
        }
        keyboard.setCurrentTemplate(23);
        std::string error;
        ports = makeKeyboardPorts("virtual", error);
        ASSERT_TRUE(ports) << error;
        runner = std::make_unique<SimRunner>(keyboard, *ports, 100);
        runner->start();
        ASSERT_TRUE(ports->open(kDefaultKeyboardName, *runner, error)) << error;

        api = std::make_unique<RemoteMemAPI>();
        api->setRouteProvider(std::make_unique<ComuRouteProvider>());
    }
    void TearDown() override
    {
        sync.reset();
        api.reset();
        if (ports) ports->close();
        if (runner) runner->stop();
        VirtualMIDIService::instance().unplugAll();
    }

    void openRoute()
    {
        const auto sets = findKeyboardPortSets(api->getInputPortList(), api->getOutputPortList());
        ASSERT_EQ(sets.ports.size(), 1u);
        const PortInfo& p = sets.ports.front();
        ASSERT_TRUE(api->createMIDIComunicationRoute(p.watchInput, p.dataInput, p.output));
    }

    bool run(bool sendEditorData, bool editBuffersOnly, int waitMs = 20000)
    {
        sync = std::make_unique<KeyboardSync>(api.get());
        QSignalSpy finished(sync.get(), &KeyboardSync::finished);
        EXPECT_TRUE(sync->start(sendEditorData, editBuffersOnly));
        if (finished.isEmpty() && !finished.wait(waitMs)) return false;
        return finished.first().first().toBool();
    }

    QString text(int bank, int t, int controller, int parameter)
    {
        return api->getParamQString(ParamAddress(bank, t, controller, parameter));
    }
    int number(int bank, int t, int controller, int parameter)
    {
        return api->getParam(ParamAddress(bank, t, controller, parameter)).getCurrentValue();
    }

    // Whether editor bank `bank` holds exactly what the keyboard template holds.
    void expectBankMatches(int bank, bool stored)
    {
        for (int t = 0; t < kTemplateCount; ++t) {
            const SimTemplate k = stored ? keyboard.stored(t) : keyboard.editBuffer(t);
            SCOPED_TRACE(t);
            ASSERT_EQ(text(bank, t, 13, -1).toStdString(), k.templateName());
            ASSERT_EQ(text(bank, t, 15, -1).toStdString(), k.vstiName());
            ASSERT_EQ(number(bank, t, 14, -1), k.controlType());
            for (int knob = 0; knob < kKnobCount; ++knob) {
                ASSERT_EQ(text(bank, t, knob, 0).toStdString(), k.displayName(knob));
                ASSERT_EQ(number(bank, t, knob, 1), k.ccNumber(knob));
                ASSERT_EQ(number(bank, t, knob, 2), k.displayFormat(knob));
                ASSERT_EQ(text(bank, t, knob, 3).toStdString(), k.remoteNumber(knob));
            }
        }
    }

    KeyboardSim keyboard;
    std::unique_ptr<KeyboardPorts> ports;
    std::unique_ptr<SimRunner> runner;
    std::unique_ptr<RemoteMemAPI> api;
    std::unique_ptr<KeyboardSync> sync;
};

} // namespace

TEST_F(KeyboardSyncRun, AdoptsTheKeyboardsTemplates)
{
    openRoute();
    ASSERT_TRUE(run(false, true)) << sync->message().toStdString();
    EXPECT_EQ(sync->phase(), KeyboardSync::Phase::Succeeded);
    expectBankMatches(1, true);  // editor backup = the keyboard's stored templates
    expectBankMatches(0, false); // current bank = its edit buffers
    expectBankMatches(2, true);
    expectBankMatches(3, false);
    EXPECT_EQ(number(0, 52, -1, -1), 23) << "the template the keyboard shows";
    EXPECT_TRUE(api->isONLINE());
    EXPECT_EQ(number(-3, -1, -1, -1), 1) << "the current bank matches no file";
    EXPECT_EQ(sync->done(), sync->total());
    EXPECT_EQ(keyboard.stats().dumpsSent, 100);
}

TEST_F(KeyboardSyncRun, SendsTheEditorsBankWhenItsDataWins)
{
    openRoute();
    // The editor's own bank: distinct from what the keyboard holds.
    api->denyToRaiseFileEditFlag();
    for (int t = 0; t < kTemplateCount; ++t) {
        api->setParam(ParamAddress(0, t, 13, -1), QStringLiteral("Mine %1").arg(t + 1));
        api->setParam(ParamAddress(0, t, 5, 1), long(t));
        api->setParam(ParamAddress(1, t, 13, -1), QStringLiteral("Backup %1").arg(t + 1));
    }
    api->setParam(ParamAddress(0, 52, -1, -1), 7L);
    api->allowToRaiseFileEditFlag();
    ASSERT_TRUE(run(true, false, 30000)) << sync->message().toStdString();
    EXPECT_TRUE(api->isONLINE());
    EXPECT_EQ(keyboard.stats().dumpsSent, 50) << "only the stored templates are asked for";
    EXPECT_EQ(keyboard.stats().dumpsAccepted, 100);
    for (int t = 0; t < kTemplateCount; ++t) {
        EXPECT_EQ(keyboard.editBuffer(t).templateName(), "Mine " + std::to_string(t + 1));
        EXPECT_EQ(keyboard.editBuffer(t).ccNumber(5), t);
        EXPECT_EQ(keyboard.stored(t).templateName(), "Backup " + std::to_string(t + 1));
    }
    EXPECT_EQ(keyboard.currentTemplate(), 7);
    // The keyboard's data as first received stays in banks 2 and 3 ...
    EXPECT_EQ(text(2, 4, 13, -1), QStringLiteral("Stored 5"));
    // ... and a second run only sends.
    ASSERT_TRUE(run(true, true, 30000)) << sync->message().toStdString();
    EXPECT_EQ(keyboard.stats().dumpsSent, 50);
    EXPECT_EQ(keyboard.stats().dumpsAccepted, 150);
}

TEST_F(KeyboardSyncRun, SilentKeyboardTimesOutAndLeavesTheEditorOffLine)
{
    SimFaults faults;
    faults.silent = true;
    keyboard.setFaults(faults);
    openRoute();
    sync = std::make_unique<KeyboardSync>(api.get());
    sync->setTimeouts(400, 400);
    QSignalSpy finished(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(false, true));
    EXPECT_FALSE(sync->start(false, true)) << "a second start during a run does nothing";
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_EQ(sync->failure(), KeyboardSync::Failure::ReceiveTimedOut);
    EXPECT_FALSE(sync->message().isEmpty());
    EXPECT_FALSE(api->isONLINE());
    EXPECT_FALSE(api->getBankAvailableFlag(2));
    EXPECT_TRUE(api->isAllowToRaiseFileEditFlag());
    EXPECT_FALSE(api->isBulkReceivePending());

    // Retry once the keyboard answers again: the run starts from scratch.
    keyboard.setFaults(SimFaults{});
    sync->setTimeouts(20000, 20000);
    QSignalSpy again(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(false, true));
    ASSERT_TRUE(again.wait(20000));
    EXPECT_TRUE(again.first().first().toBool()) << sync->message().toStdString();
    expectBankMatches(0, false);
}

// Each fault the simulator offers for tests ends a backup run in a clean
// failure: the editor's own banks stay as they were, it stays off line, and a
// retry once the fault is gone brings in everything.
TEST_F(KeyboardSyncRun, FaultsEndTheRunCleanlyAndARetrySucceeds)
{
    struct Case {
        const char* name;
        SimFaults faults;
    };
    auto fault = [](auto member, int value) {
        SimFaults f;
        f.*member = value;
        return f;
    };
    const Case cases[] = {
        {"drop-every 7", fault(&SimFaults::ignoreEvery, 7)},
        {"corrupt-every 40", fault(&SimFaults::corruptChecksumEvery, 40)},
        {"delay beyond the time-out", fault(&SimFaults::replyDelayMs, 5000)},
        {"silent-after 30", fault(&SimFaults::silentAfter, 30)},
    };
    openRoute();
    for (int t = 0; t < kTemplateCount; ++t) {
        ASSERT_TRUE(api->setParam(ParamAddress(0, t, 13, -1), QStringLiteral("Mine %1").arg(t)));
        ASSERT_TRUE(api->setParam(ParamAddress(1, t, 5, 1), long(t + 1)));
    }
    std::vector<ControlTemplateData> before[2];
    for (int bank : {0, 1}) {
        for (int t = 0; t < kTemplateCount; ++t) before[bank].push_back(api->getTemplateData(bank, t));
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keyboard.setFaults(c.faults);
        sync = std::make_unique<KeyboardSync>(api.get());
        sync->setTimeouts(1500, 1500);
        QSignalSpy finished(sync.get(), &KeyboardSync::finished);
        ASSERT_TRUE(sync->start(false, false));
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_FALSE(finished.first().first().toBool());
        EXPECT_EQ(sync->failure(), KeyboardSync::Failure::ReceiveTimedOut);
        EXPECT_FALSE(api->isONLINE());
        EXPECT_FALSE(api->getBankAvailableFlag(2));
        for (int bank : {0, 1}) {
            for (int t = 0; t < kTemplateCount; ++t) {
                ASSERT_TRUE(api->getTemplateData(bank, t) == before[bank][t]) << "bank " << bank << " template " << t;
            }
        }
        // Whatever the keyboard still had on its way must not leak into the
        // next run: let it finish answering before the retry.
        keyboard.setFaults(SimFaults{});
        ASSERT_TRUE(runner->waitUntilIdle(10000));
    }
    ASSERT_TRUE(run(false, false)) << sync->message().toStdString();
    EXPECT_TRUE(api->isONLINE());
    expectBankMatches(1, true);
    expectBankMatches(0, false);
    EXPECT_EQ(number(0, 52, -1, -1), 23);
}

// The keyboard's active sensing keeps the editor on line; when it stops,
// the connection watcher takes the editor off line within one period.
TEST_F(KeyboardSyncRun, WatcherDropsTheOnLineStateWhenActiveSensingStops)
{
    constexpr int kPeriodMs = 1500;
    api = std::make_unique<RemoteMemAPI>();
    api->setRouteProvider(std::make_unique<ComuRouteProvider>(kPeriodMs));
    openRoute();
    ASSERT_TRUE(run(false, false)) << sync->message().toStdString();
    ASSERT_TRUE(api->isONLINE());
    // Active sensing every 100 ms: fifteen chances per period to stay on line.
    QTest::qWait(2 * kPeriodMs);
    EXPECT_TRUE(api->isONLINE()) << "active sensing keeps the editor on line";

    SimFaults faults;
    faults.noActiveSensing = true;
    keyboard.setFaults(faults);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !api->isONLINE(); }, 10 * kPeriodMs));
}

TEST_F(KeyboardSyncRun, UnacknowledgedSendTimesOut)
{
    SimFaults faults;
    faults.noAck = true;
    keyboard.setFaults(faults);
    openRoute();
    api->setBankAvailableFlag(1, 2); // already received: the run only sends
    sync = std::make_unique<KeyboardSync>(api.get());
    sync->setTimeouts(400, 400);
    QSignalSpy finished(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(true, true));
    EXPECT_EQ(sync->phase(), KeyboardSync::Phase::Sending);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(sync->failure(), KeyboardSync::Failure::SendTimedOut);
    EXPECT_EQ(keyboard.stats().dumpsAccepted, 1) << "the next dump waits for the acknowledgement";
    EXPECT_FALSE(api->isONLINE());
}

TEST_F(KeyboardSyncRun, WithoutARouteTheRunFailsAtOnce)
{
    sync = std::make_unique<KeyboardSync>(api.get());
    QSignalSpy finished(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(false, true));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(sync->failure(), KeyboardSync::Failure::NoRoute);
    EXPECT_FALSE(sync->isRunning());
}

TEST_F(KeyboardSyncRun, CancelEndsTheRun)
{
    SimFaults faults;
    faults.silent = true;
    keyboard.setFaults(faults);
    openRoute();
    sync = std::make_unique<KeyboardSync>(api.get());
    QSignalSpy finished(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(false, true));
    sync->cancel();
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(sync->failure(), KeyboardSync::Failure::Cancelled);
    EXPECT_TRUE(api->isAllowToRaiseFileEditFlag());
}

TEST_F(KeyboardSyncRun, ReportsProgressWhileReceiving)
{
    SimFaults faults;
    faults.replyDelayMs = 5; // long enough for the progress timer to see steps
    keyboard.setFaults(faults);
    openRoute();
    sync = std::make_unique<KeyboardSync>(api.get());
    QSignalSpy progress(sync.get(), &KeyboardSync::progress);
    QSignalSpy finished(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(false, true));
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_GE(progress.size(), 3);
    int last = -1;
    for (const auto& args : progress) {
        EXPECT_GE(args[0].toInt(), last) << "progress never goes back";
        last = args[0].toInt();
        EXPECT_EQ(args[1].toInt(), 100);
    }
    EXPECT_EQ(last, 100);
}

TEST_F(KeyboardSyncRun, OnLineEditsReachTheKeyboardAndItsActionsReachTheEditor)
{
    openRoute();
    ASSERT_TRUE(run(false, true)) << sync->message().toStdString();
    ASSERT_TRUE(api->isONLINE());

    // Editor -> keyboard: a knob's CC, a display name and a remote number of
    // the template the keyboard shows, then another template selected.
    ASSERT_TRUE(api->setParam(ParamAddress(0, 23, 5, 1), 99L));
    ASSERT_TRUE(api->setParam(ParamAddress(0, 23, 0, 0), QStringLiteral("Cutoff")));
    ASSERT_TRUE(api->setParam(ParamAddress(0, 23, 11, 3), QStringLiteral("100001069")));
    // The report comes on the MIDI thread and may come before any wait
    // starts: count it on this thread from the start.
    int reports = 0;
    QObject receiver;
    QObject::connect(api.get(), &RemoteMemAPI::notifiedCurrentTemplateNumber, &receiver, [&] { ++reports; },
                     Qt::QueuedConnection);
    ASSERT_TRUE(api->setParam(ParamAddress(0, 52, -1, -1), 8L));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports == 1; }, 5000)) << "the keyboard confirms the selection";
    ASSERT_TRUE(runner->waitUntilIdle());
    EXPECT_EQ(keyboard.editBuffer(23).ccNumber(5), 99);
    EXPECT_EQ(keyboard.editBuffer(23).displayName(0), "Cutoff");
    EXPECT_EQ(keyboard.editBuffer(23).remoteNumber(11), "100001069");
    EXPECT_EQ(keyboard.currentTemplate(), 8);
    EXPECT_TRUE(api->pendingTemplateSelects().isEmpty()) << "the echo was consumed";

    // Keyboard -> editor: the musician picks template 41 on the keyboard.
    runner->post(keyboard.userSelectTemplate(40));
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports == 2; }, 5000));
    EXPECT_EQ(number(0, 52, -1, -1), 40);

    // ... turns knob B2's CC there ...
    runner->post(keyboard.userEditKnob(5, "cc", "42"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return number(0, 40, 5, 1) == 42; }, 5000));

    // ... and stores on the keyboard: the editor backup follows.
    runner->post(keyboard.userStore());
    EXPECT_TRUE(QTest::qWaitFor([&] { return number(1, 23, 5, 1) == 99; }, 5000));
    EXPECT_EQ(keyboard.stored(23).ccNumber(5), 99);
}

// A block whose checksum is wrong is dropped by the decoder; its footer must
// not complete the dump, or a backup would silently hold stale data.
TEST_F(KeyboardSyncRun, DamagedDumpIsNotTakenAsReceived)
{
    SimFaults faults;
    faults.corruptChecksumEvery = 1000; // one knob block of the 67th dump
    keyboard.setFaults(faults);
    openRoute();
    sync = std::make_unique<KeyboardSync>(api.get());
    sync->setTimeouts(3000, 3000);
    QSignalSpy finished(sync.get(), &KeyboardSync::finished);
    ASSERT_TRUE(sync->start(false, true));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished.first().first().toBool());
    EXPECT_EQ(sync->failure(), KeyboardSync::Failure::ReceiveTimedOut);
    EXPECT_FALSE(api->isONLINE());
}
