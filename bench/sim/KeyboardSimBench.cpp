// How fast the simulated keyboard answers: one template dump, a whole backup
// (100 requests), and taking a template dump in.
#include "sim/KeyboardSim.h"

#include <benchmark/benchmark.h>

using namespace sim;

namespace {

std::vector<Bytes> editorDump(int t)
{
    SimTemplate data;
    data.setTemplateName("Bench");
    std::vector<Bytes> out;
    out.push_back(makeBulk(0, kModelEditor, 0x0E, kKindEditBuffer, std::uint8_t(t), nullptr, 0));
    for (int block = 0; block <= 12; ++block) {
        out.push_back(makeBulk(0, kModelEditor, 0x01, block ? std::uint8_t(0x0F + block) : 0, 0,
                               data.image().data() + SimTemplate::blockOffset(block),
                               std::size_t(SimTemplate::blockSize(block))));
    }
    out.push_back(makeBulk(0, kModelEditor, 0x0F, kKindEditBuffer, std::uint8_t(t), nullptr, 0));
    return out;
}

} // namespace

static void BM_AnswerOneBulkRequest(benchmark::State& state)
{
    KeyboardSim keyboard;
    const Bytes request = makeBulkRequest(0, kKindStored, 7);
    for (auto _ : state) {
        auto out = keyboard.receive(kCommunicationPort, request);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations() * 15);
}
BENCHMARK(BM_AnswerOneBulkRequest);

static void BM_AnswerWholeBackup(benchmark::State& state)
{
    KeyboardSim keyboard;
    std::vector<Bytes> requests;
    for (std::uint8_t kind : {kKindStored, kKindEditBuffer}) {
        for (int t = 0; t < kTemplateCount; ++t) requests.push_back(makeBulkRequest(0, kind, t));
    }
    for (auto _ : state) {
        std::size_t messages = 0;
        for (const auto& r : requests) messages += keyboard.receive(kCommunicationPort, r).size();
        benchmark::DoNotOptimize(messages);
    }
    state.SetItemsProcessed(state.iterations() * 100);
    state.SetLabel("items = templates");
}
BENCHMARK(BM_AnswerWholeBackup)->Unit(benchmark::kMicrosecond);

static void BM_TakeInOneDump(benchmark::State& state)
{
    KeyboardSim keyboard;
    const auto dump = editorDump(3);
    for (auto _ : state) {
        std::size_t answers = 0;
        for (const auto& m : dump) answers += keyboard.receive(kCommunicationPort, m).size();
        benchmark::DoNotOptimize(answers);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TakeInOneDump);
