// The decoder fed with events directly, writing into a real memory API whose
// route is a fake that records what the API asks it to send.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include <functional>
#include <string>
#include <vector>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/protocol/MessageDecoder.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"
#include "ProtocolTestSupport.h"

using namespace prototest;
using namespace SysExMsg;

namespace {

class FakeEncoder : public EncoderLink {
public:
    bool enqueueParamChange(const ParamAddress&, int) override { return ++enqueued, true; }
    bool enqueueParamChange(const ParamAddress&, const QString&) override { return ++enqueued, true; }
    bool sendMessage(bool* wasEmpty) override
    {
        ++sends;
        if (wasEmpty)
            *wasEmpty = queueEmpty;
        return true;
    }
    bool sendBulk(int, int) override { return true; }
    bool sendParamChangeOfController(int, int, int) override { return true; }
    bool sendHardWareDataReq(bool) override { return true; }
    bool sendEditorAllData(bool) override { return true; }
    bool send1TemplateDataParamChange(int, int) override { return true; }
    bool sendStoreMessage() override { return ++stores, true; }
    bool enqueueStoreToFlash() override { return true; }
    void clearTransmitQueue(bool) override {}

    int enqueued = 0;
    int sends = 0;
    int stores = 0;
    bool queueEmpty = true;
};

class FakeProvider : public RouteProvider {
public:
    explicit FakeProvider(FakeEncoder* encoder) : m_encoder(encoder) {}
    DecoderLink* openInput(RemoteMemAPI&, int, int) override { return nullptr; }
    EncoderLink* openOutput(RemoteMemAPI&, int) override { return m_encoder; }
    void closeRoute() override {}
    QStringList getInputPortList() override { return {}; }
    QStringList getOutputPortList() override { return {}; }

private:
    FakeEncoder* m_encoder;
};

class MessageDecoderTest : public ::testing::Test {
protected:
    MessageDecoderTest() : decoder(&table, api.rxModelId(), 5, &api)
    {
        api.setRouteProvider(std::make_unique<FakeProvider>(&encoder));
        EXPECT_TRUE(api.createMIDIOutput(5));
    }
    ~MessageDecoderTest() override { api.deleteMIDIComunicationRoute(); }

    bool feed(Bytes bytes)
    {
        tagMPEVENT event = sysexEvent(bytes);
        return decoder.Process(event);
    }
    static Bytes block(unsigned char am, const std::string& text, std::initializer_list<unsigned char> tail,
                       const unsigned char* model = kRx)
    {
        Bytes data(text.begin(), text.end());
        data.insert(data.end(), tail);
        return bulkDump(model, 0x01, am, 0x00, data.data(), static_cast<int>(data.size()));
    }
    static Bytes header(unsigned char kind, int t) { return bulkDump(kRx, 0x0E, kind, t, nullptr, 0); }
    static Bytes footer(unsigned char kind, int t) { return bulkDump(kRx, 0x0F, kind, t, nullptr, 0); }
    // A whole template dump as the keyboard sends it: header, common block,
    // the blocks of knobs 0 to 11, footer (15 messages).
    static std::vector<Bytes> wholeDump(unsigned char kind, int t, const std::string& tag)
    {
        std::vector<Bytes> d{header(kind, t), block(0x00, (tag + "            ").substr(0, 13) + "Synth       ", {1, 0})};
        for (int k = 0; k < kKnobCount; ++k) {
            const std::string name = (tag + " " + std::to_string(k) + "               ").substr(0, 15);
            d.push_back(block(static_cast<unsigned char>(0x10 + k), "100000401" + name,
                              {static_cast<unsigned char>(k + 1), 0}));
        }
        d.push_back(footer(kind, t));
        return d;
    }
    void feedAll(std::vector<Bytes> messages)
    {
        for (Bytes& m : messages)
            feed(std::move(m));
    }
    QString text(int b, int t, int c, int p) { return api.getParamQString(ParamAddress(b, t, c, p)); }
    int number(int b, int t, int c, int p) { return api.getParam(ParamAddress(b, t, c, p)).getCurrentValue(); }

    FakeEncoder encoder;
    RemoteMemAPI api;
    SysExParamChangeAddressTransTable table;
    MessageDecoder decoder;
};

TEST_F(MessageDecoderTest, TemplateDumpsLandInBanksTwoAndThree)
{
    struct Case {
        unsigned char kind;
        int bank;
    } const cases[] = {{0x60, 2}, {0x6F, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bank);
        EXPECT_TRUE(feed(header(c.kind, 5)));
        EXPECT_TRUE(decoder.isReceiving());
        EXPECT_TRUE(feed(block(0x00, "Piano        Grand       ", {1, 0})));
        EXPECT_TRUE(feed(block(0x13, "100001069Pan            ", {10, 1})));
        feed(footer(c.kind, 5));
        EXPECT_FALSE(decoder.isReceiving());
        EXPECT_EQ(text(c.bank, 5, 13, -1), "Piano");
        EXPECT_EQ(text(c.bank, 5, 15, -1), "Grand");
        EXPECT_EQ(number(c.bank, 5, 14, -1), 1);
        EXPECT_EQ(text(c.bank, 5, 3, 3), "100001069");
        EXPECT_EQ(text(c.bank, 5, 3, 0), "Pan");
        EXPECT_EQ(number(c.bank, 5, 3, 1), 10);
        EXPECT_EQ(number(c.bank, 5, 3, 2), 1);
    }
    EXPECT_EQ(text(0, 5, 13, -1), "");
    EXPECT_EQ(encoder.enqueued, 0) << "received values must never be sent back";
}

TEST_F(MessageDecoderTest, DamagedOrMisplacedBlocksWriteNothing)
{
    ASSERT_TRUE(api.setParam(ParamAddress(2, 5, 13, -1), QString("Before")));
    const Bytes good = block(0x00, "After        Synth       ", {0, 0});
    Bytes badSum = good;
    badSum[badSum.size() - 2] ^= 0x01;
    Bytes cut = bulkDump(kRx, 0x01, 0x00, 0x00, good.data() + 9, 10); // valid sum, too short

    // Outside a header/footer pair.
    EXPECT_FALSE(feed(good));
    EXPECT_EQ(text(2, 5, 13, -1), "Before");

    feed(header(0x60, 5));
    EXPECT_FALSE(feed(badSum));
    EXPECT_FALSE(feed(cut));
    EXPECT_FALSE(feed(block(0x1C, "100001069Pan            ", {10, 1}))); // knob 12
    EXPECT_TRUE(feed(block(0x30, "100001069Pan            ", {10, 1})));  // unknown block: skipped
    feed(footer(0x60, 5));
    EXPECT_FALSE(decoder.isReceiving()) << "a damaged dump is still finished by its footer";
    EXPECT_EQ(text(2, 5, 13, -1), "Before");

    // A block in the editor's own model, and dumps while reception is off.
    feed(header(0x60, 5));
    EXPECT_FALSE(feed(block(0x00, "After        Synth       ", {0, 0}, kTx)));
    api.revokeReceivedBulk();
    EXPECT_FALSE(feed(good));
    EXPECT_EQ(text(2, 5, 13, -1), "Before");
}

TEST_F(MessageDecoderTest, ParameterChangesLandInCurrentTemplateOfBankZero)
{
    api.setParam(ParamAddress(0, 52, -1, -1), 4L);
    api.setParam(ParamAddress(0, 4, 1, 0), QString("Cut"));
    api.setONLINEstate(1);
    encoder.enqueued = 0;

    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x11, 0x0B, 0x41, 0xF7}));
    EXPECT_EQ(text(0, 4, 1, 0), "CuA");
    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x12, 0x0B, 0x41, 0xF7}));
    EXPECT_EQ(text(0, 4, 2, 0), "  A");
    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x15, 0x18, 0x21, 0xF7}));
    EXPECT_EQ(number(0, 4, 5, 1), 0x21);
    Bytes remote = paramChange(kRx, 0x10, 0x00, reinterpret_cast<const unsigned char*>("100000401"), 9);
    EXPECT_TRUE(feed(remote));
    EXPECT_EQ(text(0, 4, 0, 3), "100000401");
    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x23, 0x00, 0x01, 0xF7}));
    EXPECT_EQ(number(-6, -1, -1, -1), 1);
    EXPECT_EQ(encoder.enqueued, 0) << "received values must never be sent back";
    EXPECT_TRUE(api.isAllowToSendSysEx());

    // Ignored: the editor's own model, too short for the value, reserved byte.
    EXPECT_FALSE(feed({0xF0, 0x43, 0x10, 0x7F, 0x17, 0x01, 0x15, 0x18, 0x22, 0xF7}));
    EXPECT_FALSE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x15, 0x18, 0xF7}));
    EXPECT_FALSE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x10, 0x00, 0x31, 0x32, 0xF7}));
    EXPECT_FALSE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x00, 0x1A, 0x05, 0xF7}));
    EXPECT_FALSE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19}));
    EXPECT_EQ(number(0, 4, 5, 1), 0x21);
    EXPECT_EQ(text(0, 4, 0, 3), "100000401");

    // Not ours at all.
    EXPECT_FALSE(feed({0xF0, 0x41, 0x10, 0x7F, 0x19, 0x01, 0x15, 0x18, 0x22, 0xF7}));
    tagMPEVENT noteOn;
    noteOn.kind = MPEV_NOTEON;
    EXPECT_FALSE(decoder.Process(noteOn));
}

TEST_F(MessageDecoderTest, CurrentTemplateReportsAndEchoes)
{
    QSignalSpy notified(&api, &RemoteMemAPI::notifiedCurrentTemplateNumber);
    const Bytes report7{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x07, 0xF7};

    EXPECT_TRUE(feed(report7));
    EXPECT_EQ(number(0, 52, -1, -1), 7);
    EXPECT_EQ(notified.count(), 1);
    EXPECT_EQ(encoder.enqueued, 0);

    // Our own selection of 7 comes back: consumed, not written.
    api.setONLINEstate(1);
    api.setParam(ParamAddress(0, 52, -1, -1), 3L);
    ASSERT_TRUE(api.setParam(ParamAddress(0, 52, -1, -1), 7L));
    ASSERT_EQ(api.pendingTemplateSelects(), (QList<int>{3, 7}));
    api.setAllowToSendSysExFlag(false);
    api.setParam(ParamAddress(0, 52, -1, -1), 1L);
    api.setAllowToSendSysExFlag(true);
    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x03, 0xF7}));
    EXPECT_TRUE(feed(report7));
    EXPECT_TRUE(api.pendingTemplateSelects().isEmpty());
    EXPECT_EQ(number(0, 52, -1, -1), 1);
    EXPECT_EQ(notified.count(), 3);

    // A report that is not the echo is written and leaves the list alone.
    api.setParam(ParamAddress(0, 52, -1, -1), 7L);
    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x09, 0xF7}));
    EXPECT_EQ(number(0, 52, -1, -1), 9);
    EXPECT_EQ(api.pendingTemplateSelects(), QList<int>{7});

    // The echo releases a held selection.
    api.holdTemplateSelect();
    EXPECT_TRUE(feed(report7));
    EXPECT_FALSE(api.isTemplateSelectHeld());
}

TEST_F(MessageDecoderTest, StoreReportCopiesTheCurrentBankWithoutSending)
{
    api.setParam(ParamAddress(0, 3, 13, -1), QString("Keys"));
    api.setParam(ParamAddress(-3, -1, -1, -1), 0L);
    EXPECT_TRUE(feed({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x22, 0x00, 0xF7}));
    EXPECT_EQ(text(1, 3, 13, -1), "Keys");
    EXPECT_EQ(number(-3, -1, -1, -1), 1);
    EXPECT_EQ(encoder.stores, 0);
}

TEST_F(MessageDecoderTest, WholeDumpsCountDownRequestsAndCompleteOnce)
{
    QSignalSpy received(&api, &RemoteMemAPI::completeBulkReceive);
    decoder.incrementTransmitedBulkReqCounter();
    api.setBulkReceivePending(true);
    feedAll(wholeDump(0x60, 0, "One"));
    EXPECT_EQ(decoder.transmitedBulkReqCounter(), 0);
    EXPECT_FALSE(api.isBulkReceivePending());
    EXPECT_EQ(received.count(), 1);
    EXPECT_EQ(encoder.sends, 1) << "a footer resumes the transmit queue";
    feedAll(wholeDump(0x60, 1, "Two"));
    EXPECT_EQ(decoder.transmitedBulkReqCounter(), 0);
    EXPECT_EQ(received.count(), 1);

    // Two outstanding requests: only the second dump completes.
    decoder.incrementTransmitedBulkReqCounter();
    decoder.incrementTransmitedBulkReqCounter();
    api.setBulkReceivePending(true);
    feedAll(wholeDump(0x6F, 0, "Three"));
    EXPECT_EQ(decoder.transmitedBulkReqCounter(), 1);
    EXPECT_EQ(received.count(), 1);
    feedAll(wholeDump(0x6F, 1, "Four"));
    EXPECT_EQ(received.count(), 2);
    EXPECT_EQ(text(3, 1, 13, -1), "Four");
    EXPECT_EQ(text(3, 1, 11, 0), "Four 11");
    EXPECT_EQ(number(3, 1, 11, 1), 12);
}

// A dump that lost any block on the way must not pass for the keyboard's
// data: its footer resumes the queue but answers no request, so the receive
// does not complete. The same dump sent again intact completes it.
TEST_F(MessageDecoderTest, DamagedDumpIsNotCountedAsReceived)
{
    constexpr int kCommon = 1, kKnob5 = 7;
    using Damage = std::function<void(std::vector<Bytes>&)>;
    const Bytes tooShort{0x43, 0x00, 0x7F, 0x19, 0x00, 0x1A, 0x01, 0x15, 0xF7};
    struct Case {
        const char* name;
        Damage damage;
        bool knob5Kept;       // the damaged dump left knob 5 as it was
        const char* nameAfter; // template name after the damaged dump
    } const cases[] = {
        {"bad checksum in a knob block", [](auto& d) { d[kKnob5][d[kKnob5].size() - 2] ^= 0x01; }, true, "Damaged"},
        {"knob block of another model", [](auto& d) { d[kKnob5][3] = 0x17; }, true, "Damaged"},
        {"knob block cut to a few bytes", [&](auto& d) { d[kKnob5] = tooShort; }, true, "Damaged"},
        {"knob block shorter than its layout",
         [](auto& d) { d[kKnob5] = bulkDump(kRx, 0x01, 0x15, 0x00, d[kKnob5].data() + 9, 20); }, true, "Damaged"},
        {"knob block missing", [](auto& d) { d.erase(d.begin() + kKnob5); }, true, "Damaged"},
        {"common block missing", [](auto& d) { d.erase(d.begin() + kCommon); }, false, "Before"},
        {"header damaged", [](auto& d) { d[0][d[0].size() - 2] ^= 0x01; }, true, "Before"},
        {"header missing", [](auto& d) { d.erase(d.begin()); }, true, "Before"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(api.setParam(ParamAddress(2, 5, 13, -1), QString("Before")));
        ASSERT_TRUE(api.setParam(ParamAddress(2, 5, 5, 0), QString("Old knob")));
        ASSERT_TRUE(api.setParam(ParamAddress(2, 5, 5, 1), 99L));
        decoder.clearTransmitedBulkReqCounter();
        decoder.incrementTransmitedBulkReqCounter();
        api.setBulkReceivePending(true);
        QSignalSpy received(&api, &RemoteMemAPI::completeBulkReceive);
        const int sendsBefore = encoder.sends;

        std::vector<Bytes> damaged = wholeDump(0x60, 5, "Damaged");
        c.damage(damaged);
        feedAll(damaged);
        EXPECT_EQ(received.count(), 0);
        EXPECT_EQ(decoder.transmitedBulkReqCounter(), 1) << "the request stays outstanding";
        EXPECT_TRUE(api.isBulkReceivePending());
        EXPECT_FALSE(decoder.isReceiving());
        EXPECT_EQ(encoder.sends, sendsBefore + 1) << "the queue still resumes at the footer";
        EXPECT_EQ(text(2, 5, 13, -1), c.nameAfter);
        if (c.knob5Kept) {
            EXPECT_EQ(text(2, 5, 5, 0), "Old knob");
            EXPECT_EQ(number(2, 5, 5, 1), 99);
        }

        feedAll(wholeDump(0x60, 5, "Intact"));
        EXPECT_EQ(received.count(), 1);
        EXPECT_EQ(decoder.transmitedBulkReqCounter(), 0);
        EXPECT_FALSE(api.isBulkReceivePending());
        EXPECT_EQ(text(2, 5, 13, -1), "Intact");
        EXPECT_EQ(text(2, 5, 5, 0), "Intact 5");
        EXPECT_EQ(number(2, 5, 5, 1), 6);
    }
}

TEST_F(MessageDecoderTest, FooterWithoutItsDumpAnswersNoRequest)
{
    QSignalSpy received(&api, &RemoteMemAPI::completeBulkReceive);
    decoder.incrementTransmitedBulkReqCounter();
    api.setBulkReceivePending(true);
    EXPECT_FALSE(feed(footer(0x60, 0)));
    EXPECT_EQ(decoder.transmitedBulkReqCounter(), 1);
    EXPECT_EQ(received.count(), 0);

    // A dump whose footer was lost does not count once the next header
    // comes; the next whole dump still does.
    decoder.incrementTransmitedBulkReqCounter();
    std::vector<Bytes> first = wholeDump(0x60, 0, "Lost");
    first.pop_back();
    feedAll(first);
    feedAll(wholeDump(0x60, 1, "Kept"));
    EXPECT_EQ(decoder.transmitedBulkReqCounter(), 1);
    EXPECT_EQ(received.count(), 0);
}

TEST_F(MessageDecoderTest, AcknowledgementsResumeAndCompleteTransmit)
{
    QSignalSpy transmitted(&api, &RemoteMemAPI::completeBulkTransmit);
    const Bytes ack{0xF0, 0x43, 0x60, 0x02, 0xF7};
    decoder.incrementTransmitedBulkCounter();
    decoder.incrementTransmitedBulkCounter();
    api.setBulkTransmitPending(true);

    encoder.queueEmpty = false;
    EXPECT_TRUE(feed(ack));
    EXPECT_EQ(decoder.transmitedBulkCounter(), 1);
    EXPECT_EQ(transmitted.count(), 0);
    EXPECT_EQ(encoder.sends, 1);

    encoder.queueEmpty = true;
    EXPECT_TRUE(feed(ack));
    EXPECT_EQ(decoder.transmitedBulkCounter(), 0);
    EXPECT_EQ(transmitted.count(), 1);
    EXPECT_FALSE(api.isBulkTransmitPending());
    EXPECT_FALSE(api.getBulkRecieveEnableFlag());

    feed(ack);
    EXPECT_EQ(decoder.transmitedBulkCounter(), 0) << "never below zero";
    EXPECT_EQ(transmitted.count(), 1);

    decoder.incrementTransmitedBulkCounter();
    decoder.clearTransmitedBulkCounter();
    EXPECT_EQ(decoder.transmitedBulkCounter(), 0);
}

} // namespace
