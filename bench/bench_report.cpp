// A full bug report of a process with eight and with fifty parked threads: every thread traced,
// modules, hardware and the disassembly, as the handling thread composes it (target: a 50-thread
// report under 1 s). build/bench/tarvell-bench-report.
#include "crashreport/logic/VostBoxHelper.h"
#include "crashreport/logic/VostBugReport.h"
#include "crashreport/logic/VostThreads.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

[[gnu::noinline]] void Park(std::mutex& lock, std::condition_variable& wake, const bool& done)
{
    std::unique_lock guard(lock);
    wake.wait(guard, [&] { return done; });
}

void BM_FullReportParkedThreads(benchmark::State& state)
{
    std::mutex lock;
    std::condition_variable wake;
    bool done = false;
    std::vector<std::thread> threads;
    for (int i = 0; i < state.range(0); ++i)
        threads.emplace_back([&, i] {
            SetThreadName(CurrentThreadId(), "parked " + std::to_string(i));
            Park(lock, wake, done);
        });
    // The report runs in its own thread, as in the handling thread, about the main thread's fault.
    ReportedException object(
        "EAccessViolation", "Access violation at address $0000000000401000. Read of address $0000000000000000");
    TComposeRequest request;
    request.ExceptObject = &object;
    request.CrashedThreadId = static_cast<uint32_t>(CurrentThreadId());
    size_t size = 0;
    for (auto _ : state) {
        std::thread composer([&] {
            std::string report;
            ComposeBugReport(request, report);
            size = report.size();
        });
        composer.join();
        benchmark::DoNotOptimize(size);
    }
    state.counters["report bytes"] = double(size);
    {
        const std::lock_guard guard(lock);
        done = true;
    }
    wake.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}
BENCHMARK(BM_FullReportParkedThreads)
    ->Arg(8)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->ReportAggregatesOnly(false);

} // namespace

int main(int argc, char** argv)
{
    InitCrashReporter();
    InstallReportSteps();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    DoneCrashReporter();
    return 0;
}
