// The cost of the interposed throw (the record of the throw address and the raw stack) with 50
// frames of stack below the throw: build/bench/tarvell-bench-throw.
#include "crashreport/logic/VostCppSupport.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <stdexcept>

namespace {

volatile int Sink = 0;

__attribute__((noinline)) void AtDepth(int depth, const std::function<void()>& body)
{
    if (depth == 0)
        body();
    else
        AtDepth(depth - 1, body);
    Sink = Sink + 1;
}

// A throw caught where it is thrown, 50 frames deep: the recording and the system's throw.
void BM_InterposedThrowAt50Frames(benchmark::State& state)
{
    AtDepth(50, [&] {
        for (auto _ : state) {
            try {
                throw std::runtime_error("bench");
            } catch (const std::exception& e) {
                benchmark::DoNotOptimize(&e);
            }
        }
    });
}
BENCHMARK(BM_InterposedThrowAt50Frames)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(false);

// The same throw unwound through all 50 frames to its catch.
void BM_InterposedThrowThrough50Frames(benchmark::State& state)
{
    const std::function<void()> thrower = [] { throw std::runtime_error("bench"); };
    for (auto _ : state) {
        try {
            AtDepth(50, thrower);
        } catch (const std::exception& e) {
            benchmark::DoNotOptimize(&e);
        }
    }
}
BENCHMARK(BM_InterposedThrowThrough50Frames)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(false);

// The recording alone, 50 frames deep: what the interposition adds to every throw.
void BM_RecordThrowAt50Frames(benchmark::State& state)
{
    static const int object = 0;
    AtDepth(50, [&] {
        for (auto _ : state)
            RecordThrow(&object, &typeid(int), reinterpret_cast<uintptr_t>(&AtDepth));
    });
}
BENCHMARK(BM_RecordThrowAt50Frames)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(false);

} // namespace

BENCHMARK_MAIN();
