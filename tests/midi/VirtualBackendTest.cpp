// The in-process virtual service end to end through the factories, and the
// output pieces of outputData.
#include "MidiTestSupport.h"

#include "editor/midi/MIDIBackend.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/virtual/Service.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cstdlib>
#include <memory>

namespace {

class VirtualBackend : public ::testing::Test {
protected:
    void SetUp() override
    {
        service().unplugAll();
        service().setPacketizing({});
        ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual));
    }
    void TearDown() override
    {
        service().unplugAll();
        service().setPacketizing({});
        ZenoMIDI::selectAutomaticBackend();
    }
    static VirtualMIDIService& service() { return VirtualMIDIService::instance(); }
};

TEST_F(VirtualBackend, TransportsOpenOnlyWhileAnAccessorExists)
{
    service().plugDevice("Dev", 1, 1);
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> early(MIDITransportInstance());
    EXPECT_FALSE(early->openInput(1, &reader, 0));
    EXPECT_FALSE(early->openOutput(1));

    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    std::unique_ptr<TMIDITransport> late(MIDITransportInstance());
    EXPECT_TRUE(late->openInput(1, &reader, 0));
    EXPECT_TRUE(late->openOutput(1));
    EXPECT_FALSE(late->openOutput(2)); // no such destination
    EXPECT_FALSE(late->openOutput(0));
}

struct Shaping {
    const char* name;
    std::vector<int> sizes;
    bool merge;
};
void PrintTo(const Shaping& s, std::ostream* os) { *os << s.name; }

class VirtualDelivery : public VirtualBackend, public ::testing::WithParamInterface<Shaping> {};

TEST_P(VirtualDelivery, MessagesArriveIntactAndInOrderWhateverThePackets)
{
    service().setPacketizing({GetParam().sizes, GetParam().merge});
    const int dev = service().plugDevice("Velmor ZenoA/ZenoB", 5, 5);
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    ASSERT_TRUE(input->openInput(service().sourcePortNumber(dev, 4), &reader, 6));

    std::vector<RecordedEvent> expected;
    for (int round = 0; round < 20; ++round) {
        std::vector<unsigned char> sysex{0xF0};
        std::vector<unsigned char> body;
        for (int i = 0; i < 3 + round * 37; ++i)
            body.push_back(static_cast<unsigned char>((round + i) & 0x7F));
        body.push_back(0xF7);
        sysex.insert(sysex.end(), body.begin(), body.end());
        ASSERT_TRUE(service().inject(dev, 4, qbytes(sysex)));
        expected.push_back(sysexEvent(body));
        ASSERT_TRUE(service().inject(dev, 4, qbytes(bytesOf({0xB3, round, 0x40}))));
        expected.push_back(shortEvent(MPEV_CONTROLCHANGE, 3, static_cast<unsigned char>(round), 0x40));
        ASSERT_TRUE(service().inject(dev, 4, qbytes(bytesOf({0xFE}))));
        expected.push_back(shortEvent(MPEV_ACTIVESENSING, 0, 0x00, 0xFE));
    }
    ASSERT_TRUE(service().waitUntilDelivered());
    ASSERT_TRUE(reader.waitFor(expected.size()));
    EXPECT_EQ(reader.events(), expected);
}

INSTANTIATE_TEST_SUITE_P(Shapes, VirtualDelivery,
                         ::testing::Values(Shaping{"AsInjected", {}, false},
                                           Shaping{"OneBytePackets", {1}, false},
                                           Shaping{"MixedCuts", {3, 1, 7, 64}, false},
                                           Shaping{"Merged", {}, true},
                                           Shaping{"MergedAndCut", {5, 2, 300}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VirtualBackend, ClosedOrUnpluggedInputsReceiveNothingMore)
{
    const int dev = service().plugDevice("Dev", 1, 0);
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    ASSERT_TRUE(input->openInput(1, &reader, 0));
    service().inject(dev, 0, qbytes(bytesOf({0x90, 1, 2})));
    ASSERT_TRUE(reader.waitFor(1));
    ASSERT_TRUE(service().unplugDevice(dev));
    EXPECT_FALSE(service().inject(dev, 0, qbytes(bytesOf({0x90, 1, 2}))));
    input->closeInput();
    input->closeInput(); // twice is harmless
    EXPECT_EQ(reader.events().size(), 1u);
}

TEST_F(VirtualBackend, LongOutputGoesOutInPiecesAHundredMillisecondsApart)
{
    const int dev = service().plugDevice("Dev", 0, 1);
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    ASSERT_TRUE(output->openOutput(1));

    std::vector<unsigned char> data(5000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i & 0x7F);
    QList<qint64> times;
    QElapsedTimer clock;
    clock.start();
    service().setWriteHandler(dev, 0, [&](const QByteArray&) { times.append(clock.elapsed()); });
    ASSERT_TRUE(output->outputData(int(data.size()), data.data(), 0xF0));

    const QList<QByteArray> pieces = service().writtenPieces(dev, 0);
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0].size(), 4096);
    EXPECT_EQ(static_cast<unsigned char>(pieces[0][0]), 0xF0);
    EXPECT_EQ(pieces[1].size(), 905);
    EXPECT_EQ(pieces[0].mid(1) + pieces[1], qbytes(data));
    ASSERT_EQ(times.size(), 2);
    EXPECT_GE(times[1] - times[0], 100);
}

TEST_F(VirtualBackend, OutputEdgeCases)
{
    const int dev = service().plugDevice("Dev", 0, 1);
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    unsigned char cc[2] = {7, 100};
    EXPECT_FALSE(output->outputData(2, cc, 0xB0)); // not open
    ASSERT_TRUE(output->openOutput(1));
    EXPECT_FALSE(output->outputData(0, cc, 0));     // nothing to send
    EXPECT_FALSE(output->outputData(-5, cc, 0xB0)); // nonsense length
    EXPECT_TRUE(output->outputData(0, nullptr, 0xFE)); // status byte alone
    EXPECT_TRUE(output->outputData(2, cc, 0xB0));
    EXPECT_TRUE(output->outputData(2, cc, 0)); // raw bytes, no status
    EXPECT_EQ(service().written(dev, 0), qbytes(bytesOf({0xFE, 0xB0, 7, 100, 7, 100})));

    service().setDestinationFails(dev, 0, true);
    std::vector<unsigned char> big(9000, 0x11);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(output->outputData(int(big.size()), big.data(), 0xF0));
    EXPECT_LT(clock.elapsed(), 100); // the first failure stops the rest
    service().setDestinationFails(dev, 0, false);

    ASSERT_TRUE(service().unplugDevice(dev));
    EXPECT_FALSE(output->outputData(2, cc, 0xB0));
}

TEST(BackendChoice, NamesEnvironmentAndExplicitChoice)
{
    using ZenoMIDI::Backend;
    EXPECT_TRUE(ZenoMIDI::isCompiled(Backend::Virtual));
    Backend b = Backend::None;
    EXPECT_TRUE(ZenoMIDI::backendFromName("jack", &b));
    EXPECT_EQ(b, Backend::Jack);
    EXPECT_FALSE(ZenoMIDI::backendFromName("coremidi", &b));

    ::setenv("ZENO_MIDI_BACKEND", "virtual", 1);
    ZenoMIDI::selectAutomaticBackend();
    EXPECT_EQ(ZenoMIDI::activeBackend(), Backend::Virtual);
    ::setenv("ZENO_MIDI_BACKEND", "bogus", 1);
    ZenoMIDI::selectAutomaticBackend();
    EXPECT_EQ(ZenoMIDI::activeBackend(), Backend::None);
    EXPECT_TRUE(ZenoMIDI::selectBackend(Backend::Virtual)); // explicit choice wins
    EXPECT_EQ(ZenoMIDI::activeBackend(), Backend::Virtual);
    ::unsetenv("ZENO_MIDI_BACKEND");
    ZenoMIDI::selectAutomaticBackend();
}

TEST(BackendChoice, NoBackendMeansCleanFailures)
{
    ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::None));
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    EXPECT_TRUE(accessor->getInputPortList().isEmpty());
    EXPECT_TRUE(accessor->getOutputPortList().isEmpty());
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> transport(MIDITransportInstance());
    EXPECT_FALSE(transport->openInput(1, &reader, 0));
    EXPECT_FALSE(transport->openOutput(1));
    unsigned char b = 0;
    EXPECT_FALSE(transport->outputData(1, &b, 0xC0));
    ZenoMIDI::selectAutomaticBackend();
}

} // namespace
