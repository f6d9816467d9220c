// The stack tracer on live stacks of this test, against glibc's backtrace().
#include "crashreport/VostMapFile.h"
#include "crashreport/VostMemory.h"
#include "crashreport/VostStackTrace.h"

#include <QObject>

#include <gtest/gtest.h>

#include <execinfo.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

// The fixture's call chains: no inlining, and work after each call so that no call becomes a jump
// (except where a tail call is wanted).
namespace TraceFixture {

volatile int Sink = 0;

struct TCapture {
    std::string Trace;
    std::vector<uintptr_t> Frames; // backtrace(), innermost first
};
TCapture* Current = nullptr;

__attribute__((noinline)) void Capture()
{
    void* frames[128];
    const int n = backtrace(frames, 128);
    // frames[0] is Capture itself.
    for (int i = 1; i < n; ++i)
        Current->Frames.push_back(reinterpret_cast<uintptr_t>(frames[i]));
    Current->Trace = TraceStack({}).Text;
    Sink = Sink + 1;
}

__attribute__((noinline)) void Level4() { Capture(); Sink = Sink + 1; }
__attribute__((noinline)) void Level3() { Level4(); Sink = Sink + 1; }
__attribute__((noinline)) void Level2() { Level3(); Sink = Sink + 1; }
__attribute__((noinline)) void Level1() { Level2(); Sink = Sink + 1; }

__attribute__((noinline)) void Recurse(int depth)
{
    if (depth == 0)
        Capture();
    else
        Recurse(depth - 1);
    Sink = Sink + 1;
}

__attribute__((noinline)) bool CompareAndCapture(int a, int b)
{
    if (!Current->Trace.size())
        Capture();
    return a < b;
}
__attribute__((noinline)) void SortWithCallback()
{
    std::vector<int> values { 5, 3, 9, 1, 7, 2, 8 };
    std::sort(values.begin(), values.end(), CompareAndCapture);
    Sink = Sink + values[0];
}

__attribute__((noinline)) void SlotBody() { Capture(); Sink = Sink + 1; }
__attribute__((noinline)) void EmitSignal()
{
    QObject object;
    QObject::connect(&object, &QObject::objectNameChanged, [] { SlotBody(); });
    object.setObjectName(QStringLiteral("traced"));
    Sink = Sink + 1;
}

__attribute__((noinline)) void TailCallee(int x) { Capture(); Sink = Sink + x; }
// A sibling call: this frame leaves the stack before the callee runs.
__attribute__((noinline)) void TailCaller(int x) { TailCallee(x + 1); }
__attribute__((noinline)) void TailCallRoot() { TailCaller(Sink); Sink = Sink + 1; }

uintptr_t StaleAddress = 0;
__attribute__((noinline)) void RecordReturn() { StaleAddress = reinterpret_cast<uintptr_t>(__builtin_return_address(0)); }
__attribute__((noinline)) void StaleOwner() { RecordReturn(); Sink = Sink + 1; }
__attribute__((noinline)) void PlantedLevel()
{
    // Return addresses into a function that is not on the stack, where a return address could be.
    volatile uintptr_t planted[6] = { StaleAddress, StaleAddress, StaleAddress, StaleAddress, StaleAddress, StaleAddress };
    Level3();
    Sink = Sink + static_cast<int>(planted[0] & 1);
}

} // namespace TraceFixture

namespace {

struct TExpected {
    std::string Unit, Function;
    int Line;
};

// The frames of backtrace() that our debug information knows with a line.
std::vector<TExpected> OurFrames(const std::vector<uintptr_t>& frames)
{
    std::vector<TExpected> out;
    for (uintptr_t f : frames) {
        std::string module, unit, name;
        uintptr_t start = 0;
        int32_t line = 0;
        if (DescribeAddress(f - 1, module, unit, name, start, line) && line > 0 && !unit.empty())
            out.push_back({ unit, name, line });
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool LineShows(const std::string& line, const TExpected& e)
{
    const std::string tail = " " + e.Function;
    return line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0
        && line.find(" " + e.Unit + " ") != std::string::npos
        && line.find(" " + std::to_string(e.Line) + " ") != std::string::npos;
}

// Every frame of ours that backtrace() lists shows, in order, with unit, function and line;
// innermost frames first in both.
void ExpectFramesInOrder(const TraceFixture::TCapture& c, size_t skipLinesOfInnermost = 0)
{
    const std::vector<std::string> lines = Lines(c.Trace);
    const std::vector<TExpected> expected = OurFrames(c.Frames);
    ASSERT_FALSE(expected.empty());
    size_t at = 0;
    for (size_t i = skipLinesOfInnermost; i < expected.size(); ++i) {
        const TExpected& e = expected[i];
        size_t found = at;
        while (found < lines.size() && !LineShows(lines[found], e))
            ++found;
        ASSERT_LT(found, lines.size()) << "missing " << e.Unit << " " << e.Line << " " << e.Function << " in\n"
                                       << c.Trace;
        at = found + 1;
    }
}

size_t CountFunction(const std::string& trace, const std::string& function)
{
    size_t n = 0;
    for (const std::string& line : Lines(trace))
        if (line.size() >= function.size() + 1 && line.compare(line.size() - function.size() - 1, function.size() + 1,
                                                       " " + function) == 0)
            ++n;
    return n;
}

template <typename F>
TraceFixture::TCapture CaptureIn(F body)
{
    TraceFixture::TCapture capture;
    TraceFixture::Current = &capture;
    body();
    TraceFixture::Current = nullptr;
    return capture;
}

} // namespace

TEST(StackTrace, NoinlineChain)
{
    const auto c = CaptureIn([] { TraceFixture::Level1(); });
    ExpectFramesInOrder(c);
    for (const char* f : { "TraceFixture.Level1", "TraceFixture.Level2", "TraceFixture.Level3", "TraceFixture.Level4" })
        EXPECT_EQ(CountFunction(c.Trace, f), 1u) << f << "\n" << c.Trace;
}

TEST(StackTrace, RecursionShowsOnce)
{
    const auto c = CaptureIn([] { TraceFixture::Recurse(12); });
    const std::vector<std::string> lines = Lines(c.Trace);
    // The call of Capture and one copy of the recursive call.
    EXPECT_EQ(CountFunction(c.Trace, "TraceFixture.Recurse"), 2u) << c.Trace;
    EXPECT_GE(std::count(c.Frames.begin(), c.Frames.end(), c.Frames[1]), 1);
}

TEST(StackTrace, CallbackThroughSort)
{
    const auto c = CaptureIn([] { TraceFixture::SortWithCallback(); });
    ExpectFramesInOrder(c);
}

TEST(StackTrace, CallbackThroughQtSignal)
{
    const auto c = CaptureIn([] { TraceFixture::EmitSignal(); });
    ExpectFramesInOrder(c);
    EXPECT_NE(c.Trace.find("libQt6Core"), std::string::npos) << c.Trace;
}

TEST(StackTrace, TailCall)
{
    const auto c = CaptureIn([] { TraceFixture::TailCallRoot(); });
    ExpectFramesInOrder(c);
    EXPECT_EQ(CountFunction(c.Trace, "TraceFixture.TailCaller"), 0u) << c.Trace;
}

TEST(StackTrace, PlantedStaleReturnAddresses)
{
    TraceFixture::StaleOwner();
    ASSERT_NE(TraceFixture::StaleAddress, 0u);
    const auto c = CaptureIn([] { TraceFixture::PlantedLevel(); });
    ExpectFramesInOrder(c);
    EXPECT_EQ(CountFunction(c.Trace, "TraceFixture.StaleOwner"), 0u) << c.Trace;
}
