// The thread sections of a bug report: one section per thread with its title, markers, stack
// trace and, when known, who created it.
#pragma once

#include "crashreport/logic/VostStackTrace.h"

#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

struct TThreadSectionsRequest {
    bool Frozen = false;
    pid_t CrashedThreadId = 0;
    // The crashed thread's registers (0: that thread is the caller; its current position).
    uintptr_t ExceptionAddress = 0;
    uintptr_t StackPointer = 0;
    uintptr_t FramePointer = 0;
    bool OsException = false;    // an operating-system exception (class EExternal)
    bool CppTermination = false; // a BcbTermination
    const std::vector<TRawStackItem>* PreCollected = nullptr;
    bool ListAllThreads = true;
    // The stack-trace options of the settings, in the order of the tracer's arguments.
    bool HideLineless = false, RelativeAddresses = false, RelativeLines = false, SkipChainOptimisation = false;
    TTraceProgress* Progress = nullptr;
    // How long a thread may take to answer the capture signal before /proc gives its registers.
    int CaptureTimeoutMs = 100;
    // The reporter's threads that get no section (the handling thread, the watchdog).
    std::vector<pid_t> OmittedThreads;
};

struct TThreadSectionsResult {
    std::string Text;
    // The code address the crashed thread's trace reported for the crash (0: none).
    uintptr_t CrashLocation = 0;
    // The entry of the function that trace found the crash in (0: none).
    uintptr_t CrashFunctionEntry = 0;
};

// The sections, each beginning with CR LF CR LF: the crashed thread (unless frozen), the main
// thread, then, with ListAllThreads, every other thread in the order of the thread list. Runs in
// any thread but the ones it reports on; other threads' registers come from CaptureThreadContext.
TThreadSectionsResult ComposeThreadSections(const TThreadSectionsRequest& request);

// One section's text from its parts: title, markers, trace and creator line.
std::string ComposeThreadSection(const std::string& title, bool suspended, int priority, const std::string& trace,
                                 const std::string& creatorTitle, bool crashed, const std::string& locationText);
