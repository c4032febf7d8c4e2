// The memory API with the real routes, encoder, decoder and watcher, talking
// over the virtual MIDI service to an emulated keyboard.
#include <gtest/gtest.h>

#include <QThread>

#include <atomic>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/protocol/ComuRouteProvider.h"
#include "editor/protocol/ConnectionWatcher.h"
#include "editor/protocol/MessageDecoder.h"
#include "editor/protocol/MessageEncoder.h"
#include "KeyboardEmulator.h"
#include "ProtocolTestSupport.h"

using namespace prototest;

namespace {

// Short enough to keep the tests quick, long enough that a loaded machine
// does not starve the pump for a whole period while sensing is sent.
constexpr int kWatchPeriodMs = 300;

class LinkEndToEndTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual); }

    LinkEndToEndTest()
    {
        VirtualMIDIService::instance().unplugAll();
        keyboard = std::make_unique<KeyboardEmulator>();
        auto owned = std::make_unique<ComuRouteProvider>(kWatchPeriodMs);
        provider = owned.get();
        api = std::make_unique<RemoteMemAPI>();
        api->setRouteProvider(std::move(owned));
        // Counted where they are raised, on the pump threads. Queued onto this
        // thread they would travel through Qt's posted-event list, whose lock
        // the thread sanitizer cannot see, and every hand-over would be
        // reported as a race inside Qt.
        QObject::connect(api.get(), &RemoteMemAPI::completeBulkReceive, &context, [this] { ++bulkReceived; },
                         Qt::DirectConnection);
        QObject::connect(api.get(), &RemoteMemAPI::completeBulkTransmit, &context, [this] { ++bulkTransmitted; },
                         Qt::DirectConnection);
        QObject::connect(api.get(), &RemoteMemAPI::portActivated, &context, [this] { ++portActivated; },
                         Qt::DirectConnection);
        QObject::connect(api.get(), &RemoteMemAPI::notifiedCurrentTemplateNumber, &context,
                         [this] { ++templateNotified; }, Qt::DirectConnection);
    }
    ~LinkEndToEndTest() override
    {
        api.reset();
        keyboard.reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(api->createMIDIComunicationRoute(keyboard->watchInput(), keyboard->dataInput(),
                                                     keyboard->output()));
    }

    // Everything the keyboard received, after a bank-0 edit that marks the
    // end: whatever was going to be sent before it has gone out by then.
    std::vector<std::string> receivedUpToMarker()
    {
        const int marker = 0x70 + (++markers % 16);
        api->setParam(ParamAddress(0, 49, 11, 1), static_cast<long>(marker));
        const Bytes expected{0xF0, 0x43, 0x10, 0x7F, 0x17, 0x01, 0x1B, 0x18, static_cast<unsigned char>(marker), 0xF7};
        std::vector<std::string> out;
        EXPECT_TRUE(waitUntil([&] {
            const auto got = keyboard->received();
            return !got.empty() && got.back() == expected;
        }));
        for (const auto& m : keyboard->received())
            out.push_back(hex(m));
        out.pop_back();
        return out;
    }
    int number(int b, int t, int c, int p) { return api->getParam(ParamAddress(b, t, c, p)).getCurrentValue(); }
    QString text(int b, int t, int c, int p) { return api->getParamQString(ParamAddress(b, t, c, p)); }

    QObject context;
    std::unique_ptr<KeyboardEmulator> keyboard;
    ComuRouteProvider* provider = nullptr;
    std::unique_ptr<RemoteMemAPI> api;
    std::atomic<int> bulkReceived{0};
    std::atomic<int> bulkTransmitted{0};
    std::atomic<int> portActivated{0};
    std::atomic<int> templateNotified{0};
    int markers = 0;
};

TEST_F(LinkEndToEndTest, EditsOfTheCurrentBankGoOutAsParameterChanges)
{
    api->setONLINEstate(1);
    ASSERT_TRUE(api->setParam(ParamAddress(0, 3, 0, 1), 0x15L));
    ASSERT_TRUE(api->setParam(ParamAddress(1, 3, 0, 1), 0x16L)); // editor backup: never sent
    ASSERT_TRUE(api->setParam(ParamAddress(0, 3, 13, -1), QString("Bass")));
    const auto sent = receivedUpToMarker();
    ASSERT_EQ(sent.size(), 14u);
    EXPECT_EQ(sent[0], "F0 43 10 7F 17 01 10 18 15 F7");
    EXPECT_EQ(sent[1], "F0 43 10 7F 17 01 00 00 42 F7");
    EXPECT_EQ(sent[13], "F0 43 10 7F 17 01 00 0C 20 F7");
}

TEST_F(LinkEndToEndTest, NothingGoesOutWhileOffline)
{
    ASSERT_TRUE(api->setParam(ParamAddress(0, 3, 0, 1), 0x15L));
    api->setONLINEstate(1);
    EXPECT_TRUE(receivedUpToMarker().empty());
}

TEST_F(LinkEndToEndTest, ReceivedValuesAreNeverSentBack)
{
    api->setONLINEstate(1);
    api->setParam(ParamAddress(0, 52, -1, -1), 2L);
    const auto before = receivedUpToMarker().size();
    keyboard->sendToEditor({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x10, 0x18, 0x33, 0xF7});
    keyboard->sendToEditor({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x10, 0x09, 0x5A, 0xF7});
    ASSERT_TRUE(waitUntil([&] { return number(0, 2, 0, 1) == 0x33 && text(0, 2, 0, 0) == "Z"; }));
    EXPECT_EQ(receivedUpToMarker().size(), before + 1) << "only the marker edit went out";
}

TEST_F(LinkEndToEndTest, TemplateSelectionsAreNotBouncedBack)
{
    api->setONLINEstate(1);
    ASSERT_TRUE(api->setParam(ParamAddress(0, 52, -1, -1), 7L));
    ASSERT_TRUE(waitUntil([&] { return api->pendingTemplateSelects().isEmpty() && templateNotified == 1; }));
    EXPECT_EQ(number(0, 52, -1, -1), 7);
    const auto sent = receivedUpToMarker();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "F0 43 10 7F 17 01 20 00 07 F7");
}

TEST_F(LinkEndToEndTest, WholeKeyboardIsReceivedIntoBanksTwoAndThree)
{
    api->setBulkReceivePending(true);
    ASSERT_TRUE(api->sendHardWareDataReq(true));
    ASSERT_TRUE(waitUntil([&] { return bulkReceived == 1; }, 20000));
    for (int t : {0, 17, 49}) {
        EXPECT_EQ(text(2, t, 13, -1).toStdString(), KeyboardEmulator::templateName(0x60, t));
        EXPECT_EQ(text(3, t, 13, -1).toStdString(), KeyboardEmulator::templateName(0x6F, t));
        EXPECT_EQ(text(2, t, 15, -1), "Synth");
        EXPECT_EQ(number(3, t, 14, -1), t & 1);
        for (int k : {0, 11}) {
            EXPECT_EQ(number(2, t, k, 1), KeyboardEmulator::ccOf(0x60, t, k));
            EXPECT_EQ(number(3, t, k, 1), KeyboardEmulator::ccOf(0x6F, t, k));
            EXPECT_EQ(text(3, t, k, 0), QString("Knob %1").arg(k));
            EXPECT_EQ(text(3, t, k, 3), "100000401");
        }
    }
    EXPECT_EQ(number(-6, -1, -1, -1), 1);
    EXPECT_EQ(number(0, 52, -1, -1), 12);
    EXPECT_EQ(provider->decoder()->transmitedBulkReqCounter(), 0);
    EXPECT_FALSE(api->isBulkReceivePending());

    const auto sent = keyboard->received();
    ASSERT_EQ(sent.size(), 102u);
    EXPECT_EQ(hex(sent[0]), "F0 43 20 7F 17 0E 60 00 F7");
    EXPECT_EQ(hex(sent[49]), "F0 43 20 7F 17 0E 60 31 F7");
    EXPECT_EQ(hex(sent[50]), "F0 43 30 7F 17 01 23 00 F7");
    EXPECT_EQ(hex(sent[51]), "F0 43 30 7F 17 01 20 00 F7");
    EXPECT_EQ(hex(sent[101]), "F0 43 20 7F 17 0E 6F 31 F7");
    EXPECT_EQ(provider->encoder()->queuedGroupCount(), 0);
}

TEST_F(LinkEndToEndTest, ReceiveWithADamagedBlockDoesNotComplete)
{
    api->setParam(ParamAddress(2, 17, 5, 0), QString("Before"));
    keyboard->damageNextDump(0x60, 17, 5);
    api->setBulkReceivePending(true);
    ASSERT_TRUE(api->sendHardWareDataReq(true));
    // The keyboard answers every request, and a report sent after the last
    // dump arrives behind it on the same port.
    ASSERT_TRUE(waitUntil([&] { return keyboard->received().size() == 102u; }, 20000));
    ASSERT_TRUE(waitUntil([&] { return text(3, 49, 11, 0) == "Knob 11"; }, 20000));
    keyboard->sendToEditor({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x21, 0xF7});
    ASSERT_TRUE(waitUntil([&] { return number(0, 52, -1, -1) == 0x21; }));
    QCoreApplication::processEvents();

    EXPECT_EQ(bulkReceived.load(), 0);
    EXPECT_TRUE(api->isBulkReceivePending());
    EXPECT_EQ(provider->decoder()->transmitedBulkReqCounter(), 1) << "the damaged dump answers no request";
    EXPECT_EQ(text(2, 17, 5, 0), "Before");
    EXPECT_EQ(text(2, 17, 4, 0), "Knob 4");

    // What a failed run does, then the same receive again, intact this time.
    api->clearTransmitedBulkReqCounter();
    api->clearTransmitQueue();
    ASSERT_TRUE(api->sendHardWareDataReq(true));
    ASSERT_TRUE(waitUntil([&] { return bulkReceived == 1; }, 20000));
    EXPECT_EQ(text(2, 17, 5, 0), "Knob 5");
    EXPECT_EQ(provider->decoder()->transmitedBulkReqCounter(), 0);
    EXPECT_FALSE(api->isBulkReceivePending());
}

TEST_F(LinkEndToEndTest, WholeBankIsSentOneDumpPerAcknowledgement)
{
    for (int t = 0; t < 50; ++t)
        api->setParam(ParamAddress(0, t, 13, -1), QString("Mine %1").arg(t));
    api->setParam(ParamAddress(0, 52, -1, -1), 4L);
    api->setBulkTransmitPending(true);
    keyboard->setAutoAck(false);
    ASSERT_TRUE(api->sendEditorAllData(false));

    // Nothing more goes out until the keyboard acknowledges.
    for (int dump = 1; dump <= 3; ++dump) {
        ASSERT_TRUE(waitUntil([&] { return keyboard->received().size() == 15u * dump; }));
        QThread::msleep(30);
        QCoreApplication::processEvents();
        EXPECT_EQ(keyboard->received().size(), 15u * dump);
        keyboard->ackHeld();
    }
    keyboard->setAutoAck(true);
    // The fourth dump may have been held back before auto-acknowledging began.
    ASSERT_TRUE(waitUntil([&] { return keyboard->ackHeld() || keyboard->acksSent() > 3; }));
    ASSERT_TRUE(waitUntil([&] { return bulkTransmitted == 1; }, 20000));

    const auto sent = keyboard->received();
    ASSERT_EQ(sent.size(), 50u * 15 * 2 + 1);
    EXPECT_EQ(keyboard->unpacedDumps(), 0);
    EXPECT_EQ(hex(sent[0]), "F0 43 00 7F 17 00 00 0E 6F 00 03 F7");
    EXPECT_EQ(std::string(sent[1].begin() + 10, sent[1].begin() + 23), "Mine 0       ");
    EXPECT_EQ(hex(sent[750]), "F0 43 10 7F 17 01 20 00 04 F7");
    EXPECT_EQ(sent[751][8], 0x60);
    EXPECT_EQ(provider->decoder()->transmitedBulkCounter(), 0);
    EXPECT_FALSE(api->isBulkTransmitPending());
    QThread::msleep(20);
    QCoreApplication::processEvents();
    EXPECT_EQ(bulkTransmitted.load(), 1);
}

TEST_F(LinkEndToEndTest, KeyboardStoreCopiesTheCurrentBank)
{
    api->setParam(ParamAddress(0, 6, 13, -1), QString("Organ"));
    keyboard->sendToEditor({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x22, 0x00, 0xF7});
    ASSERT_TRUE(waitUntil([&] { return text(1, 6, 13, -1) == "Organ"; }));
}

TEST_F(LinkEndToEndTest, SilentWatchPortDropsTheLink)
{
    api->setONLINEstate(1);
    // Active sensing keeps it up...
    for (int i = 0; i < 30; ++i) {
        keyboard->activeSensing();
        QThread::msleep(kWatchPeriodMs / 10);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(api->isONLINE());
    // ...and silence for two periods takes it down.
    ASSERT_TRUE(waitUntil([&] { return !api->isONLINE(); }, kWatchPeriodMs * 4));
}

TEST_F(LinkEndToEndTest, ActiveSensingWhileOfflineReportsThePort)
{
    api->setWatchPortActivate(true);
    keyboard->activeSensing();
    ASSERT_TRUE(waitUntil([&] { return portActivated == 1; }));
    api->setWatchPortActivate(false);
    keyboard->activeSensing();
    keyboard->sendToEditor({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x22, 0x00, 0xF7}); // other port: no effect
    QThread::msleep(30);
    QCoreApplication::processEvents();
    EXPECT_EQ(portActivated.load(), 1);
}

TEST_F(LinkEndToEndTest, ClosedPortEmptiesTheQueue)
{
    VirtualMIDIService::instance().setDestinationFails(keyboard->device(), KeyboardEmulator::kDataDestination, true);
    EXPECT_FALSE(api->sendEditorAllData(false));
    EXPECT_EQ(provider->encoder()->queuedGroupCount(), 0);
    EXPECT_FALSE(api->sendHardWareDataReq(false));
    EXPECT_EQ(provider->encoder()->queuedGroupCount(), 0);
    VirtualMIDIService::instance().setDestinationFails(keyboard->device(), KeyboardEmulator::kDataDestination, false);
}

TEST_F(LinkEndToEndTest, FailedRouteLeavesNothingOpen)
{
    api->deleteMIDIComunicationRoute();
    EXPECT_FALSE(api->createMIDIComunicationRoute(keyboard->watchInput(), 77, keyboard->output()));
    EXPECT_FALSE(api->hasInputPair());
    EXPECT_FALSE(provider->controller().isPortActive(0, keyboard->watchInput()));
    EXPECT_FALSE(api->createMIDIComunicationRoute(77, keyboard->dataInput(), keyboard->output()));
    EXPECT_FALSE(provider->controller().isPortActive(0, keyboard->dataInput()));
    EXPECT_EQ(provider->decoder(), nullptr);
    EXPECT_FALSE(api->createMIDIComunicationRoute(keyboard->watchInput(), keyboard->dataInput(), 77));
    EXPECT_FALSE(api->hasEncoder());
    EXPECT_TRUE(api->createMIDIComunicationRoute(keyboard->watchInput(), keyboard->dataInput(), keyboard->output()));
    EXPECT_EQ(provider->watcher()->periodMs(), kWatchPeriodMs);
}

} // namespace
