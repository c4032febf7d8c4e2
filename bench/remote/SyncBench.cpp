// A whole synchronisation run end to end in one process: the editor's
// memory, protocol and MIDI layers against the simulated keyboard on the
// in-process MIDI service. Receiving all 100 templates (the backup) and
// sending them back (the restore) are what a user waits for.
#include "editor/memory/RemoteMemAPI.h"
#include "editor/midi/KeyboardPortSets.h"
#include "editor/midi/MIDIBackend.h"
#include "editor/midi/virtual/Service.h"
#include "editor/protocol/ComuRouteProvider.h"
#include "editor/protocol/sync/KeyboardSync.h"
#include "sim/KeyboardPorts.h"

#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

using namespace sim;

namespace {

struct Rig {
    KeyboardSim keyboard;
    std::unique_ptr<KeyboardPorts> ports;
    std::unique_ptr<SimRunner> runner;
    std::unique_ptr<RemoteMemAPI> api;

    bool open(int wireRate = 0)
    {
        ZenoMIDI::selectBackend(ZenoMIDI::Backend::Virtual);
        VirtualMIDIService::instance().unplugAll();
        std::string error;
        ports = makeKeyboardPorts("virtual", error);
        if (!ports) return false;
        runner = std::make_unique<SimRunner>(keyboard, *ports, 300);
        runner->setWireRate(wireRate);
        runner->start();
        if (!ports->open(kDefaultKeyboardName, *runner, error)) return false;
        api = std::make_unique<RemoteMemAPI>();
        api->setRouteProvider(std::make_unique<ComuRouteProvider>());
        const auto sets = findKeyboardPortSets(api->getInputPortList(), api->getOutputPortList());
        if (sets.ports.size() != 1) return false;
        const PortInfo& p = sets.ports.front();
        return api->createMIDIComunicationRoute(p.watchInput, p.dataInput, p.output);
    }
    ~Rig()
    {
        api.reset();
        if (ports) ports->close();
        if (runner) runner->stop();
        VirtualMIDIService::instance().unplugAll();
    }
    bool sync(bool sendEditorData, bool editBuffersOnly)
    {
        KeyboardSync run(api.get());
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&run, &KeyboardSync::finished, &loop, [&](bool result) {
            ok = result;
            loop.quit();
        });
        run.start(sendEditorData, editBuffersOnly);
        if (run.isRunning()) loop.exec();
        return ok;
    }
};

} // namespace

long long wireBytes(const Rig& rig)
{
    return rig.runner->bytesReceived() + rig.runner->bytesSent();
}

// A run's time against the cable's: the editor and the keyboard take turns
// (a request, then its dump; a dump, then its acknowledgement), so the bytes
// of both directions add up to the least time a DIN cable allows,
// 3125 bytes a second at 31250 baud.
void reportWire(benchmark::State& state, long long bytes, double seconds)
{
    const int baud = int(state.range(0));
    state.counters["wire_bytes"] = double(bytes) / double(state.iterations());
    if (baud > 0) {
        const double bound = double(bytes) * 10.0 / baud;
        state.counters["x_wire_bound"] = seconds / bound;
    }
}

static void BM_SyncReceiveAllTemplates(benchmark::State& state)
{
    Rig rig;
    if (!rig.open(int(state.range(0)))) {
        state.SkipWithError("the simulated keyboard could not be reached");
        return;
    }
    long long bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        rig.api->setBankAvailableFlag(0, 2);
        rig.api->setBankAvailableFlag(0, 3);
        const long long before = wireBytes(rig);
        const auto start = std::chrono::steady_clock::now();
        if (!rig.sync(false, false)) {
            state.SkipWithError("synchronisation failed");
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bytes += wireBytes(rig) - before;
    }
    reportWire(state, bytes, seconds);
    state.SetItemsProcessed(state.iterations() * 100);
    state.SetLabel("items = templates received");
}
BENCHMARK(BM_SyncReceiveAllTemplates)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SyncReceiveAllTemplates)->Arg(31250)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

static void BM_SyncSendAllTemplates(benchmark::State& state)
{
    Rig rig;
    if (!rig.open(int(state.range(0)))) {
        state.SkipWithError("the simulated keyboard could not be reached");
        return;
    }
    rig.api->setBankAvailableFlag(1, 2); // already received: each run only sends
    long long bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        const long long before = wireBytes(rig);
        const auto start = std::chrono::steady_clock::now();
        if (!rig.sync(true, false)) {
            state.SkipWithError("synchronisation failed");
            return;
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bytes += wireBytes(rig) - before;
    }
    reportWire(state, bytes, seconds);
    state.SetItemsProcessed(state.iterations() * 100);
    state.SetLabel("items = templates sent and acknowledged");
}
BENCHMARK(BM_SyncSendAllTemplates)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SyncSendAllTemplates)->Arg(31250)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
