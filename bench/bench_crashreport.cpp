// Crash-reporter benchmarks: loading our own debug information from the embedded section.
#include "crashreport/logic/VostMapFile.h"

#include <benchmark/benchmark.h>

namespace {

// What DebugInfoForAddress does on a cache miss for the program: find the module, read the
// section, decipher, inflate and parse the tables.
void BM_LoadOwnDebugInfo(benchmark::State& state)
{
    const auto snapshot = TakeMemorySnapshot();
    TModuleInfo program;
    if (!FindProgramModule(*snapshot, program)) {
        state.SkipWithError("no program module");
        return;
    }
    size_t publics = 0;
    for (auto _ : state) {
        const TMapFile map(&program, program.FileName);
        if (!map.Valid() || map.Source() != TDebugSource::Embedded) {
            state.SkipWithError("no embedded debug information");
            return;
        }
        publics = map.Publics().size();
        benchmark::DoNotOptimize(publics);
    }
    state.counters["publics"] = double(publics);
}
BENCHMARK(BM_LoadOwnDebugInfo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(false);

// The same for the editor's executable, the largest of our files (read from its file, at base 0).
void BM_LoadTarvellDebugInfo(benchmark::State& state)
{
    TModuleInfo tarvell;
    tarvell.FileName = TARVELL_EXE;
    size_t publics = 0, lines = 0;
    for (auto _ : state) {
        const TMapFile map(&tarvell, tarvell.FileName);
        if (!map.Valid() || map.Source() != TDebugSource::Embedded) {
            state.SkipWithError("no embedded debug information in " TARVELL_EXE);
            return;
        }
        publics = map.Publics().size();
        lines = map.Lines().size();
        benchmark::DoNotOptimize(publics);
    }
    state.counters["publics"] = double(publics);
    state.counters["lines"] = double(lines);
}
BENCHMARK(BM_LoadTarvellDebugInfo)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(false);

// A lookup of a cached module: address to unit, function and line.
void BM_DescribeAddress(benchmark::State& state)
{
    const uintptr_t address = uintptr_t(&BM_LoadOwnDebugInfo) + 4;
    std::string file, unit, name;
    uintptr_t start = 0;
    int32_t line = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(DescribeAddress(address, file, unit, name, start, line));
}
BENCHMARK(BM_DescribeAddress)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
