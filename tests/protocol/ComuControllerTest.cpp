// The route manager over the in-process virtual MIDI service.
#include <gtest/gtest.h>

#include <mutex>

#include "editor/midi/MIDIBackend.h"
#include "editor/midi/virtual/Service.h"
#include "editor/protocol/ComuController.h"
#include "editor/protocol/MessageProcessor.h"
#include "ProtocolTestSupport.h"

using namespace prototest;

namespace {

class RecordingConsumer : public MessageProcessor {
public:
    explicit RecordingConsumer(long port) : MessageProcessor(port, nullptr, 0) {}
    bool Process(tagMPEVENT& event) override
    {
        std::lock_guard lock(m_mutex);
        Seen seen{event.kind, event.portId, event.sequence, event.stamped, {}};
        if (isSysExKind(event.kind) && event.data)
            seen.bytes.assign(event.data, event.data + event.length);
        m_events.push_back(seen);
        return true;
    }
    struct Seen {
        uint32_t kind;
        int32_t portId;
        uint64_t sequence;
        int32_t stamped;
        Bytes bytes;
    };
    std::vector<Seen> events()
    {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    std::mutex m_mutex;
    std::vector<Seen> m_events;
};

class ComuControllerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual); }
    ComuControllerTest()
    {
        svc.unplugAll();
        device = svc.plugDevice("Velmor Zeno Series", 5, 5);
        controller = std::make_unique<ComuController>();
    }
    ~ComuControllerTest() override
    {
        controller.reset();
        svc.unplugAll();
    }
    ComuController::DWORD in(int i) { return static_cast<ComuController::DWORD>(svc.sourcePortNumber(device, i)); }
    ComuController::DWORD out(int i)
    {
        return static_cast<ComuController::DWORD>(svc.destinationPortNumber(device, i));
    }
    static tagMPEVENT sysex(Bytes& bytes, ComuController::DWORD port)
    {
        tagMPEVENT event = sysexEvent(bytes);
        event.portId = static_cast<int32_t>(port);
        return event;
    }

    VirtualMIDIService& svc = VirtualMIDIService::instance();
    int device = 0;
    std::unique_ptr<ComuController> controller;
};

TEST_F(ComuControllerTest, PortZeroAndMissingPortsOpenNothing)
{
    RecordingConsumer consumer(0);
    EXPECT_FALSE(controller->requestPort(0, 0, 6, &consumer));
    EXPECT_FALSE(controller->requestPort(1, 0, 0, nullptr));
    EXPECT_FALSE(controller->requestPort(0, 99, 6, &consumer));
    EXPECT_FALSE(controller->requestPort(1, 99, 0, nullptr));
    EXPECT_FALSE(controller->isPortActive(0, 99));
    EXPECT_FALSE(controller->isPortActive(1, 99));
    Bytes m{0xF0, 0x43, 0xF7};
    EXPECT_EQ(controller->midiOutDispatch(sysex(m, 99), 1), ComuController::kFailure);
}

TEST_F(ComuControllerTest, OnlyTheFirstConsumerOfAnInputPortHearsIt)
{
    RecordingConsumer first(in(0)), second(in(0));
    EXPECT_TRUE(controller->setMessageProcessorAndOpenPort(&first));
    EXPECT_TRUE(controller->requestPort(0, in(0), 0, &second));
    ASSERT_TRUE(svc.inject(device, 0, QByteArray("\x90\x3C\x64\xFE", 4)));
    ASSERT_TRUE(waitUntil([&] { return first.events().size() == 2; }));
    const auto seen = first.events();
    EXPECT_EQ(seen[0].kind, MPEV_NOTEON);
    EXPECT_EQ(seen[1].kind, MPEV_ACTIVESENSING);
    EXPECT_EQ(seen[0].portId, static_cast<int32_t>(in(0)));
    EXPECT_EQ(seen[0].stamped, 1);
    EXPECT_TRUE(second.events().empty());
}

TEST_F(ComuControllerTest, ArrivalStampsRiseStrictly)
{
    RecordingConsumer a(in(0)), b(in(4));
    ASSERT_TRUE(controller->setMessageProcessorAndOpenPort(&a));
    ASSERT_TRUE(controller->setMessageProcessorAndOpenPort(&b));
    for (int i = 0; i < 20; ++i) {
        svc.inject(device, 0, QByteArray("\xFE", 1));
        svc.inject(device, 4, QByteArray("\xF0\x43\x60\x02\xF7", 5));
    }
    ASSERT_TRUE(waitUntil([&] { return a.events().size() == 20 && b.events().size() == 20; }));
    for (auto* consumer : {&a, &b}) {
        const auto seen = consumer->events();
        for (std::size_t i = 1; i < seen.size(); ++i)
            EXPECT_LT(seen[i - 1].sequence, seen[i].sequence);
    }
    EXPECT_EQ(hex(b.events()[0].bytes), "43 60 02 F7");
}

TEST_F(ComuControllerTest, OutputRoutesOpenOnceAndCloseCleanly)
{
    EXPECT_TRUE(controller->requestPort(1, out(4), 0, nullptr));
    EXPECT_TRUE(controller->requestPort(1, out(4), 0, nullptr));
    EXPECT_TRUE(controller->isPortActive(1, out(4)));
    Bytes m{0xF0, 0x43, 0x10, 0x7F, 0x17, 0x01, 0x10, 0x18, 0x05, 0xF7};
    EXPECT_EQ(controller->midiOutDispatch(sysex(m, out(4)), 1), ComuController::kSuccess);
    EXPECT_EQ(svc.takeWritten(device, 4), QByteArray("\xF0\x43\x10\x7F\x17\x01\x10\x18\x05\xF7", 10));

    controller->releasePort(1, out(4));
    EXPECT_FALSE(controller->isPortActive(1, out(4)));
    EXPECT_EQ(controller->midiOutDispatch(sysex(m, out(4)), 1), ComuController::kFailure);
    EXPECT_TRUE(controller->requestPort(1, out(4), 0, nullptr));
    EXPECT_EQ(controller->midiOutDispatch(sysex(m, out(4)), 1), ComuController::kSuccess);

    RecordingConsumer consumer(in(0));
    ASSERT_TRUE(controller->setMessageProcessorAndOpenPort(&consumer));
    controller->CloseAllOpendPortAndDeleteAllTransporters();
    EXPECT_FALSE(controller->isPortActive(1, out(4)));
    EXPECT_FALSE(controller->isPortActive(0, in(0)));
    EXPECT_EQ(controller->midiOutDispatch(sysex(m, out(4)), 1), ComuController::kFailure);
}

TEST_F(ComuControllerTest, EventsBecomeWireBytes)
{
    ASSERT_TRUE(controller->requestPort(1, out(2), 0, nullptr));
    Bytes block(38, 0x11);
    block.front() = 0x43;
    block.back() = 0xF7;
    tagMPEVENT big = sysex(block, out(2));
    EXPECT_EQ(controller->midiOutDispatch(big, 1), ComuController::kSuccess);
    const auto pieces = svc.writtenPieces(device, 2);
    ASSERT_EQ(pieces.size(), 1);
    EXPECT_EQ(pieces[0].size(), 39);
    EXPECT_EQ(static_cast<unsigned char>(pieces[0][0]), 0xF0);
    svc.takeWritten(device, 2);

    struct Case {
        uint32_t kind;
        int channel;
        std::vector<unsigned char> data;
        QByteArray expected;
    } const cases[] = {
        {MPEV_NOTEON, 2, {0x3C, 0x64}, QByteArray("\x92\x3C\x64", 3)},
        {MPEV_CONTROLCHANGE, 0, {0x07, 0x7F}, QByteArray("\xB0\x07\x7F", 3)},
        {MPEV_PROGRAMCHANGE, 15, {0x05}, QByteArray("\xCF\x05", 2)},
        {MPEV_PITCHBEND, 1, {0x00, 0x40}, QByteArray("\xE1\x00\x40", 3)},
        {MPEV_NRPN, 3, {1, 2, 3, 4}, QByteArray("\xB3\x63\x01\xB3\x62\x02\xB3\x06\x03\xB3\x26\x04", 12)},
        {MPEV_RPN, 0, {0, 0, 2, 0}, QByteArray("\xB0\x65\x00\xB0\x64\x00\xB0\x06\x02\xB0\x26\x00", 12)},
        {MPEV_BANKPROGRAM, 0, {1, 2, 3}, QByteArray("\xB0\x00\x01\xB0\x20\x02\xC0\x03", 8)},
    };
    for (const auto& c : cases) {
        tagMPEVENT event;
        event.kind = c.kind;
        event.channel = c.channel;
        event.portId = static_cast<int32_t>(out(2));
        for (std::size_t i = 0; i < c.data.size(); ++i)
            event.shortData[i] = c.data[i];
        EXPECT_EQ(controller->midiOutDispatch(event, 1), ComuController::kSuccess);
        EXPECT_EQ(svc.takeWritten(device, 2).toHex(' '), c.expected.toHex(' '));
    }
    tagMPEVENT unsendable;
    unsendable.kind = MPEV_ACTIVESENSING;
    unsendable.portId = static_cast<int32_t>(out(2));
    EXPECT_EQ(controller->midiOutDispatch(unsendable, 1), ComuController::kFailure);

    svc.setDestinationFails(device, 2, true);
    EXPECT_EQ(controller->midiOutDispatch(big, 1), ComuController::kFailure);
    svc.setDestinationFails(device, 2, false);
}

TEST_F(ComuControllerTest, PortListsComeFromTheService)
{
    const QStringList inputs = controller->getInputPortList();
    const QStringList outputs = controller->getOutputPortList();
    EXPECT_EQ(inputs.size(), 5);
    EXPECT_EQ(outputs.size(), 5);
    EXPECT_TRUE(inputs.join(",").contains("Velmor Zeno Series Port5"));
}

} // namespace
