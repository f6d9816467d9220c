// The fatal-signal side of the crash reporter: the handlers and their alternate stacks, the slots
// the handlers fill, the waits on the handling thread and the minimal report that a damaged or
// stalled process still writes. Everything a signal handler runs here is async-signal-safe.
#pragma once

#include <atomic>
#include <cstdint>

#include <signal.h>
#include <sys/types.h>
#include <ucontext.h>

// A waiter's completion record: 0 pending, 1 done, 2 given up by its waiter (the handling thread
// then frees it).
struct TWaitEvent {
    std::atomic<uint32_t> State{0};
};
// Marks the event done and wakes its waiter; the event is not touched afterwards.
void SignalWaitEvent(TWaitEvent* event);

// What a signal handler copies for the handling thread.
struct TSignalSlot {
    std::atomic<uint32_t> InUse{0};
    std::atomic<uint32_t> Busy{0}; // its thread is inside the handler
    pid_t ThreadId = 0;
    siginfo_t Info{};
    mcontext_t Registers{};
    TWaitEvent Event;
};

// The state the signal handlers share with the handling thread; plain atomics, readable from a
// handler.
namespace VostSignalShared {
extern std::atomic<int> RequestFd;           // write end of the request pipe; -1 when none
extern std::atomic<pid_t> HandlingThreadId;  // 0 when none
extern std::atomic<uint32_t> Heartbeat;      // beaten by the handling thread
extern std::atomic<bool> BoxUp;              // the presenter runs: no stall guard from then on
extern std::atomic<int64_t> GuardTimeoutMs;  // stall time before the minimal report
extern std::atomic<int> HandlersStarting;    // threads in a fault handler that have not sent their request yet
} // namespace VostSignalShared

// Installs the handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT (SA_SIGINFO|SA_ONSTACK),
// keeping the previous ones; restores them.
void InstallSignalHandlers();
void RestoreSignalHandlers();
bool SignalHandlersInstalled();

// The calling thread's alternate stack (InstallAlternateStack) and slot; idempotent. Release
// frees the slot only.
void PrepareSignalStack();
void ReleaseSignalStack();

// Notes the loaded modules for the minimal report (which cannot read them while the process is
// damaged): from the process's mappings, never through the loader, so that it cannot block on a
// crashed thread's loader lock; the list before stays in use until the new one is whole. The
// handling thread renews it before each request.
void RefreshMinimalReportModules();
// The file minimal and emergency reports are appended to (besides standard error): an absolute
// path, opened without following a link and created with mode 0600; anything else means none.
void SetMinimalReportPath(const char* path);
// The path in use; empty when none.
const char* MinimalReportPath();

// Watches the handling thread's heartbeat for a waiter.
class TStallWatch {
public:
    TStallWatch();
    // True when the heartbeat stood still for the guard time while the box was not up.
    bool Stalled();

private:
    uint32_t FLast;
    int64_t FSince;
};

// Waits for the event with the stall guard; false when the handling thread stalled.
bool WaitForEventGuarded(TWaitEvent* event);

// The name of a signal ("SIGSEGV"), null for one this table does not name. The one table of
// signal names: it allocates nothing, so a signal handler may use it.
const char* SignalText(int signal);

// Writes a minimal report (title, signal, addresses, raw return addresses as module+offset) to the
// report file and standard error. Async-signal-safe. signal 0: no signal facts.
void WriteMinimalReport(const char* title, int signal, const siginfo_t* info, const ucontext_t* context);
// Minimal report, then the default action of signal (SIGABRT when 0), raised again. Never returns.
[[noreturn]] void DieBySignal(const char* title, int signal, const siginfo_t* info, const ucontext_t* context);

// Monotonic milliseconds (async-signal-safe).
int64_t MonotonicMs();
