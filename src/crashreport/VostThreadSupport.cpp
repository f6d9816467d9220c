// The reporter's thread support plugged into its core.
#include "crashreport/VostThreadSupport.h"

#include "crashreport/VostCppSupport.h"
#include "crashreport/VostExcept.h"
#include "crashreport/VostThreadReport.h"
#include "crashreport/VostThreadWrap.h"
#include "crashreport/VostThreads.h"
#include "crashreport/VostWatchdog.h"

namespace {

bool LookUpThrowRecord(const void* object, TThrowRecord& record)
{
    TThrowEntry entry;
    if (!FindThrowEntry(object, entry))
        return false;
    // The report names the program's own throw site, also for a throw inside the C++ library.
    record.Address = entry.ThrowSite ? entry.ThrowSite : entry.ThrowAddress;
    record.Stack = std::move(entry.Stack);
    return true;
}

void ReportUncaughtInThread(std::exception_ptr exception)
{
    ReportedException object = ReportedException::FromException(exception);
    HandleExceptionCore(false, &object, object.ThrowAddress, true);
}

// The frozen main thread's registers come from the capture signal; the trace starts there.
void ReportFrozenMainThread()
{
    TThreadContext context;
    const pid_t main = pid_t(CrashReportSettings.ReporterMainThreadId ? CrashReportSettings.ReporterMainThreadId : MainThreadId());
    CaptureThreadContext(main, context);
    HandleExceptionCore(true, nullptr, context.InstructionPointer, true, context.StackPointer, context.FramePointer);
}

} // namespace

std::string OtherThreadSections(const TComposeRequest& request)
{
    TThreadSectionsRequest r;
    r.Frozen = request.Frozen;
    r.CrashedThreadId = pid_t(request.CrashedThreadId);
    r.OnlyOtherThreads = true;
    r.ListAllThreads = CrashReportSettings.ListAllThreads;
    r.HideLineless = CrashReportSettings.StackTraceOptions[0];
    r.RelativeAddresses = CrashReportSettings.StackTraceOptions[1];
    r.RelativeLines = CrashReportSettings.StackTraceOptions[2];
    r.SkipChainOptimisation = CrashReportSettings.StackTraceOption4;
    r.OmittedThreads = { ExceptionThreadId(), WatchdogThreadId(), CurrentThreadId() };
    return ComposeThreadSections(r).Text;
}

void InstallThreadSupport()
{
    const TCrashReportSettings& s = CrashReportSettings;
    const pid_t main = pid_t(s.ReporterMainThreadId ? s.ReporterMainThreadId : MainThreadId());
    SetThreadName(main, "main thread");
    SetThrowRecordLookup(&LookUpThrowRecord);
    InstallCaptureHandler();

    TCrashSteps steps = GetCrashSteps();
    if (!steps.Compose)
        steps.Compose = [](const TComposeRequest& request, std::string& report) {
            ComposeMinimalReport(request, report);
            report += OtherThreadSections(request);
        };
    if (!steps.StartWatchdog) {
        steps.StartWatchdog = [] { StartWatchdog(CrashReportSettings.FreezeTimeout, &ReportFrozenMainThread); };
        steps.StopWatchdog = [] { StopWatchdog(); };
        steps.PauseWatchdog = [](bool pause) { PauseWatchdog(pause); };
        steps.ResetWatchdogMisses = [] { ResetWatchdogMisses(); };
    }
    if (!steps.PauseMessageLoops) {
        steps.PauseMessageLoops = [](bool pause) { PauseMessageLoops(pause); };
        steps.ReleaseMainThread = [] { return ReleaseMainThread(); };
        steps.HoldMainThread = [] { HoldMainThread(); };
    }
    SetCrashSteps(steps);

    if (s.CatchExceptions && s.HookRuntime) {
        TThreadHooks hooks;
        hooks.ThreadStarted = &PrepareThreadForCrashes;
        hooks.ThreadEnding = &ReleaseThreadCrashSlot;
        hooks.UncaughtInThread = &ReportUncaughtInThread;
        SetThreadHooks(hooks);
    }
}

void RemoveThreadSupport()
{
    ClearThreadHooks();
}
