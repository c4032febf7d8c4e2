// Building the transmit queue for a whole bank and decoding a whole
// keyboard's worth of template dumps: time and heap allocations.
#include <benchmark/benchmark.h>

#include <atomic>
#include <vector>

#include "editor/memory/RemoteMemAPI.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/protocol/ComuController.h"
#include "editor/protocol/MessageDecoder.h"
#include "editor/protocol/MessageEncoder.h"
#include "editor/protocol/SysExParamChangeAddressTransTable.h"

#include <QtGlobal>

// Every heap allocation, C++ and Qt alike, goes through malloc: counting
// there catches both.
namespace {
std::atomic<long> g_allocations{0};
} // namespace

extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_malloc(size);
}
void* calloc(std::size_t n, std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return __libc_realloc(p, size);
}
}

namespace {

// Accepts every event without sending it anywhere.
class NullRoute : public ComuController {
public:
    HRESULT midiOutDispatch(MPEVENT, int) override { return kSuccess; }
};

void fillBank(RemoteMemAPI& api, int bank)
{
    for (int t = 0; t < 50; ++t) {
        api.setParam(ParamAddress(bank, t, 13, -1), QString("Template %1").arg(t));
        api.setParam(ParamAddress(bank, t, 15, -1), QString("Synth%1").arg(t));
        for (int k = 0; k < 12; ++k) {
            api.setParam(ParamAddress(bank, t, k, 0), QString("Param %1").arg(k));
            api.setParam(ParamAddress(bank, t, k, 1), static_cast<long>(k + t));
        }
    }
}

void discardDebugOutput(QtMsgType, const QMessageLogContext&, const QString&) {}

void BM_BuildEditorAllDataQueue(benchmark::State& state)
{
    qInstallMessageHandler(discardDebugOutput);
    ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual);
    RemoteMemAPI api;
    fillBank(api, 0);
    fillBank(api, 1);
    SysExParamChangeAddressTransTable table;
    NullRoute route;
    MessageEncoder encoder(api.txModelId(), table, route, 5, &api);
    long allocations = 0;
    for (auto _ : state) {
        const long before = g_allocations.load();
        // 100 template dumps and the template select: 1501 messages queued,
        // the first dump sent.
        benchmark::DoNotOptimize(encoder.sendEditorAllData(false));
        allocations += g_allocations.load() - before;
        state.PauseTiming();
        encoder.clearTransmitQueue(true);
        state.ResumeTiming();
    }
    state.counters["allocs/op"] = benchmark::Counter(static_cast<double>(allocations) / state.iterations());
    state.counters["messages"] = 1501;
}
BENCHMARK(BM_BuildEditorAllDataQueue)->Unit(benchmark::kMillisecond);

std::vector<SysExMsg::Bytes> keyboardDumps()
{
    using namespace SysExMsg;
    const unsigned char rx[2] = {0x7F, 0x19};
    std::vector<Bytes> out;
    for (unsigned char kind : {kMidNormalBulk, kMidEditBufferBulk}) {
        for (int t = 0; t < 50; ++t) {
            out.push_back(bulkDump(rx, kAddrBulkHeader, kind, static_cast<unsigned char>(t), nullptr, 0));
            Bytes common = paddedText(QString("Kbd %1").arg(t), 13);
            const Bytes vsti = paddedText("Synth", 12);
            common.insert(common.end(), vsti.begin(), vsti.end());
            common.push_back(0);
            common.push_back(0);
            out.push_back(bulkDump(rx, kAddrParam, kMidCommon, 0, common.data(), 27));
            for (int k = 0; k < 12; ++k) {
                Bytes knob = paddedText("100000401", 9);
                const Bytes name = paddedText(QString("Knob %1 T%2").arg(k).arg(t), 15);
                knob.insert(knob.end(), name.begin(), name.end());
                knob.push_back(static_cast<unsigned char>((k + t) & 0x7F));
                knob.push_back(0);
                out.push_back(bulkDump(rx, kAddrParam, static_cast<unsigned char>(kMidKnobBase + k), 0, knob.data(), 26));
            }
            out.push_back(bulkDump(rx, kAddrBulkFooter, kind, static_cast<unsigned char>(t), nullptr, 0));
        }
    }
    return out;
}

void BM_DecodeFullKeyboardReceive(benchmark::State& state)
{
    qInstallMessageHandler(discardDebugOutput);
    RemoteMemAPI api;
    SysExParamChangeAddressTransTable table;
    MessageDecoder decoder(&table, api.rxModelId(), 5, &api);
    std::vector<SysExMsg::Bytes> dumps = keyboardDumps();
    long allocations = 0;
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        // Alternate the content so that every run really writes.
        if (flip)
            api.copyBank(4, 2), api.copyBank(4, 3);
        flip = !flip;
        api.sendHardWareDataReq(false); // reception on
        state.ResumeTiming();
        const long before = g_allocations.load();
        for (auto& m : dumps) {
            tagMPEVENT event;
            event.kind = MPEV_SYSEX;
            event.length = static_cast<int32_t>(m.size());
            event.data = m.data();
            decoder.Process(event);
        }
        allocations += g_allocations.load() - before;
    }
    state.counters["allocs/op"] = benchmark::Counter(static_cast<double>(allocations) / state.iterations());
    state.counters["messages"] = static_cast<double>(dumps.size());
}
BENCHMARK(BM_DecodeFullKeyboardReceive)->Unit(benchmark::kMillisecond);

} // namespace
