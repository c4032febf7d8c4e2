// Byte-level behaviour of the simulated keyboard: what comes back for each
// message the editor can send, and what ends up in its memory.
#include "sim/KeyboardSim.h"

#include <gtest/gtest.h>

#include <tuple>

#include <numeric>

using namespace sim;

namespace {

Bytes editorParamChange(std::uint8_t mid, std::uint8_t low, Bytes data)
{
    return makeParamChange(0, kModelEditor, mid, low, data.data(), data.size());
}

Bytes editorBulk(std::uint8_t ah, std::uint8_t am, std::uint8_t al, const std::uint8_t* data = nullptr,
                 std::size_t count = 0)
{
    return makeBulk(0, kModelEditor, ah, am, al, data, count);
}

// The 15 messages of a template dump as the editor sends it.
std::vector<Bytes> editorDump(std::uint8_t kind, int t, const SimTemplate& data)
{
    std::vector<Bytes> out;
    out.push_back(editorBulk(0x0E, kind, std::uint8_t(t)));
    for (int block = 0; block <= 12; ++block) {
        out.push_back(editorBulk(0x01, block == 0 ? 0x00 : std::uint8_t(0x10 + block - 1), 0x00,
                                 data.image().data() + SimTemplate::blockOffset(block),
                                 std::size_t(SimTemplate::blockSize(block))));
    }
    out.push_back(editorBulk(0x0F, kind, std::uint8_t(t)));
    return out;
}

std::vector<SimOutput> feed(KeyboardSim& kb, const std::vector<Bytes>& messages)
{
    std::vector<SimOutput> all;
    for (const auto& m : messages) {
        auto out = kb.receive(kCommunicationPort, m);
        all.insert(all.end(), out.begin(), out.end());
    }
    return all;
}

SimTemplate sampleTemplate()
{
    SimTemplate t;
    t.setTemplateName("Strings Pad");
    t.setVstiName("KestrelOne");
    t.setControlType(1);
    for (int k = 0; k < 12; ++k) {
        t.setDisplayName(k, "Knob " + std::to_string(k + 1));
        t.setCcNumber(k, 20 + k);
        t.setDisplayFormat(k, k % 2);
        t.setRemoteNumber(k, k == 0 ? "100000401" : "0000004d2");
    }
    return t;
}

int byteSumMod128(const Bytes& m)
{
    // bh .. cs: from offset 5 to the byte before F7
    return std::accumulate(m.begin() + 5, m.end() - 1, 0) % 128;
}

} // namespace

TEST(SimCodec, ChecksumsOfTheWorkedExamples)
{
    const std::uint8_t flash[] = {0x00, 0x00, 0x11, 0x00, 0x00};
    const std::uint8_t header0[] = {0x00, 0x00, 0x0E, 0x6F, 0x00};
    const std::uint8_t header49[] = {0x00, 0x00, 0x0E, 0x60, 0x31};
    const std::uint8_t footer49[] = {0x00, 0x00, 0x0F, 0x60, 0x31};
    EXPECT_EQ(bulkChecksum(flash, 5), 0x6F);
    EXPECT_EQ(bulkChecksum(header0, 5), 0x03);
    EXPECT_EQ(bulkChecksum(header49, 5), 0x61);
    EXPECT_EQ(bulkChecksum(footer49, 5), 0x60);
}

TEST(KeyboardSim, BulkRequestIsAnsweredByFifteenMessages)
{
    struct Case {
        std::uint8_t kind;
        int templateIndex;
    };
    for (const Case c : {Case{kKindStored, 0}, Case{kKindEditBuffer, 49}, Case{kKindStored, 17}}) {
        SCOPED_TRACE(c.templateIndex);
        KeyboardSim kb(3);
        SimTemplate t = sampleTemplate();
        if (c.kind == kKindStored) kb.setStored(c.templateIndex, t);
        else kb.setEditBuffer(c.templateIndex, t);
        const auto out = kb.receive(kCommunicationPort, makeBulkRequest(0, c.kind, c.templateIndex));
        ASSERT_EQ(out.size(), 15u);
        const std::size_t sizes[] = {12, 39, 38, 38, 38, 38, 38, 38, 38, 38, 38, 38, 38, 38, 12};
        for (std::size_t i = 0; i < out.size(); ++i) {
            const Bytes& m = out[i].bytes;
            EXPECT_EQ(out[i].port, kCommunicationPort);
            ASSERT_EQ(m.size(), sizes[i]) << "message " << i;
            EXPECT_EQ(m[0], 0xF0);
            EXPECT_EQ(m[1], 0x43);
            EXPECT_EQ(m[2], 0x03) << "bulk dump of device 3";
            EXPECT_EQ(m[3], 0x7F);
            EXPECT_EQ(m[4], 0x19);
            EXPECT_EQ((m[5] << 7) | m[6], int(m.size()) - 12) << "byte count";
            EXPECT_EQ(byteSumMod128(m), 0) << "checksum of message " << i;
            EXPECT_EQ(m.back(), 0xF7);
        }
        EXPECT_EQ(out.front().bytes[7], 0x0E);
        EXPECT_EQ(out.front().bytes[8], c.kind);
        EXPECT_EQ(out.front().bytes[9], c.templateIndex);
        EXPECT_EQ(out.back().bytes[7], 0x0F);
        EXPECT_EQ(out.back().bytes[8], c.kind);
        EXPECT_EQ(out.back().bytes[9], c.templateIndex);
        // Common block: template name then VSTi name, blank padded.
        const Bytes& common = out[1].bytes;
        EXPECT_EQ(std::string(common.begin() + 10, common.begin() + 23), "Strings Pad  ");
        EXPECT_EQ(std::string(common.begin() + 23, common.begin() + 35), "KestrelOne  ");
        EXPECT_EQ(common[35], 1);
        EXPECT_EQ(common[36], 0);
        // Knob A1: remote number, display name, CC, format.
        const Bytes& a1 = out[2].bytes;
        EXPECT_EQ(a1[8], 0x10);
        EXPECT_EQ(std::string(a1.begin() + 10, a1.begin() + 19), "100000401");
        EXPECT_EQ(std::string(a1.begin() + 19, a1.begin() + 34), "Knob 1         ");
        EXPECT_EQ(a1[34], 20);
        EXPECT_EQ(out[13].bytes[8], 0x1B);
    }
}

TEST(KeyboardSim, RequestsForAddressesItDoesNotHaveAreIgnored)
{
    KeyboardSim kb;
    const std::vector<Bytes> requests = {
        makeBulkRequest(0, kKindStored, 50),
        makeBulkRequest(0, 0x61, 0),
        {0xF0, 0x43, 0x20, 0x7F, 0x19, 0x0E, 0x60, 0x00, 0xF7}, // the keyboard's own model
        {0xF0, 0x41, 0x20, 0x7F, 0x17, 0x0E, 0x60, 0x00, 0xF7}, // another maker
        {0xF0, 0x43, 0x20, 0x7F, 0x17, 0x0E},                   // no F7
    };
    EXPECT_TRUE(feed(kb, requests).empty());
    EXPECT_EQ(kb.stats().ignored, 5);
}

TEST(KeyboardSim, CompleteDumpIsTakenInAndAcknowledged)
{
    for (const std::uint8_t kind : {kKindStored, kKindEditBuffer}) {
        KeyboardSim kb;
        const SimTemplate t = sampleTemplate();
        const auto out = feed(kb, editorDump(kind, 7, t));
        ASSERT_EQ(out.size(), 1u);
        EXPECT_EQ(out[0].bytes, (Bytes{0xF0, 0x43, 0x60, 0x02, 0xF7}));
        EXPECT_EQ(kind == kKindStored ? kb.stored(7) : kb.editBuffer(7), t);
        EXPECT_EQ(kind == kKindStored ? kb.editBuffer(7) : kb.stored(7), SimTemplate{}) << "other kind untouched";
        EXPECT_EQ(kb.stats().dumpsAccepted, 1);
    }
}

TEST(KeyboardSim, DamagedOrIncompleteDumpIsNeitherStoredNorAcknowledged)
{
    struct Case {
        const char* name;
        void (*damage)(std::vector<Bytes>&);
    };
    const Case cases[] = {
        {"block checksum", [](std::vector<Bytes>& d) { d[4][d[4].size() - 2] ^= 0x01; }},
        {"header checksum", [](std::vector<Bytes>& d) { d[0][d[0].size() - 2] ^= 0x01; }},
        {"block missing", [](std::vector<Bytes>& d) { d.erase(d.begin() + 9); }},
        {"block twice, other missing", [](std::vector<Bytes>& d) { d[5] = d[4]; }},
        {"footer of another template", [](std::vector<Bytes>& d) { d[14] = editorBulk(0x0F, kKindStored, 8); }},
        {"footer of another kind", [](std::vector<Bytes>& d) { d[14] = editorBulk(0x0F, kKindEditBuffer, 7); }},
        {"byte count wrong", [](std::vector<Bytes>& d) { d[3][6] ^= 0x01; d[3][d[3].size() - 2] ^= 0x7F; }},
        {"block cut short", [](std::vector<Bytes>& d) {
             d[2] = makeBulk(0, kModelEditor, 0x01, 0x10, 0x00, d[2].data() + 10, 25);
         }},
        {"no header", [](std::vector<Bytes>& d) { d.erase(d.begin()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyboardSim kb;
        auto dump = editorDump(kKindStored, 7, sampleTemplate());
        c.damage(dump);
        EXPECT_TRUE(feed(kb, dump).empty());
        EXPECT_EQ(kb.stored(7), SimTemplate{});
    }
}

TEST(KeyboardSim, NewHeaderAbandonsAnUnfinishedDump)
{
    KeyboardSim kb;
    auto first = editorDump(kKindStored, 1, sampleTemplate());
    first.pop_back(); // footer never comes
    SimTemplate second = sampleTemplate();
    second.setTemplateName("Second");
    auto all = first;
    const auto more = editorDump(kKindStored, 2, second);
    all.insert(all.end(), more.begin(), more.end());
    const auto out = feed(kb, all);
    EXPECT_EQ(out.size(), 1u);
    EXPECT_EQ(kb.stored(1), SimTemplate{});
    EXPECT_EQ(kb.stored(2), second);
}

TEST(KeyboardSim, ParameterChangesEditTheCurrentEditBuffer)
{
    KeyboardSim kb;
    kb.setCurrentTemplate(4);
    const auto select = kb.receive(kCommunicationPort, editorParamChange(0x20, 0x00, {9}));
    ASSERT_EQ(select.size(), 1u) << "a selection is echoed";
    EXPECT_EQ(select[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x09, 0xF7}));
    EXPECT_EQ(kb.currentTemplate(), 9);

    EXPECT_TRUE(kb.receive(kCommunicationPort, editorParamChange(0x15, 0x18, {64})).empty()); // knob B2 CC
    EXPECT_TRUE(kb.receive(kCommunicationPort, editorParamChange(0x00, 0x00, {'P'})).empty());
    EXPECT_TRUE(kb.receive(kCommunicationPort, editorParamChange(0x00, 0x01, {'a'})).empty());
    EXPECT_TRUE(kb.receive(kCommunicationPort, editorParamChange(0x10, 0x00,
                                                                 {'1', '0', '0', '0', '0', '1', '0', '6', '9'}))
                    .empty());
    EXPECT_TRUE(kb.receive(kCommunicationPort, editorParamChange(0x1B, 0x19, {1})).empty()); // D3 format
    const SimTemplate t = kb.editBuffer(9);
    EXPECT_EQ(t.ccNumber(5), 64);
    EXPECT_EQ(t.templateName(), "Pa");
    EXPECT_EQ(t.remoteNumber(0), "100001069");
    EXPECT_EQ(t.displayFormat(11), 1);
    EXPECT_EQ(kb.stored(9), SimTemplate{}) << "stored templates untouched";
    EXPECT_EQ(kb.bankEditFlag(), 1);
    EXPECT_EQ(kb.stats().paramChanges, 6);
}

TEST(KeyboardSim, BadParameterChangesChangeNothing)
{
    const std::vector<Bytes> bad = {
        editorParamChange(0x20, 0x00, {50}),                    // template out of range
        editorParamChange(0x00, 0x19, {2}),                     // control type 2
        editorParamChange(0x10, 0x19, {5}),                     // display format 5
        editorParamChange(0x1C, 0x00, {1}),                     // knob 12
        editorParamChange(0x10, 0x1A, {1}),                     // past the knob block
        editorParamChange(0x10, 0x18, {1, 2, 3}),               // runs into the next block
        editorParamChange(0x10, 0x18, {}),                      // no value
        makeParamChange(0, kModelKeyboard, 0x10, 0x18, (const std::uint8_t*)"\x05", 1), // keyboard's model
    };
    KeyboardSim kb;
    EXPECT_TRUE(feed(kb, bad).empty());
    EXPECT_EQ(kb.editBuffer(0), SimTemplate{});
    EXPECT_EQ(kb.currentTemplate(), 0);
    EXPECT_EQ(kb.bankEditFlag(), 0);
}

TEST(KeyboardSim, ParameterRequestsAreAnswered)
{
    KeyboardSim kb;
    kb.setCurrentTemplate(12);
    kb.setBankEditFlag(1);
    const auto out = feed(kb, {makeParamRequest(0, 0x20, 0x00), makeParamRequest(0, 0x23, 0x00)});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 12, 0xF7}));
    EXPECT_EQ(out[1].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x23, 0x00, 1, 0xF7}));
}

TEST(KeyboardSim, StoreCopiesEditBuffersAndClearsTheEditFlag)
{
    KeyboardSim kb;
    feed(kb, {editorParamChange(0x20, 0x00, {3}), editorParamChange(0x12, 0x18, {99})});
    ASSERT_EQ(kb.bankEditFlag(), 1);
    EXPECT_TRUE(kb.receive(kCommunicationPort, editorParamChange(0x22, 0x00, {})).empty());
    EXPECT_EQ(kb.stored(3).ccNumber(2), 99);
    EXPECT_EQ(kb.bankEditFlag(), 0);
}

TEST(KeyboardSim, StoreToFlashIsAccepted)
{
    KeyboardSim kb;
    int flashed = 0;
    kb.setFlashHandler([&] { ++flashed; });
    const Bytes flash = {0xF0, 0x43, 0x00, 0x7F, 0x17, 0x00, 0x00, 0x11, 0x00, 0x00, 0x6F, 0xF7};
    EXPECT_TRUE(kb.receive(kCommunicationPort, flash).empty());
    Bytes damaged = flash;
    damaged[10] = 0x6E;
    EXPECT_TRUE(kb.receive(kCommunicationPort, damaged).empty());
    EXPECT_EQ(kb.flashCount(), 1);
    EXPECT_EQ(flashed, 1);
}

TEST(KeyboardSim, SeveralMessagesInOneDeliveryAreAllHandled)
{
    KeyboardSim kb;
    Bytes both = makeParamRequest(0, 0x20, 0x00);
    both.push_back(0xF8); // a clock byte between messages is harmless
    const Bytes second = makeParamRequest(0, 0x23, 0x00);
    both.insert(both.end(), second.begin(), second.end());
    EXPECT_EQ(kb.receive(kCommunicationPort, both).size(), 2u);
    EXPECT_EQ(kb.stats().ignored, 0);
}

TEST(KeyboardSim, UserActionsAreReported)
{
    KeyboardSim kb;
    auto select = kb.userSelectTemplate(21);
    ASSERT_EQ(select.size(), 1u);
    EXPECT_EQ(select[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 21, 0xF7}));
    auto store = kb.userStore();
    ASSERT_EQ(store.size(), 1u);
    EXPECT_EQ(store[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x22, 0x00, 0xF7}));
    EXPECT_TRUE(kb.userSelectTemplate(50).empty());
}

TEST(KeyboardSim, KnobEditedOnTheKeyboardIsReportedAndKept)
{
    KeyboardSim kb;
    kb.setCurrentTemplate(7);
    // B2 is knob 5: parameter address 0x15, CC number at 0x18.
    auto cc = kb.userEditKnob(5, "cc", "74");
    ASSERT_EQ(cc.size(), 1u);
    EXPECT_EQ(cc[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x15, 0x18, 74, 0xF7}));
    EXPECT_EQ(kb.editBuffer(7).ccNumber(5), 74);
    EXPECT_EQ(kb.stored(7).ccNumber(5), 0) << "only the edit buffer changes";
    EXPECT_EQ(kb.bankEditFlag(), 1);

    // A name travels one character per message, padded to its width.
    auto name = kb.userEditKnob(0, "name", "Cutoff");
    ASSERT_EQ(name.size(), 15u);
    EXPECT_EQ(name[0].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x10, 0x09, 'C', 0xF7}));
    EXPECT_EQ(name[14].bytes, (Bytes{0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x10, 0x17, ' ', 0xF7}));
    EXPECT_EQ(kb.editBuffer(7).displayName(0), "Cutoff");

    auto remote = kb.userEditKnob(11, "remote", "100001069");
    ASSERT_EQ(remote.size(), 1u);
    EXPECT_EQ(remote[0].bytes.size(), 18u);
    EXPECT_EQ(kb.editBuffer(7).remoteNumber(11), "100001069");

    for (const auto& [knob, field, value] : {std::tuple{12, "cc", "1"}, {0, "cc", "128"}, {0, "cc", "x"},
                                             {0, "remote", "12"}, {0, "colour", "red"}}) {
        std::string error;
        EXPECT_TRUE(kb.userEditKnob(knob, field, value, &error).empty()) << field << " " << value;
        EXPECT_FALSE(error.empty());
    }
}

TEST(KeyboardSim, ReceiveFaultsCountMessagesHeard)
{
    const Bytes request = makeParamRequest(0, 0x20, 0x00);
    {
        KeyboardSim kb;
        SimFaults f;
        f.ignoreEvery = 3;
        kb.setFaults(f);
        std::vector<bool> answered;
        for (int i = 0; i < 6; ++i) answered.push_back(!kb.receive(kCommunicationPort, request).empty());
        EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false}));
    }
    {
        KeyboardSim kb;
        kb.receive(kCommunicationPort, request); // before the fault: not counted
        SimFaults f;
        f.silentAfter = 2;
        kb.setFaults(f);
        std::vector<bool> answered;
        for (int i = 0; i < 4; ++i) answered.push_back(!kb.receive(kCommunicationPort, request).empty());
        EXPECT_EQ(answered, (std::vector<bool>{true, true, false, false}));
        EXPECT_EQ(kb.activeSensing().size(), 1u) << "active sensing goes on";
        kb.setFaults(SimFaults{});
        EXPECT_FALSE(kb.receive(kCommunicationPort, request).empty()) << "answers again once cleared";
    }
}

TEST(KeyboardSim, WireLogHasDirectionAndBytesOnly)
{
    KeyboardSim kb;
    std::vector<std::string> lines;
    kb.setWireLog([&](const std::string& line) { lines.push_back(line); });
    SimFaults f;
    f.ignoreEvery = 1;
    kb.setFaults(f);
    kb.receive(kCommunicationPort, Bytes{0xFE, 0xF0, 0x43, 0x30, 0x7F, 0x17, 0x01, 0x20, 0x00, 0xF7});
    EXPECT_EQ(lines, (std::vector<std::string>{"in F0 43 30 7F 17 01 20 00 F7"})) << "ignored messages were heard";
}

TEST(KeyboardSim, InstrumentNamePicksTheMatchingTemplate)
{
    KeyboardSim kb;
    SimTemplate t = sampleTemplate();
    kb.setEditBuffer(30, t);
    const Bytes name = editorParamChange(0x50, 0x00, Bytes{'K', 'e', 's', 't', 'r', 'e', 'l', 'O', 'n', 'e', ' ', ' '});
    const auto out = kb.receive(kCommunicationPort, name);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(kb.currentTemplate(), 30);
    EXPECT_EQ(out[0].bytes.size(), 21u);
    EXPECT_EQ(std::string(out[0].bytes.begin() + 8, out[0].bytes.begin() + 20), "KestrelOne  ");
    ASSERT_EQ(out[1].bytes.size(), 117u);
    EXPECT_EQ(out[1].bytes[6], 0x51);
    EXPECT_EQ(std::string(out[1].bytes.begin() + 8, out[1].bytes.begin() + 17), "100000401");
    EXPECT_EQ(std::string(out[1].bytes.begin() + 17, out[1].bytes.begin() + 26), "0000004d2");

    const auto none = kb.receive(kCommunicationPort, editorParamChange(0x50, 0x00, Bytes(12, 'X')));
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(std::string(none[1].bytes.begin() + 8, none[1].bytes.begin() + 17), "204143dff");
    EXPECT_EQ(kb.currentTemplate(), 30) << "no match leaves the selection";
}

TEST(KeyboardSim, FaultsShapeTheAnswers)
{
    auto requestAll = [](KeyboardSim& kb) { return kb.receive(kCommunicationPort, makeBulkRequest(0, kKindStored, 0)); };
    {
        KeyboardSim kb;
        SimFaults f;
        f.silent = true;
        kb.setFaults(f);
        EXPECT_TRUE(requestAll(kb).empty());
        EXPECT_EQ(kb.activeSensing().size(), 1u);
    }
    {
        KeyboardSim kb;
        SimFaults f;
        f.corruptChecksumEvery = 3;
        kb.setFaults(f);
        const auto out = requestAll(kb);
        ASSERT_EQ(out.size(), 15u);
        for (std::size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(byteSumMod128(out[i].bytes) != 0, (i + 1) % 3 == 0) << i;
        }
    }
    {
        KeyboardSim kb;
        SimFaults f;
        f.dropEvery = 5;
        kb.setFaults(f);
        EXPECT_EQ(requestAll(kb).size(), 12u);
    }
    {
        KeyboardSim kb;
        SimFaults f;
        f.wrongModel = true;
        kb.setFaults(f);
        for (const auto& m : requestAll(kb)) EXPECT_EQ(m.bytes[4], 0x17);
    }
    {
        KeyboardSim kb;
        SimFaults f;
        f.noAck = true;
        f.noActiveSensing = true;
        kb.setFaults(f);
        EXPECT_TRUE(feed(kb, editorDump(kKindStored, 0, sampleTemplate())).empty());
        EXPECT_EQ(kb.stored(0), sampleTemplate()) << "the dump is still taken in";
        EXPECT_TRUE(kb.activeSensing().empty());
    }
}

TEST(SimFaults, CommandLineForms)
{
    struct Case {
        const char* text;
        bool ok;
    };
    const Case cases[] = {{"no-ack", true},        {"drop=7", true},    {"delay=250", true},
                          {"corrupt-checksum=1", true}, {"drop=0", false}, {"drop=", false},
                          {"drop", false},          {"drop=x", false},   {"drop=3x", false},
                          {"no-ack=1", false},      {"bogus", false},    {"delay=600001", false},
                          {"drop-every=3", true},  {"silent-after=5", true}, {"silent-after=0", false}};
    for (const Case& c : cases) {
        SimFaults f;
        std::string error;
        EXPECT_EQ(applyFault(c.text, f, error), c.ok) << c.text;
        EXPECT_EQ(error.empty(), c.ok) << c.text;
        EXPECT_EQ(f.any(), c.ok) << c.text;
    }
    SimFaults f;
    std::string error;
    applyFault("no-ack", f, error);
    applyFault("drop=4", f, error);
    EXPECT_EQ(describeFaults(f), "no-ack,drop=4");
    EXPECT_EQ(describeFaults(SimFaults{}), "none");
}

TEST(SimLog, LinesNameDirectionPortBytesAndMeaning)
{
    KeyboardSim kb;
    std::vector<std::string> lines;
    kb.setLogSink([&](const std::string& l) { lines.push_back(l); });
    kb.receive(kCommunicationPort, makeParamRequest(0, 0x20, 0x00));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "in  p5 F0 43 30 7F 17 01 20 00 F7 | parameter request: current template");
    EXPECT_EQ(lines[1], "out p5 F0 43 10 7F 19 01 20 00 00 F7 | parameter change: current template = 0");
    lines.clear();
    SimFaults f;
    f.dropEvery = 1;
    kb.setFaults(f);
    kb.receive(kCommunicationPort, makeBulkRequest(0, kKindEditBuffer, 2));
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_EQ(lines[0], "in  p5 F0 43 20 7F 17 0E 6F 02 F7 | bulk request: edit buffer template 3");
    EXPECT_NE(lines[0].find("bulk request: edit buffer template 3"), std::string::npos);
    EXPECT_NE(lines[1].find("bulk header: edit buffer template 3 [lost by fault drop=1]"), std::string::npos);
}

TEST(KeyboardSim, EditorMessagesAreTakenOnPortFiveOnly)
{
    KeyboardSim kb;
    for (int port : {1, 2, 3, 4}) {
        EXPECT_TRUE(kb.receive(port, makeBulkRequest(0, kKindStored, 0)).empty()) << port;
        EXPECT_TRUE(kb.receive(port, editorParamChange(0x20, 0x00, {3})).empty()) << port;
    }
    EXPECT_EQ(kb.currentTemplate(), 0);
    // The host extension's instrument name is answered on the port it came on.
    const auto out = kb.receive(2, editorParamChange(0x50, 0x00, Bytes(12, ' ')));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].port, 2);
}
