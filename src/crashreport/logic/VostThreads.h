// The process's threads for the crash reporter: the list of threads, the table of thread names
// and creators, report titles, thread states and register contexts captured from other threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/types.h>

// The kernel's id of the calling thread.
pid_t CurrentThreadId();
// The main thread's id: the process id.
pid_t MainThreadId();

// The ids of all threads of the process, from /proc/self/task, in ascending order.
std::vector<pid_t> GetThreadList();

// One entry of the thread-name table.
struct TThreadNameEntry {
    pid_t ThreadId = 0;
    std::string Name;      // "-" for the reporter's own threads
    std::string ClassName; // the QThread subclass that runs the thread, if any
    uintptr_t CreatorAddress = 0;
    pid_t CreatorThreadId = 0;
    // The thread's stack as the thread saw it at its start (0 when unknown).
    uintptr_t StackTop = 0, StackSize = 0;
};

// Replaces the thread's entry. When name or creator is given (empty strings and 0 keep the old
// entry's values) the entry is added anew; with neither the entry is removed. Waits for the table
// without limit. A name also becomes the thread's kernel name (first 15 bytes).
void SetThreadNameEntry(pid_t threadId, const std::string& name, pid_t creatorThreadId, uintptr_t creatorAddress,
                        const std::string& className);
void SetThreadName(pid_t threadId, const std::string& name);
// Records the calling thread's stack bounds in its entry (the entry must exist).
void SetThreadStackEntry(uintptr_t stackTop, uintptr_t stackSize);
void RemoveThreadName(pid_t threadId);
// The entry of a thread; false when the thread has none or the table was not free within 50 ms.
bool GetThreadNameEntry(pid_t threadId, TThreadNameEntry& entry);
// Empties the table (tests).
void ClearThreadNames();

// Names the calling thread for a scope and gives it back its entry as it was (name, class,
// creator and stack), or none, at the end.
class TThreadNameScope {
public:
    explicit TThreadNameScope(const std::string& name);
    ~TThreadNameScope();
    TThreadNameScope(const TThreadNameScope&) = delete;
    TThreadNameScope& operator=(const TThreadNameScope&) = delete;

private:
    pid_t FThread;
    bool FHadEntry = false;
    TThreadNameEntry FPrevious;
};

struct TThreadTitle {
    std::string Title; // empty for the reporter's own threads ("-") unless forced
    uintptr_t CreatorAddress = 0;
    pid_t CreatorThreadId = 0;
};
// The title used in reports: a named thread "name ($id)"; else "thread $id", with " (class)" when
// the class is known. A thread without an entry whose kernel name differs from the program's is
// titled by its kernel name. The table is waited for at most 50 ms ("thread $id" after that).
TThreadTitle GetThreadTitle(pid_t threadId, bool forceShow = false);
// The title text of a given entry and kernel name (the rule above, without the look-up).
std::string ComposeThreadTitle(pid_t threadId, const TThreadNameEntry* entry, const std::string& kernelName,
                               const std::string& programKernelName, bool forceShow);

// True when the thread's recorded creator address lies in a module with debug information, i.e.
// the thread was started by our own code. Waits at most 50 ms for the table.
bool ThreadCreatedByOwnCode(pid_t threadId);

// The operating system has no loader lock that would stop the handling thread.
inline bool LoaderLockHeld() { return false; }

// What /proc tells about a thread.
struct TThreadState {
    bool Exists = false;
    bool Suspended = false; // state T (stopped) or t (traced)
    int Priority = 0;       // the nice value
    char State = '?';
    std::string KernelName; // comm
};
TThreadState QueryThreadState(pid_t threadId);
// Parses the text of /proc/<pid>/task/<tid>/stat.
bool ParseThreadStat(const std::string& text, TThreadState& state);

// Registers of a thread at one moment.
struct TThreadContext {
    uintptr_t InstructionPointer = 0;
    uintptr_t StackPointer = 0;
    uintptr_t FramePointer = 0;
    bool FromSignal = false; // false: from /proc's syscall file (no frame pointer)
};
// Captures the context of another thread: a signal to it whose handler copies the registers;
// when it has not answered within timeoutMs (twenty times that for a thread that can take the
// signal and was not run yet), /proc/self/task/<tid>/syscall (stack and instruction
// pointers of a thread blocked in a system call). The calling thread gives its own registers.
// False when neither works.
bool CaptureThreadContext(pid_t threadId, TThreadContext& context, int timeoutMs = 100);
// True when the thread runs or sleeps interruptibly and does not block signal (/proc's status).
bool CanTakeSignal(pid_t threadId, int signal);
// Parses the text of /proc/.../syscall: "nr args... sp pc", "-1 sp pc"; false for "running".
bool ParseSyscallText(const std::string& text, TThreadContext& context);
// The signal the capture uses; installed on first capture, or here.
int CaptureSignal();
void InstallCaptureHandler();
