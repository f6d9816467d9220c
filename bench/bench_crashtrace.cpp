// Decoder speed and stack-trace times of the crash reporter: build/bench/tarvell-bench-trace.
// Prints the decoding rate over this program's own code (best of 5), the first trace of a
// depth-20 stack in this process (cold: modules, debug information and analyses are read now) and
// the best of 5 further traces (warm).
#include "crashreport/logic/VostDisAsm.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostStackTrace.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;
volatile int Sink = 0;
std::string Trace;
double ColdMs = 0, WarmMs = 1e9;

double MsSince(TClock::time_point start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

__attribute__((noinline)) void TraceHere()
{
    for (int run = 0; run < 6; ++run) {
        const auto start = TClock::now();
        Trace = TraceStack({}).Text;
        const double ms = MsSince(start);
        if (run == 0)
            ColdMs = ms;
        else if (ms < WarmMs)
            WarmMs = ms;
    }
}

// Twenty distinct functions, each calling the next.
template <int N>
__attribute__((noinline)) void Depth()
{
    if constexpr (N == 0)
        TraceHere();
    else
        Depth<N - 1>();
    Sink = Sink + N;
}

} // namespace

int main()
{
    Depth<19>();
    size_t lines = 0;
    for (char c : Trace)
        lines += c == '\n';
    std::printf("trace of depth 20 (%zu lines): cold %.1f ms, warm %.2f ms (best of 5)\n", lines + 1, ColdMs, WarmMs);

    // Decoding: a linear sweep over a copy of our own code.
    const auto snapshot = TakeMemorySnapshot();
    TModuleInfo program;
    if (!FindProgramModule(*snapshot, program))
        return 1;
    std::vector<uint8_t> code(program.CodeEnd - program.CodeStart);
    if (!SafeRead(program.CodeStart, code.data(), code.size(), snapshot.get()))
        return 1;
    TBufferCodeReader reader(program.CodeStart, code);
    double best = 0;
    size_t instructions = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = TClock::now();
        instructions = 0;
        for (uintptr_t at = program.CodeStart; at < program.CodeEnd;) {
            const TDecodedInstruction d = DecodeInstruction(reader, TDisAsmMode::Mode64, at);
            at += d.Valid ? d.Length() : 1;
            ++instructions;
        }
        const double seconds = MsSince(start) / 1000;
        best = std::max(best, code.size() / seconds / 1e6);
    }
    std::printf("decoding: %.1f MB/s (%zu bytes, %zu instructions, best of 5)\n", best, code.size(), instructions);
    return 0;
}
