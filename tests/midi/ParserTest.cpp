// The byte parser: what each packet sequence becomes once the pump has
// delivered it.
#include "MidiTestSupport.h"

#include "editor/midi/MIDIEventPushThread.h"

#include <gtest/gtest.h>

namespace {

using Packets = std::vector<std::vector<unsigned char>>;

std::vector<RecordedEvent> parse(const Packets& packets, LoopbackTransport* transport = nullptr)
{
    RecordingReader reader;
    LoopbackTransport local;
    LoopbackTransport& t = transport ? *transport : local;
    t.openInput(1, &reader, 0);
    for (const auto& packet : packets)
        t.read(int(packet.size()), packet.data());
    t.closeInput(); // the stop request comes after everything pushed
    return reader.events();
}

std::vector<unsigned char> sysexBody(int dataBytes)
{
    std::vector<unsigned char> body;
    for (int i = 0; i < dataBytes; ++i)
        body.push_back(static_cast<unsigned char>(i % 0x80));
    return body;
}

std::vector<unsigned char> cat(std::vector<unsigned char> a, const std::vector<unsigned char>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct ParserCase {
    const char* name;
    Packets packets;
    std::vector<RecordedEvent> expected;
};
void PrintTo(const ParserCase& c, std::ostream* os) { *os << c.name; }

const std::vector<unsigned char> kSysExBody = bytesOf({0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x05, 0xF7});

class ParserTable : public ::testing::TestWithParam<ParserCase> {};

TEST_P(ParserTable, DeliversTheExpectedEvents)
{
    EXPECT_EQ(parse(GetParam().packets), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParserTable,
    ::testing::Values(
        ParserCase{"NoteOn", {bytesOf({0x90, 0x3C, 0x64})}, {shortEvent(MPEV_NOTEON, 0, 0x3C, 0x64)}},
        ParserCase{"RunningStatusIsDropped", {bytesOf({0x3C, 0x64})}, {}},
        ParserCase{"ActiveSensing", {bytesOf({0xFE})}, {shortEvent(MPEV_ACTIVESENSING, 0, 0x00, 0xFE)}},
        ParserCase{"ClockMakesNothing", {bytesOf({0xF8, 0xFA, 0xFF})}, {}},
        ParserCase{"SysExInOnePacket", {bytesOf({0xF0, 0x43, 0x10, 0x7F, 0x19, 0x01, 0x20, 0x00, 0x05, 0xF7})},
                   {sysexEvent(kSysExBody)}},
        ParserCase{"SysExOverTwoPackets",
                   {bytesOf({0xF0, 0x43, 0x10, 0x7F}), bytesOf({0x19, 0x01, 0x20, 0x00, 0x05, 0xF7})},
                   {sysexEvent(kSysExBody)}},
        ParserCase{"SysExOneByteAtATime",
                   {bytesOf({0xF0}), bytesOf({0x43}), bytesOf({0x10}), bytesOf({0xF7})},
                   {sysexEvent(bytesOf({0x43, 0x10, 0xF7}))}},
        ParserCase{"StatusInNextPacketClosesSysEx",
                   {bytesOf({0xF0, 0x43, 0x10}), bytesOf({0x90, 0x3C, 0x64})},
                   {sysexEvent(bytesOf({0x43, 0x10, 0xF7})), shortEvent(MPEV_NOTEON, 0, 0x3C, 0x64)}},
        ParserCase{"StatusInSamePacketClosesSysEx",
                   {bytesOf({0xF0, 0x43, 0x10, 0x90, 0x3C, 0x64})},
                   {sysexEvent(bytesOf({0x43, 0x10, 0xF7})), shortEvent(MPEV_NOTEON, 0, 0x3C, 0x64)}},
        ParserCase{"RealTimeInOwnPacketInsideSysEx",
                   {bytesOf({0xF0, 0x43}), bytesOf({0xF8}), bytesOf({0x10, 0xF7})},
                   {sysexEvent(bytesOf({0x43, 0x10, 0xF7}))}},
        ParserCase{"RealTimeInSamePacketInsideSysEx",
                   {bytesOf({0xF0, 0x43, 0xF8, 0x10, 0xFE, 0xF7})},
                   {sysexEvent(bytesOf({0x43, 0x10, 0xF7}))}},
        ParserCase{"TwoSysExInOnePacketStayTwoEvents",
                   {bytesOf({0xF0, 0x01, 0xF7, 0xF0, 0x02, 0x03, 0xF7})},
                   {sysexEvent(bytesOf({0x01, 0xF7})), sysexEvent(bytesOf({0x02, 0x03, 0xF7}))}},
        ParserCase{"F7AtPacketStartEndsOpenSysEx", {bytesOf({0xF0, 0x01}), bytesOf({0xF7})},
                   {sysexEvent(bytesOf({0x01, 0xF7}))}},
        ParserCase{"NewF0EndsUnterminatedSysEx", {bytesOf({0xF0, 0x01, 0x02}), bytesOf({0xF0, 0x03, 0xF7})},
                   {sysexEvent(bytesOf({0x01, 0x02, 0xF7})), sysexEvent(bytesOf({0x03, 0xF7}))}},
        ParserCase{"Continuation", {bytesOf({0xF7, 0x01, 0x02, 0xF7})},
                   {sysexEvent(bytesOf({0x01, 0x02, 0xF7}), MPEV_SYSEXCONT)}},
        ParserCase{"NoteOnCutAfterStatus", {bytesOf({0x90}), bytesOf({0x3C, 0x64})}, {}},
        ParserCase{"NoteOnCutAfterFirstDataByte", {bytesOf({0x90, 0x3C}), bytesOf({0x64, 0x80, 0x3C, 0x00})},
                   {shortEvent(MPEV_NOTEOFF, 0, 0x3C, 0x00)}},
        ParserCase{"ChannelMessagesOfEveryKind",
                   {bytesOf({0x81, 1, 2, 0x92, 3, 4, 0xA3, 5, 6, 0xB4, 7, 8, 0xC5, 9, 0xD6, 10, 0xEF, 11, 12})},
                   {shortEvent(MPEV_NOTEOFF, 1, 1, 2), shortEvent(MPEV_NOTEON, 2, 3, 4),
                    shortEvent(MPEV_KEYPRESSURE, 3, 5, 6), shortEvent(MPEV_CONTROLCHANGE, 4, 7, 8),
                    shortEvent(MPEV_PROGRAMCHANGE, 5, 9, 0), shortEvent(MPEV_CHANNELPRESSURE, 6, 10, 0),
                    shortEvent(MPEV_PITCHBEND, 15, 11, 12)}},
        ParserCase{"SystemCommonIsSkippedWithItsData", {bytesOf({0xF2, 0x01, 0x02, 0xF1, 0x05, 0xB0, 0x07, 0x64})},
                   {shortEvent(MPEV_CONTROLCHANGE, 0, 0x07, 0x64)}},
        ParserCase{"ShortMessagesBetweenSysExPieces",
                   {bytesOf({0xFE, 0xF0, 0x43, 0xF7, 0xFE})},
                   {shortEvent(MPEV_ACTIVESENSING, 0, 0x00, 0xFE), sysexEvent(bytesOf({0x43, 0xF7})),
                    shortEvent(MPEV_ACTIVESENSING, 0, 0x00, 0xFE)}}),
    [](const ::testing::TestParamInfo<ParserCase>& info) { return std::string(info.param.name); });

TEST(Parser, SysExUpToTheCapIsDeliveredWhole)
{
    const auto body = cat(sysexBody(TMIDITransport::kMaxSysExBytes - 2), bytesOf({0xF7}));
    const auto events = parse({cat(bytesOf({0xF0}), body)});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].bytes, body);
}

TEST(Parser, SysExBeyondTheCapIsDroppedAndParsingGoesOn)
{
    LoopbackTransport transport;
    // The endless message arrives in many packets, then finally ends; a note
    // after it must still come through.
    Packets packets{bytesOf({0xF0})};
    for (int i = 0; i < 40; ++i)
        packets.push_back(sysexBody(4096));
    packets.push_back(bytesOf({0xF7, 0x90, 0x3C, 0x64}));
    packets.push_back(bytesOf({0xF0, 0x01, 0xF7}));
    const auto events = parse(packets, &transport);
    EXPECT_EQ(events, (std::vector<RecordedEvent>{shortEvent(MPEV_NOTEON, 0, 0x3C, 0x64), sysexEvent(bytesOf({0x01, 0xF7}))}));
    EXPECT_EQ(transport.droppedSysEx(), 1u);
}

TEST(Parser, SysExBeyondTheCapEndedByAnotherStatusIsDropped)
{
    // Real-time bytes do not end it; a channel message does.
    const auto events = parse({cat(bytesOf({0xF0}), sysexBody(TMIDITransport::kMaxSysExBytes)), bytesOf({0xFE, 0x90, 0x3C, 0x64})});
    EXPECT_EQ(events, (std::vector<RecordedEvent>{shortEvent(MPEV_NOTEON, 0, 0x3C, 0x64)}));
}

TEST(Parser, EmptyAndNullPacketsAreIgnored)
{
    RecordingReader reader;
    LoopbackTransport transport;
    transport.openInput(1, &reader, 0);
    transport.read(0, "x");
    transport.read(5, nullptr);
    transport.closeInput();
    EXPECT_TRUE(reader.events().empty());
}

TEST(Parser, WithoutPumpEventsAreDroppedNotLeaked)
{
    LoopbackTransport transport;
    const auto bytes = bytesOf({0xF0, 0x01, 0xF7, 0x90, 1, 2});
    transport.read(int(bytes.size()), bytes.data());
    EXPECT_EQ(transport.droppedEvents(), 2u);
}

TEST(Parser, HalfAssembledSysExIsReleasedWithTheTransport)
{
    // Leak checkers catch the fault; the test only drives the path.
    auto* transport = new LoopbackTransport;
    RecordingReader reader;
    transport->openInput(1, &reader, 0);
    const auto bytes = cat(bytesOf({0xF0}), sysexBody(1000));
    transport->read(int(bytes.size()), bytes.data());
    delete transport;
    EXPECT_TRUE(reader.events().empty());
}

} // namespace
