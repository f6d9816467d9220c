// GPX writing and reading of a million waypoints.
#include "core/uStream.h"
#include "formats/uFormats.h"
#include "model/uModel.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int WaypointCount = 1000000;

std::unique_ptr<TEntries> MakeEntries()
{
    auto entries = std::make_unique<TEntries>();
    entries->Reserve(WaypointCount);
    for (int i = 0; i < WaypointCount; ++i)
        entries->Add("Waypoint number " + std::to_string(i), "", -180.0 + (i % 360000) * 0.001,
                     -90.0 + (i % 180000) * 0.001);
    return entries;
}

const std::string& GpxText()
{
    static const std::string text = [] {
        const std::unique_ptr<TEntries> entries = MakeEntries();
        TMemoryStream stream;
        entries->SaveToStream(stream, QStringLiteral("gpx"), QStringLiteral("gengpx"));
        return stream.TakeData();
    }();
    return text;
}

void BM_GpxWrite(benchmark::State& state)
{
    const std::unique_ptr<TEntries> entries = MakeEntries();
    for (auto _ : state) {
        TMemoryStream stream;
        entries->SaveToStream(stream, QStringLiteral("gpx"), QStringLiteral("gengpx"));
        benchmark::DoNotOptimize(stream.Size());
    }
    state.SetItemsProcessed(state.iterations() * WaypointCount);
}

void BM_GpxRead(benchmark::State& state)
{
    const std::string& text = GpxText();
    for (auto _ : state) {
        TEntries entries;
        TMemoryStream stream(text);
        entries.LoadFromStream(stream, QStringLiteral("gpx"), QStringLiteral("gengpx"), false);
        benchmark::DoNotOptimize(entries.Count());
    }
    state.SetItemsProcessed(state.iterations() * WaypointCount);
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
}

// The list's own share of a read and a write: appending the entries, reading their coordinates.
void BM_EntriesOnly(benchmark::State& state)
{
    for (auto _ : state) {
        const std::unique_ptr<TEntries> entries = MakeEntries();
        double sum = 0;
        for (int i = 0; i < entries->Count(); ++i)
            sum += (*entries)[i].GetLatitude() + (*entries)[i].GetLongitude();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * WaypointCount);
}

BENCHMARK(BM_EntriesOnly)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GpxWrite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_GpxRead)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("TARVELL_CODEPAGE", "1252");
    QCoreApplication app(argc, argv);
    RegisterAllFormats();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
