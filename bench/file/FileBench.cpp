// Saving and loading a full bank file (50 templates and 50 edit buffers).
#include "editor/file/EditorData.h"
#include "editor/file/EditorFile.h"
#include "editor/memory/ParamAddress.h"
#include "editor/memory/RemoteMemAPI.h"

#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void fill(RemoteMemAPI& api, int bank)
{
    for (int t = 0; t < ParamAddress::TemplateCount; ++t) {
        api.setParam(ParamAddress(bank, t, ParamAddress::ControllerTemplateName, -1), QString("Template %1").arg(t));
        api.setParam(ParamAddress(bank, t, ParamAddress::ControllerVSTiName, -1), QString("Synth%1").arg(t));
        for (int k = 0; k < ParamAddress::ControllerCount; ++k) {
            api.setParam(ParamAddress(bank, t, k, 0), QString("Knob %1-%2").arg(t).arg(k));
            api.setParam(ParamAddress(bank, t, k, 1), long((t + k) % 128));
            api.setParam(ParamAddress(bank, t, k, 3), QString("0%1").arg(t * 12 + k, 8, 16, QChar('0')));
        }
    }
}

void BM_SaveFullBank(benchmark::State& state)
{
    QTemporaryDir dir;
    RemoteMemAPI api;
    fill(api, 0);
    fill(api, 1);
    const QString path = dir.filePath("bench.X5R");
    for (auto _ : state) {
        if (!EditorFile::save(&api, 1, path))
            state.SkipWithError("save failed");
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_SaveFullBank)->Unit(benchmark::kMillisecond);

void BM_LoadFullBank(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.X5R");
    {
        RemoteMemAPI source;
        fill(source, 0);
        fill(source, 1);
        EditorFile::save(&source, 1, path);
    }
    RemoteMemAPI api;
    while (api.getQuantityOfBank() < 9)
        api.createBank();
    for (auto _ : state) {
        // Start each load from default banks so every value is really written.
        state.PauseTiming();
        api.copyBank(2, 1);
        api.copyBank(2, 0);
        state.ResumeTiming();
        if (!EditorFile::load(&api, 1, path, true))
            state.SkipWithError("load failed");
    }
    state.SetItemsProcessed(state.iterations() * 100);
}
BENCHMARK(BM_LoadFullBank)->Unit(benchmark::kMillisecond);

void BM_TemplateClipboardRoundTrip(benchmark::State& state)
{
    RemoteMemAPI api;
    fill(api, 5);
    for (auto _ : state) {
        const QByteArray data = EditorData::getTemplateMimeData(&api, 5, 7);
        benchmark::DoNotOptimize(EditorData::pasteTemplateMimeData(&api, data, 4, 7));
    }
}
BENCHMARK(BM_TemplateClipboardRoundTrip)->Unit(benchmark::kMicrosecond);

} // namespace
