// The stack tracer on live stacks of this test, against glibc's backtrace().
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostSignals.h"
#include "crashreport/logic/VostStackTrace.h"

#include <QObject>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <QByteArray>

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
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
// Optimised in every build type: an unoptimised build makes no tail call.
// clang has no per-function optimisation level: under clang this needs an optimised build.
#if defined(__clang__)
#define TARVELL_OPTIMISED __attribute__((noinline))
#else
#define TARVELL_OPTIMISED __attribute__((noinline, optimize("O2")))
#endif
TARVELL_OPTIMISED void TailCaller(int x) { TailCallee(x + 1); }
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

// A return address after an indirect call, left behind on the stack as a static initialiser leaves
// one in the start code's frame before main runs.
uintptr_t StaleIndirect = 0;
__attribute__((noinline)) void CallThrough(void (*f)())
{
    f();
    Sink = Sink + 1;
}
__attribute__((noinline)) void RecordIndirectReturn() { StaleIndirect = reinterpret_cast<uintptr_t>(__builtin_return_address(0)); }
// Plants the address in a slot of the start code's frame right above main's return slot, traces,
// and puts the slot back.
__attribute__((noinline)) void CaptureBelowMain(int slotsAboveMain)
{
    auto* e = static_cast<uintptr_t*>(__builtin_frame_address(0));
    for (size_t guard = 0; guard < 1000 && e[0] > reinterpret_cast<uintptr_t>(e); ++guard)
        e = reinterpret_cast<uintptr_t*>(e[0]);
    // e: main's frame, the outermost with a frame pointer; e[1] its return slot. A slot that
    // points into a loaded object may be a real return slot: it is left alone.
    uintptr_t* slot = e + 2 + slotsAboveMain;
    const uintptr_t kept = *slot;
    Dl_info info {};
    if (dladdr(reinterpret_cast<void*>(kept), &info))
        return;
    *slot = StaleIndirect;
    Current->Trace = TraceStack({}).Text;
    *slot = kept;
    Sink = Sink + 1;
}

// A trace with the request the test sets; the crash-thread tests fill in the addresses.
TTraceRequest Request;
std::string Traced;
// With ExceptionAddress 1 the trace takes the return address into Inner1 that Inner2's frame
// holds (frame pointers: this frame, then Inner3's, then Inner2's).
__attribute__((noinline)) void CaptureWithRequest()
{
    TTraceRequest request = Request;
    if (request.ExceptionAddress == 1) {
        const auto* own = static_cast<const uintptr_t*>(__builtin_frame_address(0));
        const auto* inner3 = reinterpret_cast<const uintptr_t*>(own[0]);
        const auto* inner2 = reinterpret_cast<const uintptr_t*>(inner3[0]);
        request.ExceptionAddress = inner2[1];
    }
    Traced = TraceStack(request).Text;
    Sink = Sink + 1;
}
__attribute__((noinline)) void Inner3() { CaptureWithRequest(); Sink = Sink + 1; }
__attribute__((noinline)) void Inner2() { Inner3(); Sink = Sink + 1; }
__attribute__((noinline)) void Inner1() { Inner2(); Sink = Sink + 1; }

// The return address into Inner1 that Inner2's frame holds, as a crash inside Inner1 would leave it.
uintptr_t ReturnIntoInner1 = 0;
__attribute__((noinline)) void RecordInner2() { ReturnIntoInner1 = reinterpret_cast<uintptr_t>(__builtin_return_address(0)); }
__attribute__((noinline)) void Probe1() { RecordInner2(); Sink = Sink + 1; }

std::vector<TRawStackItem> Raw;
__attribute__((noinline)) void CollectHere()
{
    CollectRawStack(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)), Raw);
    Sink = Sink + 1;
}
__attribute__((noinline)) void Collect2() { CollectHere(); Sink = Sink + 1; }
__attribute__((noinline)) void Collect1() { Collect2(); Sink = Sink + 1; }

// The worker thread's wait, with the return address into its caller recorded: a crash there
// would have left it as the exception address.
uintptr_t WorkerReturn = 0;
__attribute__((noinline)) void WorkerWait(const std::function<void()>& wait)
{
    WorkerReturn = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
    wait();
    Sink = Sink + 1;
}
__attribute__((noinline)) void WorkerBody(const std::function<void()>& wait)
{
    WorkerWait(wait);
    Sink = Sink + 1;
}

// Return addresses of two functions, to plant in memory that is no stack.
__attribute__((noinline)) uintptr_t ReturnAddress() { return reinterpret_cast<uintptr_t>(__builtin_return_address(0)); }
__attribute__((noinline)) uintptr_t ScanMarkNear() { const uintptr_t a = ReturnAddress(); Sink = Sink + 1; return a; }
__attribute__((noinline)) uintptr_t ScanMarkFar() { const uintptr_t a = ReturnAddress(); Sink = Sink + 1; return a; }

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
        // Capture itself shows where it traces, not where it called backtrace().
        if (DescribeAddress(f - 1, module, unit, name, start, line) && line > 0 && !unit.empty()
            && name != "TraceFixture.Capture")
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

// A stale return address in the start code's frame, below main, makes up no caller of main: main's
// caller is the C library's start.
TEST(StackTrace, StaleAddressBelowMain)
{
    TraceFixture::CallThrough(TraceFixture::RecordIndirectReturn);
    ASSERT_NE(TraceFixture::StaleIndirect, 0u);
    int planted = 0;
    for (int k = 0; k < 12; ++k) {
        SCOPED_TRACE(k);
        const auto c = CaptureIn([k] { TraceFixture::CaptureBelowMain(k); });
        if (c.Trace.empty())
            continue;
        ++planted;
        EXPECT_EQ(CountFunction(c.Trace, "TraceFixture.CallThrough"), 0u) << c.Trace;
        const std::vector<std::string> lines = Lines(c.Trace);
        const auto atMain = std::find_if(lines.begin(), lines.end(),
            [](const std::string& l) { return l.size() > 5 && l.compare(l.size() - 5, 5, " main") == 0; });
        ASSERT_NE(atMain, lines.end()) << c.Trace;
        ASSERT_NE(atMain + 1, lines.end()) << c.Trace;
        EXPECT_NE(atMain[1].find(" __libc_start_main"), std::string::npos) << c.Trace;
    }
    EXPECT_GT(planted, 0);
}

namespace {

std::string TraceWith(const TTraceRequest& request)
{
    TraceFixture::Request = request;
    TraceFixture::Inner1();
    return TraceFixture::Traced;
}

} // namespace

// Hidden lineless frames, relative addresses and relative lines change the columns only.
TEST(StackTrace, Columns)
{
    TTraceRequest plain;
    const std::string all = TraceWith(plain);
    TTraceRequest hide;
    hide.HideLineless = true;
    const std::string hidden = TraceWith(hide);
    EXPECT_NE(all.find("testing.Test.Run"), std::string::npos) << all;
    EXPECT_EQ(hidden.find("testing.Test.Run"), std::string::npos) << hidden;
    EXPECT_EQ(CountFunction(hidden, "TraceFixture.Inner2"), 1u) << hidden;
    EXPECT_EQ(CountFunction(hidden, "main"), 1u) << hidden;

    TTraceRequest relative;
    relative.HideLineless = true;
    relative.RelativeAddresses = true;
    relative.RelativeLines = true;
    for (const std::string& line : Lines(TraceWith(relative))) {
        ASSERT_GT(line.size(), 18u);
        EXPECT_EQ(line[17], '+') << line;
        if (line.find("TraceFixture.Inner2") != std::string::npos) {
            // Inner2's call of Inner3 lies on the function's first line: relative line +0.
            EXPECT_NE(line.find(" +0 "), std::string::npos) << line;
        }
    }
}

// On the crashed thread the scan stops at the slot holding the exception address: nothing of
// what ran after it shows.
TEST(StackTrace, CrashedThreadStopsAtTheExceptionAddress)
{
    TraceFixture::Probe1();
    // The return address into Probe1 after its call: a place in Probe1, as the fault address.
    TTraceRequest crash;
    crash.CrashedThread = true;
    crash.ExceptionAddress = TraceFixture::ReturnIntoInner1;
    crash.HideLineless = true;
    const std::string text = TraceWith(crash);
    // The address is not on this stack: the whole stack is scanned, and the sure item leads.
    const std::vector<std::string> lines = Lines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("TraceFixture.Probe1"), std::string::npos) << text;

    // The return address into Inner1 lies on the stack: the scan stops at its slot, and the
    // frames that ran after it do not show.
    TTraceRequest stop;
    stop.CrashedThread = true;
    stop.HideLineless = true;
    stop.ExceptionAddress = 1;
    const std::string stopped = TraceWith(stop);
    const std::vector<std::string> stoppedLines = Lines(stopped);
    ASSERT_FALSE(stoppedLines.empty());
    EXPECT_NE(stoppedLines[0].find("TraceFixture.Inner1"), std::string::npos) << stopped;
    for (const char* f : { "TraceFixture.Inner2", "TraceFixture.Inner3", "TraceFixture.CaptureWithRequest" })
        EXPECT_EQ(CountFunction(stopped, f), 0u) << f << "\n" << stopped;
    EXPECT_EQ(CountFunction(stopped, "main"), 1u) << stopped;
}

TEST(StackTrace, UnreadableRangeGivesEmptyText)
{
    TTraceRequest r;
    r.StackPointer = 0x1000;
    r.StackTop = 0x3000;
    r.StackSize = 0x2000;
    EXPECT_EQ(TraceStack(r).Text, "");
}

// A stack size far below the mapping limits the scan, however large the mapping is.
TEST(StackTrace, ScanStopsAtTheStackSize)
{
    TTraceRequest small;
    small.StackTop = CurrentStackTop() + (1u << 30);
    small.StackSize = 512;
    const std::string text = TraceWith(small);
    EXPECT_EQ(CountFunction(text, "main"), 0u) << text;
    EXPECT_NE(text.find("TraceFixture.CaptureWithRequest"), std::string::npos) << text;
}

// A stack pointer in a mapping that is no known stack (8 MB of anonymous memory): the scan reads
// its innermost 64 KiB only, not the megabytes a heap has above it.
TEST(StackTrace, StackPointerOutsideEveryStackScansLittle)
{
    constexpr size_t Size = 8u << 20;
    void* block = mmap(nullptr, Size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(block, MAP_FAILED);
    auto* words = static_cast<uintptr_t*>(block);
    words[32 * 1024 / sizeof(uintptr_t)] = TraceFixture::ScanMarkNear();
    words[(Size - 4096) / sizeof(uintptr_t)] = TraceFixture::ScanMarkFar();
    for (const bool withSize : { false, true }) {
        TTraceRequest r;
        r.StackPointer = reinterpret_cast<uintptr_t>(block);
        r.StackTop = r.StackPointer + Size;
        // A size that does not hold the pointer names no stack either.
        r.StackSize = withSize ? 65536 : 0;
        r.ExceptionAddress = 1;
        r.CrashedThread = true;
        const uint32_t beats = VostSignalShared::Heartbeat.load();
        const std::string text = TraceStack(r).Text;
        // Every slot offered tells the crash reporter's guard that the work goes on.
        EXPECT_GE(VostSignalShared::Heartbeat.load() - beats, 2u);
        EXPECT_NE(text.find("TraceFixture.ScanMarkNear"), std::string::npos) << withSize << "\n" << text;
        EXPECT_EQ(text.find("TraceFixture.ScanMarkFar"), std::string::npos) << withSize << "\n" << text;
    }
    munmap(block, Size);
}

// Another thread's stack, its stack pointer given in the guard page below it (a stack overflow):
// the scan starts at the first readable page, and stops at the exception address.
TEST(StackTrace, OtherThreadFromTheGuardPage)
{
    std::mutex m;
    std::condition_variable cv;
    bool ready = false, done = false;
    uintptr_t top = 0, guard = 0;
    std::thread worker([&] {
        uintptr_t size = 0;
        top = CurrentStackTop(&size);
        pthread_attr_t attr;
        pthread_getattr_np(pthread_self(), &attr);
        size_t guardSize = 0;
        pthread_attr_getguardsize(&attr, &guardSize);
        pthread_attr_destroy(&attr);
        guard = top - size - (guardSize ? guardSize : 4096) + 16;
        TraceFixture::WorkerBody([&] {
            std::unique_lock<std::mutex> lock(m);
            ready = true;
            cv.notify_all();
            cv.wait(lock, [&] { return done; });
        });
    });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return ready; });
    }
    TTraceRequest other;
    other.StackPointer = guard;
    other.StackTop = top;
    other.ExceptionAddress = TraceFixture::WorkerReturn;
    other.CrashedThread = true;
    other.OsException = true;
    const std::string text = TraceStack(other).Text;
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_all();
    worker.join();
    const std::vector<std::string> lines = Lines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("TraceFixture.WorkerBody"), std::string::npos) << text;
    EXPECT_EQ(CountFunction(text, "TraceFixture.WorkerWait"), 0u) << text;
    EXPECT_EQ(CountFunction(text, "main"), 0u) << text;
}

// The quick collection keeps what a later trace needs: its list traced elsewhere shows the
// frames of the place it was collected at.
TEST(StackTrace, PreCollectedList)
{
    TraceFixture::Collect1();
    ASSERT_FALSE(TraceFixture::Raw.empty());
    EXPECT_TRUE(std::any_of(TraceFixture::Raw.begin(), TraceFixture::Raw.end(),
        [](const TRawStackItem& i) { return i.OnChain != 0; }));
    TTraceRequest r;
    r.PreCollected = &TraceFixture::Raw;
    r.HideLineless = true;
    const std::string text = TraceStack(r).Text;
    EXPECT_EQ(CountFunction(text, "TraceFixture.Collect1"), 1u) << text;
    EXPECT_EQ(CountFunction(text, "TraceFixture.Collect2"), 1u) << text;
}

TEST(StackTrace, DescribeCodeAddressAndInternalError)
{
    const uintptr_t inner2 = reinterpret_cast<uintptr_t>(&TraceFixture::Inner2);
    const std::string text = DescribeCodeAddress(inner2);
    EXPECT_EQ(text.substr(0, 16).size(), 16u);
    EXPECT_NE(text.find(" tarvell_crashreport_tests test_VostStackTrace.cpp "), std::string::npos) << text;
    EXPECT_NE(text.find(" TraceFixture.Inner2"), std::string::npos) << text;
    EXPECT_EQ(DescribeCodeAddress(0x10), "0000000000000010 ???");
    // An address in a library without our debug information names the library.
    const uintptr_t libc = reinterpret_cast<uintptr_t>(&::getpid);
    EXPECT_NE(DescribeCodeAddress(libc).find(" libc.so"), std::string::npos) << DescribeCodeAddress(libc);
    EXPECT_EQ(InternalErrorText("InDeepChecks"), ">> internal error in InDeepChecks");
}

namespace {

class TRecordingSink : public TTraceProgressSink {
public:
    std::vector<int> Shown;
    int Closed = 0;
    void Show(uint32_t permille) override { Shown.push_back(static_cast<int>(permille)); }
    void Close() override { ++Closed; }
};

} // namespace

// The window appears once 750 ms have passed with less than half done, then shows the rest of
// the work from there.
TEST(StackTrace, ProgressWindow)
{
    TRecordingSink sink;
    uint32_t now = 1000;
    {
        TTraceProgress progress(&sink, [&] { return now; });
        progress.AddWork(1000);
        progress.AddWork(1000);
        progress.SetPosition(100);
        EXPECT_TRUE(sink.Shown.empty()) << "not before 750 ms";
        now += 751;
        progress.SetPosition(200); // position 200 of 2000
        ASSERT_EQ(sink.Shown, std::vector<int> { 0 });
        progress.SetPosition(1000); // position 1000: (1000 - 200) / 1800
        EXPECT_EQ(sink.Shown.back(), 444);
        progress.NextEntry();
        progress.SetPosition(500); // 1500
        EXPECT_EQ(sink.Shown.back(), 722);
        EXPECT_TRUE(progress.WindowShown());
    }
    EXPECT_EQ(sink.Closed, 1);

    TRecordingSink late;
    now = 0;
    {
        TTraceProgress progress(&late, [&] { return now; });
        progress.AddWork(100);
        progress.SetPosition(600);
        now = 5000;
        progress.SetPosition(700);
        EXPECT_TRUE(late.Shown.empty()) << "more than half was done before 750 ms";
    }
    EXPECT_EQ(late.Closed, 0);
}
