// Parser throughput, and the latency from the service thread's delivery of a
// packet to the reader's midiIn for the virtual and JACK backends.
#include "editor/midi/MIDIBackend.h"
#include "editor/midi/MIDIPortAccessor.h"
#include "editor/midi/MIDITransport.h"
#include "editor/midi/jack/Service.h"
#include "editor/midi/virtual/Service.h"
#include "tests/midi/JackEchoDevice.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

namespace {

uint64_t nowNs()
{
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::steady_clock::now().time_since_epoch())
                        .count());
}

class BenchTransport final : public TMIDITransport {
public:
    ~BenchTransport() override { closeInput(); }
    bool openInput(int, TMIDIReaderRefConInterface* reader, int) override
    {
        setReader(reader);
        return startPusherThread();
    }
    void closeInput() override { stopPusherThread(); }
    bool openOutput(int) override { return false; }
    void closeOutput() override {}
    bool outputData(int, unsigned char*, unsigned long) override { return false; }
};

class CountingReader final : public TMIDIReaderRefConInterface {
public:
    void midiIn(tagMPEVENT*) override { ++count; }
    std::atomic<uint64_t> count{0};
};

// Typical keyboard traffic: bulk SysEx blocks, parameter changes, active sensing.
std::vector<unsigned char> traffic()
{
    std::vector<unsigned char> bytes;
    for (int round = 0; round < 64; ++round) {
        bytes.push_back(0xF0);
        for (int i = 0; i < 300; ++i)
            bytes.push_back(static_cast<unsigned char>(i & 0x7F));
        bytes.push_back(0xF7);
        for (int b : {0xF0, 0x43, 0x10, 0x7F, 0x17, 0x01, 0x15, 0x18, 0x05, 0xF7})
            bytes.push_back(static_cast<unsigned char>(b));
        for (int i = 0; i < 8; ++i) {
            bytes.push_back(0xB0);
            bytes.push_back(0x07);
            bytes.push_back(static_cast<unsigned char>(i));
            bytes.push_back(0xFE);
        }
    }
    return bytes;
}

void parse(benchmark::State& state, bool withPump)
{
    const std::vector<unsigned char> bytes = traffic();
    const int packet = int(state.range(0));
    CountingReader reader;
    BenchTransport transport;
    if (withPump)
        transport.openInput(1, &reader, 0);
    for (auto _ : state) {
        for (size_t pos = 0; pos < bytes.size(); pos += size_t(packet))
            transport.read(int(std::min(bytes.size() - pos, size_t(packet))), bytes.data() + pos);
    }
    transport.closeInput();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["dropped"] = double(transport.droppedEvents());
}

// Parsing alone: without a pump every event is released at once.
void BM_ParserOnly(benchmark::State& state) { parse(state, false); }
// Parsing, the ring and the pump delivering to a reader.
void BM_ParserWithPump(benchmark::State& state) { parse(state, true); }
BENCHMARK(BM_ParserOnly)->Arg(16)->Arg(256)->Arg(4096);
BENCHMARK(BM_ParserWithPump)->Arg(256);

// Records delivery-to-midiIn latency of each event and wakes the sender.
class LatencyReader final : public TMIDIReaderRefConInterface {
public:
    void midiIn(tagMPEVENT* event) override
    {
        const uint64_t now = nowNs();
        std::lock_guard lock(mutex);
        if (event->receivedNs)
            samples.push_back(double(now - event->receivedNs) / 1000.0);
        ++count;
        changed.notify_all();
    }
    bool waitFor(uint64_t n)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(2), [&] { return count >= n; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<double> samples;
    uint64_t count = 0;
};

void report(benchmark::State& state, std::vector<double> samples)
{
    if (samples.empty())
        return;
    std::sort(samples.begin(), samples.end());
    state.counters["median_us"] = samples[samples.size() / 2];
    state.counters["p99_us"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    state.counters["samples"] = double(samples.size());
}

void BM_LatencyVirtual(benchmark::State& state)
{
    VirtualMIDIService& service = VirtualMIDIService::instance();
    service.unplugAll();
    ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual);
    const int device = service.plugDevice("Bench", 1, 0);
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    LatencyReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    if (!input->openInput(1, &reader, 0)) {
        state.SkipWithError("cannot open the virtual input");
        return;
    }
    const QByteArray message("\xB0\x07\x64", 3);
    uint64_t sent = 0;
    for (auto _ : state) {
        service.inject(device, 0, message);
        if (!reader.waitFor(++sent)) {
            state.SkipWithError("event lost");
            break;
        }
    }
    input->closeInput();
    report(state, reader.samples);
    service.unplugAll();
}
BENCHMARK(BM_LatencyVirtual)->Iterations(20000)->UseRealTime();

// Opens an echo client on the JACK server and finds the port numbers of its
// capture and playback port `pair` (1-based), or skips the benchmark. The
// numbers belong to the returned accessor's listing: keep it while using them.
std::unique_ptr<TUniMIDIPortAccessor> openJackEcho(benchmark::State& state, JackEchoDevice& echo, const char* name, int pair, int* in, int* out)
{
    if (!JackMIDIService::serverAnswers()) {
        state.SkipWithError("no JACK server answers (scripts/jack-dummy.sh start <state>)");
        return nullptr;
    }
    ZenoMIDI::selectBackend(ZenoMIDI::Backend::Jack);
    if (!echo.open(name, QString())) {
        state.SkipWithError("cannot open the echo client");
        return nullptr;
    }
    std::unique_ptr<TUniMIDIPortAccessor> accessor(MIDIPortAccessor());
    const QString capture = QStringLiteral(";%1 capture_%2").arg(QLatin1String(name)).arg(pair);
    const QString playback = QStringLiteral(";%1 playback_%2").arg(QLatin1String(name)).arg(pair);
    for (const QString& e : accessor->getInputPortList())
        if (e.endsWith(capture))
            *in = e.section(';', 0, 0).toInt();
    for (const QString& e : accessor->getOutputPortList())
        if (e.endsWith(playback))
            *out = e.section(';', 0, 0).toInt();
    return accessor;
}

void BM_LatencyJack(benchmark::State& state)
{
    JackEchoDevice echo;
    int in = 0;
    int out = 0;
    const auto accessor = openJackEcho(state, echo, "zeno-bench-echo", 1, &in, &out);
    if (!accessor)
        return;
    LatencyReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
    if (!input->openInput(in, &reader, 0) || !output->openOutput(out)) {
        state.SkipWithError("cannot open the JACK ports");
        return;
    }
    unsigned char cc[2] = {7, 100};
    uint64_t sent = 0;
    for (auto _ : state) {
        output->outputData(2, cc, 0xB0);
        if (!reader.waitFor(++sent)) {
            state.SkipWithError("event lost");
            break;
        }
    }
    input->closeInput();
    report(state, reader.samples);
}
BENCHMARK(BM_LatencyJack)->Iterations(500)->UseRealTime();

// A short-lived route: open an output, send one message, close it at once.
// Opening waits until the server routes the port and closing until the
// message is out, so each round costs a few server cycles; the echo proves
// every message arrived.
void BM_JackOpenSendClose(benchmark::State& state)
{
    JackEchoDevice echo;
    int in = 0;
    int out = 0;
    const auto accessor = openJackEcho(state, echo, "zeno-bench-route", 5, &in, &out);
    if (!accessor)
        return;
    LatencyReader reader;
    std::unique_ptr<TMIDITransport> input(MIDITransportInstance());
    if (!input->openInput(in, &reader, 0)) {
        state.SkipWithError("cannot open the JACK input");
        return;
    }
    unsigned char request[5] = {0x43, 0x20, 0x7F, 0x00, 0xF7};
    uint64_t sent = 0;
    for (auto _ : state) {
        std::unique_ptr<TMIDITransport> output(MIDITransportInstance());
        if (!output->openOutput(out) || !output->outputData(5, request, 0xF0)) {
            state.SkipWithError("cannot open or send");
            break;
        }
        output.reset();
        if (!reader.waitFor(++sent)) {
            state.SkipWithError("message lost");
            break;
        }
    }
    input->closeInput();
}
BENCHMARK(BM_JackOpenSendClose)->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
