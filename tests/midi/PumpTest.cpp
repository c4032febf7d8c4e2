// The event ring and the pump thread.
#include "MidiTestSupport.h"

#include "editor/midi/CircularBuffer.h"
#include "editor/midi/MIDIEventPushThread.h"

#include <gtest/gtest.h>

#include <QSemaphore>

#include <numeric>
#include <thread>

namespace {

TEST(CircularBuffer, WrapsAroundAndKeepsOrder)
{
    CircularBuffer ring(8, false);
    unsigned char out[8] = {};
    const unsigned char first[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ring.write(first, 6), 6);
    EXPECT_EQ(ring.read(nullptr, 4), 4); // skip
    const unsigned char second[5] = {7, 8, 9, 10, 11};
    EXPECT_EQ(ring.write(second, 5), 5); // wraps
    EXPECT_EQ(ring.avail(), 7);
    EXPECT_EQ(ring.space(), 1);
    EXPECT_EQ(ring.read(out, 7), 7);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 7), bytesOf({5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(ring.avail(), 0);
}

TEST(CircularBuffer, OverflowAndOverReadAreCut)
{
    CircularBuffer ring(4, true);
    const unsigned char bytes[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ring.write(bytes, 6), 4);
    unsigned char out[6] = {};
    EXPECT_EQ(ring.read(out, 6), 4);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 4), bytesOf({1, 2, 3, 4}));
    EXPECT_EQ(ring.read(out, 1), 0);
    EXPECT_EQ(ring.mutex(), nullptr); // recursive form
}

TEST(Pump, RingHoldsNineHundredSixtyRecords)
{
    EXPECT_EQ(TMIDIEventPushThread::kRingBytes, 960 * TMIDIEventPushThread::kRecordSize);
}

// A reader that holds the pump inside its first midiIn until released.
class BlockingReader : public RecordingReader {
public:
    void midiIn(tagMPEVENT* event) override
    {
        if (m_first.exchange(false)) {
            m_entered.release();
            m_release.acquire();
        }
        RecordingReader::midiIn(event);
    }
    void waitEntered() { m_entered.acquire(); }
    void release() { m_release.release(); }

private:
    std::atomic<bool> m_first{true};
    QSemaphore m_entered;
    QSemaphore m_release;
};

TEST(Pump, FullRingDropsNewEventsAndStillDeliversWhatItHolds)
{
    BlockingReader reader;
    LoopbackTransport transport;
    transport.openInput(1, &reader, 0);

    const unsigned char first[3] = {0x90, 0, 1};
    transport.read(3, first);
    reader.waitEntered(); // the pump is busy with the first event

    const int offered = 2000;
    for (int i = 0; i < offered; ++i) {
        const unsigned char sysex[4] = {0xF0, static_cast<unsigned char>(i & 0x7F), static_cast<unsigned char>(i >> 7), 0xF7};
        transport.read(4, sysex);
    }
    // Room for two records is kept free; one of them takes the stop request.
    const int accepted = TMIDIEventPushThread::kRingRecords - 1;
    EXPECT_EQ(transport.droppedEvents(), uint64_t(offered - accepted));

    reader.release();
    transport.closeInput();
    const auto events = reader.events();
    ASSERT_EQ(events.size(), size_t(1 + accepted));
    for (int i = 0; i < accepted; ++i)
        ASSERT_EQ(events[size_t(1 + i)].bytes, bytesOf({i & 0x7F, i >> 7, 0xF7})) << i;
}

TEST(Pump, StartsAndStopsRepeatedlyWithTrafficInFlight)
{
    for (int round = 0; round < 30; ++round) {
        RecordingReader reader;
        LoopbackTransport transport;
        ASSERT_TRUE(transport.openInput(1, &reader, 0));
        for (int i = 0; i < 20; ++i) {
            const unsigned char sysex[5] = {0xF0, 1, 2, 3, 0xF7};
            transport.read(5, sysex);
        }
        if (round % 2)
            transport.closeInput();
        // else: the destructor stops the pump
    }
    SUCCEED();
}

TEST(Pump, DeliversInOrderFromAProducerThread)
{
    RecordingReader reader;
    LoopbackTransport transport;
    transport.openInput(1, &reader, 0);
    const int count = 5000;
    std::thread producer([&] {
        for (int i = 0; i < count; ++i) {
            const unsigned char cc[3] = {0xB0, static_cast<unsigned char>(i & 0x7F), static_cast<unsigned char>((i >> 7) & 0x7F)};
            transport.read(3, cc);
            if (i % 256 == 0)
                std::this_thread::yield();
        }
    });
    producer.join();
    transport.closeInput();
    const auto events = reader.events();
    ASSERT_EQ(events.size() + transport.droppedEvents(), size_t(count));
    // Whatever was dropped, what arrived is in order.
    int last = -1;
    for (const auto& e : events) {
        const int value = e.bytes[0] | (e.bytes[1] << 7);
        ASSERT_GT(value, last);
        last = value;
    }
}

} // namespace
