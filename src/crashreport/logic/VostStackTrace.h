// The stack tracer: turns the raw stack of a thread into the call stack of a bug report, checking
// every candidate return address by decoding the code around it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A candidate of the quick collection: the address and whether its slot is a frame-pointer
// return slot. Stored with a C++ exception object and given back to the trace.
struct TRawStackItem {
    uint8_t OnChain = 0;
    uintptr_t Address = 0;
};

// Where the progress of long traces goes (the reporter's small progress window).
class TTraceProgressSink {
public:
    virtual ~TTraceProgressSink() = default;
    // Shows the window, or moves it on; value in permille of the work after the window appeared.
    virtual void Show(uint32_t permille) = 0;
    virtual void Close() = 0;
};

// The work of several traces (one entry per thread): the window appears once a trace has run
// longer than 750 ms while less than half is done.
class TTraceProgress {
public:
    explicit TTraceProgress(TTraceProgressSink* sink, std::function<uint32_t()> clock = {});
    ~TTraceProgress();
    TTraceProgress(const TTraceProgress&) = delete;
    TTraceProgress& operator=(const TTraceProgress&) = delete;
    // Appends an entry after the current total.
    void AddWork(uint64_t amount);
    // Permille of the current entry.
    void SetPosition(uint32_t permille);
    // Finishes the current entry and moves on to the next.
    void NextEntry();
    bool WindowShown() const { return FWindowShown; }

private:
    TTraceProgressSink* FSink;
    std::function<uint32_t()> FClock;
    uint32_t FStart = 0;
    std::vector<std::pair<uint64_t, uint64_t>> FEntries; // start, amount
    uint64_t FTotal = 0;
    size_t FCurrent = 0;
    uint64_t FWindowStart = 0;
    bool FWindowShown = false;
};

struct TTraceRequest {
    bool HideLineless = false;
    bool RelativeAddresses = false;
    bool RelativeLines = false;
    // 0 and not the crashed thread: the caller's return address.
    uintptr_t ExceptionAddress = 0;
    bool CrashedThread = false;
    bool OsException = false;
    // 0: the caller's stack position and frame pointer; the stack top of the current thread.
    uintptr_t StackPointer = 0;
    uintptr_t StackTop = 0;
    // The size of the thread's stack, when known (0: the current thread's, or the stack limit).
    uintptr_t StackSize = 0;
    uintptr_t CreatorAddress = 0;
    uintptr_t FramePointer = 0;
    bool SkipChainOptimisation = false;
    bool CppTermination = false;
    const std::vector<TRawStackItem>* PreCollected = nullptr;
    TTraceProgress* Progress = nullptr;
    // Frames of our own that record a throw: the trace of a termination cuts there too.
    std::vector<std::string> ThrowRecordingFrames;
};

struct TTraceResult {
    std::string Text; // empty when the stack range is not wholly readable
    uintptr_t Location = 0;
    uintptr_t FunctionEntry = 0;
};

// The call stack: one line per caller with address, module, unit, line and function, innermost
// first. Never throws: a failing phase gives InternalErrorText of that phase.
TTraceResult TraceStack(const TTraceRequest& request);

// The quick collection only (frame chain and candidate slots, no analysis) over the current
// thread's stack from the caller's position; the list is emptied on an error.
size_t CollectRawStack(uintptr_t framePointer, std::vector<TRawStackItem>& list);

// 16 hexadecimal digits of the address, then module, unit, line and function when it resolves,
// else " ???".
std::string DescribeCodeAddress(uintptr_t address);

std::string InternalErrorText(const std::string& phase);

// The top (one past the highest byte) and size of the current thread's stack, cached per thread.
uintptr_t CurrentStackTop(uintptr_t* size = nullptr);

// Drops the process-wide module and function lists (tests).
void ClearTraceCache();
