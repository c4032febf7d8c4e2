// The ALSA sequencer backend. Needs the sequencer device; without it every
// test here is reported as skipped.
#include "MidiTestSupport.h"

#include "editor/midi/MIDIBackend.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/alsa/Service.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <alsa/asoundlib.h>

#include <memory>

namespace {

class AlsaBackend : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists("/dev/snd/seq"))
            GTEST_SKIP() << "no ALSA sequencer device (/dev/snd/seq) on this machine";
        if (!AlsaMIDIService::deviceOpens())
            GTEST_SKIP() << "the ALSA sequencer device does not open";
        ASSERT_TRUE(ZenoMIDI::selectBackend(ZenoMIDI::Backend::Alsa));
    }
    void TearDown() override { ZenoMIDI::selectAutomaticBackend(); }
};

// A sequencer client with one duplex port that echoes what it receives.
class AlsaEcho {
public:
    bool open()
    {
        if (snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
            return false;
        snd_seq_set_client_name(m_seq, "Zeno Echo");
        m_port = snd_seq_create_simple_port(m_seq, "Port1",
                                            SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ | SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                            SND_SEQ_PORT_TYPE_MIDI_GENERIC);
        if (m_port < 0)
            return false;
        m_thread = std::thread([this] {
            while (!m_quit) {
                snd_seq_event_t* event = nullptr;
                if (snd_seq_event_input_pending(m_seq, 1) <= 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                if (snd_seq_event_input(m_seq, &event) < 0 || !event)
                    continue;
                snd_seq_ev_set_source(event, m_port);
                snd_seq_ev_set_subs(event);
                snd_seq_ev_set_direct(event);
                snd_seq_event_output_direct(m_seq, event);
            }
        });
        return true;
    }
    ~AlsaEcho()
    {
        m_quit = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_seq)
            snd_seq_close(m_seq);
    }

private:
    snd_seq_t* m_seq = nullptr;
    int m_port = -1;
    std::atomic<bool> m_quit{false};
    std::thread m_thread;
};

TEST_F(AlsaBackend, DuplexPortIsBothSourceAndDestinationAndEchoes)
{
    AlsaEcho echo;
    ASSERT_TRUE(echo.open());
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    auto numberOf = [](const QStringList& list) {
        for (const QString& encoded : list)
            if (encoded.endsWith(";Zeno Echo Port1"))
                return encoded.section(';', 0, 0).toInt();
        return 0;
    };
    const int source = numberOf(accessor->getInputPortList());
    const int destination = numberOf(accessor->getOutputPortList());
    ASSERT_GT(source, 0);
    ASSERT_GT(destination, 0);

    RecordingReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    ASSERT_TRUE(input->openInput(source, &reader, 0));
    ASSERT_TRUE(output->openOutput(destination));
    std::vector<unsigned char> body(300, 0x11);
    body.push_back(0xF7);
    ASSERT_TRUE(output->outputData(int(body.size()), body.data(), 0xF0));
    unsigned char cc[2] = {7, 100};
    ASSERT_TRUE(output->outputData(2, cc, 0xB2));
    ASSERT_TRUE(reader.waitFor(2));
    EXPECT_EQ(reader.events(), (std::vector<RecordedEvent>{sysexEvent(body), shortEvent(MPEV_CONTROLCHANGE, 2, 7, 100)}));
}

TEST_F(AlsaBackend, PortNumbersBeyondTheListFailCleanly)
{
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    RecordingReader reader;
    std::unique_ptr<TMIDITransport> transport(MIDITransportInstance());
    EXPECT_FALSE(transport->openInput(10000, &reader, 0));
    EXPECT_FALSE(transport->openOutput(10000));
}

} // namespace
