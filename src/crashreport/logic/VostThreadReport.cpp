// The thread sections of a bug report.
#include "crashreport/logic/VostThreadReport.h"

#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostThreads.h"

#include <algorithm>

namespace {

struct TSectionPlan {
    pid_t ThreadId = 0;
    bool Crashed = false;
    TThreadContext Context;
    bool HaveContext = false;
    uintptr_t StackTop = 0, StackSize = 0;
};

// The end of the stack that holds sp: the bounds the thread recorded at its start, else the end
// of the mapping (past a guard page that sp may lie in, or above the gap an overflowed stack
// leaves sp in).
void StackBounds(pid_t threadId, uintptr_t sp, const TMemorySnapshot& snapshot, uintptr_t& top, uintptr_t& size)
{
    top = size = 0;
    TThreadNameEntry entry;
    if (GetThreadNameEntry(threadId, entry) && entry.StackTop && entry.StackSize && sp < entry.StackTop
        && sp + entry.StackSize + 65536 >= entry.StackTop) {
        top = entry.StackTop;
        size = entry.StackSize;
        return;
    }
    const auto& regions = snapshot.Regions();
    for (size_t i = 0; i < regions.size(); ++i) {
        if (sp < regions[i].Start || sp >= regions[i].End)
            continue;
        size_t k = i;
        if (!regions[k].Readable && k + 1 < regions.size() && regions[k + 1].Start == regions[k].End)
            ++k;
        // Only the main stack is known by its mapping; any other mapping may be anything (the
        // tracer then reads just its innermost part).
        top = regions[k].End;
        size = regions[k].Path == "[stack]" ? regions[k].End - regions[i].Start : 0;
        return;
    }
    if (const TMemoryRegion* stack = snapshot.StackRegionAbove(sp)) {
        top = stack->End;
        size = stack->Path == "[stack]" ? stack->End - sp : 0;
    }
}

// The creation line as a trace line of its own. Given to the thread's trace as its creator
// address, the chain search loses the frames between the creator and the innermost frame.
std::string CreatorTraceLine(uintptr_t creatorAddress, const TThreadSectionsRequest& request)
{
    const std::vector<TRawStackItem> items { { 1, creatorAddress } };
    TTraceRequest t;
    t.HideLineless = false;
    t.RelativeAddresses = request.RelativeAddresses;
    t.RelativeLines = request.RelativeLines;
    t.SkipChainOptimisation = true;
    t.PreCollected = &items;
    t.CrashedThread = true; // with no exception address: nothing but the one item
    std::string line = TraceStack(t).Text;
    if (line.empty() || line.find("\r\n") != std::string::npos)
        line = DescribeCodeAddress(creatorAddress);
    return line;
}

std::string WithCreatorLine(const std::string& trace, const std::string& creatorTitle)
{
    if (creatorTitle.empty())
        return trace;
    const std::string line = "\r\n>> created by " + creatorTitle + " at:";
    const size_t lastBreak = trace.rfind("\r\n");
    if (lastBreak == std::string::npos)
        return line.substr(2) + "\r\n" + trace;
    return trace.substr(0, lastBreak) + line + trace.substr(lastBreak);
}

} // namespace

std::string ComposeThreadSection(const std::string& title, bool suspended, int priority, const std::string& trace,
                                 const std::string& creatorTitle, bool crashed, const std::string& locationText)
{
    std::string text = "\r\n\r\n" + title + ":";
    if (suspended)
        text += " <suspended>";
    if (priority != 0)
        text += " <priority:" + DecimalText(priority) + ">";
    text += "\r\n";
    if (trace.empty()) {
        text += ">> stack not accessible";
        if (crashed)
            text += ", exception location: \r\n" + locationText;
        return text;
    }
    return text + WithCreatorLine(trace, creatorTitle);
}

TThreadSectionsResult ComposeThreadSections(const TThreadSectionsRequest& request)
{
    TThreadSectionsResult result;
    const pid_t self = CurrentThreadId();
    const pid_t main = MainThreadId();
    const pid_t crashed = request.CrashedThreadId ? request.CrashedThreadId : self;
    std::vector<TSectionPlan> plans;
    auto omitted = [&](pid_t id) {
        return std::find(request.OmittedThreads.begin(), request.OmittedThreads.end(), id) != request.OmittedThreads.end();
    };
    if (!request.Frozen) {
        TSectionPlan p;
        p.ThreadId = crashed;
        p.Crashed = true;
        plans.push_back(p);
    }
    if (request.Frozen || crashed != main) {
        TSectionPlan p;
        p.ThreadId = main;
        plans.push_back(p);
    }
    if (request.ListAllThreads) {
        for (const pid_t id : GetThreadList()) {
            if (id == main || (id == crashed && !request.Frozen) || omitted(id))
                continue;
            TSectionPlan p;
            p.ThreadId = id;
            plans.push_back(p);
        }
    }

    const std::shared_ptr<const TMemorySnapshot> snapshot = TakeMemorySnapshot();
    std::vector<TThreadTitle> titles;
    for (TSectionPlan& p : plans) {
        CrashReporterHeartbeat();
        titles.push_back(GetThreadTitle(p.ThreadId));
        if (p.Crashed && (request.StackPointer || p.ThreadId == self)) {
            p.Context.StackPointer = request.StackPointer;
            p.Context.FramePointer = request.FramePointer;
            p.Context.InstructionPointer = request.ExceptionAddress;
            p.HaveContext = true;
        } else if (!titles.back().Title.empty() && p.ThreadId != self) {
            p.HaveContext = CaptureThreadContext(p.ThreadId, p.Context, request.CaptureTimeoutMs);
        }
        if (p.HaveContext && p.Context.StackPointer)
            StackBounds(p.ThreadId, p.Context.StackPointer, *snapshot, p.StackTop, p.StackSize);
        if (request.Progress) {
            uintptr_t top = p.StackTop, position = p.Context.StackPointer;
            // The caller's own stack is traced from here: without it the work would count nothing.
            if (p.ThreadId == self && !position) {
                top = CurrentStackTop();
                position = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
            }
            const uintptr_t used = top > position ? top - position : 0;
            request.Progress->AddWork(100 * static_cast<uint64_t>(std::min<uintptr_t>(used, 1u << 26)));
        }
    }

    for (size_t i = 0; i < plans.size(); ++i) {
        const TSectionPlan& p = plans[i];
        const TThreadTitle& title = titles[i];
        CrashReporterHeartbeat();
        // The reporter's own threads ("-") have no section.
        if (title.Title.empty()) {
            if (request.Progress)
                request.Progress->NextEntry();
            continue;
        }
        try {
            const TThreadState state = p.ThreadId == self ? TThreadState {} : QueryThreadState(p.ThreadId);
            std::string trace;
            uintptr_t location = 0, entry = 0;
            const bool ownStack = p.ThreadId == self && !p.Context.StackPointer;
            if (p.HaveContext || ownStack) {
                TTraceRequest t;
                t.HideLineless = request.HideLineless;
                t.RelativeAddresses = request.RelativeAddresses;
                t.RelativeLines = request.RelativeLines;
                t.SkipChainOptimisation = request.SkipChainOptimisation;
                t.CrashedThread = p.Crashed;
                t.ExceptionAddress = p.Context.InstructionPointer;
                t.StackPointer = p.Context.StackPointer;
                t.FramePointer = p.Context.FramePointer;
                t.StackTop = ownStack ? 0 : p.StackTop;
                t.StackSize = ownStack ? 0 : p.StackSize;
                t.Progress = request.Progress;
                if (p.Crashed) {
                    t.OsException = request.OsException;
                    t.CppTermination = request.CppTermination;
                    t.PreCollected = request.PreCollected;
                }
                if (ownStack || t.StackTop) {
                    const TTraceResult r = TraceStack(t);
                    trace = r.Text;
                    location = r.Location;
                    entry = r.FunctionEntry;
                }
                if (!trace.empty() && title.CreatorAddress && title.CreatorThreadId)
                    trace += "\r\n" + CreatorTraceLine(title.CreatorAddress, request);
            }
            if (p.Crashed) {
                result.CrashLocation = location ? location : request.ExceptionAddress;
                result.CrashFunctionEntry = entry;
            }
            const std::string creator = title.CreatorAddress && title.CreatorThreadId
                ? GetThreadTitle(title.CreatorThreadId, true).Title
                : std::string();
            result.Text += ComposeThreadSection(title.Title, state.Suspended, state.Priority, trace, creator, p.Crashed,
                                                DescribeCodeAddress(request.ExceptionAddress));
        } catch (...) {
            result.Text += "\r\n\r\n" + title.Title + ":\r\n" + InternalErrorText("GetThreadStack");
        }
        if (request.Progress)
            request.Progress->NextEntry();
    }
    return result;
}
