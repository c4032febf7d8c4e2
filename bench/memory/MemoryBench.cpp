// How fast names resolve to addresses and how many writes per second the
// memory API sustains, alone and with a realistic number of bound controls.

#include "editor/memory/AddressTransTable.h"
#include "editor/memory/ComuLink.h"
#include "editor/memory/MemChangeObserver.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

const char* const kNames[] = {
    "knobA1", "knobD3", "ccNumber", "displayName", "templateName", "vstiName", "isOnline",
    "currentTemplateNumber", "remoteNumber", "bankAvailableFlag", "knobE1", "fileEditFlag",
};
constexpr std::size_t kNameCount = sizeof(kNames) / sizeof(kNames[0]);

void BM_AddressTableLookup(benchmark::State& state)
{
    AddressTransTable table;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.value(kNames[i]));
        i = (i + 1) % kNameCount;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddressTableLookup);

void BM_AddressPathForm(benchmark::State& state)
{
    AddressTransTable table;
    ParamAddress address(&table);
    const char* const paths[] = {"knobA1/ccNumber", "knobC2/displayFormat", "knobD3/remoteNumber", "knobB1"};
    std::size_t i = 0;
    for (auto _ : state) {
        address.setParamAddress(0, int(i % 50), paths[i % 4], -1);
        benchmark::DoNotOptimize(address);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddressPathForm);

void BM_AddressSingleNameForm(benchmark::State& state)
{
    AddressTransTable table;
    ParamAddress address(&table);
    const char* const names[] = {"ccNumber", "templateName", "isOnline", "currentTemplateNumber"};
    std::size_t i = 0;
    for (auto _ : state) {
        address.setParamAddress(0, 3, int(i % 12), names[i % 4]);
        benchmark::DoNotOptimize(address);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddressSingleNameForm);

struct NullObserver : MemChangeObserver {
    void paramUpdate() override { ++calls; }
    long calls = 0;
};

// The template editor binds about 12 knobs x 4 fields plus template-level
// controls; the library view adds a list. Observers watch spread addresses.
void registerObservers(RemoteMemAPI& api, std::vector<ParamAddress>& addresses,
    std::vector<std::unique_ptr<NullObserver>>& observers, int count)
{
    addresses.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        addresses.emplace_back(i % 2 ? 0 : 5, i % 50, i % 12, i % 4);
        observers.push_back(std::make_unique<NullObserver>());
    }
    for (int i = 0; i < count; ++i)
        api.registObserver(&addresses[std::size_t(i)], observers[std::size_t(i)].get());
}

void BM_MemoryNumericWrite(benchmark::State& state)
{
    RemoteMemAPI api;
    std::vector<ParamAddress> addresses;
    std::vector<std::unique_ptr<NullObserver>> observers;
    registerObservers(api, addresses, observers, int(state.range(0)));
    long i = 0;
    for (auto _ : state) {
        // The 300 addresses repeat with the value flipped, so every write
        // changes the value and takes the full path.
        const ParamAddress address(0, int(i % 50), int(i % 12), 1);
        benchmark::DoNotOptimize(api.setParam(address, (i / 300) % 2 ? 1L : 2L));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["observers"] = double(state.range(0));
}
BENCHMARK(BM_MemoryNumericWrite)->Arg(0)->Arg(64)->Arg(600)->Arg(4096);

void BM_MemoryTextWrite(benchmark::State& state)
{
    RemoteMemAPI api;
    std::vector<ParamAddress> addresses;
    std::vector<std::unique_ptr<NullObserver>> observers;
    registerObservers(api, addresses, observers, int(state.range(0)));
    const QString names[] = {QStringLiteral("Cutoff"), QStringLiteral("Resonance")};
    long i = 0;
    for (auto _ : state) {
        const ParamAddress address(0, int(i % 50), int(i % 12), 0);
        benchmark::DoNotOptimize(api.setParam(address, names[(i / 300) % 2]));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemoryTextWrite)->Arg(0)->Arg(600);

// On line every write of bank 0 also goes to the encoder; this one only
// counts, so the figure is the memory side's own cost.
struct CountingEncoder : EncoderLink {
    bool enqueueParamChange(const ParamAddress&, int) override { return ++queued > 0; }
    bool enqueueParamChange(const ParamAddress&, const QString&) override { return ++queued > 0; }
    bool sendMessage(bool*) override { return true; }
    bool sendBulk(int, int) override { return true; }
    bool sendParamChangeOfController(int, int, int) override { return true; }
    bool sendHardWareDataReq(bool) override { return true; }
    bool sendEditorAllData(bool) override { return true; }
    bool send1TemplateDataParamChange(int, int) override { return true; }
    bool sendStoreMessage() override { return true; }
    bool enqueueStoreToFlash() override { return true; }
    void clearTransmitQueue(bool) override {}
    long queued = 0;
};

struct NullDecoder : DecoderLink {
    void incrementTransmitedBulkCounter() override {}
    void incrementTransmitedBulkReqCounter() override {}
    void clearTransmitedBulkCounter() override {}
    void clearTransmitedBulkReqCounter() override {}
};

struct BenchProvider : RouteProvider {
    DecoderLink* openInput(RemoteMemAPI&, int, int) override { return &decoder; }
    EncoderLink* openOutput(RemoteMemAPI&, int) override { return &encoder; }
    void closeRoute() override {}
    QStringList getInputPortList() override { return {}; }
    QStringList getOutputPortList() override { return {}; }
    CountingEncoder encoder;
    NullDecoder decoder;
};

void BM_MemoryNumericWriteOnline(benchmark::State& state)
{
    RemoteMemAPI api;
    api.setRouteProvider(std::make_unique<BenchProvider>());
    api.createMIDIComunicationRoute(0, 1, 1);
    api.setONLINEstate(1);
    std::vector<ParamAddress> addresses;
    std::vector<std::unique_ptr<NullObserver>> observers;
    registerObservers(api, addresses, observers, 600);
    long i = 0;
    for (auto _ : state) {
        const ParamAddress address(0, int(i % 50), int(i % 12), 1);
        benchmark::DoNotOptimize(api.setParam(address, (i / 300) % 2 ? 1L : 2L));
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemoryNumericWriteOnline);

void BM_MemoryCopyBank(benchmark::State& state)
{
    RemoteMemAPI api;
    std::vector<ParamAddress> addresses;
    std::vector<std::unique_ptr<NullObserver>> observers;
    registerObservers(api, addresses, observers, 600);
    for (auto _ : state)
        benchmark::DoNotOptimize(api.copyBank(2, 0));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MemoryCopyBank);

} // namespace
