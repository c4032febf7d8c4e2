// The encoder's messages, grouping and waiting rules, seen through a route
// manager that records what it is asked to send.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/protocol/MessageEncoder.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"
#include "ProtocolTestSupport.h"

using namespace prototest;

namespace {

constexpr long kPort = 5;

class MessageEncoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual); }

    MessageEncoderTest() : encoder(api.txModelId(), table, route, kPort, &api) {}

    // Sends what one answer of the keyboard would release; returns what went out.
    std::vector<Bytes> pass()
    {
        route.clear();
        encoder.sendMessage(nullptr);
        return route.sent();
    }

    RemoteMemAPI api;
    SysExParamChangeAddressTransTable table;
    RecordingController route;
    MessageEncoder encoder;
};

TEST_F(MessageEncoderTest, NumberGoesOutAtOnce)
{
    ASSERT_TRUE(encoder.enqueueParamChange(ParamAddress(0, 0, 0, 1), 0x40));
    ASSERT_TRUE(encoder.sendMessage(nullptr));
    const auto sent = route.sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(hex(sent[0]), "F0 43 10 7F 17 01 10 18 40 F7");
    EXPECT_EQ(route.ports(), std::vector<int>{kPort});
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
}

TEST_F(MessageEncoderTest, TextsGoOutPaddedAtFullWidth)
{
    struct Case {
        ParamAddress address;
        QString text;
        std::vector<std::string> expected;
    };
    auto perChar = [](const std::string& prefix, int firstLow, const std::string& text) {
        std::vector<std::string> out;
        for (std::size_t j = 0; j < text.size(); ++j) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%s %02X %02X F7", prefix.c_str(), unsigned(firstLow + j),
                          unsigned(static_cast<unsigned char>(text[j])));
            out.push_back(buf);
        }
        return out;
    };
    const Case cases[] = {
        {{0, 0, 13, -1}, "Lead", perChar("F0 43 10 7F 17 01 00", 0x00, "Lead         ")},
        {{0, 0, 15, -1}, "SuperSynthPro1", perChar("F0 43 10 7F 17 01 00", 0x0D, "SuperSynthPr")},
        {{0, 0, 1, 0}, "Cut", perChar("F0 43 10 7F 17 01 11", 0x09, "Cut            ")},
        {{0, 0, 5, 3}, "1069", {"F0 43 10 7F 17 01 15 00 31 30 36 39 20 20 20 20 20 F7"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        route.clear();
        ASSERT_TRUE(encoder.enqueueParamChange(c.address, c.text));
        ASSERT_TRUE(encoder.sendMessage(nullptr));
        std::vector<std::string> got;
        for (const auto& m : route.sent())
            got.push_back(hex(m));
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(MessageEncoderTest, AddressWithoutKeyboardCounterpartLeavesQueueAlone)
{
    ASSERT_TRUE(encoder.enqueueParamChange(ParamAddress(0, 0, 0, 1), 1));
    EXPECT_FALSE(encoder.enqueueParamChange(ParamAddress(-2, -1, -1, -1), 1));
    EXPECT_FALSE(encoder.enqueueParamChange(ParamAddress(0, 0, 14, -1), QString("x")));
    EXPECT_FALSE(encoder.enqueueParamChange(ParamAddress(0, 0, 12, 1), 3));
    EXPECT_EQ(encoder.queuedGroupCount(), 1);
}

TEST_F(MessageEncoderTest, TemplateDumpLayoutFromMemory)
{
    api.setParam(ParamAddress(0, 7, 13, -1), QString("Strings"));
    api.setParam(ParamAddress(0, 7, 15, -1), QString("Orchestra"));
    api.setParam(ParamAddress(0, 7, 14, -1), 1L);
    api.setParam(ParamAddress(0, 7, 11, 3), QString("100000401"));
    api.setParam(ParamAddress(0, 7, 11, 0), QString("Volume"));
    api.setParam(ParamAddress(0, 7, 11, 1), 7L);
    api.setParam(ParamAddress(0, 7, 11, 2), 1L);

    ASSERT_TRUE(encoder.sendBulk(0, 7));
    const auto sent = route.sent();
    ASSERT_EQ(sent.size(), 15u);
    EXPECT_EQ(hex(sent[0]), hex(withF0(SysExMsg::bulkDump(kTx, 0x0E, 0x6F, 7, nullptr, 0))));
    EXPECT_EQ(hex(sent[14]), hex(withF0(SysExMsg::bulkDump(kTx, 0x0F, 0x6F, 7, nullptr, 0))));

    const std::string common = "Strings      Orchestra   ";
    Bytes commonData(common.begin(), common.end());
    commonData.push_back(1);
    commonData.push_back(0);
    EXPECT_EQ(hex(sent[1]), hex(withF0(SysExMsg::bulkDump(kTx, 0x01, 0x00, 0x00, commonData.data(), 27))));

    const std::string knob = "100000401Volume         ";
    Bytes knobData(knob.begin(), knob.end());
    knobData.push_back(7);
    knobData.push_back(1);
    EXPECT_EQ(hex(sent[13]), hex(withF0(SysExMsg::bulkDump(kTx, 0x01, 0x1B, 0x00, knobData.data(), 26))));
    for (int k = 0; k < 12; ++k) {
        EXPECT_EQ(sent[2 + k][8], 0x10 + k);
        EXPECT_EQ(sent[2 + k].size(), 38u);
    }
    // The editor backup goes to the stored templates.
    route.clear();
    ASSERT_TRUE(encoder.sendBulk(1, 0));
    EXPECT_EQ(route.sent().front()[8], 0x60);
}

TEST_F(MessageEncoderTest, SeparateDumpsGoOutWithoutWaiting)
{
    ASSERT_TRUE(encoder.sendBulk(0, 7));
    ASSERT_TRUE(encoder.sendBulk(0, 8));
    EXPECT_EQ(route.sent().size(), 30u);
}

TEST_F(MessageEncoderTest, WaitingGroupHoldsTheRestUntilNextPass)
{
    ASSERT_TRUE(encoder.enqueue1TemplateBulk(0, 1));
    ASSERT_TRUE(encoder.enqueueParamChange(ParamAddress(0, 0, 0, 1), 5));
    EXPECT_EQ(pass().size(), 15u);
    EXPECT_EQ(encoder.queuedGroupCount(), 1);
    const auto second = pass();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(hex(second[0]), "F0 43 10 7F 17 01 10 18 05 F7");
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
    bool wasEmpty = false;
    EXPECT_TRUE(encoder.sendMessage(&wasEmpty));
    EXPECT_TRUE(wasEmpty);
}

TEST_F(MessageEncoderTest, HardwareRequestWithoutEditBuffersIsPacedByAnswers)
{
    QSignalSpy done(&api, &RemoteMemAPI::completeBulkTransmit);
    ASSERT_TRUE(encoder.sendHardWareDataReq(false));
    ASSERT_EQ(route.sent().size(), 1u);
    EXPECT_EQ(hex(route.sent()[0]), "F0 43 20 7F 17 0E 60 00 F7");
    EXPECT_EQ(encoder.queuedGroupCount(), 50); // 49 requests and the flag request
    for (int t = 1; t < 50; ++t) {
        const auto sent = pass();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(hex(sent[0]), hex(withF0(SysExMsg::bulkRequest(kTx, 0x60, t))));
    }
    EXPECT_EQ(done.count(), 0);
    const auto last = pass();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(hex(last[0]), "F0 43 30 7F 17 01 23 00 F7");
    EXPECT_EQ(done.count(), 1);
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
}

TEST_F(MessageEncoderTest, HardwareRequestWithEditBuffersOrder)
{
    ASSERT_TRUE(encoder.sendHardWareDataReq(true));
    std::vector<Bytes> all = route.sent();
    for (int i = 0; i < 200 && encoder.queuedGroupCount() > 0; ++i) {
        const auto sent = pass();
        all.insert(all.end(), sent.begin(), sent.end());
    }
    ASSERT_EQ(all.size(), 102u);
    for (int t = 0; t < 50; ++t) {
        EXPECT_EQ(hex(all[t]), hex(withF0(SysExMsg::bulkRequest(kTx, 0x60, t))));
        EXPECT_EQ(hex(all[52 + t]), hex(withF0(SysExMsg::bulkRequest(kTx, 0x6F, t))));
    }
    EXPECT_EQ(hex(all[50]), "F0 43 30 7F 17 01 23 00 F7");
    EXPECT_EQ(hex(all[51]), "F0 43 30 7F 17 01 20 00 F7");
}

TEST_F(MessageEncoderTest, EditorAllDataOneDumpPerAnswerThenSelect)
{
    api.setParam(ParamAddress(0, 52, -1, -1), 9L);
    QSignalSpy done(&api, &RemoteMemAPI::completeBulkTransmit);
    ASSERT_TRUE(encoder.sendEditorAllData(true));
    EXPECT_EQ(route.sent().size(), 15u);
    for (int t = 1; t < 50; ++t) {
        const auto sent = pass();
        ASSERT_EQ(sent.size(), 15u);
        EXPECT_EQ(hex(sent[0]), hex(withF0(SysExMsg::bulkDump(kTx, 0x0E, 0x6F, t, nullptr, 0))));
    }
    EXPECT_EQ(done.count(), 0);
    const auto last = pass();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(hex(last[0]), "F0 43 10 7F 17 01 20 00 09 F7");
    EXPECT_EQ(done.count(), 1);

    // With the stored templates too: the select goes out right after the
    // 50th acknowledgement, followed by the first stored-template dump.
    route.clear();
    ASSERT_TRUE(encoder.sendEditorAllData(false));
    for (int t = 1; t < 50; ++t)
        pass();
    const auto boundary = pass();
    ASSERT_EQ(boundary.size(), 16u);
    EXPECT_EQ(hex(boundary[0]), "F0 43 10 7F 17 01 20 00 09 F7");
    EXPECT_EQ(hex(boundary[1]), hex(withF0(SysExMsg::bulkDump(kTx, 0x0E, 0x60, 0, nullptr, 0))));
    EXPECT_EQ(encoder.queuedGroupCount(), 49);
}

TEST_F(MessageEncoderTest, RefusedMessagesEmptyTheQueue)
{
    // A request while a dump's footer is missing.
    MessageEncoder::Event header;
    ASSERT_TRUE(encoder.createBulkHeaderFooter(MessageEncoder::BulkEditBuffer, MessageEncoder::BulkHeader, 3, &header));
    ASSERT_TRUE(encoder.bufferingMsg(header));
    EXPECT_TRUE(encoder.hasOpenGroup());
    MessageEncoder::Event second;
    ASSERT_TRUE(encoder.createBulkHeaderFooter(MessageEncoder::BulkEditBuffer, MessageEncoder::BulkHeader, 4, &second));
    EXPECT_FALSE(encoder.bufferingMsg(second)); // refused, stays with the caller
    EXPECT_FALSE(second.bytes.empty());
    EXPECT_EQ(encoder.queuedGroupCount(), 1);
    EXPECT_FALSE(encoder.enqueueBulkReqHeaderFooter(MessageEncoder::BulkNormal, MessageEncoder::BulkHeader, 0));
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
    EXPECT_FALSE(encoder.hasOpenGroup());

    // A whole dump refused half-way leaves nothing behind.
    ASSERT_TRUE(encoder.bufferingMsg(header = MessageEncoder::Event{kPort, SysExMsg::bulkDump(kTx, 0x0E, 0x6F, 1, nullptr, 0)}));
    EXPECT_FALSE(encoder.enqueue1TemplateBulk(0, 2));
    EXPECT_EQ(encoder.queuedEventCount(), 0);

    ASSERT_TRUE(encoder.enqueueParamChange(ParamAddress(0, 0, 0, 1), 1));
    EXPECT_FALSE(encoder.enqueue1TemplateBulk(2, 0));
    EXPECT_EQ(encoder.queuedGroupCount(), 0);

    MessageEncoder::Event footer{kPort, SysExMsg::bulkDump(kTx, 0x0F, 0x6F, 1, nullptr, 0)};
    EXPECT_FALSE(encoder.bufferingMsg(footer));
    MessageEncoder::Event block{kPort, SysExMsg::bulkDump(kTx, 0x01, 0x10, 0, nullptr, 0)};
    EXPECT_FALSE(encoder.bufferingMsg(block));

    MessageEncoder::Event request;
    EXPECT_FALSE(encoder.createBulkReqHeaderFooter(MessageEncoder::BulkNormal, MessageEncoder::BulkFooter, 0, &request));
    EXPECT_FALSE(encoder.createBulkReqHeaderFooter(static_cast<MessageEncoder::BulkType>(2), MessageEncoder::BulkHeader, 0, &request));
    EXPECT_FALSE(encoder.createBulkContent(13, 0, 0, &request));
    EXPECT_FALSE(encoder.createParamChange(nullptr, nullptr, nullptr, 0));
}

TEST_F(MessageEncoderTest, FailedSendEmptiesTheQueue)
{
    ASSERT_TRUE(encoder.enqueue1TemplateBulk(0, 0));
    ASSERT_TRUE(encoder.enqueue1TemplateBulk(0, 1));
    route.failAfter(3);
    EXPECT_FALSE(encoder.sendMessage(nullptr));
    EXPECT_EQ(route.sent().size(), 3u);
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
    route.failAfter(0);
    EXPECT_FALSE(encoder.sendHardWareDataReq(false));
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
    EXPECT_FALSE(encoder.sendEditorAllData(false));
    EXPECT_EQ(encoder.queuedGroupCount(), 0);
}

TEST_F(MessageEncoderTest, KnobAndTemplateParameterChanges)
{
    api.setParam(ParamAddress(0, 2, 4, 0), QString("Reso"));
    api.setParam(ParamAddress(0, 2, 4, 1), 74L);
    ASSERT_TRUE(encoder.sendParamChangeOfController(0, 2, 4));
    auto sent = route.sent();
    ASSERT_EQ(sent.size(), 18u);
    EXPECT_EQ(hex(sent[0]), "F0 43 10 7F 17 01 14 09 52 F7");
    EXPECT_EQ(hex(sent[15]), "F0 43 10 7F 17 01 14 18 4A F7");
    EXPECT_EQ(hex(sent[16]), "F0 43 10 7F 17 01 14 19 00 F7");
    EXPECT_EQ(hex(sent[17]), "F0 43 10 7F 17 01 14 00 32 30 34 31 34 33 64 66 66 F7");

    route.clear();
    ASSERT_TRUE(encoder.send1TemplateDataParamChange(0, 2));
    sent = route.sent();
    ASSERT_EQ(sent.size(), 243u);
    EXPECT_EQ(hex(sent[26]), "F0 43 10 7F 17 01 00 1A 00 F7");
    EXPECT_FALSE(encoder.sendParamChangeOfController(0, 2, 12));
}

TEST_F(MessageEncoderTest, StoreMessages)
{
    ASSERT_TRUE(encoder.sendStoreMessage());
    ASSERT_TRUE(encoder.enqueueStoreToFlash());
    ASSERT_TRUE(encoder.sendMessage(nullptr));
    const auto sent = route.sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(hex(sent[0]), "F0 43 10 7F 17 01 22 00 F7");
    EXPECT_EQ(hex(sent[1]), "F0 43 00 7F 17 00 00 11 00 00 6F F7");
}

TEST_F(MessageEncoderTest, NamesWithoutSevenBitCodesStayInsideTheFrame)
{
    api.setParam(ParamAddress(0, 0, 13, -1), QString::fromUtf8("Größe ½ Ü"));
    ASSERT_TRUE(encoder.sendBulk(0, 0));
    const auto sent = route.sent();
    const Bytes& common = sent.at(1);
    EXPECT_EQ(std::string(common.begin() + 10, common.begin() + 23), "Gro?e ? U    ");
    for (const auto& m : sent)
        for (std::size_t i = 1; i + 1 < m.size(); ++i)
            ASSERT_LT(m[i], 0x80) << hex(m);
}

} // namespace
